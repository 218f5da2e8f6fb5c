// Real message boxes around an exchange with a slow service, clicked with synthetic mouse
// events: a box that opens while the answer is awaited takes its own clicks and closes, the
// answer follows it, and a close held during the exchange comes after the answer's own box.
// A watchdog turns a box that cannot be closed into a failure instead of a hang.
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "recipients/ImportRun.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "service/ExchangeWait.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;
using namespace std::chrono_literals;

namespace {

const QString kSent = QStringLiteral("恭喜\r短信内容已成功发送到服务器");
const QString kWrong = QStringLiteral("您输入的用户名或者密码错误，请重新输入");
const QString kExit = QStringLiteral("确定退出系统吗？");
// The over-cap question of an import of 30005 numbers (a box with OK and Cancel of its own).
const QString kOverCap = QStringLiteral(
    "文件中有30005个号码，超过每次3万个的上限。\n要全部发送，请用群发任务（smsclient-cli campaign "
    "start）。\n是否只添加前30000个号码？");

struct SeenBox {
    QString text;
    bool overAnother = false;  // another box was still open when this one showed
};

// Clicks the top box the moment it shows, and records what it saw.
class BoxesDuringWait : public AppFixture {
protected:
    BoxesDuringWait() {
        InstallExchangeWait();
        ui.showRealBoxes(true);
        clicker.setInterval(15);
        QObject::connect(&clicker, &QTimer::timeout, [this] { look(); });
        clicker.start();
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            ADD_FAILURE() << "a box could not be closed: the wait deadlocked";
            deadlocked = true;
        });
        watchdog.start(60s);
        hardStop = std::thread([this] {
            std::unique_lock lock(stopMutex);
            if (!stopped.wait_for(lock, 180s, [this] { return finished; })) {
                std::fputs("BoxesDuringWait: hung past every deadline\n", stderr);
                std::_Exit(1);
            }
        });
    }
    ~BoxesDuringWait() override {
        {
            std::lock_guard lock(stopMutex);
            finished = true;
        }
        stopped.notify_all();
        hardStop.join();
        ui.showRealBoxes(false);
    }

    void look() {
        const QWidgetList tops = QApplication::topLevelWidgets();
        if (deadlocked) {  // unwind: hiding ends a box's loop without a close
            for (QWidget* top : tops)
                if (qobject_cast<QMessageBox*>(top) && top->isVisible())
                    top->hide();
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box != current) {
            current = box;
            int open = 0;
            for (QWidget* top : tops)
                open += qobject_cast<QMessageBox*>(top) && top->isVisible();
            seen.push_back({box->text(), open > 1});
            if (onBox)
                onBox(box->text());
            boxShown = true;
        }
        // Clicked again at every look until it goes: a click the wait dropped is no click.
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
    }

    // The boxes in the order they showed, one per line.
    std::string seenTexts() const {
        QStringList texts;
        for (const SeenBox& box : seen)
            texts << box.text;
        return texts.join(QLatin1Char('\n')).toStdString();
    }
    static std::string lines(const QStringList& texts) {
        return texts.join(QLatin1Char('\n')).toStdString();
    }
    bool anyOverAnother() const {
        return std::any_of(seen.begin(), seen.end(),
                           [](const SeenBox& b) { return b.overAnother; });
    }
    static QString shown(const QString& text) {
        QString out = text;
        out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return out;
    }

    // The service answers the page only once `ready` holds (or after a generous deadline).
    void answerWhen(const std::string& page, std::string body, std::function<bool()> ready) {
        server.setHandler([=](const RecordedRequest& request) {
            CannedResponse r;
            if (request.target != page) {
                r.status = 404;
                return r;
            }
            const auto deadline = std::chrono::steady_clock::now() + 30s;
            while (!ready() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(5ms);
            r.body = body;
            return r;
        });
    }

    // Numbers on the SMS page and "发送短信": the progress window is up, its tick armed.
    void prepareSend() {
        start();
        main->showConnected(QStringLiteral("剩余短信100条"), QStringLiteral("用户：u"));
        main->Button2->click();  // the SMS page
        login().Edit1->setText(QStringLiteral("u"));
        login().Edit2->setText(QStringLiteral("p"));
        RecipientPanel& sms = *main->smsPage()->panel();
        sms.AddRecipient("13800000001");
        sms.AddRecipient("13800000002");
        main->smsPage()->Memo1->setPlainText(QStringLiteral("开会"));
        ui.showRealBoxes(false);
        ui.answerNext(MsgAnswer::Ok);
        main->smsPage()->Button15Click();
        ui.showRealBoxes(true);
        ui.clear();
        ASSERT_TRUE(main->progressWindow()->Timer1->isActive());
        main->progressWindow()->Timer1->stop();
    }

    static bool settle(const std::function<bool()>& done) { return QTest::qWaitFor(done, 30000); }

    QTimer clicker;
    QTimer watchdog;
    QPointer<QMessageBox> current;
    std::vector<SeenBox> seen;
    std::function<void(const QString&)> onBox;
    std::atomic<bool> boxShown{false};
    bool deadlocked = false;
    std::mutex stopMutex;
    std::condition_variable stopped;
    bool finished = false;
    std::thread hardStop;
};

TEST_F(BoxesDuringWait, BoxOfATimerClosesAndTheAnswerFollows) {
    prepareSend();
    answerWhen("/softweb/send1.asp", "7|98", [this] { return boxShown.load(); });
    QTimer::singleShot(
        0, [this] { ShowMessage(main.get(), QStringLiteral("定时提醒"), QStringLiteral("提示")); });
    main->progressWindow()->Timer1Timer();

    EXPECT_FALSE(deadlocked);
    EXPECT_EQ(seenTexts(), lines({QStringLiteral("定时提醒"), shown(kSent)}));
    EXPECT_FALSE(anyOverAnother());
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信98条"));
}

TEST_F(BoxesDuringWait, RefusalOfTheImportWorkerClosesAndTheAnswerFollows) {
    prepareSend();
    std::string numbers;
    for (int i = 0; i < 30005; ++i)
        numbers += std::to_string(13900000000LL + i) + "\r\n";
    data.writeFile("many.txt", numbers);
    answerWhen("/softweb/send1.asp", "7|98", [this] { return boxShown.load(); });
    ui.chooseFileNext(QString::fromStdString(data.file("many.txt")));
    main->recipients()->runAddItem(RecipientCoordinator::AddItem::TextFileImport);
    ASSERT_TRUE(main->importRunner()->running());
    main->progressWindow()->Timer1Timer();  // the refusal is queued to the window thread meanwhile

    EXPECT_FALSE(deadlocked);
    ASSERT_TRUE(settle([&] { return !main->importRunner()->running(); }));
    EXPECT_EQ(seenTexts(), lines({kOverCap, shown(kSent)}));
    EXPECT_FALSE(anyOverAnother());
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_TRUE(main->isEnabled());
}

TEST_F(BoxesDuringWait, MainWindowClosedDuringASendAsksAfterTheAnswersBox) {
    prepareSend();
    std::atomic<bool> closed{false};
    answerWhen("/softweb/send1.asp", "7|98", [&] { return closed.load(); });
    QTimer::singleShot(0, [&] {
        main->close();
        closed = true;
    });
    main->progressWindow()->Timer1Timer();

    ASSERT_TRUE(settle([&] { return seen.size() == 2 && !QApplication::activeModalWidget(); }));
    EXPECT_FALSE(deadlocked);
    EXPECT_EQ(seenTexts(), lines({shown(kSent), kExit}));
    EXPECT_FALSE(anyOverAnother());
    EXPECT_EQ(ui.quitCount, 1);
}

// The notice check comes due during the login check too: it waits for the login's message,
// even though its timer comes due again while that message is open.
TEST_F(BoxesDuringWait, LoginWindowClosedDuringARefusedLoginGoesOfflineAfterTheMessage) {
    start();
    std::atomic<bool> closed{false};
    answerWhen("/softweb/login.asp", "1", [&] { return closed.load(); });  // notice: 404
    login().Edit1->setText(QStringLiteral("u"));
    login().Edit2->setText(QStringLiteral("p"));
    login().show();
    login().Button1Click();
    main->waitWindow()->Timer1->stop();
    bool loginShownWithMessage = false;
    onBox = [&](const QString& text) {
        if (text == kWrong)
            loginShownWithMessage = login().isVisible();
    };
    QTimer::singleShot(0, [&] {
        login().close();
        login().Timer1->start(0);
        closed = true;
    });
    main->waitWindow()->Timer1Timer();

    EXPECT_EQ(seenTexts(), lines({kWrong}));
    EXPECT_TRUE(loginShownWithMessage);
    ASSERT_TRUE(settle([&] { return seen.size() == 2 && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(seenTexts(), lines({kWrong, QStringLiteral("网络异常，请检查网络！")}));
    EXPECT_FALSE(anyOverAnother());
    EXPECT_FALSE(login().isVisible());  // offline
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(main->isConnected());
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_FALSE(deadlocked);
}

}  // namespace
