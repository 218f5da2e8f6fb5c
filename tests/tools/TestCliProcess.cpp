// The real programs: smsclient-cli run as a child process against smsclient-demo-service
// started with --port 0 (its port on the first line of its output).
#include "tests/support/TempDataDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string ProgramPath(const std::string& name) {
    if (const char* dir = std::getenv("SMSC_BIN_DIR"))
        return std::string(dir) + "/" + name;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "../../bin" / name).string();
}

// A child process with its stdout and stderr on pipes. The destructor ends it (by its pid)
// if it still runs, so a failed assertion never leaves it behind.
class Child final {
public:
    Child(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& extraEnv = {}) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        if (pipe2(err, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::string path = ProgramPath(program);
        std::vector<std::string> argStore{path};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        // This process's environment without SMSCLIENT_PASSWORD, plus the extra entries.
        std::vector<std::string> envStore;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "SMSCLIENT_PASSWORD=", 19) != 0)
                envStore.emplace_back(*e);
        envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_fds[0] = out[0];
        m_fds[1] = err[0];
    }
    ~Child() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        for (int fd : m_fds)
            if (fd >= 0)
                close(fd);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return m_pid > 0; }
    const std::string& out() const { return m_text[0]; }
    const std::string& err() const { return m_text[1]; }

    // Reads both pipes until stdout holds `lines` line ends, both pipes end, or 20 s pass.
    void read(int lines = -1) {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (lines >= 0 && std::count(m_text[0].begin(), m_text[0].end(), '\n') >= lines)
                return;
            pollfd p[2];
            int n = 0;
            int which[2];
            for (int i = 0; i < 2; ++i)
                if (m_fds[i] >= 0) {
                    p[n] = {m_fds[i], POLLIN, 0};
                    which[n++] = i;
                }
            if (n == 0 || poll(p, static_cast<nfds_t>(n), 100) <= 0)
                continue;
            for (int k = 0; k < n; ++k) {
                if (!(p[k].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buf[4096];
                const ssize_t got = ::read(p[k].fd, buf, sizeof buf);
                if (got > 0) {
                    m_text[which[k]].append(buf, static_cast<size_t>(got));
                } else {
                    close(m_fds[which[k]]);
                    m_fds[which[k]] = -1;
                }
            }
            if (m_fds[0] < 0 && m_fds[1] < 0)
                return;
        }
    }
    // Reads everything and waits for the end; the exit code, or -1 (killed, timed out).
    int finish() {
        read();
        return wait();
    }
    int stop(int signal) {
        kill(m_pid, signal);
        return wait();
    }

private:
    int wait() {
        int status = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        pid_t done = 0;
        while ((done = waitpid(m_pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
            usleep(10000);
        if (done != m_pid)
            return -1;  // the destructor ends it
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1};
    std::string m_text[2];
};

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    Child cli("smsclient-cli", args, env);
    if (!cli.started())
        return {-2, "", "not started: " + ProgramPath("smsclient-cli")};
    const int code = cli.finish();
    return {code, cli.out(), cli.err()};
}

}  // namespace

TEST(CliProcess, SendsThroughTheRealService) {
    smsc::test::TempFolder serviceData, files;
    Child service("smsclient-demo-service", {"--port", "0", "--data-dir", serviceData.path()});
    ASSERT_TRUE(service.started()) << ProgramPath("smsclient-demo-service");
    service.read(1);
    const int port = std::atoi(service.out().c_str());
    ASSERT_GT(port, 0) << service.out() << service.err();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    const std::vector<std::string> password{"SMSCLIENT_PASSWORD=demo"};

    Result balance = RunCli({"balance", "--user", "demo", "--base-url", base}, password);
    EXPECT_EQ(balance.code, 0) << balance.err;
    EXPECT_EQ(balance.out, "10000\n");

    std::string numbers, text;
    for (int i = 0; i < 1000; ++i)
        numbers += std::to_string(13900000000LL + i) + "\r\n";
    for (int i = 0; i < 15; ++i)
        text += "会议改到下午三点开始";
    files.writeFile("numbers.txt", numbers);
    files.writeFile("text.txt", text);
    Result send = RunCli({"send", "--user", "demo", "--base-url", base, "--numbers-file",
                          files.file("numbers.txt"), "--text-file", files.file("text.txt")},
                         password);
    EXPECT_EQ(send.code, 0) << send.err;
    EXPECT_EQ(send.out, "恭喜\n短信内容已成功发送到服务器\n剩余短信7000条\n");

    // The address from a data folder's Company_Info.ini (netcom line).
    files.writeFile("Company_Info.ini",
                    "[Create_Line]\r\nline_index=1\r\n[Service_Url]\r\n"
                    "Telecom_Url=\r\nNetcom_Url=" +
                        base + "/\r\n");
    balance = RunCli({"balance", "--user", "demo", "--data-dir", files.path()}, password);
    EXPECT_EQ(balance.code, 0) << balance.err;
    EXPECT_EQ(balance.out, "7000\n");

    Result wrong = RunCli({"balance", "--user", "demo", "--password", "nope", "--base-url", base});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err, "您输入的用户名或者密码错误，请重新输入\n");
    Result refused = RunCli(
        {"send", "--user", "demo", "--base-url", base, "--number", "1", "--text", ""}, password);
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "要发送的短信内容不能为空\n");
    Result usage = RunCli({"send", "--nonsense"});
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.out, "");
    Result help = RunCli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("SMSCLIENT_PASSWORD"), std::string::npos);

    EXPECT_EQ(service.stop(SIGTERM), 0);
    Result gone = RunCli({"balance", "--user", "demo", "--base-url", base}, password);
    EXPECT_EQ(gone.code, 2);
    EXPECT_EQ(gone.err, "连接服务器超时，请检查网络！\n");
}
