// The atomic writer against every kind of target: new names under a umask, replaced files,
// symbolic links (chains, dangling, loops), FIFOs, character devices, folders, sockets and
// names at the length limit. After each write no temporary file is left behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>

#include "platform/AtomicFile.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;
namespace fs = std::filesystem;

namespace {

// Every name below the folder, links not followed.
std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).string());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

std::string Content(const std::string& path) {
    return ReadWholeFile(path).value_or("<unreadable>");
}

class Umask final {
public:
    explicit Umask(mode_t mask) : m_previous(::umask(mask)) {}
    ~Umask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

}  // namespace

TEST(AtomicFile, WritesWhatTheTargetNames) {
    const Umask mask(027);
    struct Case {
        const char* what;
        // Prepares the folder; returns the path handed to the writer.
        std::function<std::string(const TempFolder&)> setUp;
        bool written;
        // What the folder holds afterwards, besides the names setUp made.
        std::function<void(const TempFolder&)> check;
    };
    const Case cases[] = {
        {"a new name gets the mode of the umask",
         [](const TempFolder& f) { return f.file("new.txt"); }, true,
         [](const TempFolder& f) {
             EXPECT_EQ(Content(f.file("new.txt")), "new");
             EXPECT_EQ(ModeOf(f.file("new.txt")) & 0777, 0640u);
         }},
        {"a replaced file keeps its mode",
         [](const TempFolder& f) {
             f.writeFile("old.txt", "old");
             ::chmod(f.file("old.txt").c_str(), 0604);
             return f.file("old.txt");
         },
         true,
         [](const TempFolder& f) {
             EXPECT_EQ(Content(f.file("old.txt")), "new");
             EXPECT_EQ(ModeOf(f.file("old.txt")) & 0777, 0604u);
         }},
        {"a link is written through to its file, in that file's folder",
         [](const TempFolder& f) {
             f.writeFile("synced/book.xml", "old");
             ::chmod(f.file("synced/book.xml").c_str(), 0600);
             fs::create_directory(f.file("app"));
             fs::create_symlink("../synced/book.xml", f.file("app/book.xml"));
             return f.file("app/book.xml");
         },
         true,
         [](const TempFolder& f) {
             EXPECT_TRUE(S_ISLNK(ModeOf(f.file("app/book.xml"))));
             EXPECT_EQ(Content(f.file("synced/book.xml")), "new");
             EXPECT_EQ(ModeOf(f.file("synced/book.xml")) & 0777, 0600u);
         }},
        {"a chain of links ends at the file",
         [](const TempFolder& f) {
             f.writeFile("real.txt", "old");
             fs::create_symlink("real.txt", f.file("b"));
             fs::create_symlink(f.file("b"), f.file("a"));
             return f.file("a");
         },
         true,
         [](const TempFolder& f) {
             EXPECT_TRUE(S_ISLNK(ModeOf(f.file("a"))));
             EXPECT_TRUE(S_ISLNK(ModeOf(f.file("b"))));
             EXPECT_EQ(Content(f.file("real.txt")), "new");
         }},
        {"a dangling link creates the file it names",
         [](const TempFolder& f) {
             fs::create_directory(f.file("sub"));
             fs::create_symlink("sub/later.txt", f.file("link"));
             return f.file("link");
         },
         true,
         [](const TempFolder& f) {
             EXPECT_TRUE(S_ISLNK(ModeOf(f.file("link"))));
             EXPECT_EQ(Content(f.file("sub/later.txt")), "new");
             EXPECT_EQ(ModeOf(f.file("sub/later.txt")) & 0777, 0640u);
         }},
        {"a loop of links is refused",
         [](const TempFolder& f) {
             fs::create_symlink("y", f.file("x"));
             fs::create_symlink("x", f.file("y"));
             return f.file("x");
         },
         false, [](const TempFolder&) {}},
        {"a FIFO without a reader is refused at once",
         [](const TempFolder& f) {
             ::mkfifo(f.file("fifo").c_str(), 0600);
             return f.file("fifo");
         },
         false, [](const TempFolder& f) { EXPECT_TRUE(S_ISFIFO(ModeOf(f.file("fifo")))); }},
        {"a folder is refused",
         [](const TempFolder& f) {
             fs::create_directory(f.file("dir"));
             return f.file("dir");
         },
         false, [](const TempFolder& f) { EXPECT_TRUE(S_ISDIR(ModeOf(f.file("dir")))); }},
        {"a socket is refused",
         [](const TempFolder& f) {
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const std::string path = f.file("sock");
             path.copy(address.sun_path, sizeof address.sun_path - 1);
             ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
             ::close(fd);
             return path;
         },
         false, [](const TempFolder& f) { EXPECT_TRUE(S_ISSOCK(ModeOf(f.file("sock")))); }},
        {"a name of 255 bytes is written",
         [](const TempFolder& f) { return f.file(std::string(251, 'n') + ".txt"); }, true,
         [](const TempFolder& f) {
             EXPECT_EQ(Content(f.file(std::string(251, 'n') + ".txt")), "new");
         }},
        {"a name of 256 bytes is refused",
         [](const TempFolder& f) { return f.file(std::string(252, 'n') + ".txt"); }, false,
         [](const TempFolder&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string path = c.setUp(folder);
        const std::set<std::string> before = NamesIn(folder.path());
        EXPECT_EQ(WriteFileAtomically(path, "new"), c.written);
        std::set<std::string> after = NamesIn(folder.path());
        if (c.written)
            after.erase(fs::path(path).lexically_relative(folder.path()).string());
        for (const std::string& name : before)
            after.erase(name);
        // Only a file that did not exist before may have been added.
        for (const std::string& name : after)
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
        c.check(folder);
    }
}

TEST(AtomicFile, WritesFifosAndDevicesDirectly) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    const int reader = ::open(folder.file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(WriteFileAtomically(folder.file("fifo"), "through the pipe"));
    char got[64] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 16);
    EXPECT_STREQ(got, "through the pipe");
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(ModeOf(folder.file("fifo"))));

    // A character device: a null device of our own where we may make one (as root), so
    // that a writer that replaces its target could never harm the system's /dev/null.
    std::string device = folder.file("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        device = "/dev/null";
    EXPECT_TRUE(WriteFileAtomically(device, "gone"));
    EXPECT_TRUE(S_ISCHR(ModeOf(device)));
    EXPECT_EQ(NamesIn(folder.path()).size(), device == folder.file("null") ? 2u : 1u);
}

TEST(AtomicFile, ReadsOnlyRegularFiles) {
    TempFolder folder;
    ASSERT_TRUE(WriteFileAtomically(folder.file("plain"), std::string("a\0b", 3)));
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    // A FIFO without a writer would block the reader for ever; /dev/zero never ends.
    EXPECT_EQ(ReadWholeFile(folder.file("plain")), std::string("a\0b", 3));
    EXPECT_EQ(ReadWholeFile(folder.file("fifo")), std::nullopt);
    EXPECT_EQ(ReadWholeFile("/dev/zero"), std::nullopt);
    EXPECT_EQ(ReadWholeFile(folder.path()), std::nullopt);
    EXPECT_EQ(ReadWholeFile(folder.file("missing")), std::nullopt);
}
