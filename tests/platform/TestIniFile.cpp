#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

TEST(IniFile, ValuesReadBackExactlyWhateverTheyStartWith) {
    // "<<<" opens no multi-line block: the key after it is still there after a reload.
    TempFolder dir;
    IniFile ini(dir.file("n.ini"));
    ASSERT_TRUE(ini.write("Notice_info", {{"Notice", "<<<X"}, {"z", "9"}, {"Tail", "a;b#c"}}));
    IniFile fresh(dir.file("n.ini"));
    EXPECT_EQ(fresh.entries("Notice_info"),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Notice", "<<<X"}, {"z", "9"}, {"Tail", "a;b#c"}}));

    // Text on disk that looks like a multi-line block is read line by line.
    dir.writeFile("m.ini", "[s]\na=<<<END\nb=1\nEND\nc=2\n");
    IniFile m(dir.file("m.ini"));
    EXPECT_EQ(m.value("s", "a"), "<<<END");
    EXPECT_EQ(m.value("s", "b"), "1");
    EXPECT_EQ(m.value("s", "c"), "2");
}

// A file that is there but cannot be read is left alone: saving only the written keys would
// lose every other key in it.
static void ExpectUnreadableFileKept(const std::string& path) {
    IniFile ini(path);
    EXPECT_FALSE(ini.write("Create_Line", {{"line_index", "1"}, {"line_name", "x"}}));
}

TEST(IniFile, WriteRefusesAFileItCannotRead) {
    TempFolder dir;
    const std::string content = "[Create_Form_Caption]\nCaption=c\n[Service_Url]\nTelecom_Url=u\n";
    dir.writeFile("c.ini", content);
    if (::geteuid() == 0) {
        // Root reads whatever the permissions say; the case below covers it.
        GTEST_SKIP() << "permissions do not stop root from reading";
    }
    ::chmod(dir.file("c.ini").c_str(), 0);
    ExpectUnreadableFileKept(dir.file("c.ini"));
    ::chmod(dir.file("c.ini").c_str(), 0600);
    EXPECT_EQ(ReadWholeFile(dir.file("c.ini")), content);
}

TEST(IniFile, WriteRefusesAFileThatFailsWithAnIoError) {
    // Reading the process's own memory from address 0 fails with EIO, also for root.
    TempFolder dir;
    const std::string link = dir.file("c.ini");
    ASSERT_EQ(::symlink("/proc/self/mem", link.c_str()), 0);
    if (ReadWholeFile(link).has_value())
        GTEST_SKIP() << "/proc/self/mem reads here";
    ExpectUnreadableFileKept(link);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // not replaced by a file holding only line_*

    // Once the file reads again, the write goes through and keeps the rest.
    ::unlink(link.c_str());
    dir.writeFile("c.ini", "[Service_Url]\nTelecom_Url=u\n");
    IniFile ini(link);
    EXPECT_TRUE(ini.write("Create_Line", "line_index", "1"));
    IniFile fresh(link);
    EXPECT_EQ(fresh.value("Service_Url", "Telecom_Url"), "u");
    EXPECT_EQ(fresh.value("Create_Line", "line_index"), "1");
}

TEST(IniFile, WriteRefusesAFileItParsesOnlyInPart) {
    // A NUL byte stops the parser; UTF-16 text reads as almost nothing; a line that is no
    // section, key or comment would be dropped. Each file stays exactly as it was.
    using namespace std::string_literals;
    const std::string cases[] = {
        "[Create_Skin]\r\nSkin_index=3\r\n\0\r\n[Service_Url]\r\nTelecom_Url=u\r\n"s,
        "\xFF\xFE[\0C\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s,
        "[Create_Skin]\r\nSkin_index=3\r\nstray text\r\n[Service_Url]\r\nTelecom_Url=u\r\n",
        "[Create_Skin\r\nSkin_index=3\r\n",
        "\0\0\xFE\xFF\0\0\0["s,
    };
    for (const std::string& content : cases) {
        TempFolder dir;
        dir.writeFile("c.ini", content);
        IniFile ini(dir.file("c.ini"));
        EXPECT_FALSE(ini.write("Create_Skin", "Skin_index", "9"));
        EXPECT_EQ(ReadWholeFile(dir.file("c.ini")), content);
    }
    // What the parser did read stays readable.
    TempFolder dir;
    dir.writeFile("c.ini", cases[0]);
    EXPECT_EQ(IniFile(dir.file("c.ini")).value("Create_Skin", "Skin_index"), "3");
    // Comments, blank lines, spaces and a UTF-8 byte-order mark are all read.
    dir.writeFile("d.ini", "\xEF\xBB\xBF; note\r\n\r\n  [S]\r\n# x\r\n k = v \r\n");
    EXPECT_TRUE(IniFile(dir.file("d.ini")).write("S", "n", "1"));
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
