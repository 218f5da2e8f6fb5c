#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/Processes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::ChildProcess;

namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// A copy of /bin/sleep under a name no other process has, started as our own children.
class SleeperCopy final {
public:
    explicit SleeperCopy(const std::string& stem) {
        std::random_device rd;
        m_name = stem + std::to_string(::getpid()) + "x" + std::to_string(rd() % 1000000);
        m_path = m_folder.file(m_name);
        std::filesystem::copy_file("/bin/sleep", m_path);
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
    }

    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }

    // posix_spawn returns once the child runs the new program, so /proc already names it.
    ChildProcess& start() {
        m_children.push_back(
            std::make_unique<ChildProcess>(m_path, std::vector<std::string>{"60"}));
        return *m_children.back();
    }

    // Whether the child ended by SIGKILL within a few seconds (and is reaped).
    static bool killed(ChildProcess& child) {
        return child.wait(std::chrono::seconds(5)) == -1 && child.endSignal() == SIGKILL;
    }

private:
    test::TempFolder m_folder;
    std::string m_name;
    std::string m_path;
    std::vector<std::unique_ptr<ChildProcess>> m_children;  // ended first, by their ids
};

// A program started as another user (root only): forked, the user changed, then exec'ed.
class OtherUsersChild final {
public:
    OtherUsersChild(const std::string& program, uid_t uid, gid_t gid) {
        m_pid = ::fork();
        if (m_pid == 0) {
            if (::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126);
            ::execl(program.c_str(), program.c_str(), "60", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~OtherUsersChild() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t pid() const { return m_pid; }
    // Whether /proc names the program as the child's executable within a few seconds.
    bool runs(const std::string& program) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            std::error_code ec;
            const auto exe =
                std::filesystem::read_symlink("/proc/" + std::to_string(m_pid) + "/exe", ec);
            if (!ec && exe == program)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    bool alive() const {
        int status = 0;
        return m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == 0;
    }

private:
    pid_t m_pid = -1;
};

}  // namespace

// Exit ends this user's copies of the very same file: not a copy of the same name in another
// folder, and not the same file run by another user (a colleague on a shared machine).
TEST(Processes, EndOwnCopiesEndsOnlyThisUsersCopiesOfTheSameFile) {
    SleeperCopy sleeper("smscOwnCopy");
    ChildProcess& mine = sleeper.start();
    ChildProcess& mineToo = sleeper.start();
    // The same file name in another folder.
    test::TempFolder elsewhere;
    const std::string twin = elsewhere.file(sleeper.name());
    std::filesystem::copy_file(sleeper.path(), twin);
    std::filesystem::permissions(twin, std::filesystem::perms::owner_all);
    ChildProcess otherFolder(twin, {"60"});
    ASSERT_GT(mine.pid(), 0);
    ASSERT_GT(mineToo.pid(), 0);
    ASSERT_GT(otherFolder.pid(), 0);

    // The same file run by another user, where this user may start one (root, as in CI).
    std::unique_ptr<OtherUsersChild> colleague;
    if (::geteuid() == 0) {
        if (const passwd* nobody = ::getpwnam("nobody")) {
            const std::string folder = std::filesystem::path(sleeper.path()).parent_path();
            std::filesystem::permissions(folder, std::filesystem::perms::all &
                                                     ~std::filesystem::perms::group_write &
                                                     ~std::filesystem::perms::others_write);
            std::filesystem::permissions(sleeper.path(), std::filesystem::perms::owner_all |
                                                             std::filesystem::perms::group_exec |
                                                             std::filesystem::perms::others_exec);
            colleague =
                std::make_unique<OtherUsersChild>(sleeper.path(), nobody->pw_uid, nobody->pw_gid);
            ASSERT_TRUE(colleague->runs(sleeper.path()));
        }
    }

    EXPECT_FALSE(EndOwnCopies(sleeper.name()));  // a bare name is no path
    EXPECT_FALSE(EndOwnCopies(upper(sleeper.path())));
    EXPECT_TRUE(EndOwnCopies(sleeper.path()));
    EXPECT_TRUE(SleeperCopy::killed(mine));
    EXPECT_TRUE(SleeperCopy::killed(mineToo));
    EXPECT_TRUE(otherFolder.running());
    if (colleague)
        EXPECT_TRUE(colleague->alive());
    else
        std::cout << "[ INFO ] not root: the other user's copy was not tried\n";
}

TEST(Processes, KillsByFileNameIgnoringCase) {
    SleeperCopy sleeper("SmscSleeper");
    ChildProcess& first = sleeper.start();
    ChildProcess& second = sleeper.start();
    ASSERT_GT(first.pid(), 0);
    ASSERT_GT(second.pid(), 0);
    EXPECT_TRUE(KillProcessesByName(upper(sleeper.name())));
    EXPECT_TRUE(SleeperCopy::killed(first));
    EXPECT_TRUE(SleeperCopy::killed(second));
    // Nothing of that name runs any more.
    EXPECT_FALSE(KillProcessesByName(sleeper.name()));
}

TEST(Processes, KillsByFullPath) {
    SleeperCopy sleeper("smscPathSleeper");
    ChildProcess& child = sleeper.start();
    ASSERT_GT(child.pid(), 0);
    EXPECT_TRUE(KillProcessesByName(sleeper.path()));
    EXPECT_TRUE(SleeperCopy::killed(child));

    ChildProcess& again = sleeper.start();
    ASSERT_GT(again.pid(), 0);
    EXPECT_TRUE(KillProcessesByName(upper(sleeper.path())));
    EXPECT_TRUE(SleeperCopy::killed(again));
}

TEST(Processes, OtherNamesAreLeftAlone) {
    SleeperCopy sleeper("SmscBystander");
    ChildProcess& child = sleeper.start();
    ASSERT_GT(child.pid(), 0);
    EXPECT_FALSE(KillProcessesByName(sleeper.name() + "0"));
    EXPECT_FALSE(KillProcessesByName(sleeper.name().substr(1)));
    EXPECT_FALSE(KillProcessesByName("no-such-program-" + sleeper.name()));
    EXPECT_FALSE(KillProcessesByName(""));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(child.running());
}

// Runs only inside a copy of this test program started by EndsItselfWithExitCodeZero:
// SMSC_PROCESS_ROLE=wait sleeps; SMSC_PROCESS_ROLE=end ends every process of the copy's name,
// itself included; SMSC_PROCESS_ROLE=end-own ends this user's processes of the copy's path,
// itself included, as the program does at exit.
TEST(Processes, DISABLED_CopyRole) {
    const char* role = std::getenv("SMSC_PROCESS_ROLE");
    if (!role)
        GTEST_SKIP() << "only run by EndsItselfWithExitCodeZero";
    if (std::string(role) == "wait") {
        std::this_thread::sleep_for(std::chrono::seconds(60));
        std::_Exit(3);
    }
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    if (std::string(role) == "end-own")
        EndOwnCopies(self);
    else
        KillProcessesByName(self.filename());
    std::_Exit(2);  // not reached when the program ended itself
}

// The calling process ends itself last and with exit code 0; another copy of the same
// program is killed. Both by name and by this user's path.
TEST(Processes, EndsItselfWithExitCodeZero) {
    for (const char* role : {"SMSC_PROCESS_ROLE=end", "SMSC_PROCESS_ROLE=end-own"}) {
        SCOPED_TRACE(role);
        test::TempFolder folder;
        std::random_device rd;
        const std::string copy = folder.file("SmscSelfEnder" + std::to_string(::getpid()) + "x" +
                                             std::to_string(rd() % 1000000));
        std::filesystem::copy_file(std::filesystem::read_symlink("/proc/self/exe"), copy);
        const std::vector<std::string> args = {"--gtest_also_run_disabled_tests",
                                               "--gtest_filter=Processes.DISABLED_CopyRole"};
        test::ChildOptions waitRole, endRole;
        waitRole.env = {"SMSC_PROCESS_ROLE=wait"};
        endRole.env = {role};

        ChildProcess other(copy, args, waitRole);
        ASSERT_GT(other.pid(), 0);
        ChildProcess self(copy, args, endRole);
        ASSERT_GT(self.pid(), 0);
        EXPECT_EQ(self.wait(std::chrono::seconds(20)), 0);
        EXPECT_EQ(self.endSignal(), 0);
        EXPECT_TRUE(SleeperCopy::killed(other));
    }
}
