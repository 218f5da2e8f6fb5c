// The client sends due campaigns itself, one batch a look, through the exchange wait like a
// page: against the real demo service behind a relay that counts the requests in flight, a
// page's send armed while a batch runs goes out after it, nothing overlaps, nothing is sent
// twice, and a campaign another process holds (run-due) is left to it. With real boxes: a look
// that comes due under the list's cancel question sends its batch while the box ignores clicks,
// then the box takes its click and the cancelled campaign sends nothing more.
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <ctime>
#include <mutex>

#include <QPointer>

#include <httplib.h>

#include "campaign/CampaignRunner.h"
#include "campaign/DueCampaigns.h"
#include "campaign/ScheduledCampaignsDialog.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "service/ExchangeWait.h"
#include "tests/app/EndToEnd.h"
#include "tests/support/RecordingServer.h"

using namespace smsc;
using namespace smsc::test;
using namespace smsc::campaign;

namespace {

class CampaignRunnerTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        startService();
        // Every line through the relay: it passes each request on and counts those in flight.
        relay.setHandler([this](const RecordedRequest& request) {
            const int now = ++inFlight;
            int seen = maxInFlight.load();
            while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
            }
            httplib::Client client("127.0.0.1", service->port());
            auto answer = client.Post(request.target, request.body, request.header("Content-Type"));
            --inFlight;
            if (request.target == "/softweb/send1.asp") {
                std::lock_guard<std::mutex> lock(mutex);
                sends.push_back(request.body);
            }
            return answer ? CannedResponse{answer->status, answer->body, {}}
                          : CannedResponse{502, "", {}};
        });
        IniFile ini(DataPath("Company_Info.ini"));
        ASSERT_TRUE(ini.write("Service_Url", "Telecom_Url", relay.baseUrl()));
        ASSERT_TRUE(ini.write("Service_Url", "Netcom_Url", relay.baseUrl()));
        startClient();
        logIn(QStringLiteral("demo"), QStringLiteral("demo"));
        ASSERT_TRUE(main->isConnected());
        InstallExchangeWait();
    }

    void start(const std::string& name, const std::vector<std::string>& numbers) {
        CampaignSettings settings;
        settings.user = "demo";
        settings.text = G("年末盘点通知");
        settings.batchSize = 2;
        CampaignSchedule due;
        due.scheduled = true;
        due.at = static_cast<long long>(std::time(nullptr)) - 60;
        ASSERT_EQ(StartSmsCampaign(DataDir(), name, settings, numbers, due).result,
                  StartedJournal::Result::Started);
    }
    // The list window's row of the campaign: its progress and state.
    static QStringList row(ScheduledCampaignsDialog* list, const QString& name) {
        const QList<QTreeWidgetItem*> items = list->ListView->findItems(name, Qt::MatchExactly);
        return items.size() == 1 ? QStringList{items[0]->text(3), items[0]->text(4)}
                                 : QStringList{};
    }
    // Requests whose body names the number.
    int sendsTo(const std::string& number) {
        std::lock_guard<std::mutex> lock(mutex);
        int count = 0;
        for (const std::string& body : sends)
            count += body.find(number) != std::string::npos;
        return count;
    }

    RecordingServer relay;
    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};
    std::mutex mutex;
    std::vector<std::string> sends;
};

TEST_F(CampaignRunnerTest, DueBatchesGoOutOneAtATimeBesideAPageSendAndNeverTwice) {
    start("年末", {"13900000001", "13900000002", "13900000003", "13900000004", "13900000005"});
    start("另一进程", {"13900000009"});
    CampaignLock::Result result;
    const auto otherRun = CampaignLock::Acquire(JournalPath(DataDir(), "另一进程"), &result);
    ASSERT_TRUE(otherRun);

    SmsPage* page = main->smsPage();
    page->panel()->model()->append(std::string("13800000001"));
    page->panel()->UpdateSendButton();
    page->Memo1->setPlainText(QStringLiteral("会议改到三点"));
    ScheduledCampaignsDialog* list = main->campaignsDialog();
    list->show();
    list->reload();
    // The page's send is pressed while the first batch is on the line.
    bool pressed = false;
    QTimer::singleShot(0, page, [&] {
        pressed = ExchangeInFlight();
        page->panel()->SendButton->click();
    });
    CampaignRunner* runner = main->campaignRunner();
    runner->TimerTick();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(sendsTo("13900000001"), 1);
    EXPECT_EQ(sendsTo("13900000003"), 0);  // one batch a look
    EXPECT_EQ(sendsTo("13800000001"), 0);  // armed, waiting for the batch
    EXPECT_TRUE(main->progressWindow()->Timer1->isActive());
    EXPECT_EQ(runner->Timer->interval(), CampaignRunner::kSoonMs);  // more is due
    EXPECT_EQ(row(list, QStringLiteral("年末")),
              (QStringList{QStringLiteral("1/3（5个号码）"), QStringLiteral("待发送")}));
    EXPECT_EQ(row(list, QStringLiteral("另一进程")),
              (QStringList{QStringLiteral("0/1（1个号码）"), QStringLiteral("发送中")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sendsTo("13800000001") == 1; }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main->progressWindow()->isVisible(); }, 60000));

    for (int look = 0; look < 4; ++look)  // two batches left, then nothing more
        runner->TimerTick();
    for (const char* number : {"13900000001", "13900000003", "13900000005"})
        EXPECT_EQ(sendsTo(number), 1) << number;
    EXPECT_EQ(sendsTo("13900000009"), 0);  // held by the other run
    EXPECT_EQ(sends.size(), 4u);
    EXPECT_EQ(maxInFlight.load(), 1);
    EXPECT_EQ(runner->Timer->interval(), CampaignRunner::kLookMs);
    EXPECT_TRUE(runner->problem().isEmpty()) << runner->problem().toStdString();
    EXPECT_EQ(row(list, QStringLiteral("年末")),
              (QStringList{QStringLiteral("3/3（5个号码）"), QStringLiteral("已完成")}));

    // The list opens from the main window's menu entry too (Ctrl+T on every page).
    ui.clear();
    main->Button3->click();
    main->CampaignsAction->trigger();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0], list);
}

TEST_F(CampaignRunnerTest, ALookUnderARealCancelQuestionSendsItsBatchThenTheCancelHolds) {
    start("取消", {"13900000001", "13900000002", "13900000003"});
    ScheduledCampaignsDialog* list = main->campaignsDialog();
    list->reload();
    list->ListView->topLevelItem(0)->setSelected(true);
    CampaignRunner* runner = main->campaignRunner();
    ui.showRealBoxes(true);
    QPointer<QMessageBox> seen;
    bool shown = false;
    bool openAfterBatch = false;
    QTimer clicker;  // clicks OK on the question at every look; the first look runs the runner
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (!shown) {
            shown = true;
            seen = box;
            runner->TimerTick();  // under the box: its clicks meanwhile are dropped
            openAfterBatch = box->isVisible();
        }
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
    });
    clicker.start(15);
    QTimer watchdog;  // a box that cannot be closed fails the test instead of hanging it
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        ADD_FAILURE() << "the question could not be closed";
        if (seen)
            seen->hide();
    });
    watchdog.start(60000);
    list->CancelClick();
    clicker.stop();
    ui.showRealBoxes(false);

    ASSERT_TRUE(shown);
    EXPECT_TRUE(openAfterBatch);
    EXPECT_EQ(sendsTo("13900000001"), 1);  // the batch of the look under the box
    EXPECT_EQ(row(list, QStringLiteral("取消")),
              (QStringList{QStringLiteral("1/2（3个号码）"), QStringLiteral("已取消")}));
    runner->TimerTick();
    EXPECT_EQ(sendsTo("13900000003"), 0);
    EXPECT_EQ(maxInFlight.load(), 1);
}

}  // namespace
