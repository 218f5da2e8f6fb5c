#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
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

}  // namespace

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
// itself included, as the program does at exit.
TEST(Processes, DISABLED_CopyRole) {
    const char* role = std::getenv("SMSC_PROCESS_ROLE");
    if (!role)
        GTEST_SKIP() << "only run by EndsItselfWithExitCodeZero";
    if (std::string(role) == "wait") {
        std::this_thread::sleep_for(std::chrono::seconds(60));
        std::_Exit(3);
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").filename();
    KillProcessesByName(self);
    std::_Exit(2);  // not reached when the program ended itself
}

// The calling process ends itself last and with exit code 0; another copy of the same
// program is killed.
TEST(Processes, EndsItselfWithExitCodeZero) {
    test::TempFolder folder;
    std::random_device rd;
    const std::string copy = folder.file("SmscSelfEnder" + std::to_string(::getpid()) + "x" +
                                         std::to_string(rd() % 1000000));
    std::filesystem::copy_file(std::filesystem::read_symlink("/proc/self/exe"), copy);
    const std::vector<std::string> args = {"--gtest_also_run_disabled_tests",
                                           "--gtest_filter=Processes.DISABLED_CopyRole"};
    test::ChildOptions waitRole, endRole;
    waitRole.env = {"SMSC_PROCESS_ROLE=wait"};
    endRole.env = {"SMSC_PROCESS_ROLE=end"};

    ChildProcess other(copy, args, waitRole);
    ASSERT_GT(other.pid(), 0);
    ChildProcess self(copy, args, endRole);
    ASSERT_GT(self.pid(), 0);
    EXPECT_EQ(self.wait(std::chrono::seconds(20)), 0);
    EXPECT_EQ(self.endSignal(), 0);
    EXPECT_TRUE(SleeperCopy::killed(other));
}
