#include "app/TForm3.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "app/AccountAnswers.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "service/ExchangeWait.h"
#include "service/ServiceClient.h"

namespace smsc {

TForm3::TForm3(TForm2* mainWindow)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_main(mainWindow) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("请稍候"));
    setFixedSize(272, 90);

    Animate1 = new ClipPlayer(this);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setGeometry(0, 0, 272, 90);
    Animate1->setAlignment(Qt::AlignCenter);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2500);
    Timer1->setSingleShot(true);
    HoldWhileExchanging(Timer1);
    connect(Timer1, &QTimer::timeout, this, &TForm3::Timer1Timer);
}

TForm3::~TForm3() = default;

bool TForm3::startLoginCheck() {
    if (!Animate1->open(QString::fromStdString(DataPath("picture/books.avi"))))
        return false;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    show();
    raise();
    Animate1->play();
    Timer1->start();
    return true;
}

void TForm3::stopWaiting() {
    Animate1->stop();
    hide();
}

void TForm3::Timer1Timer() {
    TForm1* login = m_main->loginWindow();
    const Credentials credentials = login->currentCredentials();
    Timer1->stop();

    const LoginAnswer answer = ReadLoginAnswer(
        Get_balance(credentials.context, credentials.userName, credentials.password));
    const QString remind = QStringLiteral("提醒");
    switch (answer.status) {
        case LoginStatus::Connected: {
            login->hide();
            m_main->show();
            m_main->showConnected(
                QStringLiteral("剩余短信") + QStringFromGbk(answer.quota) + QStringLiteral("条"),
                QStringLiteral("用户：") + QStringFromGbk(credentials.userName));
            // A tree that already has entries is not built again.
            const bool treeReady =
                !m_main->provinceTreeIsEmpty() || m_main->Treev3_Initialization();
            stopWaiting();
            if (!treeReady)
                ShowMessage(m_main, QStringLiteral("程序文件丢失，请重新安装"), remind);
            break;
        }
        case LoginStatus::WrongCredentials:
        case LoginStatus::Disabled:
            stopWaiting();
            ShowMessage(login, QStringFromGbk(answer.message), remind);
            break;
        case LoginStatus::NetworkFailure:
            stopWaiting();
            ShowMessage(login, QStringFromGbk(answer.message), remind);
            login->closeToOffline();
            break;
        case LoginStatus::Unrecognised:
            // Nothing to report: the login window stays usable for another try.
            stopWaiting();
            break;
    }
}

void TForm3::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

}  // namespace smsc
