// Where the program keeps its files: a writable folder of the executable (a build) is used as
// is; an installed copy writes into a per-user folder seeded from the installed defaults and
// never replaces a file the user has; a rebuild never overwrites the user's settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/DataDir.h"
#include "tests/support/TempDataDir.h"

namespace fs = std::filesystem;
using namespace smsc;
using smsc::test::TempFolder;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The build's data copy step, as the smsc_data target runs it.
int copyData(const std::string& src, const std::string& dest) {
    const std::string command = std::string("\"") + SMSC_CMAKE_COMMAND + "\" -DSRC=" + src +
                                " -DDEST=" + dest + " -P \"" + SMSC_COPY_DATA_SCRIPT + "\"";
    return std::system(command.c_str());
}

// An installed folder: shipped defaults and read-only resources.
struct Installed {
    TempFolder exe;
    TempFolder home;
    std::string user = home.path() + "smsclient/";
    Installed() {
        exe.writeFile("Company_Info.ini", "[Create_Skin]\r\nSkin_index=0\r\n");
        exe.writeFile("Notice_info.ini", "[Notice_info]\r\nVersion=6.8\r\n");
        exe.writeFile("LinkmanBook/Contacts.xml", "<root/>");
        exe.writeFile("phrase/节日祝福.txt", "新年快乐\r\n");
        exe.writeFile("phrase/生日祝福.txt", "生日快乐\r\n");
        exe.writeFile("picture/m4.jpg", "jpeg");
        exe.writeFile("sjhmd.dat", "db");
    }
};

}  // namespace

TEST(DataFolders, WritableExecutableFolderIsUsedAsIs) {
    Installed in;
    const DataFolders f = ChooseDataFolders(in.exe.path(), true, in.user);
    EXPECT_EQ(f.data, in.exe.path());
    EXPECT_EQ(f.resources, in.exe.path());
    EXPECT_FALSE(fs::exists(in.user));
}

TEST(DataFolders, InstalledCopySeedsUserFolderAndKeepsUserFiles) {
    Installed in;
    // The user already has edited settings and a phrase folder with one category removed.
    const std::string edited = "[Create_Skin]\r\nSkin_index=7\r\nSkin_name=\xC0\xB6\r\n";
    TempFolder& home = in.home;
    home.writeFile("smsclient/Company_Info.ini", edited);
    home.writeFile("smsclient/phrase/节日祝福.txt", "my own\r\n");

    const DataFolders f = ChooseDataFolders(in.exe.path(), false, in.user);
    EXPECT_EQ(f.data, in.user);
    EXPECT_EQ(f.resources, in.exe.path());
    EXPECT_EQ(readFile(in.user + "Company_Info.ini"), edited);
    EXPECT_EQ(readFile(in.user + "Notice_info.ini"), "[Notice_info]\r\nVersion=6.8\r\n");
    EXPECT_EQ(readFile(in.user + "LinkmanBook/Contacts.xml"), "<root/>");
    EXPECT_EQ(readFile(in.user + "phrase/节日祝福.txt"), "my own\r\n");
    EXPECT_FALSE(fs::exists(in.user + "phrase/生日祝福.txt"));  // the user's deletion stands
    EXPECT_FALSE(fs::exists(in.user + "picture"));
    EXPECT_FALSE(fs::exists(in.user + "sjhmd.dat"));

    // A second start (an update installed new defaults) changes nothing the user has.
    in.exe.writeFile("Company_Info.ini", "[Create_Skin]\r\nSkin_index=1\r\n");
    ChooseDataFolders(in.exe.path(), false, in.user);
    EXPECT_EQ(readFile(in.user + "Company_Info.ini"), edited);

    // Files are found in the right folder.
    const std::string previous = DataDir();
    SetDataFolders(f);
    const struct {
        const char* relative;
        std::string expected;
    } cases[] = {
        {"Company_Info.ini", in.user + "Company_Info.ini"},
        {"phrase\\节日祝福.txt", in.user + "phrase/节日祝福.txt"},
        {"LinkmanBook\\Contacts.xml", in.user + "LinkmanBook/Contacts.xml"},
        {"picture\\m4.jpg", in.exe.path() + "picture/m4.jpg"},
        {"sjhmd.dat", in.exe.path() + "sjhmd.dat"},
        {"export.txt", in.user + "export.txt"},  // a file the program creates
    };
    for (const auto& c : cases) EXPECT_EQ(DataPath(c.relative), c.expected) << c.relative;
    EXPECT_EQ(DataDir(), in.user);
    SetDataDir(previous);
}

TEST(DataFolders, UserFolderFollowsXdgDataHome) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(UserDataFolder(), "/srv/data/smsclient/");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_NE(UserDataFolder().find("/.local/share/smsclient/"), std::string::npos);
    if (saved) setenv("XDG_DATA_HOME", keep.c_str(), 1); else unsetenv("XDG_DATA_HOME");
}

// The build's copy of data/ next to the executables: an edited Company_Info.ini and the
// user's phrase folder survive a rebuild; a read-only resource is refreshed.
TEST(DataFolders, RebuildKeepsUserFiles) {
    TempFolder src, dest;
    src.writeFile("Company_Info.ini", "[Create_Skin]\r\nSkin_index=0\r\n");
    src.writeFile("phrase/a.txt", "shipped\r\n");
    src.writeFile("index.html", "<html>new</html>");
    dest.writeFile("Company_Info.ini", "[Create_Skin]\r\nSkin_index=5\r\n");
    dest.writeFile("phrase/b.txt", "mine\r\n");
    dest.writeFile("index.html", "<html>old</html>");
    ASSERT_EQ(copyData(src.path(), dest.path()), 0);
    EXPECT_EQ(readFile(dest.file("Company_Info.ini")), "[Create_Skin]\r\nSkin_index=5\r\n");
    EXPECT_FALSE(fs::exists(dest.file("phrase/a.txt")));
    EXPECT_EQ(readFile(dest.file("phrase/b.txt")), "mine\r\n");
    EXPECT_EQ(readFile(dest.file("index.html")), "<html>new</html>");
    // A fresh build folder gets everything.
    TempFolder fresh;
    ASSERT_EQ(copyData(src.path(), fresh.path()), 0);
    EXPECT_EQ(readFile(fresh.file("phrase/a.txt")), "shipped\r\n");
    EXPECT_EQ(readFile(fresh.file("Company_Info.ini")), "[Create_Skin]\r\nSkin_index=0\r\n");
}
