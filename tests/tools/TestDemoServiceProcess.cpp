// The program smsclient-demo-service as a child process: --port 0, the port on the first
// line of its output, a login, and a clean end on SIGTERM.
#include "tests/support/TempDataDir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string ProgramPath() {
    if (const char* dir = std::getenv("SMSC_BIN_DIR"))
        return std::string(dir) + "/smsclient-demo-service";
    // Run by hand from tests/bin: the programs are in the build's bin/.
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "../../bin/smsclient-demo-service").string();
}

class Child final {
public:
    explicit Child(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string program = ProgramPath();
        std::vector<char*> argv{program.data()};
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_out = fds[0];
    }
    ~Child() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            close(m_out);
    }

    bool started() const { return m_pid > 0; }

    // Output until the line count is reached, the stream ends or 10 s pass.
    std::string readLines(int lines) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::count(m_text.begin(), m_text.end(), '\n') < lines &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buf[256];
            ssize_t n = read(m_out, buf, sizeof buf);
            if (n <= 0)
                break;
            m_text.append(buf, static_cast<size_t>(n));
        }
        return m_text;
    }

    // Sends the signal and returns the exit status (-1 when it did not end normally).
    int stop(int signal) {
        kill(m_pid, signal);
        return wait();
    }
    int wait() {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
};

}  // namespace

TEST(DemoServiceProcess, EphemeralPortLoginAndCleanStop) {
    Child child({"--port", "0"});
    ASSERT_TRUE(child.started()) << ProgramPath();
    std::string out = child.readLines(2);
    int port = std::atoi(out.substr(0, out.find('\n')).c_str());
    ASSERT_GT(port, 0) << out;

    httplib::Client client("127.0.0.1", port);
    auto r = client.Post("/softweb/login.asp", "username=demo&password=demo",
                         "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, "3|10000");

    // The second line names the temporary data folder, which goes with the process.
    size_t at = out.find("data folder ");
    ASSERT_NE(at, std::string::npos) << out;
    std::string folder = out.substr(at + 12, out.find(',', at) - at - 12);
    EXPECT_TRUE(std::filesystem::exists(folder + "/demo-service.sqlite")) << folder;
    EXPECT_EQ(child.stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(DemoServiceProcess, AdminCommandReachesARunningService) {
    smsc::test::TempFolder data;
    Child service({"--port", "0", "--data-dir", data.path()});
    ASSERT_TRUE(service.started());
    int port = std::atoi(service.readLines(1).c_str());
    ASSERT_GT(port, 0);

    Child admin({"admin", "--data-dir", data.path(), "set-quota", "demo", "42"});
    EXPECT_EQ(admin.wait(), 0);
    httplib::Client client("127.0.0.1", port);
    auto r = client.Post("/softweb/login.asp", "username=demo&password=demo",
                         "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, "3|42");

    // The port is taken: a second service says so and ends.
    Child second({"--port", std::to_string(port)});
    EXPECT_EQ(second.wait(), 1);
    EXPECT_EQ(service.stop(SIGINT), 0);
    EXPECT_TRUE(std::filesystem::exists(data.file("demo-service.sqlite")));  // given folder stays
}

TEST(DemoServiceProcess, HelpAndBadOptions) {
    Child help({"--help"});
    EXPECT_NE(help.readLines(100).find("set-state USER enabled|disabled"), std::string::npos);
    EXPECT_EQ(help.wait(), 0);
    EXPECT_EQ(Child({"--port", "nope"}).wait(), 2);
    EXPECT_EQ(Child({"admin", "set-quota"}).wait(), 2);
}
