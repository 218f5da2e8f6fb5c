// End to end against the real demo service program: refused logins, a stopped account and
// the notice check against the service's notice file.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/TForm17.h"
#include "recipients/RecipientPanel.h"
#include "tests/app/EndToEnd.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class EndToEndAccount : public EndToEndTest {
protected:
    std::string localNotice(const std::string& key) const {
        const IniFile ini(DataPath("Notice_info.ini"));
        return GbkToUtf8(ini.value("Notice_info", key).value_or("<missing>"));
    }
};

TEST_F(EndToEndAccount, WrongPasswordIsRefusedAndARetrySucceeds) {
    startService();
    startClient();
    logIn(QStringLiteral("demo"), QStringLiteral("wrong"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("您输入的用户名或者密码错误，请重新输入"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_EQ(main->connectionState(), QString());
    EXPECT_TRUE(login().isVisible());
    EXPECT_FALSE(main->waitWindow()->isVisible());

    // An unknown user reads the same.
    ui.clear();
    logIn(QStringLiteral("nobody"), QStringLiteral("demo"));
    EXPECT_EQ(ui.messageTexts(),
              QStringList{QStringLiteral("您输入的用户名或者密码错误，请重新输入")});

    ui.clear();
    logIn(QStringLiteral("demo"), QStringLiteral("demo"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(main->connectionState(), QStringLiteral("3"));
    EXPECT_EQ(main->statusText(), QStringLiteral("已连接服务器"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信10000条"));
    EXPECT_FALSE(login().isVisible());
}

TEST_F(EndToEndAccount, StoppedAccountCannotLogIn) {
    startService();
    ASSERT_EQ(service->admin({"set-state", "demo", "disabled"}), 0);
    startClient();
    logIn(QStringLiteral("demo"), QStringLiteral("demo"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("该帐户被停用"));
    EXPECT_FALSE(main->isConnected());
    EXPECT_TRUE(login().isVisible());

    // The send pages stay closed.
    ui.clear();
    main->Button2->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("请连接服务器！")});
    EXPECT_EQ(main->currentPage(), TForm2::Page::Home);

    ASSERT_EQ(service->admin({"set-state", "demo", "enabled"}), 0);
    ui.clear();
    logIn(QStringLiteral("demo"), QStringLiteral("demo"));
    EXPECT_TRUE(main->isConnected());
}

TEST_F(EndToEndAccount, NoServiceIsANetworkFailureAndTheLoginWindowCloses) {
    startService();
    startClient();
    service.reset();
    logIn(QStringLiteral("demo"), QStringLiteral("demo"));
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("连接服务器超时，请检查网络！")});
    EXPECT_EQ(main->connectionState(), QStringLiteral("0"));
    EXPECT_EQ(main->statusText(), QStringLiteral("未连接服务器"));
    EXPECT_FALSE(login().isVisible());
}

class EndToEndNotice : public EndToEndAccount {
protected:
    // A notice file (GBK) for the service; the notice on the fourth line.
    void startWithNotice(const std::string& utf8) {
        noticeFolder.writeFile("message.txt", Utf8ToGbk(utf8));
        startService({"--notice-file", noticeFolder.file("message.txt")});
        startClient();
    }
    TempFolder noticeFolder;
};

TEST_F(EndToEndNotice, DeclinedUpdateShowsTheNoticeAndTheServicesMmsCost) {
    startWithNotice(
        "Version=7.1\r\nmmstosms=3\r\nHome=demo\r\nNotice=系统维护通知|今晚十点停机\r\n");
    ASSERT_EQ(localNotice("Version"), "6.8");
    ASSERT_EQ(localNotice("mmstosms"), "5");

    ui.answerNext(MsgAnswer::Cancel);
    login().Timer1Timer();
    ASSERT_GE(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("发现有新版软件,是否现在需要升级?"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.startedPrograms.empty());
    EXPECT_EQ(ui.quitCount, 0);
    EXPECT_EQ(main->versionLabel()->text(), QStringLiteral("V 6.8"));

    // The notice window, shown once, with both paragraphs indented.
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0], main->noticeWindow());
    const QString shown = main->noticeWindow()->Memo1->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("    系统维护通知"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("    今晚十点停机"))) << shown.toStdString();
    EXPECT_FALSE(main->noticeWindow()->CheckBox1->isChecked());

    // The local copy: everything but Version; the cost now follows the service.
    EXPECT_EQ(localNotice("Version"), "6.8");
    EXPECT_EQ(localNotice("Notice"), "系统维护通知|今晚十点停机");
    EXPECT_EQ(localNotice("Home"), "demo");
    EXPECT_EQ(localNotice("mmstosms"), "3");
    EXPECT_EQ(main->costNote(),
              QStringLiteral("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除3条短信"));
}

TEST_F(EndToEndNotice, AcceptedUpdateOpensTheUpdaterAndEnds) {
    data.writeFile("UpData.exe", "MZ");
    startWithNotice("Version=7.1\r\nmmstosms=3\r\nHome=demo\r\nNotice=有新版本\r\n");
    ui.answerNext(MsgAnswer::Ok);
    login().Timer1Timer();
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_TRUE(ui.openedWithDesktop[0].endsWith(QStringLiteral("UpData.exe")));
    EXPECT_EQ(ui.quitCount, 1);
    EXPECT_FALSE(ui.endedCopies.empty());
    EXPECT_TRUE(ui.shownDialogs.empty());  // nothing else is done
    EXPECT_EQ(localNotice("Notice"), "<missing>");
    EXPECT_EQ(main->costNote(), QString());
}

TEST_F(EndToEndNotice, SameVersionWithASuppressedUnchangedNoticeShowsNothing) {
    startWithNotice("Version=6.8\r\nmmstosms=5\r\nHome=demo\r\nNotice=老通知\r\n");
    {
        IniFile ini(DataPath("Notice_info.ini"));
        ASSERT_TRUE(ini.write("Notice_info", "Notice", Utf8ToGbk("老通知")));
    }
    main->noticeWindow()->CheckBox1->setChecked(true);  // "以后不再显示"
    login().Timer1Timer();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.shownDialogs.empty());
    EXPECT_EQ(main->versionLabel()->text(), QStringLiteral("V 6.8"));
    EXPECT_EQ(main->costNote(),
              QStringLiteral("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除5条短信"));
}

}  // namespace
