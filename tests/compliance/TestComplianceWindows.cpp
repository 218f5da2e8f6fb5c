// The check in the windows: the check line under the SMS message, the kind, the "发送前检查"
// dialog at a send (scripted and, once, real and clicked), the text as it goes out, the
// settings dialog, and the MMS title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "compliance/ComplianceDialog.h"
#include "compliance/ComplianceSettingsDialog.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/QtText.h"
#include "recipients/RecipientPanel.h"
#include "sending/MmsPage.h"
#include "sending/PlanLine.h"
#include "sending/SmsPage.h"
#include "sending/TForm13.h"
#include "sending/TForm15.h"
#include "service/Credentials.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::RecordingServer;
using smsc::test::ScriptedUi;
using smsc::test::TempDataDir;

namespace {

class FixedCredentials final : public CredentialsSource {
public:
    Credentials credentials;
    Credentials currentCredentials() const override { return credentials; }
};

QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Saves a picture of the window when SMSC_SHOTS names a folder (to look at, not to assert).
void shoot(QWidget* widget, const char* name) {
    if (const char* folder = std::getenv("SMSC_SHOTS"))
        widget->grab().save(QString::fromUtf8(folder) + QLatin1Char('/') + QLatin1String(name));
}

class ComplianceWindows : public ::testing::Test {
protected:
    void SetUp() override {
        server.setBody("/softweb/send1.asp", "7|100");
        source.credentials.userName = "u";
        source.credentials.password = "p";
        source.credentials.context.endpoints.telecomUrl = server.baseUrl();
        source.credentials.context.lineIndex = 0;
        source.credentials.context.boundaryOverride = "--b";
        host = std::make_unique<QWidget>();
        progress = std::make_unique<TForm15>();
        // Noon: inside the marketing hours, whatever the clock says when the suite runs.
        SetLocalMinuteOfDayForTests(12 * 60);
    }
    void TearDown() override { SetLocalMinuteOfDayForTests(std::nullopt); }
    // [Compliance] added to the shipped settings; the page created afterwards reads it.
    void configure(const std::string& utf8Section) {
        const std::string ini = data.readFile("Company_Info.ini");
        data.writeFile("Company_Info.ini", ini + G("\r\n[Compliance]\r\n" + utf8Section));
    }
    SmsPage* smsPage() {
        auto* page = new SmsPage(host.get());
        page->setCredentialsSource(&source);
        page->setProgressWindow(progress.get());
        page->panel()->AddRecipients({"13900000000"});
        page->panel()->UpdateSendButton();
        return page;
    }
    std::string sent() {
        if (server.requestCount() == 0)
            return "<none>";
        const std::string body = server.lastRequest().body;
        const std::string head = "name=\"smscontent\"\r\n\r\n";
        const size_t at = body.find(head) + head.size();
        return body.substr(at, body.find("\r\n--", at) - at);
    }

    TempDataDir data;
    RecordingServer server;
    FixedCredentials source;
    ScriptedUi ui;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<TForm15> progress;
};

}  // namespace

TEST_F(ComplianceWindows, CheckLineFollowsTheTextAndTheKind) {
    SmsPage* page = smsPage();
    struct Case {
        const char* text;
        int kind;  // 0 通知, 1 营销
        const char* line;
    } withoutSection[] = {
        {"", 0, ""},
        {"会议改到三点", 0,
         "发送前检查：1个提醒：未设置短信签名，短信开头也没有【签名】（可在“发送前检查设置”中设置"
         "）"},
        {"笑😊", 0, "发送前检查：1个错误：短信内容含有无法发送的字符：😊"},
        {"【星河】会议", 0, "发送前检查：未发现问题"},
    };
    for (const Case& c : withoutSection) {
        page->Memo1->setPlainText(q(c.text));
        page->KindBox->setCurrentIndex(c.kind);
        page->refreshCheckLine();
        EXPECT_EQ(page->CheckLabel->text(), q(c.line)) << c.text;
    }
    configure(
        "Signature=【星河】\r\nAuto_Signature=1\r\nAuto_Unsubscribe=1\r\nDefault_Kind="
        "marketing\r\n");
    page->reloadCompliance(true);
    EXPECT_EQ(page->KindBox->currentIndex(), 1);
    // 61 typed characters, 4 of signature and 6 of the line: 71 go out, two pieces and two
    // units per number on the plan line.
    page->Memo1->setPlainText(QString(61, QLatin1Char('a')));
    page->refreshCheckLine();
    EXPECT_EQ(page->CheckLabel->text(), q("发送前检查：未发现问题（发出时71字，2条）"));
    EXPECT_EQ(page->plan()->compute().perNumber, 2);
    page->KindBox->setCurrentIndex(0);
    EXPECT_EQ(page->plan()->compute().perNumber, 1);
    if (std::getenv("SMSC_SHOTS")) {
        page->resize(760, 560);
        host->resize(760, 560);
        host->show();
        shoot(page, "sms-page.png");
    }
}

TEST_F(ComplianceWindows, DialogAtTheSendBlocksOrLetsTheUserSendTheTextAsItGoesOut) {
    configure("Signature=【星河】\r\nAuto_Signature=1\r\nAuto_Unsubscribe=1\r\n");
    SmsPage* page = smsPage();
    page->KindBox->setCurrentIndex(1);

    // Something blocks: the findings, no 仍然发送, nothing armed.
    page->Memo1->setPlainText(q("代开发票★"));
    ComplianceDialog* dialog = page->complianceDialog();
    ui.onNextDialog([&](QDialog*) {
        ASSERT_EQ(dialog->FindingsView->topLevelItemCount(), 2);
        EXPECT_EQ(dialog->FindingsView->topLevelItem(0)->text(0), q("错误"));
        EXPECT_EQ(dialog->FindingsView->topLevelItem(0)->text(2), q("代开发票"));
        EXPECT_EQ(dialog->FindingsView->topLevelItem(1)->text(2), q("★"));
        EXPECT_TRUE(dialog->SendButton->isHidden());
        EXPECT_EQ(dialog->PreviewEdit->toPlainText(), q("【星河】代开发票★拒收请回复R"));
        shoot(dialog, "compliance-dialog.png");
        dialog->BackButton->click();
    });
    page->Button15Click();
    EXPECT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_FALSE(progress->Timer1->isActive());

    // Only a reminder (marketing after hours cannot be arranged here; a notice with the
    // line is one): 仍然发送 sends, with the signature added.
    page->KindBox->setCurrentIndex(0);
    page->Memo1->setPlainText(q("会议，拒收请回复R"));
    ui.onNextDialog([&](QDialog*) {
        EXPECT_FALSE(dialog->SendButton->isHidden());
        dialog->SendButton->click();
    });
    page->Button15Click();
    ASSERT_TRUE(progress->Timer1->isActive());
    progress->Timer1Timer();
    EXPECT_EQ(sent(), G("【星河】会议，拒收请回复R"));

    // Nothing found: no dialog; a marketing text goes out ending with the line.
    page->KindBox->setCurrentIndex(1);
    page->Memo1->setPlainText(q("春季促销"));
    ui.shownDialogs.clear();
    page->Button15Click();
    EXPECT_TRUE(ui.shownDialogs.empty());
    progress->Timer1Timer();
    EXPECT_EQ(sent(), G("【星河】春季促销拒收请回复R"));

    // The preview numbers the pieces as sent and offers no send.
    page->Memo1->setPlainText(QString(70, QLatin1Char('b')));
    ui.onNextDialog([&](QDialog*) {
        EXPECT_EQ(dialog->BackButton->text(), q("关闭"));
        EXPECT_TRUE(dialog->SendButton->isHidden());
        EXPECT_TRUE(dialog->PreviewEdit->toPlainText().startsWith(q("（1/2）【星河】")));
        EXPECT_EQ(dialog->PreviewLabel->text(), q("发出的内容（共2条，已加签名、已加退订语）："));
    });
    page->PreviewButton->click();
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(ComplianceWindows, TheRealDialogIsAnsweredByAClickInItsOwnLoop) {
    configure("Signature=【星河】\r\n");
    SmsPage* page = smsPage();
    page->Memo1->setPlainText(q("会议改到三点"));  // no signature: blocks
    SetUi(nullptr);
    bool clicked = false;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* shown = qobject_cast<ComplianceDialog*>(QApplication::activeModalWidget());
        if (!shown || clicked)
            return;
        clicked = true;
        QTest::mouseClick(shown->BackButton, Qt::LeftButton);
    });
    driver.start();
    page->Button15Click();
    SetUi(&ui);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(page->complianceDialog()->isVisible());
    EXPECT_FALSE(progress->Timer1->isActive());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ComplianceWindows, SettingsDialogWritesTheSectionAloneAndRefusesBadValues) {
    SmsPage* page = smsPage();
    ComplianceSettingsDialog* dialog = page->complianceSettingsDialog();
    const char* others[] = {"Create_Form_Caption", "Contact",   "Contact_Url", "Create_Skin",
                            "Create_Line",         "showNotic", "Service_Url"};
    IniFile ini(data.file("Company_Info.ini"));
    ini.reload();
    std::vector<std::vector<std::pair<std::string, std::string>>> before;
    for (const char* section : others)
        before.push_back(ini.entries(section));
    // A key the dialog has no field for keeps its value.
    ASSERT_TRUE(ini.write("Compliance", {{"Max_Per_Number_Per_Day", "3"}}));
    ui.onNextDialog([&](QDialog*) {
        dialog->SignatureEdit->setText(q("星河"));
        EXPECT_FALSE(dialog->OkClick());
        dialog->SignatureEdit->setText(q("【星河科技】"));
        dialog->HoursEdit->setText(q("8点到9点"));
        EXPECT_FALSE(dialog->OkClick());
        dialog->HoursEdit->setText(q("09:00-20:00"));
        dialog->KindBox->setCurrentIndex(1);
        dialog->AutoUnsubscribeBox->setChecked(true);
        shoot(dialog, "compliance-settings.png");
        dialog->OkButton->click();
    });
    page->ComplianceButton->click();
    EXPECT_EQ(ui.messageTexts(), (QStringList{q("短信签名应为【】括起的2到12个字，如【星河科技】"),
                                              q("营销短信发送时段的格式应为08:00-21:00")}));
    ini.reload();
    EXPECT_EQ(ini.value("Compliance", "Signature"), G("【星河科技】"));
    EXPECT_EQ(ini.value("Compliance", "Marketing_Hours"), "09:00-20:00");
    EXPECT_EQ(ini.value("Compliance", "Default_Kind"), "marketing");
    EXPECT_EQ(ini.value("Compliance", "Max_Per_Number_Per_Day"), "3");
    // Every other key of the file stays as it was.
    for (size_t i = 0; i < std::size(others); ++i)
        EXPECT_EQ(ini.entries(others[i]), before[i]) << others[i];
    EXPECT_TRUE(data.exists("Compliance/Words.txt"));
    EXPECT_EQ(page->KindBox->currentIndex(), 1);
}

TEST_F(ComplianceWindows, MmsTitleIsCheckedBeforeTheSend) {
    configure("Signature=【星河】\r\n");
    auto* page = new MmsPage(host.get());
    page->setCredentialsSource(&source);
    page->setProgressWindow(progress.get());
    page->panel()->AddRecipients({"13900000000"});
    page->panel()->UpdateSendButton();
    data.writeFile("card.emm", "EMM");
    ui.chooseFileNext(QString::fromStdString(data.file("card.emm")));
    page->BrowseClick();
    page->Memo2->setPlainText(q("博彩贺卡"));
    page->Button35Click();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_FALSE(progress->Timer2->isActive());
    page->Memo2->setPlainText(q("贺卡🎉"));
    page->Button35Click();
    EXPECT_EQ(ui.lastMessage().text, q("彩信标题含有无法发送的字符：🎉"));
    EXPECT_FALSE(progress->Timer2->isActive());
    page->Memo2->setPlainText(q("新年贺卡"));
    page->Button35Click();
    EXPECT_TRUE(progress->Timer2->isActive());
}

TEST_F(ComplianceWindows, ReplyIsCheckedOnceTheSectionIsSetAndGoesWithItsSignature) {
    configure("Signature=【星河】\r\nAuto_Signature=1\r\n");
    TForm13 dialog;
    dialog.setCredentialsSource(&source);
    dialog.setProgressWindow(progress.get());
    struct Case {
        QString reply;
        bool dialogShown;
        std::string sent;  // empty: nothing armed
    } cases[] = {
        {q("收到，谢谢"), false, G("【星河】收到，谢谢")},
        {q("收到★"), true, ""},
        {QString(67, QLatin1Char('a')), false, ""},  // 71 characters with the signature
    };
    for (const Case& c : cases) {
        ui.clear();
        ui.shownDialogs.clear();
        dialog.Memo2->setPlainText(c.reply);
        dialog.Button1Click();
        EXPECT_EQ(!ui.shownDialogs.empty(), c.dialogShown) << c.reply.toStdString();
        EXPECT_EQ(progress->Timer3->isActive(), !c.sent.empty()) << c.reply.toStdString();
        if (c.sent.empty())
            continue;
        progress->Timer3Timer();
        EXPECT_EQ(sent(), c.sent);
    }
}
