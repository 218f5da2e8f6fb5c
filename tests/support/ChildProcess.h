#pragma once
// Programs run as child processes by the tests: the build's own programs (bin/<name>) or any
// other file, with stdout (and stderr when asked) on pipes. A child still running when its
// object goes is ended by its process id, also when a test fails half-way.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempDataDir.h"

namespace smsc::test {

// bin/<name> of the build: ctest names the folder in SMSC_BIN_DIR; run by hand from
// tests/bin it is ../../bin beside the test program.
std::string BinProgram(const std::string& name);

struct ChildOptions {
    std::vector<std::string> env;       // NAME=value entries added to (or replacing) ours
    std::vector<std::string> unsetEnv;  // names left out of the child's environment
    bool captureStderr = false;         // else the child writes to this process's stderr
};

class ChildProcess final {
public:
    using Duration = std::chrono::milliseconds;

    // Starts `program` (a path; it is also argv[0]) with the arguments.
    ChildProcess(std::string program, std::vector<std::string> args, ChildOptions options = {});
    ~ChildProcess();  // terminate()
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    const std::string& program() const { return m_program; }

    // What has been read so far.
    const std::string& out() const { return m_text[0]; }
    const std::string& err() const { return m_text[1]; }

    // Reads until stdout holds `lines` line ends, every pipe has ended or the time is up;
    // stdout so far.
    const std::string& readLines(int lines, Duration timeout = std::chrono::seconds(10));
    // The first stdout line without its line end; empty when none came in time.
    std::string firstLine(Duration timeout = std::chrono::seconds(10));
    // Reads until every pipe has ended or the time is up; stdout.
    const std::string& readAll(Duration timeout = std::chrono::seconds(20));

    // Waits for the end. The exit code, or -1: ended by a signal, not ended in time (the
    // destructor ends it) or never started.
    int wait(Duration timeout = std::chrono::seconds(30));
    // Sends the signal and waits for the end; the exit code as wait() gives it.
    int stop(int signal, Duration timeout = std::chrono::seconds(20));
    // SIGTERM, a grace period for a clean end, then SIGKILL; the child is reaped.
    void terminate(Duration grace = std::chrono::seconds(5));

    // Started and not ended yet (an ended child is reaped here).
    bool running();
    // The signal that ended the child, or 0.
    int endSignal() const { return m_signal; }

private:
    bool reap(bool block);

    std::string m_program;
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_exitCode = -1;
    int m_signal = 0;
    int m_fds[2] = {-1, -1};  // stdout, stderr
    std::string m_text[2];
};

// The demo service program on 127.0.0.1, port chosen by the system (--port 0; it prints the
// port on its first line), data in its own temporary folder.
class DemoServiceProcess final {
public:
    // extraArgs follow "--port 0 --data-dir DIR".
    explicit DemoServiceProcess(const std::vector<std::string>& extraArgs = {});

    bool running() const { return m_port > 0; }
    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    const std::string& dataDir() const { return m_data.path(); }
    ChildProcess& process() { return *m_process; }

    // "smsclient-demo-service admin --data-dir DIR ARGS..." as its own process; exit code.
    int admin(const std::vector<std::string>& args) const;

private:
    TempFolder m_data;  // outlives the process (declared first)
    std::unique_ptr<ChildProcess> m_process;
    int m_port = 0;
};

}  // namespace smsc::test
