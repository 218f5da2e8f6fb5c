#include "app/TForm16.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/AccountAnswers.h"
#include "app/AppCommon.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "sending/TForm15.h"
#include "service/ExchangeWait.h"
#include "service/ServiceClient.h"

namespace smsc {
namespace {

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TForm16::TForm16(TForm2* mainWindow) : QDialog(nullptr), m_main(mainWindow) {
    setObjectName(QStringLiteral("TForm16"));
    setWindowTitle(QStringLiteral("修改账户密码"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(300, 200);

    const QString captions[] = {QStringLiteral("用户账号："), QStringLiteral("旧  密  码："),
                                QStringLiteral("新  密  码："), QStringLiteral("确认密码：")};
    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4};
    QLineEdit** edits[] = {&Edit1, &Edit2, &Edit3, &Edit4};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(captions[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setGeometry(30, 20 + i * 34, 80, 24);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        edit->setGeometry(112, 20 + i * 34, 160, 24);
        if (i > 0)
            ShowAsPassword(edit);
        *labels[i] = label;
        *edits[i] = edit;
    }
    Edit1->setReadOnly(true);

    Button1 = named(new QPushButton(QStringLiteral("确定"), this), "Button1");
    Button1->setGeometry(62, 158, 80, 28);
    Button1->setDefault(true);
    Button2 = named(new QPushButton(QStringLiteral("取消"), this), "Button2");
    Button2->setGeometry(160, 158, 80, 28);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(2000);
    Timer1->setSingleShot(true);
    HoldWhileExchanging(Timer1);

    connect(Button1, &QPushButton::clicked, this, &TForm16::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm16::Button2Click);
    connect(Timer1, &QTimer::timeout, this, &TForm16::Timer1Timer);
}

TForm16::~TForm16() = default;

int TForm16::openDialog() {
    Edit1->setText(m_main->loginWindow()->Edit1->text());
    Edit2->clear();
    Edit3->clear();
    Edit4->clear();
    return Ui().execDialog(this);
}

void TForm16::Button1Click() {
    const QString remind = QStringLiteral("提醒");
    if (Edit3->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("新密码不能为空！"), remind);
    } else if (Edit3->text() != Edit4->text()) {
        ShowMessage(this, QStringLiteral("两次输入的密码不相同，请重新修改"), remind);
    } else if (Edit2->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("原密码不能为空！"), remind);
    } else {
        Timer1->start();
        if (TForm15* progress = m_main->progressWindow()) {
            progress->show();
            progress->raise();
        }
    }
}

void TForm16::Button2Click() {
    reject();
}

void TForm16::setUsable(bool usable) {
    setEnabled(usable);
    Button1->setEnabled(usable);
}

void TForm16::Timer1Timer() {
    Timer1->stop();
    TForm1* login = m_main->loginWindow();
    const Credentials credentials = login->currentCredentials();
    const std::string answer =
        ChangePassword(credentials.context, credentials.userName, GbkFromQString(Edit2->text()),
                       GbkFromQString(Edit3->text()));
    setUsable(false);
    const PasswordAnswer result = ReadPasswordAnswer(answer);
    if (TForm15* progress = m_main->progressWindow())
        progress->hide();

    if (result.status != PasswordStatus::Changed) {
        if (!result.message.empty())
            ShowMessage(this, QStringFromGbk(result.message), QStringFromGbk(result.caption));
        setUsable(true);
        return;
    }
    // The new password is typed again at the next login; the connection state stays "3".
    login->Edit2->clear();
    login->forgetLogin();
    ShowMessage(this, QStringFromGbk(result.message), QStringFromGbk(result.caption));
    setUsable(true);
    done(QDialog::Accepted);
    m_main->hide();
    login->show();
    login->raise();
    login->activateWindow();
}

}  // namespace smsc
