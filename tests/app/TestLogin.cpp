// The login check: "登录", the wait window and every kind of answer of softweb/login.asp.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

#include "app/AppCommon.h"
#include "platform/ClipPlayer.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class Login : public AppFixture {};

TEST_F(Login, StatusThreeConnectsWithTheQuotaAndTheUser) {
    start();
    login().Edit1->setText(QStringLiteral("张三"));
    login().Edit2->setText(QStringLiteral("pw"));
    server.setBody("/softweb/login.asp", "3|0");
    login().Button1Click();

    TForm3* wait = main->waitWindow();
    EXPECT_TRUE(wait->isVisible());
    EXPECT_TRUE(wait->Animate1->isPlaying());
    EXPECT_EQ(wait->Timer1->interval(), 2500);
    EXPECT_TRUE(wait->Timer1->isSingleShot());
    EXPECT_FALSE(login().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(server.requestCount(), 0u);  // nothing is sent before the tick

    wait->Timer1Timer();
    EXPECT_FALSE(wait->Timer1->isActive());
    EXPECT_FALSE(wait->isVisible());
    EXPECT_FALSE(login().isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->connectionState(), QStringLiteral("3"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信0条"));
    EXPECT_EQ(main->statusText(), QStringLiteral("已连接服务器"));
    EXPECT_EQ(main->userText(), QStringLiteral("用户：张三"));
    EXPECT_EQ(main->connectionImageIndex(), 0);
    EXPECT_TRUE(ui.messages.empty());
    // The search page's tree, from CityInfo.dat.
    ASSERT_EQ(main->provinceTree()->topLevelItemCount(), 1);
    EXPECT_EQ(main->provinceTree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("北京"));

    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.target, "/softweb/login.asp");
    EXPECT_EQ(request.body, "username=" + G("张三") + "&password=pw");
}

TEST_F(Login, FieldsAreReadWhenTheTimerFires) {
    start();
    server.setBody("/softweb/login.asp", "3|12");
    login().Edit1->setText(QStringLiteral("first"));
    login().Edit2->setText(QStringLiteral("one"));
    login().Button1Click();
    login().Edit1->setText(QStringLiteral("second"));
    login().Edit2->setText(QStringLiteral("two"));
    main->waitWindow()->Timer1Timer();
    EXPECT_EQ(server.lastRequest().body, "username=second&password=two");
    EXPECT_EQ(main->userText(), QStringLiteral("用户：second"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信12条"));
}

TEST_F(Login, RefusalsKeepTheLoginWindowOpen) {
    start();
    const struct {
        std::string answer;
        QString message;
    } cases[] = {{"1", QStringLiteral("您输入的用户名或者密码错误，请重新输入")},
                 {"2|", QStringLiteral("该帐户被停用")}};
    for (const auto& c : cases) {
        ui.clear();
        logIn(QStringLiteral("u"), QStringLiteral("p"), c.answer);
        ASSERT_EQ(ui.messages.size(), 1u) << c.answer;
        EXPECT_EQ(ui.lastMessage().text, c.message);
        EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
        EXPECT_EQ(ui.lastMessage().icon, MsgIcon::Question);
        EXPECT_EQ(ui.lastMessage().buttons, MsgButtons::Ok);
        EXPECT_TRUE(login().isVisible());
        EXPECT_FALSE(main->waitWindow()->isVisible());
        EXPECT_EQ(main->connectionState(), QString());
        EXPECT_EQ(main->connectionImageIndex(), -1);
    }
}

TEST_F(Login, NetworkFailureShowsTheMessageAndGoesOffline) {
    pointServiceAt(unreachableBase());
    start();
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().Button1Click();
    main->waitWindow()->Timer1Timer();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("连接服务器超时，请检查网络！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_FALSE(login().isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->connectionState(), QStringLiteral("0"));
    EXPECT_EQ(main->statusText(), QStringLiteral("未连接服务器"));
    EXPECT_EQ(main->connectionImageIndex(), 1);
    EXPECT_FALSE(main->waitWindow()->isVisible());
}

TEST_F(Login, UnknownOrMalformedAnswersLeaveTheLoginWindowUsable) {
    start();
    // "3" without its quota is malformed: nothing is claimed.
    for (const std::string answer : {"", "7|x", "3", "ok"}) {
        logIn(QStringLiteral("u"), QStringLiteral("p"), answer);
        EXPECT_TRUE(ui.messages.empty()) << answer;
        EXPECT_FALSE(main->waitWindow()->isVisible()) << answer;
        EXPECT_TRUE(login().isVisible()) << answer;
        EXPECT_TRUE(login().Button1->isEnabled()) << answer;
        EXPECT_EQ(main->connectionState(), QString()) << answer;
    }
    EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(Login, EmptyNameOrPasswordIsRefusedWithoutARequest) {
    start();
    for (const auto& [user, pass] :
         {std::pair{QString(), QStringLiteral("p")}, std::pair{QStringLiteral("u"), QString()}}) {
        ui.clear();
        login().Edit1->setText(user);
        login().Edit2->setText(pass);
        login().Button1Click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.lastMessage().text, QStringLiteral("密码不能为空！"));
        // The login window's own messages: plain, captioned with the application title.
        EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("短信彩信群发客户端"));
        EXPECT_EQ(ui.lastMessage().icon, MsgIcon::None);
        EXPECT_FALSE(main->waitWindow()->isVisible());
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(Login, MissingAnimationStopsTheLogin) {
    std::filesystem::remove(data.file("picture/books.avi"));
    start();
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().Button1Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("系统文件丢失，请重新安装"));
    EXPECT_FALSE(main->waitWindow()->isVisible());
    EXPECT_FALSE(main->waitWindow()->Timer1->isActive());
}

TEST_F(Login, ProvinceTreeIsBuiltOnceAndItsFailureReported) {
    start();
    int builds = 0;
    main->setProvinceTreeBuilder([&builds](QTreeWidget* tree) {
        ++builds;
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList(QStringLiteral("北京"))));
        return true;
    });
    logIn(QStringLiteral("u"), QStringLiteral("p"), "3|5");
    EXPECT_EQ(builds, 1);
    EXPECT_FALSE(main->provinceTreeIsEmpty());

    // Disconnect, reconnect: the tree already has entries.
    ui.answerNext(MsgAnswer::Ok);
    main->Image2Click();
    ASSERT_EQ(main->connectionState(), QStringLiteral("0"));
    main->Image2Click();
    ASSERT_TRUE(login().isVisible());
    logIn(QStringLiteral("u"), QStringLiteral("p"), "3|4");
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(main->provinceTree()->topLevelItemCount(), 1);
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信4条"));

    // An empty tree that cannot be built: reported, still connected.
    main->provinceTree()->clear();
    main->setProvinceTreeBuilder([](QTreeWidget*) { return false; });
    ui.clear();
    logIn(QStringLiteral("u"), QStringLiteral("p"), "3|4");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("程序文件丢失，请重新安装"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_EQ(main->connectionState(), QStringLiteral("3"));
    EXPECT_FALSE(main->waitWindow()->isVisible());
}

TEST_F(Login, NoLineMeansNoRequestAndTheNetworkFailure) {
    start();
    login().ComboBox1->setCurrentIndex(-1);
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().Button1Click();
    main->waitWindow()->Timer1Timer();
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("连接服务器超时，请检查网络！"));
    EXPECT_EQ(main->connectionState(), QStringLiteral("0"));
}

}  // namespace
