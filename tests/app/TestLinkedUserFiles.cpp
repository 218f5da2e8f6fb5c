// The user's own files may be symbolic links into another folder (a synced one, say): the
// address book, a phrase file and Company_Info.ini are changed in the file the link names,
// and the link stays a link.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "addressbook/ContactBook.h"
#include "phrases/PhraseStore.h"
#include "platform/AtomicFile.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::test;
namespace fs = std::filesystem;

TEST(LinkedUserFiles, ChangesReachTheFileTheLinkNames) {
    struct Case {
        const char* file;  // in the data folder
        std::string initial;
        std::function<bool()> change;
        std::string expected;  // what the linked file holds afterwards
    };
    const Case cases[] = {
        {"LinkmanBook/Contacts.xml", EmptyBookXml(),
         [] {
             ContactBook book;
             return book.load(DataPath("LinkmanBook/Contacts.xml")) &&
                    book.addGroup({}, G("客户")) == BookChange::Ok;
         },
         "备注=\"[客户]\""},
        {"phrase/会议通知.txt", G("请准时参加\r\n"),
         [] { return AppendPhrase(CategoryPath(PhraseFolder(), G("会议通知")), G("改到三点")); },
         G("请准时参加\r\n改到三点\r\n")},
        {"Company_Info.ini", "[Create_Skin]\r\nSkin_index=1\r\n",
         [] {
             return IniFile(DataPath("Company_Info.ini")).write("Create_Skin", "Skin_index", "7");
         },
         "Skin_index=7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TempDataDir data(false);
        TempFolder synced;
        synced.writeFile("real", c.initial);
        const std::string link = data.file(c.file);
        fs::create_directories(fs::path(link).parent_path());
        fs::create_symlink(synced.file("real"), link);

        ASSERT_TRUE(c.change());
        EXPECT_TRUE(fs::is_symlink(link));
        const std::string now = ReadWholeFile(synced.file("real")).value_or("");
        EXPECT_NE(now.find(c.expected), std::string::npos) << now;
        // Nothing else was left in either folder.
        EXPECT_EQ(std::distance(fs::directory_iterator(synced.path()), fs::directory_iterator()),
                  1);
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(link).parent_path()),
                                fs::directory_iterator()),
                  1);
    }
}
