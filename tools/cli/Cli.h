#pragma once
// smsclient-cli: the SMS page's send checks, pieces, number string and answers without a
// window, for scripts. The program's main() only gathers its environment and calls RunCli.

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace smsc::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;  // also a network failure, and a file over the import cap

// A send carries at most this many recipients, verification copies included.
inline constexpr size_t kMaxRecipients = 30000;
// Input file limits: a numbers file is held whole in memory, a message file is one text.
inline constexpr size_t kMaxNumbersFileBytes = 64u * 1024 * 1024;
inline constexpr size_t kMaxTextFileBytes = 1024u * 1024;

struct CliEnvironment {
    std::optional<std::string> password;  // SMSCLIENT_PASSWORD, UTF-8
    std::string dataDir;                  // folder of Company_Info.ini without --data-dir
    std::optional<std::string> boundary;  // fixed multipart boundary (tests)
    std::string resourceDir;  // folder of the read-only files (sjhmd.dat) without --data-dir
    // Every page's read timeout (tests); unset: each page's own.
    std::optional<std::chrono::milliseconds> readTimeout;
    // The clock of scheduled campaigns, seconds since the epoch (tests); unset: the system's.
    std::optional<long long> now;
    // The client's remembered login (tests); empty: its usual place.
    std::string loginStore;
};

// Runs one command line (arguments without the program name). Output and errors are
// UTF-8 text. Returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env);

}  // namespace smsc::cli
