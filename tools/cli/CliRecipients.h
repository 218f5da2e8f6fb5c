#pragma once
// The recipients of the send commands (send, send-mms) as the window's list would hold them:
// the page's verification check, the copies interleaved per add action, and the number string.

#include <optional>
#include <string>
#include <vector>

namespace smsc::cli {

struct CliRecipients {
    std::vector<std::string> entries;  // in list order, verification copies included
    bool verifying = false;
    std::string verification;  // trimmed

    // Each entry followed by "|", or by "*" for a verification copy.
    std::string numberString() const;
};

// The add actions (each --numbers-file, each run of --number) become the list. With --verify
// the number is checked first as the page checks it; a refusal comes back as its message
// (GBK) and `out` is left as it was.
std::optional<std::string> ArrangeRecipients(std::vector<std::vector<std::string>> actions,
                                             const std::optional<std::string>& verify, int interval,
                                             CliRecipients& out);

}  // namespace smsc::cli
