// The send pages inside the main window: the recipient coordinator with this window's
// activity timer and the number dialogs, the panel of the shown page, the progress window's
// SMS tick with the login window's fields, and the caption of the plain message boxes.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "app/AppCommon.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "recipients/TForm4.h"
#include "recipients/TForm6.h"
#include "sending/MmsPage.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;
using Item = RecipientCoordinator::AddItem;

namespace {

class SendPages : public AppFixture {
protected:
    RecipientPanel* sms() const { return main->smsPage()->panel(); }
    RecipientPanel* mms() const { return main->mmsPage()->panel(); }

    // "手工输入号码" on the shown page with the lines typed; the filter question answered OK.
    void typeNumbers(const QString& lines) {
        ui.onNextDialog([&](QDialog* dialog) {
            auto* form4 = qobject_cast<TForm4*>(dialog);
            ASSERT_NE(form4, nullptr);
            form4->Memo1->setPlainText(lines);
            ui.answerNext(MsgAnswer::Ok);
            form4->Button1->click();
        });
        main->recipients()->addAction(Item::TypeNumbers)->trigger();
    }
};

TEST_F(SendPages, PagesAndCoordinatorAreWiredOnce) {
    start();
    ASSERT_NE(main->smsPage(), nullptr);
    ASSERT_NE(main->mmsPage(), nullptr);
    EXPECT_EQ(main->pageWidget(TForm2::Page::Sms), main->smsPage());
    EXPECT_EQ(main->pageWidget(TForm2::Page::Mms), main->mmsPage());
    RecipientCoordinator* coordinator = main->recipients();
    ASSERT_NE(coordinator, nullptr);
    EXPECT_EQ(coordinator->smsPanel(), sms());
    EXPECT_EQ(coordinator->mmsPanel(), mms());
    EXPECT_EQ(sms()->mainWindow(), main.get());
    EXPECT_EQ(mms()->mainWindow(), main.get());

    // The main window's Timer1: the activity timer, 100 ms, stopped, and only one of it.
    const auto timers =
        main->findChildren<QTimer*>(QStringLiteral("Timer1"), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers[0], coordinator->Timer1);
    EXPECT_EQ(timers[0]->interval(), 100);
    EXPECT_FALSE(timers[0]->isActive());

    // The number dialogs: one each, owned by the main window, hidden.
    EXPECT_EQ(main->findChildren<TForm4*>().size(), 1);
    EXPECT_EQ(main->findChildren<TForm6*>().size(), 1);
    EXPECT_FALSE(coordinator->form4()->isVisible());
    EXPECT_FALSE(coordinator->form6()->isVisible());

    // Start-up runs once.
    main->createRemainingWindows();
    EXPECT_EQ(main->recipients(), coordinator);
    EXPECT_EQ(main->findChildren<TForm6*>().size(), 1);
    EXPECT_EQ(
        main->findChildren<QTimer*>(QStringLiteral("Timer1"), Qt::FindDirectChildrenOnly).size(),
        1);
}

TEST_F(SendPages, ActivePanelFollowsTheShownPage) {
    start();
    main->showConnected(QStringLiteral("剩余短信9条"), QStringLiteral("用户：u"));
    RecipientCoordinator* coordinator = main->recipients();
    EXPECT_EQ(coordinator->ActivePanel(), nullptr);  // 首页
    main->Button2Click();
    EXPECT_EQ(coordinator->ActivePanel(), sms());
    main->Button3Click();
    EXPECT_EQ(coordinator->ActivePanel(), mms());
    main->Button6Click();
    EXPECT_EQ(coordinator->ActivePanel(), nullptr);

    // No send page shown: the add menu does nothing at all.
    coordinator->runAddItem(Item::NumberRange);
    EXPECT_TRUE(ui.shownDialogs.empty());

    // The activity timer walks only the bar of the page that is shown.
    main->Button3Click();
    coordinator->Timer1Timer();
    coordinator->Timer1Timer();
    EXPECT_EQ(mms()->Progress->value(), 2);
    EXPECT_EQ(sms()->Progress->value(), 0);

    // Typed numbers go to the page that is shown.
    typeNumbers(QStringLiteral("13800000001\n13800000002"));
    EXPECT_EQ(mms()->RecipientCount(), 2);
    EXPECT_EQ(sms()->RecipientCount(), 0);
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0], coordinator->form4());
}

TEST_F(SendPages, SmsTickSendsWithTheLoginFieldsOfThatMoment) {
    start();
    logIn(QStringLiteral("user1"), QStringLiteral("pw1"), "3|500");
    ASSERT_TRUE(main->isConnected());
    main->Button2Click();
    typeNumbers(QStringLiteral("13800000001\n13900000002"));
    ASSERT_EQ(sms()->RecipientCount(), 2);
    ASSERT_TRUE(sms()->SendButton->isEnabled());
    main->smsPage()->Memo1->setPlainText(QStringLiteral("你好"));

    ui.clear();
    server.clearRequests();
    server.setBody("/softweb/send1.asp", "7|498");
    sms()->SendButton->click();
    TForm15* progress = main->progressWindow();
    EXPECT_TRUE(progress->isVisible());
    ASSERT_TRUE(progress->Timer1->isActive());
    EXPECT_EQ(server.requestCount(), 0u);

    // The fields are read when the tick runs.
    login().Edit1->setText(QStringLiteral("user2"));
    progress->Timer1Timer();
    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.target, "/softweb/send1.asp");
    EXPECT_NE(request.body.find("name=\"username\"\r\n\r\nuser2\r\n"), std::string::npos);
    EXPECT_NE(request.body.find("name=\"password\"\r\n\r\npw1\r\n"), std::string::npos);
    EXPECT_NE(request.body.find("name=\"smsnumber\"\r\n\r\n13800000001|13900000002|\r\n"),
              std::string::npos);
    EXPECT_NE(request.body.find("name=\"smscontent\"\r\n\r\n" + G("你好") + "\r\n"),
              std::string::npos);
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("恭喜\r短信内容已成功发送到服务器")});
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信498条"));
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(SendPages, PlainMessagesCarryTheApplicationTitle) {
    SetApplicationTitle(DefaultMainCaption());
    setCompany("Create_Form_Caption", "Caption", "某某公司短信平台");
    start();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("某某公司短信平台"));
    EXPECT_EQ(PlainMessageCaption(), QStringLiteral("某某公司短信平台"));
    SetApplicationTitle(DefaultMainCaption());
    EXPECT_EQ(PlainMessageCaption(), QStringLiteral("Zorvane企业短信群发专家"));
}

}  // namespace

TEST_F(SendPages, MmsCostNoteBeforeAndAfterTheNoticeCheck) {
    const QString prefix = QStringLiteral("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除");
    data.writeFile("Notice_info.ini", "[Notice_info]\r\nVersion=6.8\r\nmmstosms=4\r\n");
    server.setBody("/softweb/message.txt", "Version=6.8\r\nmmstosms=3\r\na=b\r\nNotice=n\r\n");
    start();
    const QLabel* note = main->mmsPage()->CostNoteLabel;
    EXPECT_EQ(note->text(), prefix + QStringLiteral("4条短信"));
    login().Timer1Timer();
    EXPECT_EQ(note->text(), prefix + QStringLiteral("3条短信"));

    // No local value yet: 5 until the check says otherwise.
    main.reset();
    data.writeFile("Notice_info.ini", "[Notice_info]\r\nVersion=6.8\r\n");
    start();
    EXPECT_EQ(main->mmsPage()->CostNoteLabel->text(), prefix + QStringLiteral("5条短信"));
}
