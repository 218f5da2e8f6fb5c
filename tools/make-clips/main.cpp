// smsclient-make-clips: draws the program's own animation clips, home picture and icon.
//
//   smsclient-make-clips [--rle8] [--preview FOLDER] DATA_FOLDER
//
// writes DATA_FOLDER/picture/{books,SendSer,cxz}.avi, DATA_FOLDER/picture/m4.jpg and
// DATA_FOLDER/ico/Sms.ico. --rle8 stores the clips run-length encoded (the shipped ones are
// uncompressed); --preview writes a PNG contact sheet of every clip as the client's own
// decoder reads it back.

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <vector>

#include "platform/AviClip.h"
#include "tools/make-clips/AviWriter.h"

namespace {

using smsc::clips::AviFormat;

constexpr double kPi = std::numbers::pi;

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// White background plus, for each key colour, 15 steps from white to it, plus a grey ramp:
// anti-aliased edges against the background find a close entry.
QList<QRgb> BuildPalette(const std::vector<QColor>& keys) {
    QList<QRgb> palette{qRgb(255, 255, 255)};
    for (const QColor& key : keys) {
        for (int step = 1; step <= 15; ++step) {
            auto mix = [step](int c) { return 255 + (c - 255) * step / 15; };
            palette.append(qRgb(mix(key.red()), mix(key.green()), mix(key.blue())));
        }
    }
    for (int i = 0; palette.size() < 256; ++i) {
        const int g = std::min(255, i * 16);
        palette.append(qRgb(g, g, g));
    }
    palette.resize(256);
    return palette;
}

std::vector<uint8_t> ToIndices(const QImage& picture, const QList<QRgb>& palette) {
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, palette);
    std::vector<uint8_t> out;
    out.reserve(size_t(indexed.width() * indexed.height()));
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        out.insert(out.end(), line, line + indexed.width());
    }
    return out;
}

using DrawFrame = std::function<void(QPainter&, int frame)>;

QByteArray MakeClip(int width, int height, int frames, quint32 microseconds,
                    const std::vector<QColor>& keys, bool rle, const DrawFrame& draw) {
    AviFormat format;
    format.width = width;
    format.height = height;
    format.compression = rle ? smsc::clips::kBiRle8 : smsc::clips::kBiRgb;
    format.microsecondsPerFrame = microseconds;
    const QList<QRgb> palette = BuildPalette(keys);
    for (QRgb c : palette)
        format.palette.push_back(c & 0xFFFFFF);

    std::vector<std::string> chunks;
    std::vector<uint8_t> previous;
    for (int i = 0; i < frames; ++i) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, i);
        painter.end();
        std::vector<uint8_t> indices = ToIndices(picture, palette);
        if (rle) {
            chunks.push_back(smsc::clips::EncodeRle8(indices, width, height,
                                                     previous.empty() ? nullptr : &previous));
        } else {
            chunks.push_back(smsc::clips::PackRows(indices, width, height, 1));
        }
        previous = std::move(indices);
    }
    const std::string avi = smsc::clips::BuildAvi(format, chunks);
    return QByteArray(avi.data(), qsizetype(avi.size()));
}

// --- books.avi: an open book whose pages keep turning (login wait window) -------------

const QColor kCover(0x1F, 0x4E, 0x8C);
const QColor kPage(0xFB, 0xF6, 0xE6);
const QColor kPageBack(0xE4, 0xDA, 0xBE);
const QColor kEdge(0x8A, 0x80, 0x6C);
const QColor kInk(0x9A, 0xAE, 0xC8);

QPainterPath PagePath(double spineX, double outerX, double top, double bottom, double lift) {
    QPainterPath path;
    path.moveTo(spineX, top + 4);
    path.quadTo((spineX + outerX) / 2, top - lift, outerX, top);
    path.lineTo(outerX, bottom);
    path.quadTo((spineX + outerX) / 2, bottom - lift, spineX, bottom + 4);
    path.closeSubpath();
    return path;
}

void DrawTextLines(QPainter& p, double spineX, double outerX, double top, int lines) {
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
    const double from = spineX + (outerX - spineX) * 0.14;
    const double to = spineX + (outerX - spineX) * 0.86;
    for (int i = 0; i < lines; ++i) {
        const double y = top + 9 + i * 5.5;
        const double end = (i % 3 == 2) ? from + (to - from) * 0.6 : to;
        p.drawLine(QPointF(from, y), QPointF(end, y));
    }
}

void DrawBooks(QPainter& p, int frame, int frames) {
    const double spine = 80;
    const double left = 26;
    const double right = 134;
    const double top = 12;
    const double bottom = 50;

    // Cover and the stacks of pages.
    p.setPen(Qt::NoPen);
    p.setBrush(kCover);
    p.drawRoundedRect(QRectF(left - 6, top - 2, right - left + 12, bottom - top + 10), 4, 4);
    p.setPen(QPen(kEdge, 1));
    p.setBrush(kPage);
    p.drawPath(PagePath(spine, left, top, bottom, 3));
    p.drawPath(PagePath(spine, right, top, bottom, 3));
    DrawTextLines(p, spine, left, top, 6);
    DrawTextLines(p, spine, right, top, 6);

    // The turning page: its free edge swings from the right stack over to the left one.
    const double angle = kPi * frame / frames;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double edge = spine + (right - spine) * c;
    const double lift = 3 + 10 * s;
    p.setPen(QPen(kEdge, 1));
    p.setBrush(c >= 0 ? kPage : kPageBack);
    p.drawPath(PagePath(spine, edge, top - 7 * s, bottom - 5 * s, lift));
    if (std::abs(c) > 0.3)
        DrawTextLines(p, spine, edge, top - 7 * s, 6);

    // A ribbon bookmark.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD9, 0x3F, 0x3F));
    QPolygonF ribbon;
    ribbon << QPointF(spine - 2, bottom + 2) << QPointF(spine + 2, bottom + 2)
           << QPointF(spine + 2, bottom + 9) << QPointF(spine, bottom + 7)
           << QPointF(spine - 2, bottom + 9);
    p.drawPolygon(ribbon);
}

// --- SendSer.avi: an envelope flies from the phone to the server ("sending") -----------

const QColor kBlue(0x1E, 0x6F, 0xD9);
const QColor kDark(0x33, 0x3D, 0x4A);
const QColor kGreen(0x2E, 0xB8, 0x5C);
const QColor kOrange(0xF2, 0x9A, 0x1F);
const QColor kLight(0xC9, 0xDD, 0xF5);

void DrawEnvelope(QPainter& p, QPointF centre, double scale) {
    const QRectF body(centre.x() - 12 * scale, centre.y() - 8 * scale, 24 * scale, 16 * scale);
    p.setPen(QPen(kBlue, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(body);
    QPolygonF flap;
    flap << body.topLeft() << QPointF(centre.x(), centre.y() + 1 * scale) << body.topRight();
    p.drawPolyline(flap);
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawEllipse(QPointF(centre.x(), centre.y() + 1.5 * scale), 2.2 * scale, 2.2 * scale);
}

void DrawSending(QPainter& p, int frame, int frames) {
    const double t = double(frame) / frames;

    // The phone on the left.
    p.setPen(QPen(kDark, 2));
    p.setBrush(QColor(0xF4, 0xF7, 0xFB));
    p.drawRoundedRect(QRectF(12, 8, 26, 42), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(kLight);
    p.drawRect(QRectF(16, 14, 18, 26));
    p.setBrush(kDark);
    p.drawEllipse(QPointF(25, 45), 2, 2);

    // The server on the right, its lights taking turns.
    for (int i = 0; i < 3; ++i) {
        const QRectF slot(196, 8 + i * 14, 34, 12);
        p.setPen(QPen(kDark, 1.5));
        p.setBrush(QColor(0xE8, 0xEC, 0xF2));
        p.drawRoundedRect(slot, 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(((frame + i) % 3 == 0) ? kGreen : QColor(0xB0, 0xB8, 0xC4));
        p.drawEllipse(QPointF(slot.right() - 6, slot.center().y()), 2.2, 2.2);
        p.setBrush(kDark);
        p.drawRect(QRectF(slot.left() + 4, slot.center().y() - 1, 14, 2));
    }

    // Dotted flight path, then the envelope on it.
    auto pathPoint = [](double u) { return QPointF(50 + 136 * u, 30 - 18 * std::sin(kPi * u)); };
    p.setPen(Qt::NoPen);
    p.setBrush(kLight);
    for (int i = 1; i < 14; ++i)
        p.drawEllipse(pathPoint(i / 14.0), 1.5, 1.5);
    p.setBrush(kBlue);
    for (int i = 1; i < 14; ++i) {
        const double u = i / 14.0;
        if (u < t)
            p.drawEllipse(pathPoint(u), 1.5, 1.5);
    }
    DrawEnvelope(p, pathPoint(0.06 + 0.88 * t), 0.9 + 0.25 * std::sin(kPi * t));

    // Progress track with a sweeping block.
    const QRectF track(12, 53, 218, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE1, 0xE6, 0xEE));
    p.drawRoundedRect(track, 2.5, 2.5);
    p.setBrush(kBlue);
    p.drawRoundedRect(
        QRectF(track.left(), track.top(), track.width() * (frame + 1) / frames, track.height()),
        2.5, 2.5);
}

// --- cxz.avi: a magnifier circles over a list ("querying") ----------------------------

void DrawQuerying(QPainter& p, int frame, int frames) {
    // The sheet being searched.
    p.setPen(QPen(kDark, 1.5));
    p.setBrush(QColor(0xFA, 0xFB, 0xFD));
    p.drawRoundedRect(QRectF(26, 6, 68, 48), 3, 3);
    p.setPen(QPen(kLight, 2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i) {
        const double y = 13 + i * 7;
        p.drawLine(QPointF(33, y), QPointF(i % 2 ? 76 : 86, y));
    }

    const double angle = 2 * kPi * frame / frames;
    const QPointF lens(60 + 14 * std::cos(angle), 27 + 9 * std::sin(angle));
    const double radius = 12;
    // Handle, then the glass with the enlarged line it passes over.
    p.setPen(QPen(kDark, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(radius * 0.72, radius * 0.72),
               lens + QPointF(radius * 1.6, radius * 1.6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE3, 0xF0, 0xFF));
    p.drawEllipse(lens, radius, radius);
    p.save();
    QPainterPath clip;
    clip.addEllipse(lens, radius - 1, radius - 1);
    p.setClipPath(clip);
    p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(-8, -3), lens + QPointF(6, -3));
    p.drawLine(lens + QPointF(-8, 4), lens + QPointF(2, 4));
    p.restore();
    p.setPen(QPen(kDark, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(lens, radius, radius);
}

// --- m4.jpg: the home page picture -----------------------------------------------------

QImage DrawHomePicture() {
    const int w = 560;
    const int h = 420;
    QImage picture(w, h, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0, QColor(0x0D, 0x47, 0xA1));
    sky.setColorAt(0.55, QColor(0x19, 0x76, 0xD2));
    sky.setColorAt(1, QColor(0x4F, 0xC3, 0xF7));
    p.fillRect(picture.rect(), sky);

    // Soft rings in the background.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 22 + i * 4), 2));
        p.drawEllipse(QPointF(430, 250), 60.0 + i * 38, 60.0 + i * 38);
    }

    // The phone with incoming message bubbles.
    const QRectF phone(360, 120, 130, 240);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawRoundedRect(phone.translated(6, 8), 22, 22);
    p.setBrush(QColor(0x26, 0x32, 0x38));
    p.drawRoundedRect(phone, 22, 22);
    const QRectF screen = phone.adjusted(10, 30, -10, -36);
    p.setBrush(QColor(0xEC, 0xF4, 0xFB));
    p.drawRoundedRect(screen, 6, 6);
    p.setBrush(QColor(0x45, 0x55, 0x60));
    p.drawRoundedRect(QRectF(phone.center().x() - 18, phone.top() + 13, 36, 5), 2.5, 2.5);
    p.drawEllipse(QPointF(phone.center().x(), phone.bottom() - 18), 9, 9);

    auto bubble = [&](QRectF r, QColor fill, bool tailLeft) {
        QPainterPath path;
        path.addRoundedRect(r, 8, 8);
        QPolygonF tail;
        const double x = tailLeft ? r.left() + 10 : r.right() - 10;
        const double dx = tailLeft ? -8 : 8;
        tail << QPointF(x - 5, r.bottom() - 2) << QPointF(x + dx, r.bottom() + 8)
             << QPointF(x + 5, r.bottom() - 2);
        path.addPolygon(tail);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPath(path.simplified());
        p.setPen(QPen(QColor(255, 255, 255, 200), 3, Qt::SolidLine, Qt::RoundCap));
        const double left = r.left() + 10;
        p.drawLine(QPointF(left, r.top() + 11), QPointF(r.right() - 12, r.top() + 11));
        p.drawLine(QPointF(left, r.top() + 20), QPointF(r.center().x(), r.top() + 20));
    };
    bubble(QRectF(screen.left() + 6, screen.top() + 10, 78, 30), QColor(0x42, 0xA5, 0xF5), true);
    bubble(QRectF(screen.right() - 84, screen.top() + 54, 78, 30), QColor(0x66, 0xBB, 0x6A), false);
    bubble(QRectF(screen.left() + 6, screen.top() + 98, 78, 30), QColor(0x42, 0xA5, 0xF5), true);

    // Envelopes flying out of the phone.
    auto envelope = [&](QPointF c, double scale, int alpha) {
        const QRectF body(c.x() - 20 * scale, c.y() - 13 * scale, 40 * scale, 26 * scale);
        p.setPen(QPen(QColor(0x0D, 0x47, 0xA1, alpha), 2));
        p.setBrush(QColor(255, 255, 255, alpha));
        p.drawRoundedRect(body, 2, 2);
        QPolygonF flap;
        flap << body.topLeft() << QPointF(c.x(), c.y() + 2 * scale) << body.topRight();
        p.drawPolyline(flap);
    };
    envelope(QPointF(318, 118), 0.8, 230);
    envelope(QPointF(280, 76), 0.62, 190);
    envelope(QPointF(246, 44), 0.46, 150);

    // Title block.
    const QString family = QStringLiteral("WenQuanYi Micro Hei");
    QFont title(family);
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 60));
    p.drawText(QPointF(34, 214), QStringLiteral("短信彩信群发客户端"));
    p.setPen(Qt::white);
    p.drawText(QPointF(32, 212), QStringLiteral("短信彩信群发客户端"));

    QFont badgeFont(family);
    badgeFont.setPixelSize(20);
    badgeFont.setBold(true);
    p.setFont(badgeFont);
    const QRectF badge(34, 232, 84, 32);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xB3, 0x00));
    p.drawRoundedRect(badge, 16, 16);
    p.setPen(QColor(0x3E, 0x27, 0x23));
    p.drawText(badge, Qt::AlignCenter, QStringLiteral("V 6.8"));

    QFont body(family);
    body.setPixelSize(16);
    p.setFont(body);
    p.setPen(QColor(255, 255, 255, 230));
    p.drawText(QPointF(34, 300), QStringLiteral("企业短信 · 彩信群发服务"));
    p.drawText(QPointF(34, 326), QStringLiteral("通讯录 · 常用短语 · 号段查询 · 发送记录"));

    p.setPen(QPen(QColor(255, 255, 255, 120), 2));
    p.drawLine(QPointF(34, 168), QPointF(120, 168));
    return picture;
}

// --- Sms.ico: a speech bubble ------------------------------------------------------------

QImage DrawIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 32.0;
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5 * s, 3 * s, 29 * s, 20 * s), 7 * s, 7 * s);
    QPolygonF tail;
    tail << QPointF(7 * s, 21 * s) << QPointF(5 * s, 29.5 * s) << QPointF(15 * s, 21 * s);
    bubble.addPolygon(tail);
    bubble = bubble.simplified();
    QLinearGradient fill(0, 0, 0, size);
    fill.setColorAt(0, QColor(0x4F, 0xB3, 0xF6));
    fill.setColorAt(1, QColor(0x15, 0x65, 0xC0));
    p.setPen(QPen(QColor(0x0D, 0x47, 0xA1), size >= 32 ? 1.2 : 1.0));
    p.setBrush(fill);
    p.drawPath(bubble);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const double r = size >= 32 ? 2.4 : 1.6;
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF((9 + 7 * i) * s, 13 * s), r, r);
    return icon;
}

// An .ico container with 32-bit BMP images (colour rows bottom-up, then the AND mask).
QByteArray BuildIco(const QList<QImage>& images) {
    std::string out;
    using smsc::clips::PutU16;
    using smsc::clips::PutU32;
    PutU16(out, 0);
    PutU16(out, 1);
    PutU16(out, uint32_t(images.size()));
    std::vector<std::string> payloads;
    for (const QImage& source : images) {
        const QImage image = source.convertToFormat(QImage::Format_ARGB32);
        const int w = image.width();
        const int h = image.height();
        std::string bmp;
        PutU32(bmp, 40);
        PutU32(bmp, uint32_t(w));
        PutU32(bmp, uint32_t(h * 2));
        PutU16(bmp, 1);
        PutU16(bmp, 32);
        for (int i = 0; i < 6; ++i)
            PutU32(bmp, 0);
        for (int y = h - 1; y >= 0; --y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x)
                PutU32(bmp, line[x]);  // B, G, R, A in memory order
        }
        const int maskStride = ((w + 31) / 32) * 4;
        for (int y = h - 1; y >= 0; --y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            std::string row(size_t(maskStride), '\0');
            for (int x = 0; x < w; ++x) {
                if (qAlpha(line[x]) == 0)
                    row[size_t(x / 8)] |= char(0x80 >> (x % 8));
            }
            bmp += row;
        }
        payloads.push_back(std::move(bmp));
    }
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int w = images[i].width();
        const int h = images[i].height();
        out += char(w >= 256 ? 0 : w);
        out += char(h >= 256 ? 0 : h);
        out += '\0';  // no palette
        out += '\0';
        PutU16(out, 1);
        PutU16(out, 32);
        PutU32(out, uint32_t(payloads[size_t(i)].size()));
        PutU32(out, offset);
        offset += uint32_t(payloads[size_t(i)].size());
    }
    for (const std::string& payload : payloads)
        out += payload;
    return QByteArray(out.data(), qsizetype(out.size()));
}

bool WritePreview(const QString& clipPath, const QString& pngPath) {
    smsc::AviClip clip;
    if (!clip.load(clipPath)) {
        std::fprintf(stderr, "cannot read back %s\n", qPrintable(clipPath));
        return false;
    }
    const int columns = 4;
    const int rows = (clip.frameCount() + columns - 1) / columns;
    const QSize cell = clip.size() + QSize(6, 6);
    QImage sheet(cell.width() * columns, cell.height() * rows, QImage::Format_RGB32);
    sheet.fill(QColor(0x80, 0x80, 0x80));
    QPainter p(&sheet);
    for (int i = 0; i < clip.frameCount(); ++i) {
        p.drawImage(QPoint((i % columns) * cell.width() + 3, (i / columns) * cell.height() + 3),
                    clip.frame(i));
    }
    p.end();
    return sheet.scaled(sheet.size() * 2).save(pngPath, "PNG");
}

// The home picture and every size of the icon as Qt reads them back, as PNG.
bool WritePicturePreviews(const QDir& data, const QDir& preview) {
    const QImage home(data.filePath(QStringLiteral("picture/m4.jpg")));
    bool ok = !home.isNull() && home.save(preview.filePath(QStringLiteral("m4.jpg.png")), "PNG");
    QImageReader reader(data.filePath(QStringLiteral("ico/Sms.ico")));
    QList<QImage> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i))
            break;
        sizes.append(reader.read());
    }
    if (sizes.size() != 2) {
        std::fprintf(stderr, "the icon reads back as %d images\n", int(sizes.size()));
        return false;
    }
    QImage sheet(8 * 32 + 8 * 16 + 12, 8 * 32 + 4, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&sheet);
    p.drawImage(QRect(2, 2, 8 * 32, 8 * 32), sizes[0]);
    p.drawImage(QRect(8 * 32 + 8, 2, 8 * 16, 8 * 16), sizes[1]);
    p.end();
    return sheet.save(preview.filePath(QStringLiteral("Sms.ico.png")), "PNG") && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);

    bool rle = false;
    QString preview;
    QString dataFolder;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--rle8")) {
            rle = true;
        } else if (args[i] == QStringLiteral("--preview") && i + 1 < args.size()) {
            preview = args[++i];
        } else if (dataFolder.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
            dataFolder = args[i];
        } else {
            dataFolder.clear();
            break;
        }
    }
    if (dataFolder.isEmpty()) {
        std::fprintf(stderr,
                     "usage: smsclient-make-clips [--rle8] [--preview FOLDER] DATA_FOLDER\n");
        return 2;
    }

    const QDir data(dataFolder);
    if (!data.mkpath(QStringLiteral("picture")) || !data.mkpath(QStringLiteral("ico"))) {
        std::fprintf(stderr, "cannot create the folders under %s\n", qPrintable(dataFolder));
        return 1;
    }

    struct ClipSpec {
        QString name;
        int width;
        int height;
        int frames;
        quint32 microseconds;
        std::vector<QColor> keys;
        std::function<void(QPainter&, int, int)> draw;
    };
    const std::vector<ClipSpec> clips{
        {QStringLiteral("books.avi"),
         160,
         60,
         12,
         100000,
         {kCover, kPage, kPageBack, kEdge, kInk, QColor(0xD9, 0x3F, 0x3F)},
         DrawBooks},
        {QStringLiteral("SendSer.avi"),
         240,
         60,
         10,
         100000,
         {kBlue, kDark, kGreen, kOrange, kLight, QColor(0xE1, 0xE6, 0xEE), QColor(0xB0, 0xB8, 0xC4),
          QColor(0xF4, 0xF7, 0xFB)},
         DrawSending},
        {QStringLiteral("cxz.avi"),
         120,
         60,
         12,
         83333,
         {kBlue, kDark, kLight, QColor(0xE3, 0xF0, 0xFF)},
         DrawQuerying},
    };

    bool ok = true;
    for (const ClipSpec& clip : clips) {
        const QByteArray avi =
            MakeClip(clip.width, clip.height, clip.frames, clip.microseconds, clip.keys, rle,
                     [&](QPainter& p, int frame) { clip.draw(p, frame, clip.frames); });
        const QString path = data.filePath(QStringLiteral("picture/") + clip.name);
        ok = WriteBytes(path, avi) && ok;
        if (!preview.isEmpty()) {
            QDir().mkpath(preview);
            ok = WritePreview(path, QDir(preview).filePath(clip.name + QStringLiteral(".png"))) &&
                 ok;
        }
    }

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!DrawHomePicture().save(&buffer, "JPEG", 88)) {
        std::fprintf(stderr, "cannot encode the home picture (JPEG plugin missing?)\n");
        ok = false;
    } else {
        ok = WriteBytes(data.filePath(QStringLiteral("picture/m4.jpg")), jpeg) && ok;
    }
    ok = WriteBytes(data.filePath(QStringLiteral("ico/Sms.ico")),
                    BuildIco({DrawIcon(32), DrawIcon(16)})) &&
         ok;
    if (!preview.isEmpty())
        ok = WritePicturePreviews(data, QDir(preview)) && ok;
    return ok ? 0 : 1;
}
