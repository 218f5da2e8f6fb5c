#pragma once
// End-to-end tests: the real smsclient-demo-service program as a child process on an
// ephemeral loopback port with its own data folder, and the real client windows in this
// process, driven through the scripted UI seam, with a temporary data folder whose
// Company_Info.ini points every line at that service.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm3.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/LoginStore.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

extern char** environ;

namespace smsc::test {

// bin/ of the build: ctest names it; run by hand from tests/bin it is ../../bin.
inline std::string DemoServiceProgram() {
    if (const char* dir = std::getenv("SMSC_BIN_DIR"); dir && *dir)
        return std::string(dir) + "/smsclient-demo-service";
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "../../bin/smsclient-demo-service").string();
}

// One run of the demo service program. The process is ended by its id when the object goes,
// also when a test fails half-way.
class ChildProcess final {
public:
    explicit ChildProcess(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::string program = DemoServiceProgram();
        std::vector<std::string> copy = args;
        std::vector<char*> argv{program.data()};
        for (auto& arg : copy)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_out = fds[0];
    }
    ~ChildProcess() {
        stop();
        if (m_out >= 0)
            close(m_out);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }

    // The first output line, without its line end; empty when none came within 10 s.
    std::string firstLine() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_text.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = read(m_out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_text.append(buffer, static_cast<size_t>(n));
        }
        const size_t end = m_text.find('\n');
        return end == std::string::npos ? std::string() : m_text.substr(0, end);
    }

    // Waits for the end (at most 30 s, then the process is killed); the exit code, or -1.
    int wait() {
        if (m_pid <= 0)
            return -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(m_pid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (done == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            m_pid = -1;
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // SIGTERM, a short grace period for a clean end, then SIGKILL.
    void stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 250; ++i) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
};

// The demo service on 127.0.0.1, port chosen by the system, data in its own folder.
class DemoServiceProcess final {
public:
    explicit DemoServiceProcess(const std::vector<std::string>& extraArgs = {}) {
        std::vector<std::string> args{"--port", "0", "--data-dir", m_data.path()};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        m_process = std::make_unique<ChildProcess>(args);
        if (m_process->started())
            m_port = std::atoi(m_process->firstLine().c_str());
    }

    bool running() const { return m_port > 0; }
    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    const std::string& dataDir() const { return m_data.path(); }

    // "smsclient-demo-service admin --data-dir DIR ARGS..." as its own process; exit code.
    int admin(const std::vector<std::string>& args) const {
        std::vector<std::string> all{"admin", "--data-dir", m_data.path()};
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess command(all);
        return command.wait();
    }

private:
    TempFolder m_data;  // outlives the process (declared first)
    std::unique_ptr<ChildProcess> m_process;
    int m_port = 0;
};

// The client against a demo service: temporary data folder and login store, scripted UI,
// the main window with every other window. The notice timer is stopped; tests fire it.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { SetLoginStorePath(QString::fromStdString(m_store.file("login.ini"))); }
    void TearDown() override {
        main.reset();
        SetLoginStorePath(QString());
    }

    // Starts the service (extra arguments after --port and --data-dir) and points every line
    // of the client's Company_Info.ini at it.
    void startService(const std::vector<std::string>& extraArgs = {}) {
        service = std::make_unique<DemoServiceProcess>(extraArgs);
        ASSERT_TRUE(service->running()) << DemoServiceProgram();
        IniFile ini(DataPath("Company_Info.ini"));
        ASSERT_TRUE(ini.write("Service_Url", "Telecom_Url", service->baseUrl()));
        ASSERT_TRUE(ini.write("Service_Url", "Netcom_Url", service->baseUrl()));
        ASSERT_TRUE(ini.write("Service_Url", "Download_Url", service->baseUrl() + "mms/"));
    }

    void startClient() {
        main = std::make_unique<TForm2>();
        login().Timer1->stop();
        main->createRemainingWindows();
        main->show();
    }
    TForm1& login() const { return *main->loginWindow(); }

    // Types the login, presses "登录" and fires the wait window's tick.
    void logIn(const QString& user, const QString& password) {
        login().Edit1->setText(user);
        login().Edit2->setText(password);
        login().Button1->click();
        ASSERT_TRUE(main->waitWindow()->Timer1->isActive());
        main->waitWindow()->Timer1Timer();
    }

    TempDataDir data;  // installed as the data folder first, removed last
    TempFolder m_store;
    ScriptedUi ui;
    std::unique_ptr<DemoServiceProcess> service;
    std::unique_ptr<TForm2> main;
};

}  // namespace smsc::test
