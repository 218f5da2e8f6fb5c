#include "app/Labels.h"

#include <QMouseEvent>

namespace smsc {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

LinkLabel::LinkLabel(QWidget* parent) : ClickLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setLook(Look::Normal);
}

void LinkLabel::setLook(Look look) {
    m_look = look;
    const char* colour = look == Look::Normal ? "navy" : look == Look::Hover ? "red" : "blue";
    setStyleSheet(QStringLiteral("color: %1; text-decoration: underline; background: transparent;")
                      .arg(QLatin1String(colour)));
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    ClickLabel::enterEvent(event);
    setLook(Look::Hover);
}

void LinkLabel::leaveEvent(QEvent* event) {
    ClickLabel::leaveEvent(event);
    setLook(Look::Visited);
}

}  // namespace smsc
