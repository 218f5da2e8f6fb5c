// Plain logic of the shell: the contact block, the settings block, the answers, the skins
// and the remembered-login store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QSet>
#include <QTranslator>

#include <algorithm>

#include <sys/stat.h>

#include "app/AccountAnswers.h"
#include "app/AppCommon.h"
#include "app/AppSettings.h"
#include "app/Skins.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/LoginStore.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(ContactBlockLayout, FifteenPixelsALineUpToAHundredAndTwenty) {
    const int heights[] = {0, 15, 45, 75, 105, 120, 120};
    std::vector<std::string> values;
    for (int n = 0; n <= 6; ++n) {
        const ContactBlock block = LayoutContactBlock(values);
        EXPECT_EQ(block.height, heights[n]) << n;
        EXPECT_EQ(block.shift, 120 - heights[n]) << n;
        EXPECT_EQ(block.lines.size(), n == 0 ? 0u : size_t(2 * n - 1)) << n;
        values.push_back("v" + std::to_string(n));
    }
    EXPECT_EQ(LayoutContactBlock({"a", "b"}).lines, (std::vector<std::string>{"a", "", "b"}));
}

TEST(SettingsBlock, IntegersAreWholeDecimalNumbers) {
    EXPECT_EQ(ParseSettingInt("9"), 9);
    EXPECT_EQ(ParseSettingInt(" -1 "), -1);
    EXPECT_EQ(ParseSettingInt("+3"), 3);
    for (const char* bad : {"", " ", "abc", "1a", "1.0", "+-1", "99999999999"})
        EXPECT_FALSE(ParseSettingInt(bad).has_value()) << bad;
}

TEST(SettingsBlock, StepsStopAtTheFirstFailure) {
    TempFolder dir;
    auto read = [&](const std::string& text) {
        dir.writeFile("c.ini", Utf8ToGbk(text));
        return ReadShowSettings(IniFile(dir.file("c.ini")));
    };
    ShowSettings s = read(
        "[Contact_Url]\nName=http://a.example/\nUrl=x\n[Create_Skin]\nSkin_index=-1\n"
        "[Create_Line]\nline_index=-1\nline_name=随便\n");
    EXPECT_TRUE(s.showLinkLabel);
    EXPECT_EQ(s.linkText, "http://a.example/");  // the first value, not Url's
    EXPECT_EQ(s.skinIndex, 0);
    EXPECT_EQ(s.lineIndex, 0);
    EXPECT_EQ(s.lineName, Utf8ToGbk("随便"));

    s = read("[Create_Skin]\nSkin_index=2\n[Create_Line]\nline_index=1\n");
    EXPECT_FALSE(s.showLinkLabel);
    EXPECT_EQ(s.lineIndex, 1);
    EXPECT_FALSE(s.lineName.has_value());  // the index is still selected

    s = read("[Create_Skin]\nSkin_index=-3\n[Create_Line]\nline_index=1\nline_name=x\n");
    EXPECT_FALSE(s.skinIndex.has_value());
    EXPECT_FALSE(s.lineIndex.has_value());

    s = read("[Create_Skin]\nSkin_index=1\n[Create_Line]\nline_index=one\nline_name=x\n");
    EXPECT_EQ(s.skinIndex, 1);
    EXPECT_FALSE(s.lineIndex.has_value());
}

TEST(AccountAnswers, LoginStatuses) {
    EXPECT_EQ(ReadLoginAnswer("3|250").status, LoginStatus::Connected);
    EXPECT_EQ(ReadLoginAnswer("3|250").quota, "250");
    EXPECT_EQ(ReadLoginAnswer("3|").status, LoginStatus::Connected);
    EXPECT_EQ(ReadLoginAnswer("3").status, LoginStatus::Unrecognised);
    EXPECT_EQ(ReadLoginAnswer("").status, LoginStatus::Unrecognised);
    EXPECT_EQ(ReadLoginAnswer("error|" + G("断了")).message, G("断了"));
    EXPECT_EQ(ReadLoginAnswer("error").message, G("连接服务器超时，请检查网络！"));
    EXPECT_EQ(ReadLoginAnswer("1|x").status, LoginStatus::WrongCredentials);
}

TEST(AccountAnswers, PasswordStatuses) {
    EXPECT_EQ(ReadPasswordAnswer("5").status, PasswordStatus::Changed);
    EXPECT_EQ(ReadPasswordAnswer("5").caption, G("恭喜"));
    EXPECT_EQ(ReadPasswordAnswer("3").message, G("余额"));
    EXPECT_EQ(ReadPasswordAnswer("6").message, "");
    EXPECT_EQ(ReadPasswordAnswer("error|x").message, G("连接服务器超时，请检查网络！"));
}

TEST(Skins, TwentyDistinctNamedStylesNineteenInTheMenu) {
    EXPECT_EQ(SkinName(0), QStringLiteral("蓝色经典"));
    EXPECT_EQ(SkinName(9), QStringLiteral("经典Vista"));
    EXPECT_EQ(SkinName(15), QStringLiteral("清新海风"));
    EXPECT_EQ(SkinName(19), QStringLiteral("紫色荧光"));
    EXPECT_TRUE(SkinName(20).isEmpty());
    QSet<QString> sheets;
    for (int i = 0; i < kSkinCount; ++i)
        sheets.insert(SkinStyleSheet(i));
    EXPECT_EQ(sheets.size(), kSkinCount);
    const auto& menu = SkinMenuIndexes();
    ASSERT_EQ(menu.size(), 19u);
    EXPECT_EQ(std::count(menu.begin(), menu.end(), 15), 0);
    EXPECT_EQ(menu[15], 16);
}

TEST(Skins, OutOfRangeIsIgnoredAndTheChoiceIsStored) {
    ASSERT_TRUE(ApplySkin(4));
    EXPECT_FALSE(ApplySkin(20));
    EXPECT_FALSE(ApplySkin(-1));
    EXPECT_EQ(CurrentSkin(), 4);
    EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(4));

    TempFolder dir;
    dir.writeFile("c.ini", "[Create_Skin]\r\nSkin_index=0\r\nSkin_name=x\r\n[Other]\r\nk=v\r\n");
    ASSERT_TRUE(StoreSkinChoice(dir.file("c.ini"), 13));
    const IniFile ini(dir.file("c.ini"));
    EXPECT_EQ(ini.valueAt("Create_Skin", 0), "13");
    EXPECT_EQ(ini.valueAt("Create_Skin", 1), Utf8ToGbk("绿草如茵"));
    EXPECT_EQ(ini.value("Other", "k"), "v");
    EXPECT_FALSE(StoreSkinChoice(dir.file("missing/c.ini"), 1));
}

TEST(LoginStoreFile, OwnerOnlyAndRoundTrips) {
    TempFolder dir;
    const std::string path = dir.file("sub/login.ini");
    LoginStore store(QString::fromStdString(path));
    EXPECT_FALSE(store.exists());
    EXPECT_FALSE(store.value(QStringLiteral("User_Boo")).has_value());
    ASSERT_TRUE(store.write({{QStringLiteral("User_Name"), QStringLiteral("张三 =;#")},
                             {QStringLiteral("User_Boo"), QStringLiteral("yes")}}));
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_TRUE(store.exists());
    EXPECT_EQ(store.value(QStringLiteral("User_Name")), QStringLiteral("张三 =;#"));
    EXPECT_FALSE(store.value(QStringLiteral("User_Pass")).has_value());

    ::chmod(path.c_str(), 0644);  // widened by someone else: the next write narrows it again
    ASSERT_TRUE(store.write({{QStringLiteral("User_Pass"), QStringLiteral("p")}}));
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(store.value(QStringLiteral("User_Name")), QStringLiteral("张三 =;#"));
    EXPECT_EQ(store.value(QStringLiteral("User_Pass")), QStringLiteral("p"));
}

// Qt's own texts (file dialogs, the editors' menus, standard buttons) come in Chinese,
// whatever the system's language: the translations are a dependency of the package.
TEST(QtTranslations, QtsOwnTextsAreChinese) {
    QTranslator* translator = InstallQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
    const struct {
        const char* context;
        const char* english;
    } texts[] = {{"QFileDialog", "Look in:"},     {"QFileDialog", "File &name:"},
                 {"QFileDialog", "&Open"},        {"QPlatformTheme", "Cancel"},
                 {"QLineEdit", "&Copy"},          {"QLineEdit", "&Paste"},
                 {"QWidgetTextControl", "&Undo"}, {"QPlatformTheme", "OK"}};
    for (const auto& t : texts) {
        const QString shown = QCoreApplication::translate(t.context, t.english);
        EXPECT_NE(shown, QString::fromLatin1(t.english)) << t.context << " " << t.english;
        EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](QChar c) {
            return c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff;
        })) << shown.toStdString();
    }
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
}

TEST(LoginStoreFile, UnusableLocationFailsQuietly) {
    TempFolder dir;
    dir.writeFile("file", "x");
    LoginStore store(QString::fromStdString(dir.file("file/login.ini")));
    EXPECT_FALSE(store.write({{QStringLiteral("User_Boo"), QStringLiteral("yes")}}));
    EXPECT_FALSE(store.exists());
    LoginStore folder(QString::fromStdString(dir.path()));  // a folder is no store
    EXPECT_FALSE(folder.exists());
}

}  // namespace
