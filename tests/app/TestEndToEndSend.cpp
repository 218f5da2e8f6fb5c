// End to end against the real demo service program: log in, fill the SMS list through the
// add menu (a generated range, a text file), send a long and a short message, and see the
// service's verdict and the quota it keeps.
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

#include "recipients/ImportRun.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "recipients/TForm6.h"
#include "sending/MmsPage.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "tests/app/EndToEnd.h"

using namespace smsc;
using namespace smsc::test;
using Item = RecipientCoordinator::AddItem;

namespace {

const QString kSent = QStringLiteral("恭喜\r短信内容已成功发送到服务器");

class EndToEndSend : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        startService();
        startClient();
    }

    RecipientPanel& sms() const { return *main->smsPage()->panel(); }

    void logInAsDemo() {
        logIn(QStringLiteral("demo"), QStringLiteral("demo"));
        ASSERT_TRUE(main->isConnected()) << ui.messageTexts().join(QLatin1Char('/')).toStdString();
        ASSERT_TRUE(ui.messages.empty());
    }

    // "短信发送", then "按号段添加" with the start number and the count typed into TForm6.
    void addRange(const QString& start, const QString& count) {
        ui.onNextDialog([&](QDialog* dialog) {
            auto* form6 = qobject_cast<TForm6*>(dialog);
            ASSERT_NE(form6, nullptr);
            form6->Edit1->setText(start);
            form6->Edit2->setText(count);
            form6->Button1->click();
        });
        main->recipients()->addAction(Item::NumberRange)->trigger();
    }

    // "发送短信"; the split question (if any) answered OK; then the progress window's tick.
    void send() {
        ui.answerNext(MsgAnswer::Ok);
        sms().SendButton->click();
        TForm15* progress = main->progressWindow();
        ASSERT_TRUE(progress->isVisible());
        ASSERT_TRUE(progress->Timer1->isActive());
        progress->Timer1Timer();
        EXPECT_FALSE(progress->isVisible());
        EXPECT_FALSE(progress->Timer1->isActive());
    }

    // Disconnect with the connection picture and log in again: the quota the service keeps.
    QString quotaAfterNewLogin() {
        ui.answerNext(MsgAnswer::Ok);
        main->Image2Click();
        EXPECT_EQ(main->quotaText(), QString());
        main->Image2Click();  // offline: the login window again
        EXPECT_TRUE(login().isVisible());
        ui.clear();
        logIn(QStringLiteral("demo"), QStringLiteral("demo"));
        return main->quotaText();
    }
};

TEST_F(EndToEndSend, RangeOfAThousandAndALongMessageInThreePieces) {
    logInAsDemo();
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信10000条"));
    EXPECT_EQ(main->userText(), QStringLiteral("用户：demo"));

    main->Button2->click();
    ASSERT_EQ(main->currentPage(), TForm2::Page::Sms);
    addRange(QStringLiteral("13800000000"), QStringLiteral("1000"));
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0], main->recipients()->form6());
    ASSERT_EQ(sms().RecipientCount(), 1000);
    EXPECT_EQ(sms().entries().front(), "13800000000");
    EXPECT_EQ(sms().entries().back(), "13800000999");
    EXPECT_EQ(sms().Counter->text(), QStringLiteral("当前发送1000个对象"));
    EXPECT_TRUE(sms().SendButton->isEnabled());
    EXPECT_TRUE(ui.messages.empty());

    // 150 Chinese characters: pieces of 65, 65 and 20.
    const QString message = QStringLiteral("本周六全场商品八折欢迎光临").repeated(12) +
                            QStringLiteral("会员另有礼品相送");
    ASSERT_EQ(message.size(), 164);
    main->smsPage()->Memo1->setPlainText(message.left(150));
    EXPECT_EQ(main->smsPage()->LengthLabel->text(), QStringLiteral("当前长度为150字"));

    send();
    ASSERT_EQ(ui.messages.size(), 2u) << ui.messageTexts().join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("要发送的短信内容长度超过70个字！将分3条发送,是否分条发送？"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.messages[1].text, kSent);
    EXPECT_EQ(ui.messages[1].caption, QStringLiteral("提示"));
    // Three pieces to a thousand numbers.
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信7000条"));
    // Nothing is reset after a send.
    EXPECT_EQ(sms().RecipientCount(), 1000);
    EXPECT_EQ(main->smsPage()->Memo1->toPlainText(), message.left(150));

    EXPECT_EQ(quotaAfterNewLogin(), QStringLiteral("剩余短信7000条"));
}

TEST_F(EndToEndSend, CancelledSplitQuestionSendsNothing) {
    logInAsDemo();
    main->Button2->click();
    addRange(QStringLiteral("13900000000"), QStringLiteral("10"));
    main->smsPage()->Memo1->setPlainText(QStringLiteral("长").repeated(71));

    ui.answerNext(MsgAnswer::Cancel);
    sms().SendButton->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("要发送的短信内容长度超过70个字！将分2条发送,是否分条发送？"));
    EXPECT_FALSE(main->progressWindow()->isVisible());
    EXPECT_FALSE(main->progressWindow()->Timer1->isActive());
    EXPECT_EQ(quotaAfterNewLogin(), QStringLiteral("剩余短信10000条"));
}

TEST_F(EndToEndSend, NumbersExtractedFromATextFileAreSent) {
    logInAsDemo();
    main->Button2->click();

    // Numbers among other text, some repeated, in GBK with CR LF line ends.
    std::string text = Utf8ToGbk("客户名单（2024年）\r\n");
    for (int i = 0; i < 40; ++i)
        text += Utf8ToGbk("张先生 电话：") + std::to_string(15800000000LL + i) + "\r\n";
    text += "15800000003,15800000004;15800000039\r\n";
    text += Utf8ToGbk("座机 010-12345678 不算\r\n");
    data.writeFile("clients.txt", text);

    ui.chooseFileNext(QString::fromStdString(data.file("clients.txt")));
    main->recipients()->addAction(Item::TextFileExtract)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main->importRunner()->running(); }, 30000));
    EXPECT_TRUE(main->isEnabled());
    EXPECT_FALSE(main->recipients()->Timer1->isActive());
    ASSERT_EQ(sms().RecipientCount(), 40);
    EXPECT_EQ(sms().entries().front(), "15800000000");
    EXPECT_EQ(sms().entries().back(), "15800000039");
    EXPECT_EQ(sms().Counter->text(), QStringLiteral("当前发送40个对象,已经过滤重复号码"));
    // The heading and the landline are the lines in which no number was recognised.
    EXPECT_EQ(sms().Status->text(),
              QStringLiteral("导入号码完毕，读取43行：添加40个，重复3个，无法识别2个"));
    EXPECT_FALSE(sms().Progress->isVisible());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.startsWith(
        QStringLiteral("读取43行：添加40个，重复3个，无法识别2个\r")));
    ASSERT_EQ(ui.fileDialogFilters.size(), 1u);
    EXPECT_EQ(ui.fileDialogFilters[0], QStringLiteral("文本文件(*.txt)"));
    ui.messages.clear();

    // One SMS with a line break, which neither counts nor reaches the service.
    main->smsPage()->Memo1->setPlainText(QStringLiteral("明天上午九点开会\n请准时参加"));
    send();
    ASSERT_EQ(ui.messages.size(), 1u) << ui.messageTexts().join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(ui.lastMessage().text, kSent);
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信9960条"));
}

TEST_F(EndToEndSend, RefusalsOfTheServiceReachTheUser) {
    logInAsDemo();
    main->Button2->click();
    addRange(QStringLiteral("13700000000"), QStringLiteral("3"));

    // A forbidden word of the service.
    main->smsPage()->Memo1->setPlainText(QStringLiteral("周末赌博游戏"));
    send();
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("发送失败\r您发送的短信内容含有禁发关键词：赌博"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信10000条"));

    // The account is stopped while the user is logged in.
    ASSERT_EQ(service->admin({"set-state", "demo", "disabled"}), 0);
    ui.clear();
    main->smsPage()->Memo1->setPlainText(QStringLiteral("你好"));
    send();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送失败\r该帐户被停用"));

    // Too little quota left for the pieces.
    ASSERT_EQ(service->admin({"set-state", "demo", "enabled"}), 0);
    ASSERT_EQ(service->admin({"set-quota", "demo", "2"}), 0);
    ui.clear();
    send();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送失败\r您的短信余额不足"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信10000条"));  // only "7" changes it
}

TEST_F(EndToEndSend, AServiceThatIsGoneIsANetworkFailure) {
    logInAsDemo();
    main->Button2->click();
    addRange(QStringLiteral("13700000000"), QStringLiteral("2"));
    main->smsPage()->Memo1->setPlainText(QStringLiteral("你好"));
    service.reset();  // the process ends; its port is closed

    send();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("发送失败\r连接服务器超时，请检查网络！"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信10000条"));
}

}  // namespace

TEST_F(EndToEndSend, MmsToAHundredNumbersCostsTheMmsPriceForEach) {
    logInAsDemo();
    main->Button3->click();
    ASSERT_EQ(main->currentPage(), TForm2::Page::Mms);
    addRange(QStringLiteral("13800000000"), QStringLiteral("100"));
    MmsPage& page = *main->mmsPage();
    ASSERT_EQ(page.panel()->RecipientCount(), 100);
    page.Memo2->setPlainText(QStringLiteral("新年\n快乐"));
    TempFolder files;
    files.writeFile("card.emm", std::string(3000, 'E'));
    ui.chooseFileNext(QString::fromStdString(files.file("card.emm")));
    page.BrowseButton->click();
    ui.clear();

    page.panel()->SendButton->click();
    TForm15* progress = main->progressWindow();
    ASSERT_TRUE(progress->Timer2->isActive());
    progress->Timer2Timer();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("恭喜\r彩信内容已成功发送到服务器")});
    // The demo service charges mmstosms (5) per number.
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信9500条"));
}
