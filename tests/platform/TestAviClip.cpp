#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <climits>
#include <random>

#include "platform/AviClip.h"
#include "tests/support/TempDataDir.h"
#include "tools/make-clips/AviWriter.h"

using namespace smsc;
using namespace smsc::clips;

namespace {

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

const std::vector<uint32_t> kPalette{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080,
                                     0x123456, 0xABCDEF, 0x010203, 0xFEDCBA, 0x00FFFF};

// Bytes of a literal, NULs included.
template <size_t N>
std::string Raw(const char (&s)[N]) {
    return std::string(s, N - 1);
}

QRgb Rgb(uint32_t rgb) {
    return qRgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

AviFormat Format(int width, int height, uint16_t bitCount = 8, uint32_t compression = kBiRgb) {
    AviFormat f;
    f.width = width;
    f.height = height;
    f.bitCount = bitCount;
    f.compression = compression;
    if (bitCount == 8)
        f.palette = kPalette;
    f.microsecondsPerFrame = 40000;
    return f;
}

// Every pixel of an 8-bit frame as palette colours, top-down.
void ExpectIndexedFrame(const QImage& frame, const std::vector<uint8_t>& topDown) {
    ASSERT_EQ(size_t(frame.width() * frame.height()), topDown.size());
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const uint8_t index = topDown[size_t(y * frame.width() + x)];
            EXPECT_EQ(frame.pixel(x, y), Rgb(kPalette[index])) << "x " << x << " y " << y;
        }
    }
}

std::vector<uint8_t> Indices(const QImage& frame) {
    std::vector<uint8_t> out;
    for (int y = 0; y < frame.height(); ++y) {
        out.insert(out.end(), frame.constScanLine(y), frame.constScanLine(y) + frame.width());
    }
    return out;
}

// A small valid clip: 3 x 2, two 8-bit frames.
std::string SmallClip() {
    const std::vector<uint8_t> a{0, 1, 2, 3, 3, 0};
    const std::vector<uint8_t> b{2, 2, 2, 1, 1, 1};
    return BuildAvi(Format(3, 2), {PackRows(a, 3, 2, 1), PackRows(b, 3, 2, 1)});
}

// A file whose movie list holds the given chunks verbatim.
std::string ClipWithMovie(const AviFormat& f, const std::string& movieChunks,
                          const std::string& extraHeader = {}) {
    const std::string hdrl =
        List("hdrl", MainHeader(f, 1, 0) + extraHeader +
                         List("strl", StreamHeader("vids", "DIB ", 1, 25, 1, f) + BitmapInfo(f)));
    return Riff(hdrl + List("movi", movieChunks));
}

bool Loads(const std::string& file) {
    AviClip clip;
    return clip.loadFromData(Bytes(file));
}

}  // namespace

TEST(AviClip, Decodes8BitFramesStoredBottomUpWithPaddedRows) {
    const std::vector<uint8_t> a{0, 1, 2, 3, 3, 0};
    const std::vector<uint8_t> b{2, 2, 2, 1, 1, 1};
    AviClip clip;
    ASSERT_TRUE(clip.loadFromData(Bytes(SmallClip())));
    EXPECT_EQ(clip.frameCount(), 2);
    EXPECT_EQ(clip.size(), QSize(3, 2));
    EXPECT_EQ(clip.microsecondsPerFrame(), 40000u);
    ExpectIndexedFrame(clip.frame(0), a);
    ExpectIndexedFrame(clip.frame(1), b);

    // Top-down storage (negative height) gives the same pictures.
    AviFormat topDown = Format(3, -2);
    ASSERT_TRUE(clip.loadFromData(Bytes(BuildAvi(topDown, {PackRows(a, 3, 2, 1, true)}))));
    EXPECT_EQ(clip.size(), QSize(3, 2));
    ExpectIndexedFrame(clip.frame(0), a);

    // A palette shorter than 256 entries: indices past it show black, nothing worse.
    AviFormat shortPalette = Format(3, 2);
    shortPalette.palette.resize(2);
    ASSERT_TRUE(clip.loadFromData(Bytes(BuildAvi(shortPalette, {PackRows(a, 3, 2, 1)}))));
    EXPECT_EQ(clip.frame(0).pixel(1, 0), Rgb(kPalette[1]));
    EXPECT_EQ(clip.frame(0).pixel(2, 0), qRgb(0, 0, 0));
}

TEST(AviClip, Decodes24BitFramesInBothRowOrders) {
    // 2 x 3 pixels, B G R order; 6 bytes a row, padded to 8 when stored.
    std::vector<uint8_t> pixels;
    std::vector<QRgb> expected;
    for (int i = 0; i < 6; ++i) {
        const uint8_t r = uint8_t(40 * i), g = uint8_t(255 - 30 * i), b = uint8_t(7 * i + 1);
        pixels.insert(pixels.end(), {b, g, r});
        expected.push_back(qRgb(r, g, b));
    }
    for (const bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        const AviFormat f = Format(2, topDown ? -3 : 3, 24);
        const std::string frame = PackRows(pixels, 2, 3, 3, topDown);
        ASSERT_EQ(frame.size(), 24u);
        AviClip clip;
        ASSERT_TRUE(clip.loadFromData(Bytes(BuildAvi(f, {frame, frame}))));
        EXPECT_EQ(clip.frameCount(), 2);
        EXPECT_EQ(clip.size(), QSize(2, 3));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 2; ++x) {
                EXPECT_EQ(clip.frame(1).pixel(x, y), expected[size_t(y * 2 + x)]);
            }
        }
    }
}

TEST(AviClip, Rle8DecodesEveryEscapeOverThePreviousFrame) {
    const int w = 8;
    const int h = 4;
    // Stored rows run bottom-up: stored row r is picture line 3 - r.
    const std::string keyFrame =
        Raw("\x03\x01"                          // run: 1 1 1
            "\x00\x05\x02\x03\x04\x05\x06\x00"  // absolute: 2 3 4 5 6, padded to even length
            "\x00\x00"                          // end of line
            "\x00\x02\x02\x00"                  // delta: two pixels right
            "\x02\x07"                          // run: 7 7
            "\x00\x02\x01\x02"                  // delta: one right, two rows up (skips row 2)
            "\x03\x08"                          // run: 8 8 8
            "\x00\x00");                        // end of line past the top: picture complete
    const std::string deltaFrame =
        Raw("\x00\x02\x00\x02"  // delta to stored row 2
            "\x0A\x03"          // run of 10 on an 8-pixel row: clipped, never wraps
            "\x00\x01"          // end of picture
            "\x08\x09");        // after the end: ignored
    const std::string damagedFrame =
        Raw("\x05\x04"            // run: 4 4 4 4 4
            "\x00\x07\x01\x02");  // absolute run of 7 with only 2 bytes left
    AviClip clip;
    ASSERT_TRUE(clip.loadFromData(
        Bytes(BuildAvi(Format(w, h, 8, kBiRle8), {keyFrame, deltaFrame, damagedFrame}))));
    ASSERT_EQ(clip.frameCount(), 3);

    std::vector<uint8_t> expected{
        0, 0, 0, 0, 0, 8, 8, 8,  // line 0 = stored row 3
        0, 0, 0, 0, 0, 0, 0, 0,  // stored row 2, skipped by the delta
        0, 0, 7, 7, 0, 0, 0, 0,  // stored row 1
        1, 1, 1, 2, 3, 4, 5, 6,  // stored row 0
    };
    ExpectIndexedFrame(clip.frame(0), expected);
    std::fill(expected.begin() + 8, expected.begin() + 16, 3);
    ExpectIndexedFrame(clip.frame(1), expected);
    const std::vector<uint8_t> damagedRow{4, 4, 4, 4, 4, 1, 2, 6};
    std::copy(damagedRow.begin(), damagedRow.end(), expected.begin() + 24);
    ExpectIndexedFrame(clip.frame(2), expected);
}

TEST(AviClip, Rle8FramesFromTheWriterRoundTrip) {
    // Wider than 255 so runs and literal stretches are split; odd sizes for the padding.
    const int w = 301;
    const int h = 9;
    std::mt19937 random(7);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> picture(size_t(w * h), 3);
    for (int i = 0; i < 6; ++i) {
        // A moving block, a noisy line and a few changed pixels per frame.
        for (int y = 2; y < 6; ++y) {
            for (int x = 0; x < 40; ++x)
                picture[size_t(y * w + (x + i * 37) % w)] = uint8_t(i);
        }
        for (int x = 0; x < w; ++x)
            picture[size_t(7 * w + x)] = uint8_t(random() % 10);
        picture[size_t(random() % picture.size())] = 9;
        frames.push_back(picture);
    }
    std::vector<std::string> keyFrames;
    std::vector<std::string> deltaFrames;
    for (size_t i = 0; i < frames.size(); ++i) {
        keyFrames.push_back(EncodeRle8(frames[i], w, h));
        deltaFrames.push_back(EncodeRle8(frames[i], w, h, i ? &frames[i - 1] : nullptr));
    }
    EXPECT_LT(deltaFrames[3].size(), keyFrames[3].size());

    for (const auto* chunks : {&keyFrames, &deltaFrames}) {
        AviClip clip;
        ASSERT_TRUE(clip.loadFromData(Bytes(BuildAvi(Format(w, h, 8, kBiRle8), *chunks))));
        ASSERT_EQ(clip.frameCount(), int(frames.size()));
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(Indices(clip.frame(int(i))), frames[i]) << "frame " << i;
        }
    }
}

TEST(AviClip, ReadsTheUsualContainerVariants) {
    const AviFormat f = Format(3, 2);
    const std::vector<uint8_t> a{0, 1, 2, 3, 3, 0};
    const std::vector<uint8_t> b{2, 2, 2, 1, 1, 1};
    const std::string frameA = PackRows(a, 3, 2, 1);
    const std::string frameB = PackRows(b, 3, 2, 1);
    AviClip clip;

    // Frames grouped in 'rec ' lists.
    AviFormat grouped = f;
    grouped.groupInRecLists = true;
    ASSERT_TRUE(clip.loadFromData(Bytes(BuildAvi(grouped, {frameA, frameB}))));
    EXPECT_EQ(clip.frameCount(), 2);
    ExpectIndexedFrame(clip.frame(1), b);

    // Unknown chunks of odd size (padded), an INFO list, '00dc' ids, an empty chunk that
    // repeats the frame before it, another stream's chunks and a palette-change chunk.
    const std::string movie = Chunk("JUNK", "abc") + Chunk("00dc", frameA) +
                              Chunk("01wb", "sound") + Chunk("00pc", "xxxx") + Chunk("00db", "") +
                              Chunk("00db", frameB);
    const std::string file =
        ClipWithMovie(f, movie, Chunk("JUNK", "x") + List("INFO", Chunk("ISFT", "x")));
    ASSERT_TRUE(clip.loadFromData(Bytes(file)));
    ASSERT_EQ(clip.frameCount(), 3);
    ExpectIndexedFrame(clip.frame(0), a);
    ExpectIndexedFrame(clip.frame(1), a);
    ExpectIndexedFrame(clip.frame(2), b);

    // No period in 'avih': the stream's rate decides (25 frames a second here).
    AviFormat noPeriod = f;
    noPeriod.microsecondsPerFrame = 0;
    ASSERT_TRUE(clip.loadFromData(Bytes(ClipWithMovie(noPeriod, Chunk("00db", frameA)))));
    EXPECT_EQ(clip.microsecondsPerFrame(), 40000u);

    // A sound stream listed first: the video is stream 01 and its chunks are '01db'.
    const std::string twoStreams = Riff(
        List("hdrl", MainHeader(f, 1, 0) +
                         List("strl", StreamHeader("auds", std::string(4, '\0'), 1, 8000, 1, f) +
                                          Chunk("strf", std::string(18, '\0'))) +
                         List("strl", StreamHeader("vids", "DIB ", 1, 10, 1, f) + BitmapInfo(f))) +
        List("movi", Chunk("00wb", "sound") + Chunk("01db", frameB)));
    ASSERT_TRUE(clip.loadFromData(Bytes(twoStreams)));
    ASSERT_EQ(clip.frameCount(), 1);
    ExpectIndexedFrame(clip.frame(0), b);
}

TEST(AviClip, RefusesDamagedFilesWithoutCrashing) {
    AviClip clip;
    test::TempFolder dir;
    EXPECT_FALSE(clip.load(QString::fromStdString(dir.file("missing.avi"))));
    EXPECT_TRUE(clip.isEmpty());

    // A failed load leaves no frames from the clip before.
    ASSERT_TRUE(clip.loadFromData(Bytes(SmallClip())));
    EXPECT_FALSE(clip.loadFromData(QByteArray("RIFF")));
    EXPECT_TRUE(clip.isEmpty());
    EXPECT_EQ(clip.frameCount(), 0);

    EXPECT_FALSE(Loads(""));
    EXPECT_FALSE(Loads("RIFF\x04\0\0\0WAVE"));
    std::mt19937 random(11);
    std::string garbage(4000, '\0');
    for (char& c : garbage)
        c = char(random());
    EXPECT_FALSE(Loads(garbage));
    EXPECT_FALSE(
        Loads("RIFF\xF0\xFF\xFF\xFF"
              "AVI " +
              garbage));

    // Every truncation of a valid file.
    const std::string whole = SmallClip();
    ASSERT_TRUE(Loads(whole));
    for (size_t n = 0; n < whole.size(); ++n) {
        EXPECT_FALSE(Loads(whole.substr(0, n))) << "cut at " << n;
    }

    // A chunk claiming more than its list holds.
    std::string overrun = Chunk("00db", std::string(8, '\0'));
    overrun[4] = '\x40';
    EXPECT_FALSE(Loads(ClipWithMovie(Format(3, 2), overrun)));

    // An uncompressed frame shorter than the picture.
    EXPECT_FALSE(Loads(ClipWithMovie(Format(3, 2), Chunk("00db", std::string(5, '\0')))));

    // No frames, no movie, no header, no video stream.
    EXPECT_FALSE(Loads(ClipWithMovie(Format(3, 2), Chunk("JUNK", "x"))));
    EXPECT_FALSE(Loads(Riff(List("hdrl", MainHeader(Format(3, 2), 0, 0)))));
    EXPECT_FALSE(Loads(Riff(List("movi", Chunk("00db", std::string(8, '\0'))))));
    const AviFormat f = Format(3, 2);
    EXPECT_FALSE(Loads(Riff(
        List("hdrl", MainHeader(f, 1, 0) + List("strl", StreamHeader("auds", "    ", 1, 1, 1, f))) +
        List("movi", Chunk("00db", std::string(8, '\0'))))));

    // 'rec ' lists nested without end.
    std::string nested = Chunk("00db", std::string(8, '\0'));
    for (int i = 0; i < 10; ++i)
        nested = List("rec ", nested);
    EXPECT_FALSE(Loads(ClipWithMovie(Format(3, 2), nested)));
}

TEST(AviClip, RefusesUnplayableFormatsAndHugeSizes) {
    const std::string eightBytes(8, '\0');
    auto loadsFormat = [&](const AviFormat& f) {
        return Loads(ClipWithMovie(f, Chunk("00db", eightBytes)));
    };
    EXPECT_TRUE(loadsFormat(Format(1, 1)));
    EXPECT_FALSE(loadsFormat(Format(0, 1)));
    EXPECT_FALSE(loadsFormat(Format(1, 0)));
    EXPECT_FALSE(loadsFormat(Format(-2, 1)));
    EXPECT_FALSE(loadsFormat(Format(4097, 1)));
    EXPECT_FALSE(loadsFormat(Format(1, 5000)));
    EXPECT_FALSE(loadsFormat(Format(1, INT_MIN)));
    EXPECT_FALSE(loadsFormat(Format(1, 1, 16)));
    EXPECT_FALSE(loadsFormat(Format(1, 1, 32)));
    EXPECT_FALSE(loadsFormat(Format(1, 1, 4)));
    EXPECT_FALSE(loadsFormat(Format(1, 1, 8, 2)));         // RLE4
    EXPECT_FALSE(loadsFormat(Format(1, 1, 24, 1)));        // RLE8 needs 8 bits
    EXPECT_FALSE(loadsFormat(Format(1, -1, 8, kBiRle8)));  // RLE is stored bottom-up only

    // The frame cap: empty chunks repeat the first frame.
    const std::string first = Chunk("00db", eightBytes);
    std::string repeats;
    for (int i = 1; i < AviClip::kMaxFrames; ++i)
        repeats += Chunk("00db", "");
    AviClip clip;
    ASSERT_TRUE(clip.loadFromData(Bytes(ClipWithMovie(Format(1, 1), first + repeats))));
    EXPECT_EQ(clip.frameCount(), AviClip::kMaxFrames);
    EXPECT_FALSE(Loads(ClipWithMovie(Format(1, 1), first + repeats + Chunk("00db", ""))));

    // Tiny RLE frames that would decode to more pictures than memory allows.
    const AviFormat huge = Format(AviClip::kMaxDimension, AviClip::kMaxDimension, 8, kBiRle8);
    const std::string endOfPicture("\0\1", 2);
    ASSERT_TRUE(clip.loadFromData(Bytes(BuildAvi(huge, {endOfPicture}))));
    EXPECT_EQ(clip.size(), QSize(4096, 4096));
    EXPECT_FALSE(Loads(BuildAvi(huge, std::vector<std::string>(5, endOfPicture))));
}

TEST(AviClip, SurvivesRandomlyDamagedFiles) {
    std::vector<uint8_t> picture(size_t(17 * 5));
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = uint8_t(i % 7 < 3 ? 1 : i % 10);
    const std::vector<std::string> sources{
        BuildAvi(Format(17, 5, 8, kBiRle8),
                 {EncodeRle8(picture, 17, 5), EncodeRle8(picture, 17, 5, &picture)}),
        BuildAvi(Format(17, 5), {PackRows(picture, 17, 5, 1)}),
    };
    std::mt19937 random(3);
    int loaded = 0;
    for (const std::string& source : sources) {
        ASSERT_TRUE(Loads(source));
        for (int round = 0; round < 3000; ++round) {
            std::string damaged = source;
            const int changes = 1 + int(random() % 4);
            for (int i = 0; i < changes; ++i) {
                damaged[random() % damaged.size()] = char(random());
            }
            AviClip clip;
            if (clip.loadFromData(Bytes(damaged))) {
                ++loaded;
                for (int f = 0; f < clip.frameCount(); ++f) {
                    EXPECT_EQ(clip.frame(f).size(), clip.size());
                }
            }
        }
    }
    EXPECT_GT(loaded, 0);  // damage in frame data still plays
}

TEST(ShippedPictures, ClipsDecodeAndFitTheirWindows) {
    struct Shipped {
        const char* name;
        QSize maximum;
    };
    for (const Shipped& s :
         {Shipped{"books.avi", QSize(324, 200)}, Shipped{"SendSer.avi", QSize(252, 80)},
          Shipped{"cxz.avi", QSize(324, 200)}}) {
        SCOPED_TRACE(s.name);
        const QString path =
            QStringLiteral(SMSC_SOURCE_DATA_DIR "/picture/") + QString::fromLatin1(s.name);
        EXPECT_LT(QFile(path).size(), 200 * 1024);
        AviClip clip;
        ASSERT_TRUE(clip.load(path));
        EXPECT_GE(clip.frameCount(), 8);
        EXPECT_LE(clip.size().width(), s.maximum.width());
        EXPECT_LE(clip.size().height(), s.maximum.height());
        EXPECT_GE(clip.microsecondsPerFrame(), 50000u);
        EXPECT_LE(clip.microsecondsPerFrame(), 200000u);
        EXPECT_NE(clip.frame(0), clip.frame(clip.frameCount() / 2));  // it moves
    }
}

TEST(ShippedPictures, HomePictureIconAndAboutPage) {
    const QString data = QStringLiteral(SMSC_SOURCE_DATA_DIR "/");
    const QImage home(data + QStringLiteral("picture/m4.jpg"));
    ASSERT_FALSE(home.isNull());
    EXPECT_EQ(home.size(), QSize(560, 420));

    QImageReader icon(data + QStringLiteral("ico/Sms.ico"));
    ASSERT_EQ(icon.imageCount(), 2);
    QList<QSize> sizes;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(icon.jumpToImage(i));
        const QImage image = icon.read();
        ASSERT_FALSE(image.isNull());
        sizes.append(image.size());
        EXPECT_EQ(qAlpha(image.pixel(0, image.height() - 1)), 0);  // transparent corner
    }
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));

    QFile about(data + QStringLiteral("index.html"));
    ASSERT_TRUE(about.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(about.readAll());
    EXPECT_TRUE(page.contains(QStringLiteral("<meta charset=\"UTF-8\">")));
    EXPECT_TRUE(page.contains(QStringLiteral("短信彩信群发客户端")));
    EXPECT_TRUE(page.contains(QStringLiteral("V 6.8")));
    EXPECT_FALSE(page.contains(QStringLiteral("http")));
    EXPECT_FALSE(page.contains(QStringLiteral("src=")));
}
