#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QTimer>

#include "platform/AtomicFile.h"
#include "platform/ClipPlayer.h"
#include "tests/support/TempDataDir.h"
#include "tools/make-clips/AviWriter.h"

using namespace smsc;
using namespace smsc::clips;
using smsc::test::TempFolder;

namespace {

const std::vector<uint32_t> kColours{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

QRgb Rgb(uint32_t rgb) {
    return qRgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

// A clip of `frames` frames, frame i filled with colour i.
QString WriteSolidClip(const TempFolder& dir, const std::string& name, int frames,
                       uint32_t microseconds, int width = 4, int height = 3) {
    AviFormat f;
    f.width = width;
    f.height = height;
    f.palette = kColours;
    f.microsecondsPerFrame = microseconds;
    std::vector<std::string> chunks;
    for (int i = 0; i < frames; ++i) {
        const std::vector<uint8_t> pixels(size_t(width * height), uint8_t(i % 4));
        chunks.push_back(PackRows(pixels, width, height, 1));
    }
    EXPECT_TRUE(WriteFileAtomically(dir.file(name), BuildAvi(f, chunks)));
    return QString::fromStdString(dir.file(name));
}

QRgb ShownColour(const ClipPlayer& player) {
    return player.pixmap().toImage().pixel(0, 0);
}

QTimer* FrameTimer(const ClipPlayer& player) {
    return player.findChild<QTimer*>(QStringLiteral("ClipTimer"));
}

}  // namespace

TEST(ClipPlayer, LoopsTheFramesInOrderAndStopKeepsTheFrame) {
    TempFolder dir;
    const QString path = WriteSolidClip(dir, "three.avi", 3, 50000);
    ClipPlayer player;
    ASSERT_TRUE(player.open(path));
    EXPECT_TRUE(player.isOpen());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.frameCount(), 3);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(ShownColour(player), Rgb(kColours[0]));  // open shows the first frame

    player.play();
    EXPECT_TRUE(player.isPlaying());
    ASSERT_NE(FrameTimer(player), nullptr);
    EXPECT_TRUE(FrameTimer(player)->isActive());
    EXPECT_EQ(FrameTimer(player)->interval(), 50);

    for (const int expected : {1, 2, 0, 1}) {
        player.showNextFrame();
        EXPECT_EQ(player.currentFrame(), expected);
        EXPECT_EQ(ShownColour(player), Rgb(kColours[size_t(expected)]));
    }

    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(FrameTimer(player)->isActive());
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_EQ(ShownColour(player), Rgb(kColours[1]));

    // Playing again starts over at the first frame, as the animation control does.
    player.play();
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(ShownColour(player), Rgb(kColours[0]));

    player.close();
    EXPECT_FALSE(player.isOpen());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(FrameTimer(player)->isActive());
    EXPECT_TRUE(player.pixmap().isNull());
    player.showNextFrame();  // a late tick after close does nothing
    EXPECT_TRUE(player.pixmap().isNull());
}

TEST(ClipPlayer, MissingOrBrokenClipShowsNothing) {
    TempFolder dir;
    ClipPlayer player;
    ASSERT_TRUE(player.open(WriteSolidClip(dir, "ok.avi", 2, 100000)));
    player.play();

    // Opening a missing clip drops the one playing.
    EXPECT_FALSE(player.open(QString::fromStdString(dir.file("missing.avi"))));
    EXPECT_FALSE(player.isOpen());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(FrameTimer(player)->isActive());
    EXPECT_TRUE(player.pixmap().isNull());

    player.play();  // nothing to play
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(FrameTimer(player)->isActive());

    dir.writeFile("broken.avi", std::string("RIFF\x10\0\0\0AVI LIST\x04\0\0\0movi", 24));
    EXPECT_FALSE(player.open(QString::fromStdString(dir.file("broken.avi"))));
    EXPECT_TRUE(player.pixmap().isNull());
    EXPECT_FALSE(player.open(QString::fromStdString(dir.path())));  // a folder
}

TEST(ClipPlayer, FrameIntervalFollowsTheClipWithinSaneBounds) {
    TempFolder dir;
    ClipPlayer player;
    ASSERT_TRUE(player.open(WriteSolidClip(dir, "a.avi", 2, 83333)));
    EXPECT_EQ(player.frameInterval(), 83);
    ASSERT_TRUE(player.open(WriteSolidClip(dir, "b.avi", 2, 1)));
    EXPECT_EQ(player.frameInterval(), 10);  // never a busy loop
    ASSERT_TRUE(player.open(WriteSolidClip(dir, "c.avi", 2, 0xFFFFFFFF)));
    EXPECT_EQ(player.frameInterval(), 10000);

    // A single picture plays without a timer.
    ASSERT_TRUE(player.open(WriteSolidClip(dir, "d.avi", 1, 100000)));
    player.play();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_FALSE(FrameTimer(player)->isActive());
    player.showNextFrame();
    EXPECT_EQ(player.currentFrame(), 0);
}

TEST(ClipPlayer, FrameIsCentredInTheWidget) {
    TempFolder dir;
    ClipPlayer player;
    ASSERT_TRUE(player.open(WriteSolidClip(dir, "red.avi", 1, 100000, 10, 6)));
    player.setStyleSheet(QStringLiteral("background: white"));
    player.resize(50, 30);
    const QImage shown = player.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(50, 30));
    EXPECT_EQ(shown.pixel(25, 15), Rgb(kColours[0]));
    EXPECT_EQ(shown.pixel(20, 12), Rgb(kColours[0]));  // frame spans 20..29 x 12..17
    EXPECT_EQ(shown.pixel(29, 17), Rgb(kColours[0]));
    EXPECT_NE(shown.pixel(19, 15), Rgb(kColours[0]));
    EXPECT_NE(shown.pixel(30, 15), Rgb(kColours[0]));
    EXPECT_NE(shown.pixel(25, 11), Rgb(kColours[0]));
    EXPECT_NE(shown.pixel(2, 2), Rgb(kColours[0]));
}

TEST(ClipPlayer, PlaysTheShippedClips) {
    for (const char* name : {"books.avi", "SendSer.avi", "cxz.avi"}) {
        SCOPED_TRACE(name);
        ClipPlayer player;
        ASSERT_TRUE(player.open(QStringLiteral(SMSC_SOURCE_DATA_DIR "/picture/") +
                                QString::fromLatin1(name)));
        player.play();
        EXPECT_TRUE(FrameTimer(player)->isActive());
        EXPECT_GE(player.frameInterval(), 50);
        EXPECT_LE(player.frameInterval(), 200);
        const QImage first = player.pixmap().toImage();
        player.showNextFrame();
        EXPECT_NE(player.pixmap().toImage(), first);
        for (int i = 1; i < player.frameCount(); ++i) {
            player.showNextFrame();
        }
        EXPECT_EQ(player.currentFrame(), 0);  // a whole round, back at the first frame
        EXPECT_EQ(player.pixmap().toImage(), first);
    }
}
