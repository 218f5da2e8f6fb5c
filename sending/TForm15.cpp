#include "sending/TForm15.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"
#include "service/ExchangeWait.h"

namespace smsc {
namespace {

QTimer* makeTimer(QWidget* owner, const char* name) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(3000);
    timer->setSingleShot(true);
    HoldWhileExchanging(timer);
    return timer;
}

}  // namespace

TForm15::TForm15(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TForm15"));
    setWindowTitle(QStringLiteral("信息发送中，请稍候....."));
    setFixedSize(253, 81);

    Animate1 = new ClipPlayer(this);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setGeometry(0, 0, 252, 80);
    Animate1->setAlignment(Qt::AlignCenter);

    Timer1 = makeTimer(this, "Timer1");
    Timer2 = makeTimer(this, "Timer2");
    Timer3 = makeTimer(this, "Timer3");
    connect(Timer1, &QTimer::timeout, this, &TForm15::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm15::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &TForm15::Timer3Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TForm15::~TForm15() = default;

void TForm15::Timer1Timer() {
    tick(Timer1, 0);
}
void TForm15::Timer2Timer() {
    tick(Timer2, 1);
}
void TForm15::Timer3Timer() {
    tick(Timer3, 2);
}

void TForm15::tick(QTimer* timer, int index) {
    timer->stop();
    if (m_handlers[index])
        m_handlers[index]();
}

void TForm15::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A missing clip only means no animation.
    if (Animate1->open(QString::fromStdString(DataPath("picture/SendSer.avi"))))
        Animate1->play();
}

void TForm15::hideEvent(QHideEvent* event) {
    Animate1->stop();
    QWidget::hideEvent(event);
}

void TForm15::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

}  // namespace smsc
