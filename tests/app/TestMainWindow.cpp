// The main window's frame: start-up, navigation and its refusals, the connection picture,
// the skin menu and exit.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "addressbook/ContactsPage.h"
#include "app/Labels.h"
#include "app/Skins.h"
#include "app/TForm16.h"
#include "app/TForm17.h"
#include "platform/ClipPlayer.h"
#include "recipients/RecipientPanel.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class MainWindow : public AppFixture {
protected:
    QStringList buttonCaptions() const {
        QStringList out;
        for (int i = 1; i <= 11; ++i)
            out << main->findChild<QPushButton*>(QStringLiteral("Button%1").arg(i))->text();
        return out;
    }
};

TEST_F(MainWindow, StartUpBuildsTheFrame) {
    start();
    EXPECT_EQ(main->size(), QSize(717, 500));
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_FALSE(main->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(main->Label1->text(), QStringLiteral("短信彩信群发客户端"));
    EXPECT_EQ(main->versionLabel()->text(), QStringLiteral("V 6.8"));
    EXPECT_EQ(buttonCaptions(), QStringList({QStringLiteral("首页"), QStringLiteral("短信发送"),
                                             QStringLiteral("彩信发送"), QStringLiteral("消费记录"),
                                             QStringLiteral("收到短信"), QStringLiteral("常用短语"),
                                             QStringLiteral("号码查询"), QStringLiteral("修改密码"),
                                             QStringLiteral("通讯录"), QStringLiteral("更换风格"),
                                             QStringLiteral("退出")}));
    QStringList pages;
    for (int i = 0; i < main->PageControl1->count(); ++i)
        pages << main->PageControl1->tabText(i);
    EXPECT_EQ(pages, QStringList({QStringLiteral("首页"), QStringLiteral("短信发送"),
                                  QStringLiteral("彩信发送"), QStringLiteral("常用短语"),
                                  QStringLiteral("通讯录"), QStringLiteral("号码搜索"),
                                  QStringLiteral("收到短信"), QStringLiteral("发送记录")}));
    EXPECT_FALSE(main->PageControl1->tabBar()->isVisible());
    EXPECT_EQ(main->StatusBar1->geometry().bottom() + 1, main->PageControl1->y());
    EXPECT_EQ(main->currentPage(), TForm2::Page::Home);
    EXPECT_FALSE(main->Image1->pixmap().isNull());  // picture\m4.jpg
    EXPECT_EQ(main->connectionState(), QString());
    EXPECT_EQ(main->receivedEnd(), QDate::currentDate());
    EXPECT_FALSE(main->segmentDatabase().isOpen());
    EXPECT_EQ(main->segmentDatabase().path(), data.file("sjhmd.dat"));
    EXPECT_TRUE(login().isVisible());
    ASSERT_NE(main->waitWindow(), nullptr);
    ASSERT_NE(main->passwordDialog(), nullptr);
    ASSERT_NE(main->noticeWindow(), nullptr);
    EXPECT_FALSE(main->waitWindow()->isVisible());
}

TEST_F(MainWindow, ProgressWindowIsIdleUntilShown) {
    start();
    TForm15* progress = main->progressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->windowTitle(), QStringLiteral("信息发送中，请稍候....."));
    EXPECT_EQ(progress->size(), QSize(253, 81));
    for (QTimer* timer : {progress->Timer1, progress->Timer2, progress->Timer3}) {
        EXPECT_EQ(timer->interval(), 3000);
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_FALSE(timer->isActive());
    }
    int fired = 0;
    progress->setTimer2Handler([&fired] { ++fired; });
    progress->Timer2->start();
    progress->Timer2Timer();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(progress->Timer2->isActive());
    progress->Timer1Timer();  // no handler installed: nothing happens

    progress->show();
    EXPECT_TRUE(progress->Animate1->isPlaying());
    progress->close();  // the close box only hides
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(progress->Animate1->isPlaying());
}

TEST_F(MainWindow, PagesNeedingTheServiceRefuseUntilConnected) {
    start();
    const struct {
        void (TForm2::*click)();
        QString caption;
        TForm2::Page page;
    } guarded[] = {
        {&TForm2::Button2Click, QStringLiteral("提醒"), TForm2::Page::Sms},
        {&TForm2::Button3Click, QStringLiteral("提醒"), TForm2::Page::Mms},
        {&TForm2::Button4Click, QStringLiteral("提示"), TForm2::Page::Records},
        {&TForm2::Button5Click, QStringLiteral("提醒"), TForm2::Page::Received},
        {&TForm2::Button8Click, QStringLiteral("提醒"), TForm2::Page::Home},
        {&TForm2::Button9Click, QStringLiteral("提示"), TForm2::Page::Contacts},
    };
    auto refusesAll = [&] {
        for (const auto& g : guarded) {
            ui.clear();
            main->showPage(TForm2::Page::Home);
            (main.get()->*g.click)();
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请连接服务器！"));
            EXPECT_EQ(ui.lastMessage().caption, g.caption);
            EXPECT_EQ(ui.lastMessage().icon, MsgIcon::Question);
            EXPECT_EQ(main->currentPage(), TForm2::Page::Home);
            EXPECT_TRUE(ui.shownDialogs.empty());
        }
    };
    refusesAll();

    ui.clear();
    main->Button6Click();
    EXPECT_EQ(main->currentPage(), TForm2::Page::Phrases);
    main->Button7Click();
    EXPECT_EQ(main->currentPage(), TForm2::Page::Search);
    main->Button1Click();
    EXPECT_EQ(main->currentPage(), TForm2::Page::Home);
    EXPECT_TRUE(ui.messages.empty());

    main->showConnected(QStringLiteral("剩余短信9条"), QStringLiteral("用户：u"));
    for (const auto& g : guarded) {
        ui.clear();
        main->showPage(TForm2::Page::Home);
        (main.get()->*g.click)();
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(main->currentPage(), g.page);
        if (g.click == &TForm2::Button8Click) {
            ASSERT_EQ(ui.shownDialogs.size(), 1u);
            EXPECT_EQ(ui.shownDialogs[0], main->passwordDialog());
        }
    }
    for (const TForm2::Page page : {TForm2::Page::Sms, TForm2::Page::Mms}) {
        main->showPage(page);
        auto* back = main->pageWidget(page)->findChild<QPushButton*>(QStringLiteral("BackButton"));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->text(), QStringLiteral("返回首页"));
        back->click();
        EXPECT_EQ(main->currentPage(), TForm2::Page::Home);
    }

    // Disconnect: refused again until a new login.
    ui.clear();
    ui.answerNext(MsgAnswer::Ok);
    main->Image2Click();
    refusesAll();
}

TEST_F(MainWindow, ConnectionPictureDisconnectsOnlyWhenConfirmed) {
    start();
    main->showConnected(QStringLiteral("剩余短信9条"), QStringLiteral("用户：u"));
    EXPECT_EQ(main->connectionImageIndex(), 0);
    main->showPage(TForm2::Page::Phrases);

    ui.answerNext(MsgAnswer::Cancel);
    main->Image2Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("确定要断开服务器连接吗？"));
    EXPECT_EQ(ui.lastMessage().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(main->connectionState(), QStringLiteral("3"));
    EXPECT_EQ(main->currentPage(), TForm2::Page::Phrases);

    ui.clear();
    ui.answerNext(MsgAnswer::Ok);
    main->Image2Click();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("已与服务器断开连接"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    EXPECT_EQ(main->connectionState(), QStringLiteral("0"));
    EXPECT_EQ(main->connectionImageIndex(), 1);
    EXPECT_EQ(main->statusText(), QStringLiteral("未连接服务器"));
    EXPECT_EQ(main->userText(), QString());
    EXPECT_EQ(main->quotaText(), QString());
    EXPECT_EQ(main->currentPage(), TForm2::Page::Home);
    EXPECT_EQ(server.requestCount(), 0u);  // disconnecting is local
    EXPECT_FALSE(main->Image2->pixmap().isNull());
}

TEST_F(MainWindow, SkinMenuOffersNineteenSkinsAndStoresTheChoice) {
    start();
    const QList<QAction*> actions = main->PopupMenu1->actions();
    ASSERT_EQ(actions.size(), 19);
    EXPECT_EQ(actions.front()->text(), QStringLiteral("蓝色经典"));
    EXPECT_EQ(actions[15]->text(), QStringLiteral("秋雨绵绵"));
    EXPECT_EQ(actions.back()->text(), QStringLiteral("紫色荧光"));
    for (QAction* a : actions)
        EXPECT_NE(a->text(), QStringLiteral("清新海风"));

    actions[9]->trigger();
    EXPECT_EQ(company("Create_Skin", "Skin_index"), "9");
    EXPECT_EQ(company("Create_Skin", "Skin_name"), "经典Vista");
    EXPECT_EQ(company("Create_Line", "line_index"), "0");
    EXPECT_EQ(CurrentSkin(), 9);
    EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(9));

    // The menu marks the skin in use, and only it; none for one it does not offer.
    const auto marked = [&] {
        QStringList names;
        for (QAction* a : actions)
            if (a->isChecked())
                names << a->text();
        return names;
    };
    main->Button10Click();
    EXPECT_EQ(marked(), QStringList{QStringLiteral("经典Vista")});
    main->PopupMenu1->close();
    ApplySkin(3);
    emit main->PopupMenu1->aboutToShow();
    EXPECT_EQ(marked(), QStringList{QStringLiteral("黑夜绿光")});
    ApplySkin(15);
    emit main->PopupMenu1->aboutToShow();
    EXPECT_TRUE(marked().isEmpty());
    ApplySkin(9);

    // The next start shows that skin.
    main.reset();
    ApplySkin(0);
    start();
    EXPECT_EQ(CurrentSkin(), 9);
}

TEST_F(MainWindow, ExitAsksAndEndsThroughTheSeam) {
    start();
    ui.answerNext(MsgAnswer::Cancel);
    main->Button11Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("确定退出系统吗？"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.lastMessage().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.quitCount, 0);
    EXPECT_TRUE(ui.endedCopies.empty());

    ui.answerNext(MsgAnswer::Cancel);
    EXPECT_FALSE(main->close());  // the close box asks the same
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(ui.messages.size(), 2u);

    ui.answerNext(MsgAnswer::Ok);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(ui.quitCount, 1);
    // Only this user's copies of this very file: the path, not the file name.
    ASSERT_EQ(ui.endedCopies.size(), 1u);
    EXPECT_EQ(ui.endedCopies[0], ExecutablePath());
}

TEST_F(MainWindow, StatusTextsAndCostNoteForLaterPages) {
    start();
    QSignalSpy spy(main.get(), &TForm2::costNoteChanged);
    main->setCostNote(QStringLiteral("note"));
    EXPECT_EQ(main->costNote(), QStringLiteral("note"));
    ASSERT_EQ(spy.count(), 1);
    main->setQuotaText(QStringLiteral("剩余短信7条"));
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信7条"));
    EXPECT_EQ(&main->credentials(), static_cast<CredentialsSource*>(main->loginWindow()));
}

}  // namespace

namespace {

// "发送短信" on the address book's list: the numbers join the SMS list, which is shown once
// connected; without a connection they wait there and the page says why it stays.
TEST_F(MainWindow, ContactListSendsNumbersToTheSmsList) {
    start();
    RecipientPanel* sms = main->smsPage()->panel();
    const std::vector<std::string> numbers{"13800000000", "13900000001"};
    emit main->contactsPage()->sendSmsRequested(numbers);
    EXPECT_EQ(sms->RecipientCount(), 2);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请连接服务器！"));
    logIn(QStringLiteral("u1"), QStringLiteral("p1"), "3|500");
    main->showPage(TForm2::Page::Contacts);
    emit main->contactsPage()->sendSmsRequested(numbers);
    EXPECT_EQ(sms->RecipientCount(), 4);
    EXPECT_EQ(main->currentPage(), TForm2::Page::Sms);
}

}  // namespace
