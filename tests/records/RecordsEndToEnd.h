#pragma once
// The client and "smsclient-cli" against the real demo service program, logged in as the
// account "demo", with the short date pinned to the C locale for both the client and the
// service (the service reads the dates in the host's date order).

#include <QDate>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/EndToEnd.h"
#include "tools/cli/Cli.h"

namespace smsc::test {

struct CliResult {
    int code;
    std::string out, err;
};

class RecordsEndToEnd : public EndToEndTest {
protected:
    void SetUp() override {
        // The client's short date and the service's reading of it follow the same locale.
        setenv("LC_ALL", "C", 1);
        EndToEndTest::SetUp();
        startService();
        startClient();
        logIn(QStringLiteral("demo"), QStringLiteral("demo"));
        ASSERT_TRUE(main->isConnected());
    }

    CliResult runCli(const std::string& command, std::vector<std::string> args) {
        std::vector<std::string> all{command,      "--user",          "demo", "--password", "demo",
                                     "--base-url", service->baseUrl()};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream out, err;
        cli::CliEnvironment env;
        env.dataDir = data.path();
        const int code = cli::RunCli(all, out, err, env);
        return {code, out.str(), err.str()};
    }

    static std::string today() {
        return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    }

    TempFolder files;
};

}  // namespace smsc::test
