#pragma once
// Command line of smsclient-demo-service: the service options, --help, and the admin
// commands that edit a data folder's store (also while a service runs on it).

#include "tools/demo-service/DemoPages.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace smsc::demo {

struct CommandLine {
    bool help = false;
    int port = 18068;
    std::string dataDir;     // empty: a fresh temporary folder, removed at exit
    std::string noticeFile;  // empty: the built-in notice
    std::string forbiddenWords = kDefaultForbiddenWords;  // UTF-8, comma-separated
    std::optional<DateOrder> dateOrder;                   // --date-order; else the host's
};

// Arguments without the program name. nullopt with *error set on a bad option.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string* error);

// The notice file's bytes; nullopt with *error set when it is not a regular file, cannot be
// read or holds more than maxBytes (only that much plus one byte is ever read).
std::optional<std::string> ReadNoticeFile(const std::string& path, size_t maxBytes,
                                          std::string* error);

// The --help text (UTF-8).
std::string HelpText();

// Runs "admin --data-dir DIR COMMAND ARGS..." (the arguments after "admin"). Command-line
// texts are UTF-8 and stored as GBK. Returns the exit code: 0 done, 1 failed, 2 usage error.
int RunAdminCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace smsc::demo
