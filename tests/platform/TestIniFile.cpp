#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;

TEST(IniFile, ReadsByKeyAndByPositionWithGbkBytesUntouched) {
    TempFolder dir;
    const std::string caption = Utf8ToGbk("短信群发");
    dir.writeFile("a.ini", "[Create_Form_Caption]\r\nCaption=" + caption +
                               "\r\n[Contact]\r\nz=one\r\na=two\r\nm=three\r\n[Create_Line]\r\n"
                               "line_index=-1\r\nline_name=x\r\n");
    IniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.valueAt("Create_Form_Caption", 0), caption);
    EXPECT_EQ(ini.value("create_form_caption", "CAPTION"), caption);  // no letter case
    EXPECT_EQ(ini.values("Contact"), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(ini.valueAt("Create_Line", 1), "x");
    EXPECT_FALSE(ini.valueAt("Create_Line", 2).has_value());
    EXPECT_FALSE(ini.value("Nope", "x").has_value());
    EXPECT_TRUE(ini.values("Nope").empty());
    EXPECT_FALSE(ini.hasSection("Nope"));
    EXPECT_TRUE(ini.hasKey("Contact", "m"));
}

TEST(IniFile, MissingFileReadsEmptyAndWriteCreatesIt) {
    TempFolder dir;
    IniFile ini(dir.file("missing.ini"));
    EXPECT_FALSE(ini.hasSection("Notice_info"));
    EXPECT_TRUE(ini.write("Notice_info", "Version", "6.8"));
    IniFile again(dir.file("missing.ini"));
    EXPECT_EQ(again.value("Notice_info", "Version"), "6.8");
}

TEST(IniFile, WriteReloadsFromDiskAndKeepsOtherKeys) {
    TempFolder dir;
    dir.writeFile("c.ini", "[Create_Skin]\nSkin_index=3\nSkin_name=a\n[Other]\nk=v\n");
    IniFile ini(dir.file("c.ini"));
    // Another writer changes the file after we loaded it.
    dir.writeFile("c.ini", "[Create_Skin]\nSkin_index=3\nSkin_name=a\n[Other]\nk=changed\nn=new\n");
    ASSERT_TRUE(ini.write("Create_Skin", {{"Skin_index", "9"}, {"Skin_name", "b"}}));
    IniFile fresh(dir.file("c.ini"));
    EXPECT_EQ(fresh.valueAt("Create_Skin", 0), "9");
    EXPECT_EQ(fresh.valueAt("Create_Skin", 1), "b");
    EXPECT_EQ(fresh.value("Other", "k"), "changed");
    EXPECT_EQ(fresh.value("Other", "n"), "new");
}

TEST(AtomicFile, WritesWholeFileAndReportsFailure) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileAtomically(dir.file("f.txt"), std::string("a\0b", 3)));
    EXPECT_EQ(ReadWholeFile(dir.file("f.txt")), std::string("a\0b", 3));
    EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/folder/f.txt"), "x"));
    EXPECT_FALSE(ReadWholeFile(dir.file("none.txt")).has_value());
    EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());  // a folder is not a file
}

TEST(AtomicFile, KeepsThePermissionsOfTheReplacedFile) {
    TempFolder dir;
    dir.writeFile("p.txt", "old");
    ::chmod(dir.file("p.txt").c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomically(dir.file("p.txt"), "new"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("p.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
