#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace smsc::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// This process's environment less the names unset or given anew, then the new entries.
std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
    std::vector<std::string> dropped = options.unsetEnv;
    for (const std::string& entry : options.env)
        dropped.push_back(NameOf(entry));
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::find(dropped.begin(), dropped.end(), NameOf(*e)) == dropped.end())
            env.emplace_back(*e);
    env.insert(env.end(), options.env.begin(), options.env.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::string BinProgram(const std::string& name) {
    if (const char* dir = std::getenv("SMSC_BIN_DIR"); dir && *dir)
        return std::string(dir) + "/" + name;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "../../bin" / name).string();
}

ChildProcess::ChildProcess(std::string program, std::vector<std::string> args, ChildOptions options)
    : m_program(std::move(program)) {
    const int pipes = options.captureStderr ? 2 : 1;
    int ends[2][2] = {{-1, -1}, {-1, -1}};
    for (int i = 0; i < pipes; ++i) {
        if (pipe2(ends[i], O_CLOEXEC) != 0) {
            for (int k = 0; k < i; ++k) {
                close(ends[k][0]);
                close(ends[k][1]);
            }
            return;
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0][1], STDOUT_FILENO);
    if (options.captureStderr)
        posix_spawn_file_actions_adddup2(&actions, ends[1][1], STDERR_FILENO);

    args.insert(args.begin(), m_program);
    std::vector<char*> argv = Pointers(args);
    const bool ownEnv = !options.env.empty() || !options.unsetEnv.empty();
    std::vector<std::string> env = ownEnv ? ChildEnvironment(options) : std::vector<std::string>{};
    std::vector<char*> envp = Pointers(env);
    if (posix_spawn(&m_pid, m_program.c_str(), &actions, nullptr, argv.data(),
                    ownEnv ? envp.data() : environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < pipes; ++i) {
        close(ends[i][1]);
        m_fds[i] = ends[i][0];
    }
}

ChildProcess::~ChildProcess() {
    terminate();
    for (int fd : m_fds)
        if (fd >= 0)
            close(fd);
}

const std::string& ChildProcess::readLines(int lines, Duration timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (lines >= 0 && std::count(m_text[0].begin(), m_text[0].end(), '\n') >= lines)
            break;
        pollfd p[2];
        int which[2];
        nfds_t n = 0;
        for (int i = 0; i < 2; ++i)
            if (m_fds[i] >= 0) {
                p[n] = {m_fds[i], POLLIN, 0};
                which[n++] = i;
            }
        if (n == 0)
            break;
        if (poll(p, n, 100) <= 0)
            continue;
        for (nfds_t k = 0; k < n; ++k) {
            if (!(p[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t got = ::read(p[k].fd, buffer, sizeof buffer);
            if (got > 0) {
                m_text[which[k]].append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                close(m_fds[which[k]]);
                m_fds[which[k]] = -1;
            }
        }
    }
    return m_text[0];
}

std::string ChildProcess::firstLine(Duration timeout) {
    const std::string& text = readLines(1, timeout);
    const size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

const std::string& ChildProcess::readAll(Duration timeout) {
    return readLines(-1, timeout);
}

bool ChildProcess::reap(bool block) {
    if (!started() || m_ended)
        return true;
    int status = 0;
    const pid_t done = waitpid(m_pid, &status, block ? 0 : WNOHANG);
    if (done == 0)
        return false;
    m_ended = true;  // also when waitpid fails: the id is no longer ours to signal
    if (done == m_pid) {
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return true;
}

int ChildProcess::wait(Duration timeout) {
    if (!started())
        return -1;
    const auto deadline = Clock::now() + timeout;
    while (!reap(false)) {
        if (Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_exitCode;
}

int ChildProcess::stop(int signal, Duration timeout) {
    if (running())
        kill(m_pid, signal);
    return wait(timeout);
}

void ChildProcess::terminate(Duration grace) {
    if (!running())
        return;
    kill(m_pid, SIGTERM);
    if (wait(grace) == -1 && !m_ended) {
        kill(m_pid, SIGKILL);
        reap(true);
    }
}

bool ChildProcess::running() {
    return started() && !reap(false);
}

DemoServiceProcess::DemoServiceProcess(const std::vector<std::string>& extraArgs) {
    std::vector<std::string> args{"--port", "0", "--data-dir", m_data.path()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    m_process = std::make_unique<ChildProcess>(BinProgram("smsclient-demo-service"), args);
    if (m_process->started())
        m_port = std::atoi(m_process->firstLine().c_str());
}

int DemoServiceProcess::admin(const std::vector<std::string>& args) const {
    std::vector<std::string> all{"admin", "--data-dir", m_data.path()};
    all.insert(all.end(), args.begin(), args.end());
    ChildProcess command(BinProgram("smsclient-demo-service"), all);
    return command.wait();
}

}  // namespace smsc::test
