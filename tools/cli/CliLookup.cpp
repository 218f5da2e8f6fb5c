#include "tools/cli/CliLookup.h"

#include <ostream>

#include "lookup/SegmentDatabase.h"
#include "lookup/SegmentLookup.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {

std::optional<CliOptions> FinishLookupOptions(CliOptions options, size_t otherOptions,
                                              const std::vector<std::string>& positional,
                                              std::string* error) {
    auto fail = [error](const char* message) {
        *error = message;
        return std::nullopt;
    };
    if (otherOptions > 0)
        return fail("lookup 只接受 --area-code 和 --data-dir 选项");
    if (options.areaCode && !positional.empty())
        return fail("lookup 要么给一个手机号码，要么给 --area-code，不能两者都给");
    if (!options.areaCode && positional.size() != 1)
        return fail("lookup 需要且只需要一个手机号码（或 --area-code 区号）");
    if (!options.areaCode)
        options.lookupNumber = positional.front();
    return options;
}

int RunLookup(const CliOptions& options, const std::string& defaultDataDir, std::ostream& out,
              std::ostream& err) {
    std::string dataDir = options.dataDir.value_or(defaultDataDir);
    if (!dataDir.empty() && dataDir.back() != '/')
        dataDir += '/';
    SegmentDatabase db;
    db.open(dataDir + "sjhmd.dat");  // closed: every lookup finds nothing, as in the window

    // A text GBK cannot hold matches nothing; '?' in its place matches nothing either.
    const std::string& typed = options.areaCode ? *options.areaCode : options.lookupNumber;
    const std::string field = GbkFromTerminal(typed).value_or(typed.empty() ? "" : "?");
    const LookupAnswer answer =
        options.areaCode ? LookupAreaCode(db, field) : LookupNumber(db, field);
    if (!answer.found()) {
        err << TerminalFromGbk(answer.message) << "\n";
        return kExitRefused;
    }
    const auto& f = answer.fields;
    out << TerminalFromGbk(f[0]) << '\t' << TerminalFromGbk(f[1]) << '\t';
    if (!options.areaCode)
        out << TerminalFromGbk(f[2]) << '\t';
    out << TerminalFromGbk(f[3]) << "\n";
    return kExitOk;
}

}  // namespace smsc::cli
