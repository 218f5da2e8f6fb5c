// Exchanges made on the window thread: the transfer runs on a worker while the window thread
// keeps turning its event loop; input meanwhile is dropped, and a timer or a window close
// that comes due meanwhile follows the answer. The loopback service answers each request
// only once the window thread has ticked a few times more, which it cannot do while blocked.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "service/ExchangeWait.h"
#include "service/ServiceClient.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

using namespace std::chrono_literals;

class ExchangeWait : public AppFixture {
protected:
    ExchangeWait() {
        InstallExchangeWait();
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            ++ticks;
            if (ExchangeInFlight() && duringExchange)
                std::exchange(duringExchange, nullptr)();
        });
        ticker.start();
    }

    // On the server's thread: true once the window thread has ticked n more times.
    bool windowTicked(int n) {
        const int start = ticks.load();
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (ticks.load() - start < n) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    // Every page answers "<path>" once the window thread has been seen ticking, and a
    // refusal ("blocked") otherwise.
    void answerAfterTicks(std::function<std::string(const std::string& path)> body) {
        server.setHandler([this, body](const RecordedRequest& request) {
            const std::string path = request.target;
            CannedResponse r;
            r.body = windowTicked(5) ? body(path) : "blocked";
            return r;
        });
    }

    ServiceContext context() const {
        ServiceContext ctx;
        ctx.endpoints = {server.baseUrl(), server.baseUrl(), server.baseUrl() + "mms/", {}};
        ctx.lineIndex = 0;
        ctx.readTimeoutOverride = 30s;  // generous on a loaded machine
        return ctx;
    }

    // Runs until the test's condition holds, or a generous deadline.
    static bool settle(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    QTimer ticker;
    std::atomic<int> ticks{0};
    std::function<void()> duringExchange;  // run once, on the first tick inside an exchange
};

TEST_F(ExchangeWait, EveryExchangeLetsTheWindowThreadTick) {
    answerAfterTicks([](const std::string& path) { return "7|" + path; });
    const ServiceContext ctx = context();
    const struct {
        const char* path;
        std::function<std::string()> exchange;
    } cases[] = {
        {"/softweb/login.asp", [&] { return Get_balance(ctx, "u", "p"); }},
        {"/softweb/changepassword.asp", [&] { return ChangePassword(ctx, "u", "p", "n"); }},
        {"/softweb/send1.asp", [&] { return SendMessage(ctx, "u", "p", "13800000000|", "hi"); }},
        {"/softweb/mms_send.asp",
         [&] { return SendMms(ctx, "u", "p", "13800000000|", "t", "a.emm", "bytes"); }},
        {"/softweb/message.txt", [&] { return FetchNotice(ctx).body; }},
        {"/softweb/receive.asp",
         [&] { return QueryReceived(ctx, "u", "p", "2010-10-01", "2010-10-22").body; }},
        {"/softweb/Consumerlog.asp", [&] { return QueryConsumerLog(ctx, "u", "p").body; }},
        {"/softweb/numberlist.asp", [&] { return QueryNumberList(ctx, "u", "p", "12").body; }},
        {"/mms/a.emm", [&] { return DownloadFile(ctx, "a.emm").body; }},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.exchange(), std::string("7|") + c.path) << c.path;
        EXPECT_FALSE(ExchangeInFlight()) << c.path;
    }
    EXPECT_EQ(server.requestCount(), std::size(cases));
}

TEST_F(ExchangeWait, ClicksAndKeysDuringTheLoginCheckAreDropped) {
    start();
    answerAfterTicks([](const std::string&) { return "1"; });
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().Button1Click();
    TForm3* wait = main->waitWindow();
    wait->Timer1->stop();
    bool pressedDuring = false;
    duringExchange = [&] {
        QTest::mouseClick(login().Button1, Qt::LeftButton);
        QTest::keyClicks(login().Edit1, QStringLiteral("xyz"));
        pressedDuring = true;
    };
    wait->Timer1Timer();

    ASSERT_TRUE(pressedDuring);
    ASSERT_EQ(ui.messageTexts(),
              QStringList{QStringLiteral("您输入的用户名或者密码错误，请重新输入")});
    QCoreApplication::processEvents();
    EXPECT_EQ(login().Edit1->text(), QStringLiteral("u"));  // the keys never arrived
    EXPECT_FALSE(wait->Timer1->isActive());                 // nor the click on "登录"
    EXPECT_EQ(server.requestCount(), 1u);

    // The same click afterwards is a click.
    QTest::mouseClick(login().Button1, Qt::LeftButton);
    EXPECT_TRUE(wait->Timer1->isActive());
}

TEST_F(ExchangeWait, NoticeDueDuringTheLoginCheckFollowsItsAnswer) {
    start();
    std::atomic<bool> loginAnswered{false};
    std::atomic<bool> noticeCameAfter{false};
    server.setHandler([&](const RecordedRequest& request) {
        CannedResponse r;
        if (request.target == "/softweb/login.asp") {
            r.body = windowTicked(5) ? "1" : "blocked";
            loginAnswered = true;
        } else {
            noticeCameAfter = loginAnswered.load();
            r.body = Utf8ToGbk("Version=7.0\r\nmmstosms=3\r\nx=1\r\nNotice=公告\r\n");
        }
        return r;
    });
    ui.answerNext(MsgAnswer::Cancel);  // the update offer
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().Button1Click();
    main->waitWindow()->Timer1->stop();
    login().Timer1->start(0);  // comes due at once, inside the login check
    main->waitWindow()->Timer1Timer();

    ASSERT_TRUE(settle([&] { return server.requestCount() == 2 && ui.messages.size() == 2; }));
    const std::vector<RecordedRequest> requests = server.requests();
    EXPECT_EQ(requests[0].target, "/softweb/login.asp");
    EXPECT_EQ(requests[1].target, "/softweb/message.txt");
    EXPECT_TRUE(noticeCameAfter);
    // Each its own answer, the login's handled first.
    EXPECT_EQ(ui.messageTexts(),
              (QStringList{QStringLiteral("您输入的用户名或者密码错误，请重新输入"),
                           QStringLiteral("发现有新版软件,是否现在需要升级?")}));
}

TEST_F(ExchangeWait, ClosingTheMainWindowDuringAnExchangeAsksAfterTheAnswer) {
    start();
    answerAfterTicks([](const std::string&) { return "3|25"; });
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().Button1Click();
    main->waitWindow()->Timer1->stop();
    bool askedDuring = false;
    duringExchange = [&] {
        main->close();
        askedDuring = !ui.messages.empty() || ui.quitCount > 0;
    };
    main->waitWindow()->Timer1Timer();

    EXPECT_FALSE(askedDuring);
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信25条"));  // the answer was handled
    ASSERT_TRUE(settle([&] { return !ui.messages.empty(); }));
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("确定退出系统吗？")});
    EXPECT_EQ(ui.quitCount, 1);
}

}  // namespace
