#include "records/TForm21.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"

namespace smsc {

TForm21::TForm21(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TForm21"));
    setWindowTitle(QStringLiteral("查询中，请稍候......"));
    setFixedSize(255, 81);
    Animate1 = new ClipPlayer(this);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setGeometry(0, 0, 255, 81);
    Animate1->setAlignment(Qt::AlignCenter);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TForm21::~TForm21() = default;

void TForm21::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Animate1->open(QString::fromStdString(DataPath("picture/cxz.avi"))))
        Animate1->play();
}

void TForm21::hideEvent(QHideEvent* event) {
    Animate1->stop();
    QWidget::hideEvent(event);
}

}  // namespace smsc
