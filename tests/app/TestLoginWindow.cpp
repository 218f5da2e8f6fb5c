// The login window: creation (captions, contact block), the show steps (link, skin, line,
// remembered login), the line chooser, "关于", the link and closing to the offline state.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <filesystem>

#include "app/AppCommon.h"
#include "app/Labels.h"
#include "app/Skins.h"
#include "app/TForm16.h"
#include "app/TForm3.h"
#include "tests/app/AppFixture.h"
#include "tests/support/KeyEvents.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class LoginWindow : public AppFixture {
protected:
    // Company_Info.ini with the given Contact values and no other optional section.
    void contactValues(int n) {
        std::string text = "[Contact]\n";
        for (int i = 0; i < n; ++i)
            text += "k" + std::to_string(i) + "=值" + std::to_string(i) + "\n";
        text += "[Create_Skin]\nSkin_index=0\nSkin_name=蓝色经典\n";
        text += "[Create_Line]\nline_index=0\nline_name=电信用户===>请选择\n";
        replaceCompany(text);
    }
    mode_t storeMode() const {
        struct stat st {};
        ::stat(storeDir.file("login.ini").c_str(), &st);
        return st.st_mode & 0777;
    }
};

TEST_F(LoginWindow, CreationSetsCaptionsTimerAndHiddenLineChooser) {
    start();
    EXPECT_EQ(login().windowTitle(), QStringLiteral("短信彩信群发客户端"));
    EXPECT_EQ(main->windowTitle(), QStringLiteral("短信彩信群发客户端"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("短信彩信群发客户端"));
    EXPECT_TRUE(login().isVisible());
    EXPECT_TRUE(login().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(login().ComboBox1->isVisible());
    EXPECT_EQ(login().Edit2->echoMode(), QLineEdit::Password);
    EXPECT_EQ(login().Timer1->interval(), 1000);
    EXPECT_TRUE(login().Timer1->isSingleShot());
    EXPECT_EQ(login().ComboBox1->itemText(0), QStringLiteral("电信用户===>请选择"));
    EXPECT_EQ(login().ComboBox1->itemText(1), QStringLiteral("网通用户===>请选择"));
}

TEST_F(LoginWindow, PasswordsShowAsStarsUnderEverySkin) {
    start();
    TForm16& dialog = *main->passwordDialog();
    const std::vector<QLineEdit*> fields{login().Edit2, dialog.Edit2, dialog.Edit3, dialog.Edit4};
    for (int skin = 0; skin < kSkinCount; ++skin) {
        ASSERT_TRUE(ApplySkin(skin));
        for (QLineEdit* field : fields) {
            field->clear();
            QTest::keyClicks(field, QStringLiteral("ab"));
            EXPECT_EQ(field->text(), QStringLiteral("ab")) << skin;
            EXPECT_EQ(field->displayText(), QStringLiteral("**"))
                << skin << " " << field->objectName().toStdString();
        }
    }
}

TEST_F(LoginWindow, MissingCaptionKeepsTheDefaults) {
    contactValues(1);
    SetApplicationTitle(DefaultMainCaption());
    start();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Zorvane企业短信群发专家"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Zorvane企业短信群发专家"));
}

TEST_F(LoginWindow, ContactBlockSizesTheWindow) {
    // n values: block height, window height with the line chooser hidden (330 - 22 - shift),
    // and whether the block shows a scroll bar (only when there is something to scroll).
    const struct {
        int values, blockHeight, windowHeight;
        bool scrolls;
    } cases[] = {{0, 0, 188, false},
                 {3, 75, 263, false},
                 {4, 105, 293, false},
                 {5, 120, 308, true},
                 {9, 120, 308, true}};
    for (const auto& c : cases) {
        contactValues(c.values);
        start();
        QApplication::processEvents();
        EXPECT_EQ(login().Memo1->height(), c.blockHeight) << c.values;
        EXPECT_EQ(login().height(), c.windowHeight) << c.values;
        EXPECT_EQ(login().width(), 324);
        EXPECT_EQ(login().Label3->y(), login().Memo1->y() + c.blockHeight + 4);
        EXPECT_EQ(login().Memo1->verticalScrollBar()->isVisibleTo(login().Memo1), c.scrolls)
            << c.values;
        main.reset();
    }
    contactValues(3);
    start();
    EXPECT_EQ(login().Memo1->toPlainText(), QStringLiteral("值0\n\n值1\n\n值2"));
}

TEST_F(LoginWindow, LineChooserTogglesTheWindowHeight) {
    start();
    const int height = login().height();
    const int memoTop = login().Memo1->y();
    login().Button2Click();
    EXPECT_TRUE(login().ComboBox1->isVisible());
    EXPECT_EQ(login().height(), height + 22);
    EXPECT_EQ(login().Memo1->y(), memoTop + 22);
    login().Button2Click();
    EXPECT_FALSE(login().ComboBox1->isVisible());
    EXPECT_EQ(login().height(), height);
    EXPECT_EQ(login().Memo1->y(), memoTop);
}

TEST_F(LoginWindow, ShowStepsApplyLinkSkinAndLine) {
    start();
    EXPECT_TRUE(login().Label3->isVisible());
    EXPECT_EQ(login().Label4->text(), QStringLiteral("http://www.zorvane.example/"));
    EXPECT_EQ(CurrentSkin(), 0);
    EXPECT_EQ(login().ComboBox1->currentIndex(), 0);

    // -1 selects the telecom line; the text is line_name whatever it says.
    setCompany("Create_Line", "line_index", "-1");
    setCompany("Create_Line", "line_name", "随便什么");
    setCompany("Create_Skin", "Skin_index", "15");
    setCompany("Contact_Url", "Url", " \r\n");
    login().hide();
    login().show();
    EXPECT_EQ(login().ComboBox1->currentIndex(), 0);
    EXPECT_EQ(login().ComboBox1->currentText(), QStringLiteral("随便什么"));
    EXPECT_EQ(CurrentSkin(), 15);
    EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(15));
    EXPECT_FALSE(login().Label3->isVisible());
}

TEST_F(LoginWindow, FirstFailingStepSkipsTheRestOfTheBlock) {
    // A missing Create_Skin skips the line: the drop-down has no selection.
    replaceCompany("[Create_Line]\nline_index=1\nline_name=网通用户===>请选择\n");
    ApplySkin(3);
    start();
    EXPECT_EQ(CurrentSkin(), 3);
    EXPECT_EQ(login().ComboBox1->currentIndex(), -1);
    main.reset();

    for (const char* bad : {"abc", "-2", ""}) {
        replaceCompany(std::string("[Create_Skin]\nSkin_index=") + bad +
                       "\n[Create_Line]\nline_index=1\nline_name=x\n");
        start();
        EXPECT_EQ(CurrentSkin(), 3) << bad;
        EXPECT_EQ(login().ComboBox1->currentIndex(), -1) << bad;
        main.reset();
    }

    // An index of 20 or more is ignored, but it is a number: the line is still set.
    replaceCompany("[Create_Skin]\nSkin_index=20\n[Create_Line]\nline_index=1\nline_name=y\n");
    start();
    EXPECT_EQ(CurrentSkin(), 3);
    EXPECT_EQ(login().ComboBox1->currentIndex(), 1);
    EXPECT_EQ(login().ComboBox1->currentText(), QStringLiteral("y"));
}

TEST_F(LoginWindow, ChoosingALineStoresIt) {
    start();
    login().ComboBox1->setCurrentIndex(1);
    login().ComboBox1Select(1);
    EXPECT_EQ(company("Create_Line", "line_index"), "1");
    EXPECT_EQ(company("Create_Line", "line_name"), "网通用户===>请选择");
    EXPECT_EQ(company("Create_Skin", "Skin_name"), "蓝色经典");  // other keys untouched
    EXPECT_EQ(login().currentCredentials().context.lineIndex, 1);
}

TEST_F(LoginWindow, CredentialsComeFromTheFieldsAsGbk) {
    start();
    login().Edit1->setText(QStringLiteral("李四&x"));
    login().Edit2->setText(QStringLiteral("密码 "));
    const Credentials c = login().currentCredentials();
    EXPECT_EQ(c.userName, G("李四&x"));
    EXPECT_EQ(c.password, G("密码 "));
    EXPECT_EQ(c.context.lineIndex, 0);
    EXPECT_EQ(c.context.baseAddress(), server.baseUrl());
    EXPECT_EQ(c.context.endpoints.downloadUrl, "http://127.0.0.1:18068/mms/");
}

TEST_F(LoginWindow, RememberStoresOnlyWhatTheFieldsHoldWhenTicked) {
    start();
    login().Edit1->setText(QStringLiteral("王五"));
    login().CheckBox1->setChecked(true);  // before the password is typed
    login().Edit2->setText(QStringLiteral("typed later"));
    LoginStore store;
    EXPECT_EQ(store.value(QStringLiteral("User_Name")), QStringLiteral("王五"));
    EXPECT_EQ(store.value(QStringLiteral("User_Pass")), QString());
    EXPECT_EQ(store.value(QStringLiteral("User_Boo")), QStringLiteral("yes"));
    EXPECT_EQ(storeMode(), 0600u);

    login().CheckBox1->setChecked(false);
    EXPECT_EQ(store.value(QStringLiteral("User_Name")), QString());
    EXPECT_EQ(store.value(QStringLiteral("User_Boo")), QStringLiteral("no"));
    EXPECT_EQ(storeMode(), 0600u);
}

TEST_F(LoginWindow, ShowingFillsOrEmptiesTheFieldsFromTheStore) {
    LoginStore store;
    ASSERT_TRUE(store.write({{QStringLiteral("User_Name"), QStringLiteral("赵六")},
                             {QStringLiteral("User_Pass"), QStringLiteral("s3cret")},
                             {QStringLiteral("User_Boo"), QStringLiteral("yes")}}));
    start();
    EXPECT_EQ(login().Edit1->text(), QStringLiteral("赵六"));
    EXPECT_EQ(login().Edit2->text(), QStringLiteral("s3cret"));
    EXPECT_TRUE(login().CheckBox1->isChecked());

    ASSERT_TRUE(store.write({{QStringLiteral("User_Boo"), QStringLiteral("no")}}));
    login().close();
    main->Image2Click();  // offline: reopens the login window, the show steps run again
    EXPECT_TRUE(login().isVisible());
    EXPECT_EQ(login().Edit1->text(), QString());
    EXPECT_EQ(login().Edit2->text(), QString());
    EXPECT_FALSE(login().CheckBox1->isChecked());
}

TEST_F(LoginWindow, UnusableStoreIsIgnored) {
    storeDir.writeFile("blocker", "a file where a folder should be");
    SetLoginStorePath(QString::fromStdString(storeDir.file("blocker/login.ini")));
    start();
    login().Edit1->setText(QStringLiteral("u"));
    login().CheckBox1->setChecked(true);
    EXPECT_TRUE(ui.messages.empty());
    login().hide();
    login().show();
    EXPECT_EQ(login().Edit1->text(), QStringLiteral("u"));  // fields stay as they are
}

TEST_F(LoginWindow, AboutOpensTheDocumentOrReportsItMissing) {
    start();
    login().Button3Click();
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_EQ(ui.openedWithDesktop[0], QString::fromStdString(data.file("index.html")));
    EXPECT_TRUE(ui.messages.empty());

    // The document is there but nothing opens it: said as it is, not "missing".
    ui.setOpenWithDesktopResult(false);
    login().Button3Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("无法打开关于文档：没有可用的浏览器"));
    EXPECT_EQ(ui.lastMessage().caption, ApplicationTitle());
    EXPECT_EQ(ui.openedWithDesktop.size(), 2u);

    ui.clear();
    std::filesystem::remove(data.file("index.html"));
    login().Button3Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("关于文档文件丢失"));
    EXPECT_TRUE(ui.openedWithDesktop.empty());
}

// Enter (either key, held or not) in the user name or the password field presses "登录".
TEST_F(LoginWindow, EnterInEitherFieldLogsIn) {
    start();
    struct Case {
        QLineEdit* field;
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {{login().Edit1, Qt::Key_Return, Qt::NoModifier},
                          {login().Edit2, Qt::Key_Return, Qt::NoModifier},
                          {login().Edit2, Qt::Key_Enter, Qt::KeypadModifier}};
    TForm3* wait = main->waitWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field->objectName().toStdString());
        ui.clear();
        wait->Timer1->stop();
        login().Edit1->clear();
        login().Edit2->clear();
        SendKey(c.field, c.key, c.modifiers, QStringLiteral("\r"));
        EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("密码不能为空！")});

        ui.clear();
        login().Edit1->setText(QStringLiteral("demo"));
        login().Edit2->setText(QStringLiteral("demo"));
        SendKey(c.field, c.key, c.modifiers, QStringLiteral("\r"));
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(wait->Timer1->isActive());  // the login check is armed
    }
    // Auto-repeats of a held Enter do not press it again.
    login().Edit1->clear();
    ui.clear();
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
    QApplication::sendEvent(login().Edit1, &repeat);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(LoginWindow, LinkOpensItsTextAndChangesColour) {
    start();
    auto* link = login().Label4;
    EXPECT_EQ(link->look(), LinkLabel::Look::Normal);
    link->setLook(LinkLabel::Look::Hover);
    EXPECT_TRUE(link->styleSheet().contains(QStringLiteral("red")));
    login().Label4Click();
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_EQ(ui.openedWithDesktop[0], QStringLiteral("http://www.zorvane.example/"));
}

TEST_F(LoginWindow, ClosingGoesOfflineAndThePictureReopensIt) {
    start();
    main->Image2Click();  // connection state still empty: nothing happens
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(main->connectionImageIndex(), -1);
    EXPECT_EQ(main->statusText(), QString());

    login().close();
    EXPECT_FALSE(login().isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->connectionState(), QStringLiteral("0"));
    EXPECT_EQ(main->statusText(), QStringLiteral("未连接服务器"));
    EXPECT_EQ(main->connectionImageIndex(), 1);

    setCompany("Create_Line", "line_index", "1");
    main->Image2Click();
    EXPECT_TRUE(login().isVisible());
    EXPECT_TRUE(login().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(login().ComboBox1->currentIndex(), 1);  // the show steps ran again
}

}  // namespace
