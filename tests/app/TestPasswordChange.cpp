// The password dialog: its checks, the timer's request and every answer of
// softweb/changepassword.asp, including the reset of the remembered login on success.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/TForm16.h"
#include "sending/TForm15.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class PasswordChange : public AppFixture {
protected:
    // Logged in as "u"/"old" and the dialog open (left open by the scripted seam).
    TForm16& openDialog() {
        start();
        logIn(QStringLiteral("u"), QStringLiteral("old"), "3|100");
        EXPECT_EQ(main->connectionState(), QStringLiteral("3"));
        ui.clear();
        main->Button8Click();
        EXPECT_EQ(ui.shownDialogs.size(), 1u);
        return *main->passwordDialog();
    }
    void fill(TForm16& d, const QString& old, const QString& fresh, const QString& again) {
        d.Edit2->setText(old);
        d.Edit3->setText(fresh);
        d.Edit4->setText(again);
    }
};

TEST_F(PasswordChange, OpeningShowsTheAccountAndEmptyMaskedFields) {
    start();
    main->showConnected(QString(), QString());
    TForm16& d = *main->passwordDialog();
    d.Edit2->setText(QStringLiteral("stale"));
    login().Edit1->setText(QStringLiteral("账户一"));
    main->Button8Click();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("修改账户密码"));
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("账户一"));
    EXPECT_TRUE(d.Edit1->isReadOnly());
    for (QLineEdit* e : {d.Edit2, d.Edit3, d.Edit4}) {
        EXPECT_TRUE(e->text().isEmpty());
        EXPECT_EQ(e->echoMode(), QLineEdit::Password);
    }
}

TEST_F(PasswordChange, ChecksRunInOrderBeforeAnyRequest) {
    TForm16& d = openDialog();
    const struct {
        QString old, fresh, again, message;
    } cases[] = {
        {QString(), QString(), QString(), QStringLiteral("新密码不能为空！")},
        {QStringLiteral("o"), QStringLiteral("Abc"), QStringLiteral("abc"),
         QStringLiteral("两次输入的密码不相同，请重新修改")},
        {QString(), QStringLiteral("n"), QStringLiteral("n"), QStringLiteral("原密码不能为空！")},
    };
    const size_t before = server.requestCount();
    for (const auto& c : cases) {
        ui.clear();
        fill(d, c.old, c.fresh, c.again);
        d.Button1Click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.lastMessage().text, c.message);
        EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
        EXPECT_FALSE(d.Timer1->isActive());
    }
    fill(d, QStringLiteral("o"), QStringLiteral("n"), QStringLiteral("n"));
    d.Button1Click();
    EXPECT_TRUE(d.Timer1->isActive());
    EXPECT_EQ(d.Timer1->interval(), 2000);
    EXPECT_TRUE(main->progressWindow()->isVisible());
    EXPECT_EQ(server.requestCount(), before);
}

TEST_F(PasswordChange, AnswersOtherThanSuccessLeaveTheDialogUsable) {
    TForm16& d = openDialog();
    const struct {
        std::string answer;
        QString message;  // empty: no message
    } cases[] = {
        {"1", QStringLiteral("密码修改失败，原密码输入不正确！")},
        {"2", QStringLiteral("密码修改失败，该帐户被停用")},
        {"3|88.5", QStringLiteral("余额88.5")},
        {"4", QStringLiteral("密码修改失败，新密码输入错误！")},
        {"9|?", QString()},
        {"", QString()},
    };
    for (const auto& c : cases) {
        ui.clear();
        server.setBody("/softweb/changepassword.asp", c.answer);
        fill(d, QStringLiteral("old"), QStringLiteral("n&1"), QStringLiteral("n&1"));
        d.Button1Click();
        d.Timer1Timer();
        EXPECT_EQ(server.lastRequest().body, "username=u&password=old&newpassword=n&1");
        if (c.message.isEmpty()) {
            EXPECT_TRUE(ui.messages.empty()) << c.answer;
        } else {
            ASSERT_EQ(ui.messages.size(), 1u) << c.answer;
            EXPECT_EQ(ui.lastMessage().text, c.message);
            EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
        }
        EXPECT_TRUE(d.isEnabled()) << c.answer;
        EXPECT_TRUE(d.Button1->isEnabled()) << c.answer;
        EXPECT_TRUE(d.isVisible()) << c.answer;
        EXPECT_FALSE(main->progressWindow()->isVisible()) << c.answer;
        EXPECT_TRUE(main->isVisible());
    }
}

TEST_F(PasswordChange, NetworkFailureIsReportedSoTheUserKnowsNothingChanged) {
    TForm16& d = openDialog();
    pointServiceAt(unreachableBase());
    fill(d, QStringLiteral("old"), QStringLiteral("n"), QStringLiteral("n"));
    d.Button1Click();
    d.Timer1Timer();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("连接服务器超时，请检查网络！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_TRUE(d.isEnabled());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(main->progressWindow()->isVisible());
}

TEST_F(PasswordChange, SuccessForgetsTheRememberedLoginAndReturnsToTheLoginWindow) {
    LoginStore store;
    ASSERT_TRUE(store.write({{QStringLiteral("User_Name"), QStringLiteral("u")},
                             {QStringLiteral("User_Pass"), QStringLiteral("old")},
                             {QStringLiteral("User_Boo"), QStringLiteral("yes")}}));
    TForm16& d = openDialog();
    ASSERT_TRUE(login().CheckBox1->isChecked());
    server.setBody("/softweb/changepassword.asp", "5");
    fill(d, QStringLiteral("old"), QStringLiteral("new"), QStringLiteral("new"));
    d.Button1Click();
    d.Timer1Timer();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("密码修改成功,请重新登录服务器"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("恭喜"));
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(d.isEnabled());
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(login().isVisible());
    EXPECT_TRUE(login().Edit1->text().isEmpty());
    EXPECT_TRUE(login().Edit2->text().isEmpty());
    EXPECT_FALSE(login().CheckBox1->isChecked());
    EXPECT_EQ(store.value(QStringLiteral("User_Boo")), QStringLiteral("no"));
    EXPECT_EQ(store.value(QStringLiteral("User_Name")), QString());
    EXPECT_EQ(store.value(QStringLiteral("User_Pass")), QString());
    EXPECT_EQ(main->connectionState(), QStringLiteral("3"));
    EXPECT_FALSE(main->progressWindow()->isVisible());
}

}  // namespace
