#pragma once
// smsclient-cli send-mms: the MMS page's checks, the one request with the file read once, and
// the MMS answers, over the window-free core (sending/MmsSend.h).

#include <iosfwd>
#include <string>

#include "service/ServiceClient.h"

namespace smsc::cli {

struct CliOptions;
struct CliRecipients;
struct PlanFiles;

struct CliMmsSend {
    const CliOptions& options;        // --file and --title
    const CliRecipients& recipients;  // arranged as for send
    const ServiceContext& context;
    const std::string& user;  // GBK
    const std::string& password;
    std::string dataDir;  // of the opt-out list
    const PlanFiles* dryRunPlan = nullptr;  // --dry-run: the plan's files; nothing is sent
};

// Exit codes as for send: 0 on "7", 1 refused (a check or the service), 2 usage or network.
int RunSendMms(const CliMmsSend& send, std::ostream& out, std::ostream& err);

}  // namespace smsc::cli
