// The windows render at their sizes in the shipped skin, and the SMS page fits the main
// window. With SMSC_SCREENSHOT_DIR set, the pictures are also saved there
// (docs/login-window.png, docs/main-window.png, docs/sms-page.png).
#include <QApplication>
#include <QImage>
#include <QListView>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdlib>

#include "recipients/RecipientPanel.h"
#include "sending/PlanLine.h"
#include "sending/SmsPage.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class Screens : public AppFixture {
protected:
    void save(const QPixmap& picture, const char* name) {
        const char* folder = std::getenv("SMSC_SCREENSHOT_DIR");
        if (!folder || !*folder)
            return;
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(folder) + QLatin1Char('/') +
                                 QString::fromLatin1(name)));
    }
    // Not one flat colour: something was painted.
    static bool painted(const QPixmap& picture) {
        const QImage image = picture.toImage();
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                if (image.pixel(x, y) != first)
                    return true;
        return false;
    }
};

TEST_F(Screens, LoginAndMainWindowRender) {
    start();
    const QPixmap loginPicture = login().grab();
    EXPECT_EQ(loginPicture.size(), login().size());
    EXPECT_TRUE(painted(loginPicture));
    save(loginPicture, "login-window.png");

    login().close();  // offline, home page
    const QPixmap mainPicture = main->grab();
    EXPECT_EQ(mainPicture.size(), QSize(717, 500));
    EXPECT_TRUE(painted(mainPicture));
    save(mainPicture, "main-window.png");
}

TEST_F(Screens, SmsPageFitsTheMainWindow) {
    start();
    login().hide();
    main->showConnected(QStringLiteral("剩余短信10000条"), QStringLiteral("用户：demo"));
    main->Button2Click();
    SmsPage* page = main->smsPage();
    RecipientPanel* panel = page->panel();
    for (int i = 0; i < 23; ++i)
        panel->AddRecipient(std::to_string(13800138000LL + i * 7919));
    panel->ShowRecipientCount(false);
    panel->UpdateSendButton();
    page->Memo1->setPlainText(
        QStringLiteral("尊敬的客户：本店周六全场商品八折，会员另有礼品相送，欢迎光临！"));
    page->plan()->refresh();  // the plan line as it reads a moment later
    QApplication::processEvents();

    // Every control is whole inside the page, none covers another, none is squeezed below
    // what it needs to show its text.
    const QRect area = page->rect();
    QList<QWidget*> shown;
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(page))
            shown << child;
    }
    ASSERT_GE(shown.size(), 14);
    for (QWidget* w : shown) {
        const std::string name =
            (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                       : w->objectName())
                .toStdString();
        EXPECT_TRUE(area.contains(w->geometry())) << name;
        const QSize needed = w->minimumSizeHint();
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            EXPECT_GE(w->width(), needed.width()) << name;
        }
        EXPECT_GE(w->height(), needed.height()) << name;
        for (QWidget* other : shown) {
            if (other != w) {
                EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                    << name << " / " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_GE(panel->List->height(), 100);
    EXPECT_GE(page->Memo1->height(), 60);

    const QPixmap picture = main->grab();
    EXPECT_EQ(picture.size(), QSize(717, 500));
    EXPECT_TRUE(painted(picture));
    save(picture, "sms-page.png");
}

// Every page of the main window keeps its controls inside the page.
TEST_F(Screens, EveryPageFitsTheMainWindow) {
    start();
    login().hide();
    main->showConnected(QStringLiteral("剩余短信10000条"), QStringLiteral("用户：demo"));
    const std::pair<TForm2::Page, const char*> pages[] = {
        {TForm2::Page::Mms, "mms-page.png"},         {TForm2::Page::Phrases, "phrases-page.png"},
        {TForm2::Page::Contacts, "contacts-page.png"}, {TForm2::Page::Search, "search-page.png"},
        {TForm2::Page::Received, "received-page.png"}, {TForm2::Page::Records, "records-page.png"},
    };
    for (const auto& [kind, file] : pages) {
        main->showPage(kind);
        QApplication::processEvents();
        QWidget* page = main->pageWidget(kind);
        ASSERT_NE(page, nullptr) << file;
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisibleTo(page)) {
                EXPECT_TRUE(page->rect().contains(child->geometry()))
                    << file << " " << child->objectName().toStdString();
            }
        }
        const QPixmap picture = main->grab();
        EXPECT_TRUE(painted(picture)) << file;
        save(picture, file);
    }
}

}  // namespace
