#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "platform/Processes.h"
#include "tests/support/TempDataDir.h"

extern char** environ;

using namespace smsc;

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
    ~SleeperCopy() {
        for (pid_t pid : m_children) {
            if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);  // only our own child, by its id
                ::waitpid(pid, nullptr, 0);
            }
        }
    }
    SleeperCopy(const SleeperCopy&) = delete;
    SleeperCopy& operator=(const SleeperCopy&) = delete;

    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }

    // posix_spawn returns once the child runs the new program, so /proc already names it.
    pid_t start() {
        pid_t pid = 0;
        char seconds[] = "60";
        char* argv[] = {m_path.data(), seconds, nullptr};
        if (::posix_spawn(&pid, m_path.c_str(), nullptr, nullptr, argv, environ) != 0)
            return -1;
        m_children.push_back(pid);
        return pid;
    }

    // Whether the child ended by SIGKILL within a few seconds (and is reaped).
    static bool killed(pid_t pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid)
                return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
            if (r < 0)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    static bool running(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

private:
    test::TempFolder m_folder;
    std::string m_name;
    std::string m_path;
    std::vector<pid_t> m_children;
};

}  // namespace

TEST(Processes, KillsByFileNameIgnoringCase) {
    SleeperCopy sleeper("SmscSleeper");
    const pid_t first = sleeper.start();
    const pid_t second = sleeper.start();
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_TRUE(KillProcessesByName(upper(sleeper.name())));
    EXPECT_TRUE(SleeperCopy::killed(first));
    EXPECT_TRUE(SleeperCopy::killed(second));
    // Nothing of that name runs any more.
    EXPECT_FALSE(KillProcessesByName(sleeper.name()));
}

TEST(Processes, KillsByFullPath) {
    SleeperCopy sleeper("smscPathSleeper");
    const pid_t pid = sleeper.start();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(KillProcessesByName(sleeper.path()));
    EXPECT_TRUE(SleeperCopy::killed(pid));

    const pid_t again = sleeper.start();
    ASSERT_GT(again, 0);
    EXPECT_TRUE(KillProcessesByName(upper(sleeper.path())));
    EXPECT_TRUE(SleeperCopy::killed(again));
}

TEST(Processes, OtherNamesAreLeftAlone) {
    SleeperCopy sleeper("SmscBystander");
    const pid_t pid = sleeper.start();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(KillProcessesByName(sleeper.name() + "0"));
    EXPECT_FALSE(KillProcessesByName(sleeper.name().substr(1)));
    EXPECT_FALSE(KillProcessesByName("no-such-program-" + sleeper.name()));
    EXPECT_FALSE(KillProcessesByName(""));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(SleeperCopy::running(pid));
}
