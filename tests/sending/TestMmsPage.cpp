// The "彩信发送" page against a loopback service: the title rule, the file choice and its
// limit, the send checks, and the progress window's MMS tick with what it hands the request.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "sending/MmsPage.h"
#include "sending/TForm15.h"
#include "service/Credentials.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::RecordedRequest;
using smsc::test::RecordingServer;
using smsc::test::ScriptedUi;
using smsc::test::TempDataDir;
using smsc::test::TempFolder;

namespace {

const std::string kBoundary = "--------010224093015123";
const char* kMmsPath = "/softweb/mms_send.asp";

class FixedCredentials final : public CredentialsSource {
public:
    Credentials credentials;
    Credentials currentCredentials() const override { return credentials; }
};

std::string partValue(const RecordedRequest& request, const std::string& name) {
    const std::string head = "name=\"" + name + "\"\r\n\r\n";
    const size_t at = request.body.find(head);
    if (at == std::string::npos)
        return "<missing>";
    const size_t begin = at + head.size();
    return request.body.substr(begin, request.body.find("\r\n--" + kBoundary, begin) - begin);
}

QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class MmsPageTest : public ::testing::Test {
public:  // the table rows of a test reach in
    void SetUp() override {
        server.setBody(kMmsPath, "7|880");
        source.credentials.userName = "user1";
        source.credentials.password = "pw";
        source.credentials.context.endpoints.telecomUrl = server.baseUrl();
        source.credentials.context.lineIndex = 0;
        source.credentials.context.boundaryOverride = kBoundary;

        host = std::make_unique<QWidget>();
        page = new MmsPage(host.get());
        progress = std::make_unique<TForm15>();
        page->setCredentialsSource(&source);
        page->setProgressWindow(progress.get());
        page->setQuotaHandler([this](const QString& text) { quota = text; });
        panel = page->panel();
    }

    void fill(std::vector<std::string> numbers) {
        panel->AddRecipients(std::move(numbers));
        panel->UpdateSendButton();
    }
    std::string makeFile(const std::string& name, size_t size) {
        files.writeFile(name, std::string(size, 'E'));
        return files.file(name);
    }
    void choose(const std::string& path) {
        ui.chooseFileNext(QString::fromStdString(path));
        page->BrowseClick();
    }
    // A list, a title and a file that pass every check.
    std::string ready() {
        fill({"13900000000"});
        page->setTitleText(G("贺卡"));
        const std::string path = makeFile("card.emm", 100);
        choose(path);
        return path;
    }
    bool pressSend() {
        page->Button35Click();
        return progress->isVisible() && progress->Timer2->isActive();
    }
    void tick() { progress->Timer2Timer(); }

    RecordingServer server;
    FixedCredentials source;
    ScriptedUi ui;
    TempFolder files;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<TForm15> progress;
    MmsPage* page = nullptr;
    RecipientPanel* panel = nullptr;
    QString quota;
};

}  // namespace

TEST_F(MmsPageTest, TickHandsTheRequestFieldPathTitleAndNumbersOfThatMoment) {
    EXPECT_EQ(page->TitleCaption->text(), q("彩信标题（最长为30个字符）"));
    EXPECT_EQ(page->LengthLabel->text(), q("当前长度为0字。"));
    fill({"13900000000", "13800000000", "13912345678"});
    page->setTitleText(G("新年\r\n快乐"));
    const std::string path = files.file("贺卡.emm");
    files.writeFile("贺卡.emm", std::string("EMM\0\r\n--x", 9));
    choose(path);
    EXPECT_EQ(page->FileEdit->text(), QString::fromStdString(path));
    EXPECT_TRUE(page->FileEdit->isReadOnly());
    EXPECT_EQ(ui.fileDialogFilters.back(), q("所有文件(*.*) (* *.*);;emm文件(*.emm) (*.emm)"));
    ASSERT_TRUE(pressSend());
    // The verification option is read at the tick.
    panel->VerifyBox->setChecked(true);
    panel->VerifyEdit->setText(QStringLiteral("13800000000"));
    ui.clear();
    tick();

    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.target, kMmsPath);
    EXPECT_EQ(partValue(request, "mms_num"), "13900000000|13800000000*13912345678|");
    EXPECT_EQ(partValue(request, "mmstitle"), G("新年快乐"));
    const std::string filePart = "name=\"mmsfile\"; filename=\"" + Utf8ToGbk(path) +
                                 "\"\r\nContent-Type: application/octet-stream\r\n"
                                 "Content-Transfer-Encoding: binary\r\n\r\n" +
                                 std::string("EMM\0\r\n--x", 9) + "\r\n--" + kBoundary + "--\r\n";
    EXPECT_NE(request.body.find(filePart), std::string::npos);

    EXPECT_EQ(quota, q("剩余短信880条"));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(progress->Timer2->isActive());
    EXPECT_EQ(ui.messageTexts(), QStringList{q("恭喜\r彩信内容已成功发送到服务器")});
    EXPECT_EQ(ui.lastMessage().caption, q("提示"));
    // Nothing is reset.
    EXPECT_EQ(panel->RecipientCount(), 3);
    EXPECT_EQ(page->titleText(), G("新年\r\n快乐"));
    EXPECT_EQ(page->FileEdit->text(), QString::fromStdString(path));
}

TEST_F(MmsPageTest, TitleKeepsThirtyCharactersLineBreaksShownInTheLength) {
    const QString thirtyOne = QString(31, QChar(0x4E2D));  // 中
    page->Memo2->setPlainText(thirtyOne);
    EXPECT_EQ(ui.messageTexts(), QStringList{q("彩信标题超过30字，系统将保留前30个文字信息")});
    EXPECT_EQ(ui.lastMessage().caption, q("提示"));
    EXPECT_EQ(page->Memo2->toPlainText(), QString(30, QChar(0x4E2D)));
    EXPECT_EQ(page->LengthLabel->text(), q("当前长度为30字"));

    ui.clear();
    const QString broken =
        QString(15, QLatin1Char('a')) + QLatin1Char('\n') + QString(15, QLatin1Char('b'));
    page->Memo2->setPlainText(broken);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(page->Memo2->toPlainText(), broken);
    EXPECT_EQ(page->LengthLabel->text(), q("当前长度为32字"));

    // A cut keeps the line breaks among the first 30 characters.
    page->Memo2->setPlainText(broken + QStringLiteral("c"));
    EXPECT_EQ(page->Memo2->toPlainText(), broken);
}

TEST_F(MmsPageTest, FileChoiceLimitAndRefusedChoiceRefusesTheSend) {
    const std::string limit = makeFile("limit.emm", 51200);
    choose(limit);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(page->FileEdit->text(), QString::fromStdString(limit));
    page->BrowseClick();  // cancelled: nothing changes
    EXPECT_EQ(page->FileEdit->text(), QString::fromStdString(limit));

    choose(makeFile("over.emm", 51201));
    EXPECT_EQ(ui.messageTexts(), QStringList{q("彩信文件文件过大！")});
    EXPECT_TRUE(page->FileEdit->text().isEmpty());

    fill({"13900000000"});
    page->setTitleText("t");
    ui.clear();
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.messageTexts(), QStringList{q("彩信文件文件过大！")});

    // A name that would break the file part's header is refused at the choice.
    ui.clear();
    choose(makeFile("a\"b.emm", 10));
    EXPECT_EQ(ui.messageTexts(), QStringList{q("彩信文件路径地址不正确")});
    EXPECT_TRUE(page->FileEdit->text().isEmpty());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(MmsPageTest, SendChecksFocusAndMessages) {
    struct Row {
        const char* title;
        const char* message;
    };
    fill({"13900000000"});
    const Row rows[] = {
        {"", "彩信标题内容不能为空"},
        {"\r\n", "彩信标题内容不能为空"},
    };
    host->show();
    for (const Row& row : rows) {
        ui.clear();
        page->setTitleText(row.title);
        EXPECT_FALSE(pressSend());
        EXPECT_EQ(ui.messageTexts(), QStringList{q(row.message)});
    }
    page->setTitleText("t");
    ui.clear();
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.messageTexts(), QStringList{q("彩信内容路径为空，请选择彩信文件")});

    panel->VerifyBox->setChecked(true);
    panel->VerifyEdit->setText(QStringLiteral("12a"));
    ui.clear();
    EXPECT_FALSE(pressSend());
    EXPECT_EQ(ui.messageTexts(), QStringList{q("请输入正确的验证号码！")});
    EXPECT_TRUE(panel->VerifyEdit->text().isEmpty());
}

TEST_F(MmsPageTest, TickTimeRefusalsMakeNoRequest) {
    struct Row {
        const char* name;
        void (*change)(MmsPageTest&, const std::string& path);
        const char* message;
    };
    const Row rows[] = {
        {"list emptied", [](MmsPageTest& t, const std::string&) { t.panel->model()->clear(); },
         "要发送彩信的号码为空，请添加发送号码"},
        {"file removed", [](MmsPageTest&, const std::string& path) { std::remove(path.c_str()); },
         "彩信文件路径地址不正确"},
        {"file grown", [](MmsPageTest& t, const std::string&) { t.makeFile("card.emm", 51201); },
         "彩信文件文件过大！"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        panel->model()->clear();
        const std::string path = ready();
        ASSERT_TRUE(pressSend());
        row.change(*this, path);
        ui.clear();
        tick();
        EXPECT_EQ(server.requestCount(), 0u);
        EXPECT_FALSE(progress->isVisible());
        EXPECT_EQ(ui.messageTexts(), QStringList{q(row.message)});
    }
}

TEST_F(MmsPageTest, MmsTickLeavesAnArmedSmsTickAlone) {
    server.setBody(kMmsPath, "13");
    ready();
    ASSERT_TRUE(pressSend());
    progress->Timer1->start();
    tick();
    EXPECT_TRUE(progress->Timer1->isActive());
    EXPECT_FALSE(progress->Timer2->isActive());
    EXPECT_EQ(ui.lastMessage().text, q("发送失败\r您上传的彩信文件超过45K请修改后再上传"));
    EXPECT_TRUE(quota.isEmpty());
    progress->Timer1->stop();
}

// Through the desktop "open" action (which runs a Windows program through its handler),
// and only when the tool is there: the action may report success for a missing file.
TEST_F(MmsPageTest, AuthoringToolOpenedWithTheDesktopOnlyWhenPresent) {
    TempDataDir data(false);
    page->MakeClick();
    EXPECT_TRUE(ui.openedWithDesktop.empty());
    EXPECT_EQ(ui.messageTexts(), QStringList{q("Velmaro制作软件未安装，安装后可以制作彩信")});

    data.writeFile("Velmaro/MakeEMM.exe", "MZ");
    ui.clear();
    page->MakeClick();
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_EQ(ui.openedWithDesktop[0], QString::fromStdString(data.file("Velmaro/MakeEMM.exe")));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.startedPrograms.empty());

    ui.setOpenWithDesktopResult(false);
    page->MakeClick();
    EXPECT_EQ(ui.messageTexts(), QStringList{q("Velmaro制作软件未安装，安装后可以制作彩信")});
}
