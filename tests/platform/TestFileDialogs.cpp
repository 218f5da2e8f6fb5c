// File dialogs that open where the user last was: one folder per kind of dialog in section
// Last_Folder of Company_Info.ini, written alone, and the suggested file names.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/FileDialogs.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::test;

namespace {

constexpr const char* kOtherSections =
    "[Create_Skin]\nSkin_index=3\nSkin_name=黑夜绿光\n[Last_Folder]\nOther_Kind=/srv/else\n";

ino_t inodeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

}  // namespace

TEST(FileDialogs, EachKindKeepsItsOwnFolderAndWritesOnlyItsKey) {
    TempDataDir data(false);
    TempFolder files;
    std::filesystem::create_directory(files.file("导出"));
    const std::string settings = data.file("Company_Info.ini");
    data.writeFile("Company_Info.ini", Utf8ToGbk(kOtherSections));

    struct Case {
        const char* what;
        std::string kind;
        std::string chosen;
        bool stored;
        std::string remembered;  // what the kind then opens in
    };
    const std::string folder = files.path().substr(0, files.path().size() - 1);
    const Case cases[] = {
        {"a file", "Text_Import", files.file("numbers.txt"), true, folder},
        {"a Chinese folder", "Book_Backup", files.file("导出/通讯录备份.xml"), true,
         files.file("导出")},
        {"another kind is apart", "Mms_File", files.file("导出/a.emm"), true, files.file("导出")},
        {"a relative name", "Mms_File", "a.emm", false, files.file("导出")},
        {"a folder GBK cannot spell", "Mms_File", files.file("😀/a.emm"), false, files.file("导出")},
        {"no kind", "", files.file("a.txt"), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RememberFolderOf(settings, c.kind, c.chosen), c.stored);
        EXPECT_EQ(RememberedFolder(settings, c.kind), c.remembered);
    }
    EXPECT_EQ(RememberedFolder(settings, "Text_Import"), folder);  // not overwritten since

    // Every other key stays as it was; the folders are stored as GBK text.
    const IniFile ini(settings);
    EXPECT_EQ(ini.value("Create_Skin", "Skin_name"), Utf8ToGbk("黑夜绿光"));
    EXPECT_EQ(ini.value("Last_Folder", "Other_Kind"), "/srv/else");
    EXPECT_EQ(ini.value("Last_Folder", "Book_Backup"), Utf8ToGbk(files.file("导出")));

    // The same folder again writes nothing; a folder that is gone is forgotten.
    const ino_t before = inodeOf(settings);
    EXPECT_TRUE(RememberFolderOf(settings, "Book_Backup", files.file("导出/other.xml")));
    EXPECT_EQ(inodeOf(settings), before);
    std::filesystem::remove(files.file("导出"));
    EXPECT_EQ(RememberedFolder(settings, "Book_Backup"), "");
    EXPECT_EQ(RememberedFolder(settings, "Other_Kind"), "");  // /srv/else is no folder here
}

TEST(FileDialogs, DialogsOpenInTheRememberedFolderAndSuggestNames) {
    ScriptedUi ui;
    TempDataDir data(false);
    TempFolder files;
    const QString folder = QString::fromStdString(files.path()).chopped(1);
    const QString home = QDir::homePath();

    // Never used: the home folder; a cancelled dialog remembers nothing.
    EXPECT_TRUE(ChooseFileToOpen(nullptr, "Text_Import", QStringLiteral("打开"),
                                 QStringLiteral("文本文件(*.txt)"))
                    .isEmpty());
    ui.chooseFileNext(folder + QStringLiteral("/a.txt"));
    EXPECT_EQ(ChooseFileToOpen(nullptr, "Text_Import", QStringLiteral("打开"),
                               QStringLiteral("文本文件(*.txt)")),
              folder + QStringLiteral("/a.txt"));
    ChooseFileToOpen(nullptr, "Text_Import", QStringLiteral("打开"), QString());
    ChooseFileToSave(nullptr, "Numbers_Export", QStringLiteral("记录导出"),
                     QStringLiteral("文本文件(*.txt)"), QStringLiteral("发送号码_17"));
    ui.chooseFileNext(folder + QStringLiteral("/mine"));
    ChooseFileToSave(nullptr, "Numbers_Export", QStringLiteral("记录导出"), QString(),
                     QStringLiteral("发送号码_17"));
    ChooseFileToSave(nullptr, "Numbers_Export", QStringLiteral("记录导出"), QString(),
                     QStringLiteral("发送号码_18"));
    ChooseFileToSave(nullptr, "Mms_Download", QStringLiteral("彩信下载"), QString());

    ASSERT_EQ(ui.fileDialogStarts.size(), 7u);
    EXPECT_EQ(ui.fileDialogStarts[0], home);
    EXPECT_EQ(ui.fileDialogStarts[1], home);
    EXPECT_EQ(ui.fileDialogStarts[2], folder);
    EXPECT_EQ(ui.fileDialogStarts[3], home + QStringLiteral("/发送号码_17"));
    EXPECT_EQ(ui.fileDialogStarts[4], home + QStringLiteral("/发送号码_17"));
    EXPECT_EQ(ui.fileDialogStarts[5], folder + QStringLiteral("/发送号码_18"));
    EXPECT_EQ(ui.fileDialogStarts[6], home);

    // A service's text in a suggested name keeps letters, digits, '-' and '_' only.
    EXPECT_EQ(FileNamePart(QStringLiteral("../12 34/\n回复-a_b")), QStringLiteral("1234回复-a_b"));
    EXPECT_EQ(FileNamePart(QString(50, QLatin1Char('7'))).size(), 40);
}
