#pragma once
// In-process runs of smsclient-cli against the demo service (or a recording server) on an
// ephemeral loopback port.

#include "tests/support/RecordingServer.h"
#include "tests/support/TempDataDir.h"
#include "tests/tools/DemoServiceFixture.h"
#include "tools/cli/Cli.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace smsc::test {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline CliRun RunCliInProcess(const std::vector<std::string>& args,
                              const cli::CliEnvironment& env = {}) {
    std::ostringstream out, err;
    CliRun run;
    run.code = cli::RunCli(args, out, err, env);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A loopback port nobody listens on: bound for a moment and released without listening, so a
// connection to it is refused at once.
inline int UnusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// n distinct numbers from 13900000000 on, one per CR LF line.
inline std::string NumberLines(int n, long long first = 13900000000LL) {
    std::string s;
    s.reserve(static_cast<size_t>(n) * 13);
    for (int i = 0; i < n; ++i)
        s += std::to_string(first + i) + "\r\n";
    return s;
}

// The value of one text part of a multipart body.
inline std::string MultipartField(const std::string& body, const std::string& name) {
    const std::string head = "name=\"" + name + "\"\r\n\r\n";
    const size_t at = body.find(head);
    if (at == std::string::npos)
        return "<missing>";
    const size_t start = at + head.size();
    return body.substr(start, body.find("\r\n--", start) - start);
}

// The demo service plus the command line as the account "demo" would type it.
class CliTest : public DemoServiceTest {
protected:
    CliRun cli(const std::vector<std::string>& args, const cli::CliEnvironment& env = {}) {
        return RunCliInProcess(args, env);
    }
    // args after the subcommand, with the demo account and this service's address.
    CliRun demoCli(const std::string& command, std::vector<std::string> args = {}) {
        std::vector<std::string> all{
            command, "--user", "demo", "--password", "demo", "--base-url", m_service->baseUrl()};
        all.insert(all.end(), args.begin(), args.end());
        return cli(all);
    }
    // The remaining quota, asked through the command line.
    long long quota() {
        CliRun run = demoCli("balance");
        EXPECT_EQ(run.code, 0) << run.err;
        return std::atoll(run.out.c_str());
    }
    std::vector<smsc::demo::SubmissionRecord> submissions() {
        auto list = m_service->store()->latestSubmissions("demo", 1000);
        return list ? *list : std::vector<smsc::demo::SubmissionRecord>{};
    }
    std::string writeFile(const std::string& name, const std::string& bytes) {
        m_files.writeFile(name, bytes);
        return m_files.file(name);
    }

    TempFolder m_files;
};

}  // namespace smsc::test
