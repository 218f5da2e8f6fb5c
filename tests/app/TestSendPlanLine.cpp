// The send plan line on both send pages (carriers from the segment database the main window
// opened, repeats, pieces or MMS units, the remaining quota of the status line and its red
// case), "去除重复", and the question before a send that exceeds the quota.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QTimer>

#include <cstdlib>

#include "recipients/RecipientPanel.h"
#include "sending/MmsPage.h"
#include "sending/PlanLine.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "tests/app/AppFixture.h"
#include "tests/lookup/SegmentFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

const QString kRed = QStringLiteral("color: red;");

class SendPlanLine : public AppFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteSegmentDatabase(data.file("sjhmd.dat")));
        start();
        login().hide();
    }

    static void add(RecipientPanel* panel, const std::vector<std::string>& numbers) {
        panel->AddRecipients(numbers);
        panel->ShowRecipientCount(true);
        panel->UpdateSendButton();
    }
    static QString planOf(PlanLine* plan, RecipientPanel* panel) {
        EXPECT_TRUE(plan->Timer->isActive());  // recomputed a moment after the change
        plan->refresh();
        return panel->PlanLabel->text() + panel->PlanQuotaLabel->text();
    }
    void save(QWidget* widget, const char* name) {
        const char* folder = std::getenv("SMSC_SCREENSHOT_DIR");
        if (folder && *folder) {
            EXPECT_TRUE(widget->grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') +
                                            QString::fromLatin1(name)));
        }
    }
};

TEST_F(SendPlanLine, BothPagesShowThePlanAndTheQuotaTurnsRed) {
    main->showConnected(QStringLiteral("剩余短信7条"), QStringLiteral("用户：demo"));
    main->Button2Click();
    SmsPage* sms = main->smsPage();
    RecipientPanel* panel = sms->panel();
    data.writeFile("OptOut.txt", Utf8ToGbk("13800001111\t2024-01-05\t回复\r\n"
                                           "15600004444\t2024-01-05\t手工\r\n"));
    // 1391234 is 中国移动 in the database, 1300000 中国联通, 1330000 中国电信; 12345 is no
    // mobile number; the two listed numbers (three entries) are left out.
    add(panel, {"13800001111", "13912340000", "13000002222", "13300003333", "15600004444", "12345",
                "13800001111"});
    sms->Memo1->setPlainText(QString(71, QLatin1Char('a')));
    EXPECT_EQ(planOf(sms->plan(), panel),
              QStringLiteral("移动 1  联通 1  电信 1  其他 1  退订 3  重复 1  每号 2 条，"
                             "预计扣除 8 条（剩余 7 条）"));
    EXPECT_EQ(panel->PlanQuotaLabel->styleSheet(), kRed);
    QApplication::processEvents();
    save(main.get(), "sms-page-plan.png");

    sms->Memo1->setPlainText(QStringLiteral("短"));
    EXPECT_EQ(planOf(sms->plan(), panel),
              QStringLiteral("移动 1  联通 1  电信 1  其他 1  退订 3  重复 1  每号 1 条，"
                             "预计扣除 4 条（剩余 7 条）"));
    EXPECT_EQ(panel->PlanQuotaLabel->styleSheet(), QString());

    // A send's answer updates the quota; offline there is none to show.
    main->setQuotaText(QStringLiteral("剩余短信3条"));
    EXPECT_TRUE(planOf(sms->plan(), panel).endsWith(QStringLiteral("（剩余 3 条）")));
    EXPECT_EQ(panel->PlanQuotaLabel->styleSheet(), kRed);
    main->showOffline();
    EXPECT_TRUE(planOf(sms->plan(), panel).endsWith(QStringLiteral("预计扣除 4 条")));

    // The MMS page: units per number from the cost note; the verification copies count and
    // are never left out.
    main->showConnected(QStringLiteral("剩余短信20条"), QStringLiteral("用户：demo"));
    main->Button3Click();
    MmsPage* mms = main->mmsPage();
    RecipientPanel* mmsPanel = mms->panel();
    mmsPanel->VerifyBox->setChecked(true);
    mmsPanel->VerifyEdit->setText(QStringLiteral("13800001111"));
    add(mmsPanel, {"13800001111", "13000002222", "13300003333", "13800001111"});
    EXPECT_EQ(planOf(mms->plan(), mmsPanel),
              QStringLiteral("移动 2  联通 1  电信 1  其他 0  每号 5 条，预计扣除 20 条"
                             "（剩余 20 条）"));
    main->setCostNote(QStringLiteral("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除7条短信"));
    EXPECT_EQ(planOf(mms->plan(), mmsPanel),
              QStringLiteral("移动 2  联通 1  电信 1  其他 0  每号 7 条，预计扣除 28 条"
                             "（剩余 20 条）"));
    EXPECT_EQ(mmsPanel->PlanQuotaLabel->styleSheet(), kRed);
    QApplication::processEvents();
    save(main.get(), "mms-page-plan.png");
}

TEST_F(SendPlanLine, RemoveDuplicatesKeepsFirstCopiesAndVerificationCopies) {
    main->showConnected(QStringLiteral("剩余短信10条"), QStringLiteral("用户：demo"));
    main->Button2Click();
    RecipientPanel* panel = main->smsPage()->panel();
    panel->VerifyBox->setChecked(true);
    panel->VerifyEdit->setText(QStringLiteral("100"));
    ui.clear();
    add(panel, {"100", "13800001111", "13000002222", "13800001111", "100", "13000002222",
                "13300003333", "13800001111"});
    panel->DedupButton->click();
    EXPECT_EQ(panel->entries(), (std::vector<std::string>{"100", "13800001111", "13000002222",
                                                          "100", "13300003333"}));
    EXPECT_EQ(panel->Counter->text(), QStringLiteral("当前发送5个对象"));
    EXPECT_EQ(panel->Status->text(), QStringLiteral("已去除重复号码3个"));
    EXPECT_TRUE(planOf(main->smsPage()->plan(), panel)
                    .startsWith(QStringLiteral("移动 1  联通 1  电信 1  其他 2  每号 0 条")));
    panel->DedupButton->click();
    EXPECT_EQ(panel->RecipientCount(), 5);
    EXPECT_EQ(panel->Status->text(), QStringLiteral("没有重复号码"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SendPlanLine, SendAsksBeforeExceedingTheQuota) {
    main->showConnected(QStringLiteral("剩余短信3条"), QStringLiteral("用户：demo"));
    const QString question = QStringLiteral(
        "预计扣除4条，超过剩余的3条，部分号码或后面的分段可能发送失败。仍要发送吗？");
    TForm15* progress = main->progressWindow();

    main->Button2Click();
    SmsPage* sms = main->smsPage();
    add(sms->panel(), {"13800001111", "13000002222"});
    sms->Memo1->setPlainText(QString(71, QLatin1Char('a')));
    // The split question (OK), then the quota question: Cancel sends nothing.
    ui.answerNext(MsgAnswer::Ok);
    ui.answerNext(MsgAnswer::Cancel);
    sms->Button15Click();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, question);
    EXPECT_EQ(ui.messages[1].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[1].buttons, MsgButtons::OkCancel);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(progress->Timer1->isActive());
    ui.clear();
    sms->Button15Click();  // OK to both
    EXPECT_EQ(ui.messageTexts().size(), 2);
    EXPECT_TRUE(progress->Timer1->isActive());
    progress->Timer1->stop();
    progress->hide();

    // Within the quota nothing more is asked.
    ui.clear();
    sms->Memo1->setPlainText(QStringLiteral("短"));
    sms->Button15Click();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(progress->Timer1->isActive());
    progress->Timer1->stop();
    progress->hide();

    // MMS: 2 numbers × 5 units.
    main->Button3Click();
    MmsPage* mms = main->mmsPage();
    add(mms->panel(), {"13800001111", "13000002222"});
    data.writeFile("card.emm", "EMM");
    ui.chooseFileNext(QString::fromStdString(data.file("card.emm")));
    mms->BrowseClick();
    mms->Memo2->setPlainText(QStringLiteral("新年快乐"));
    ui.clear();
    ui.answerNext(MsgAnswer::Cancel);
    mms->Button35Click();
    EXPECT_EQ(ui.messageTexts(),
              QStringList{QStringLiteral(
                  "预计扣除10条，超过剩余的3条，部分号码或后面的分段可能发送失败。仍要发送吗？")});
    EXPECT_FALSE(progress->Timer2->isActive());
    ui.clear();
    mms->Button35Click();
    EXPECT_TRUE(progress->Timer2->isActive());
    progress->Timer2->stop();

    // Offline nothing is known about the quota, so nothing is asked.
    main->showOffline();
    ui.clear();
    mms->Button35Click();
    EXPECT_TRUE(ui.messages.empty());
    progress->Timer2->stop();
    progress->hide();
}

}  // namespace
