#pragma once
// The record commands of smsclient-cli over the same core as the record pages: replies
// ("收到短信"), records ("发送记录"), numbers (the sent-number list) and download-mms.

#include <iosfwd>
#include <optional>
#include <string>

#include "service/ServiceClient.h"
#include "tools/cli/CliOptions.h"

namespace smsc::cli {

// What a command that talks to the service has after the common options were checked.
struct CliSession {
    ServiceContext context;
    std::string user;      // GBK
    std::string password;  // GBK
};

// Checks the options of the record commands (--from, --to, --id, --output): each belongs to
// its commands only, and each command has the ones it needs. The error (UTF-8), or none.
std::optional<std::string> RecordOptionsError(const CliOptions& options);

// "YYYY-MM-DD", a real calendar day.
struct CliDate {
    int year = 0, month = 0, day = 0;
};
std::optional<CliDate> ParseCliDate(const std::string& text);

// Runs replies, records, numbers or download-mms; the exit code.
int RunRecordCommand(const CliOptions& options, const CliSession& session, std::ostream& out,
                     std::ostream& err);

}  // namespace smsc::cli
