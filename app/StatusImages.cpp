#include "app/StatusImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace smsc {
namespace {

// A globe (the server) with a green tick or a red cross over its lower right.
QPixmap drawStatus(bool connected) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QRadialGradient globe(QPointF(11, 10), 16);
    globe.setColorAt(0, connected ? QColor(0x9f, 0xd8, 0xff) : QColor(0xe0, 0xe0, 0xe0));
    globe.setColorAt(1, connected ? QColor(0x1c, 0x6e, 0xc4) : QColor(0x80, 0x80, 0x80));
    p.setPen(QPen(connected ? QColor(0x12, 0x4c, 0x8a) : QColor(0x5a, 0x5a, 0x5a), 1.2));
    p.setBrush(globe);
    p.drawEllipse(QRectF(2, 2, 24, 24));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(8, 2, 12, 24));
    p.drawLine(QPointF(2, 14), QPointF(26, 14));
    p.drawLine(QPointF(4.5, 8), QPointF(23.5, 8));
    p.drawLine(QPointF(4.5, 20), QPointF(23.5, 20));

    const QRectF badge(17, 17, 14, 14);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(connected ? QColor(0x2e, 0xa0, 0x43) : QColor(0xd3, 0x2f, 0x2f));
    p.drawEllipse(badge);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (connected) {
        QPainterPath tick;
        tick.moveTo(20.5, 24);
        tick.lineTo(23, 26.5);
        tick.lineTo(27.5, 21);
        p.drawPath(tick);
    } else {
        p.drawLine(QPointF(21, 21), QPointF(27, 27));
        p.drawLine(QPointF(27, 21), QPointF(21, 27));
    }
    return pixmap;
}

}  // namespace

QPixmap StatusImage(int index) {
    if (index == kImageConnected)
        return drawStatus(true);
    if (index == kImageDisconnected)
        return drawStatus(false);
    return {};
}

}  // namespace smsc
