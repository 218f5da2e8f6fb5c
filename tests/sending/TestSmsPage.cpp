// The "短信发送" page against a loopback service: the send checks, the split question, and the
// progress window's tick with the exact requests and the answer messages.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "compliance/SendHistory.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "sending/PlanLine.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "platform/TextHelpers.h"
#include "service/Credentials.h"
#include "tests/support/KeyEvents.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::CannedResponse;
using smsc::test::RecordedRequest;
using smsc::test::RecordingServer;
using smsc::test::ScriptedUi;

namespace {

const std::string kBoundary = "--------010224093015123";
const char* kSendPath = "/softweb/send1.asp";

class FixedCredentials final : public CredentialsSource {
public:
    Credentials credentials;
    Credentials currentCredentials() const override { return credentials; }
};

std::string textPart(const std::string& name, const std::string& value) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
}

std::string sendBody(const std::string& numbers, const std::string& content) {
    return textPart("username", "user1") + textPart("password", G("密码 1")) +
           textPart("smsnumber", numbers) + textPart("smscontent", content) + "--" + kBoundary +
           "--\r\n";
}

// The value of one text part of a recorded multipart body.
std::string partValue(const RecordedRequest& request, const std::string& name) {
    const std::string head = "name=\"" + name + "\"\r\n\r\n";
    const size_t at = request.body.find(head);
    if (at == std::string::npos)
        return "<missing>";
    const size_t begin = at + head.size();
    const size_t end = request.body.find("\r\n--" + kBoundary, begin);
    return request.body.substr(begin, end - begin);
}

std::string letters(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += static_cast<char>('a' + i % 26);
    return out;
}

class SmsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.setBody(kSendPath, "7|1234");
        source.credentials.userName = "user1";
        source.credentials.password = G("密码 1");
        source.credentials.context.endpoints.telecomUrl = server.baseUrl();
        source.credentials.context.lineIndex = 0;
        source.credentials.context.boundaryOverride = kBoundary;

        host = std::make_unique<QWidget>();
        page = new SmsPage(host.get());
        progress = std::make_unique<TForm15>();
        page->setCredentialsSource(&source);
        page->setProgressWindow(progress.get());
        page->setQuotaHandler([this](const QString& text) { quota = text; });
        panel = page->panel();
    }

    void fill(int count) {
        std::vector<std::string> list;
        for (int i = 0; i < count; ++i)
            list.push_back(std::to_string(13900000000LL + i));
        panel->AddRecipients(std::move(list));
        panel->UpdateSendButton();
    }

    void type(const std::string& gbk) { page->setMessageText(gbk); }

    // "发送短信", and the tick when the window was armed.
    bool pressSend() {
        page->Button15Click();
        return progress->isVisible() && progress->Timer1->isActive();
    }

    void tick() { progress->Timer1Timer(); }

    QStringList sentContents() {
        QStringList out;
        for (const RecordedRequest& r : server.requests())
            out << QStringFromGbk(partValue(r, "smscontent"));
        return out;
    }

    RecordingServer server;
    FixedCredentials source;
    ScriptedUi ui;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<TForm15> progress;
    SmsPage* page = nullptr;
    RecipientPanel* panel = nullptr;
    QString quota;
};

}  // namespace

TEST_F(SmsPageTest, EditorCaptionAndNote) {
    EXPECT_EQ(page->LengthLabel->text(), QStringLiteral("当前长度为0字。"));
    EXPECT_EQ(page->NoteLabel->text(),
              QStringLiteral("单条中短信息允许发送信息文字总长度为70字，超过将分条发送。  "));
    page->Memo1->setPlainText(QStringLiteral("ab\ncd中"));
    EXPECT_EQ(page->LengthLabel->text(), QStringLiteral("当前长度为5字"));
    EXPECT_EQ(page->messageText(), G("ab\r\ncd中"));
    page->Memo1->clear();
    EXPECT_EQ(page->LengthLabel->text(), QStringLiteral("当前长度为0字"));

    // Tab moves the focus instead of typing a character that would count; Ctrl+A selects all.
    page->Memo1->setPlainText(QStringLiteral("ab"));
    test::SendKey(page->Memo1, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    EXPECT_EQ(page->Memo1->toPlainText(), QStringLiteral("ab"));
    test::SendKey(page->Memo1, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_EQ(page->Memo1->textCursor().selectedText(), QStringLiteral("ab"));
}

TEST_F(SmsPageTest, OneMessageExactRequestAndSuccess) {
    fill(2);
    type(G("你好，") + "abc");
    ASSERT_TRUE(pressSend());
    EXPECT_TRUE(ui.messages.empty());
    tick();
    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.target, kSendPath);
    EXPECT_EQ(request.header("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(request.body, sendBody("13900000000|13900000001|", G("你好，") + "abc"));

    EXPECT_EQ(quota, QStringLiteral("剩余短信1234条"));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(progress->Timer1->isActive());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("恭喜\r短信内容已成功发送到服务器"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
    // Nothing is reset: the same message can go again at once.
    EXPECT_EQ(panel->RecipientCount(), 2);
    EXPECT_EQ(page->messageText(), G("你好，") + "abc");
}

TEST_F(SmsPageTest, TwoPiecesExactRequests) {
    fill(1);
    const std::string text = letters(71);
    type(text);
    ASSERT_TRUE(pressSend());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("要发送的短信内容长度超过70个字！将分2条发送,是否分条发送？"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
    tick();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, sendBody("13900000000|", G("（1/2）") + text.substr(0, 65)));
    EXPECT_EQ(requests[1].body, sendBody("13900000000|", G("（2/2）") + text.substr(65)));
}

TEST_F(SmsPageTest, DecliningTheSplitSendsNothing) {
    fill(1);
    type(letters(131));
    ui.answerNext(MsgAnswer::Cancel);
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("要发送的短信内容长度超过70个字！将分3条发送,是否分条发送？"));
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(SmsPageTest, LineBreaksStrippedBlanksKept) {
    fill(1);
    type("  ab\r\ncd  \r\n");
    ASSERT_TRUE(pressSend());
    tick();
    EXPECT_EQ(partValue(server.lastRequest(), "smscontent"), "  abcd  ");
}

TEST_F(SmsPageTest, VerificationCopiesTakeTheStar) {
    panel->VerifyBox->setChecked(true);
    panel->VerifyEdit->setText(QStringLiteral(" 10086 "));
    panel->AddRecipients({"10086", "13900000000", "100861", "10086", " 10086"});
    panel->UpdateSendButton();
    type("hi");
    ASSERT_TRUE(pressSend());
    tick();
    EXPECT_EQ(partValue(server.lastRequest(), "smsnumber"),
              "10086*13900000000|100861|10086* 10086|");

    // Unticked at tick time: no marking.
    ASSERT_TRUE(pressSend());
    panel->VerifyBox->setChecked(false);
    tick();
    EXPECT_EQ(partValue(server.lastRequest(), "smsnumber"),
              "10086|13900000000|100861|10086| 10086|");
}

TEST_F(SmsPageTest, EveryAnswerCodeHasItsMessage) {
    const std::pair<const char*, QString> cases[] = {
        {"1", QStringLiteral("发送失败\r用户名或者密码错误")},
        {"2", QStringLiteral("发送失败\r该帐户被停用")},
        {"3|512", QStringLiteral("余额512")},
        {"4", QStringLiteral("发送失败\r您的短信余额不足")},
        {"5", QStringLiteral("发送失败\r您发送的号码错误")},
        {"6", QStringLiteral("发送失败\r您发送的短信内容错误，内容为空或者超过70个字符")},
        {"8", QStringLiteral("发送失败\r您发送的号码数超过三万个")},
        {"9|禁词", QStringLiteral("发送失败\r您发送的短信内容含有禁发关键词：禁词")},
        {"error|服务器维护", QStringLiteral("发送失败\r服务器维护")},
    };
    fill(1);
    type("hello");
    for (const auto& [answer, message] : cases) {
        SCOPED_TRACE(answer);
        server.setBody(kSendPath, G(answer));
        ui.clear();
        ASSERT_TRUE(pressSend());
        tick();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, message);
        EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提示"));
        EXPECT_FALSE(progress->isVisible());
    }
    EXPECT_TRUE(quota.isEmpty());  // only "7" touches the quota

    // An unknown code closes the window without a message.
    server.setBody(kSendPath, "0|what");
    ui.clear();
    ASSERT_TRUE(pressSend());
    tick();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(SmsPageTest, RefusalInTheMiddleStopsThePieces) {
    fill(3);
    type(letters(260));  // 4 pieces
    // The fixture answers every send alike; this server refuses the second piece.
    RecordingServer fresh;
    int count = 0;
    fresh.setHandler([&](const RecordedRequest&) {
        CannedResponse r;
        r.body = ++count == 2 ? "5" : "7|10";
        return r;
    });
    source.credentials.context.endpoints.telecomUrl = fresh.baseUrl();
    ASSERT_TRUE(pressSend());
    tick();
    EXPECT_EQ(fresh.requestCount(), 2u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送失败\r您发送的号码错误"));
    EXPECT_TRUE(quota.isEmpty());
}

TEST_F(SmsPageTest, UnknownCodesLetEveryPieceGo) {
    RecordingServer fresh;
    int count = 0;
    fresh.setHandler([&](const RecordedRequest&) {
        CannedResponse r;
        r.body = ++count == 4 ? "7|77" : "0";
        return r;
    });
    source.credentials.context.endpoints.telecomUrl = fresh.baseUrl();
    fill(1);
    const std::string text = letters(260);
    type(text);
    ASSERT_TRUE(pressSend());
    tick();
    ASSERT_EQ(fresh.requestCount(), 4u);
    std::string joined;
    const auto requests = fresh.requests();
    for (size_t i = 0; i < requests.size(); ++i) {
        const std::string content = partValue(requests[i], "smscontent");
        const std::string prefix = G("（") + std::to_string(i + 1) + "/4" + G("）");
        ASSERT_EQ(content.rfind(prefix, 0), 0u);
        joined += content.substr(prefix.size());
    }
    EXPECT_EQ(joined, text);
    // The last piece's answer decides: success with its quota; then the unconfirmed pieces.
    EXPECT_EQ(quota, QStringLiteral("剩余短信77条"));
    const QStringList texts = ui.messageTexts();
    ASSERT_GE(texts.size(), 2);
    EXPECT_EQ(texts[texts.size() - 2], QStringLiteral("恭喜\r短信内容已成功发送到服务器"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("第1条（共4条）未得到服务器确认，请在发送记录中核对\r"
                             "第2条（共4条）未得到服务器确认，请在发送记录中核对\r"
                             "第3条（共4条）未得到服务器确认，请在发送记录中核对"));
}

// Twelve pieces: every request stays within one SMS, so the service accepts each.
TEST_F(SmsPageTest, SevenHundredCharactersGoAsPiecesTheServiceAccepts) {
    RecordingServer fresh;
    fresh.setHandler([](const RecordedRequest& request) {
        CannedResponse r;
        r.body = TextLength(partValue(request, "smscontent")) > 70 ? "6" : "7|1";
        return r;
    });
    source.credentials.context.endpoints.telecomUrl = fresh.baseUrl();
    fill(1);
    std::string text;
    for (int i = 0; i < 700; ++i)
        text += G(i % 2 ? "字" : "文");
    type(text);
    ASSERT_TRUE(pressSend());
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("要发送的短信内容长度超过70个字！将分12条发送,是否分条发送？"));
    tick();
    ASSERT_EQ(fresh.requestCount(), 12u);
    std::string joined;
    for (const RecordedRequest& r : fresh.requests()) {
        const std::string content = partValue(r, "smscontent");
        EXPECT_LE(TextLength(content), 70);
        joined += content.substr(content.find(G("）")) + G("）").size());
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("恭喜\r短信内容已成功发送到服务器"));
}

TEST_F(SmsPageTest, NetworkFailure) {
    server.setResponse(kSendPath, CannedResponse{500, "oops", {}, "text/plain", {}});
    fill(1);
    type(letters(140));  // three pieces; the failure stops them
    ASSERT_TRUE(pressSend());
    tick();
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送失败\r连接服务器超时，请检查网络！"));
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(SmsPageTest, EmptyListAtTickTime) {
    fill(2);
    type("hi");
    ASSERT_TRUE(pressSend());
    panel->model()->clear();
    ui.clear();
    tick();
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("要发送的号码为空，请添加发送号码")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(SmsPageTest, SendChecksInOrder) {
    panel->SetRecipientStatus(QStringLiteral("导入号码完毕"));
    panel->VerifyBox->setChecked(true);
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("验证号码为空，请输入验证号码！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    EXPECT_TRUE(panel->Status->text().isEmpty());

    panel->VerifyEdit->setText(QStringLiteral("1 2"));
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请输入正确的验证号码！"));
    EXPECT_TRUE(panel->VerifyEdit->text().isEmpty());

    panel->VerifyBox->setChecked(false);
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送对象数目为0请添加发送对象"));

    fill(30001);
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送条数不能超过3万个"));

    panel->List->selectionModel()->select(panel->model()->index(0), QItemSelectionModel::Select);
    panel->DeleteSelectedFromContextMenu();
    ASSERT_EQ(panel->RecipientCount(), 30000);
    ui.clear();
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("要发送的短信内容不能为空"));

    type("\r\n\r\n");
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("要发送的短信内容不能为空"));

    // Deliberate mend: blanks alone are empty too (they would be charged to every number).
    type(" \t" + G("　"));
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("要发送的短信内容不能为空"));

    type(" x ");
    ui.clear();
    EXPECT_TRUE(pressSend());
    EXPECT_TRUE(ui.messages.empty());
    tick();
    EXPECT_EQ(partValue(server.lastRequest(), "smscontent"), " x ");
    const std::string numbers = partValue(server.lastRequest(), "smsnumber");
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), '|'), 30000);
}

TEST_F(SmsPageTest, PressingAgainDoesNotRestartTheArmedTimer) {
    fill(1);
    type("hi");
    ASSERT_TRUE(pressSend());
    const int timerId = progress->Timer1->timerId();
    ASSERT_TRUE(pressSend());
    EXPECT_EQ(progress->Timer1->timerId(), timerId);
    tick();
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(SmsPageTest, NoProgressWindow) {
    page->setProgressWindow(nullptr);
    fill(1);
    type("hi");
    page->Button15Click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("程序文件丢失，请重新安装。"));
}

TEST_F(SmsPageTest, SendButtonAndHooks) {
    EXPECT_FALSE(panel->SendButton->isEnabled());
    fill(1);
    EXPECT_TRUE(panel->SendButton->isEnabled());
    type("hi");
    panel->SendButton->click();
    EXPECT_TRUE(progress->Timer1->isActive());
    int home = 0, phrase = 0;
    page->setBackHomeHandler([&] { ++home; });
    page->setInsertPhraseHandler([&] { ++phrase; });
    page->BackButton->click();
    page->PhraseButton->click();
    EXPECT_EQ(home, 1);
    EXPECT_EQ(phrase, 1);
    page->appendMessageLine(QStringLiteral("短语"));
    EXPECT_EQ(page->messageText(), G("hi\r\n短语"));
}

// Max_Per_Number_Per_Day: the plan line counts the numbers at the cap, the send leaves them
// out and says so, only an accepted send is added to the history, and a send with every
// number at the cap goes nowhere.
TEST_F(SmsPageTest, DailyCapLeavesOutAndRecordsAcceptedSends) {
    test::TempDataDir data(false);
    data.writeFile("Company_Info.ini", "[Compliance]\r\nMax_Per_Number_Per_Day=1\r\n");
    std::string error;
    std::unique_ptr<SendHistory> history = SendHistory::Open(SendHistoryPath(data.path()), &error);
    ASSERT_TRUE(history) << error;
    const int today = LocalDay(std::time(nullptr));
    ASSERT_TRUE(history->add(today, {"13900000000"}, &error)) << error;
    fill(3);
    type("abc");
    page->findChild<PlanLine*>()->refresh();
    EXPECT_TRUE(panel->PlanLabel->text().contains(QStringLiteral("已达上限 1")));
    EXPECT_TRUE(panel->PlanLabel->text().endsWith(QStringLiteral("预计扣除 2 条")));

    struct Step {
        const char* answer;
        size_t requests;   // requests made so far
        long long counts;  // today's count of each of the two numbers under the cap
        QString message;
    };
    const Step steps[] = {
        {"4", 1, 0, QStringLiteral("发送失败\r您的短信余额不足\r已跳过1个今天已达每日上限的号码")},
        {"7|1234", 2, 1,
         QStringLiteral("恭喜\r短信内容已成功发送到服务器\r已跳过1个今天已达每日上限的号码")},
        {"7|1234", 2, 1, QStringLiteral("所有号码今天均已达每日上限，未发送。")},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.answer);
        server.setBody(kSendPath, step.answer);
        ui.messages.clear();
        tick();
        ASSERT_EQ(server.requestCount(), step.requests);
        EXPECT_EQ(partValue(server.lastRequest(), "smsnumber"), "13900000001|13900000002|");
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, step.message);
        EXPECT_EQ(history->counts(today, {"13900000000", "13900000001", "13900000002"}),
                  (std::vector<long long>{1, step.counts, step.counts}));
    }
}
