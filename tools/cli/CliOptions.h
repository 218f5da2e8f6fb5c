#pragma once
// The command line of smsclient-cli: subcommand, options and their checks. Values stay as
// typed (UTF-8); typed numbers are trimmed.

#include <optional>
#include <string>
#include <vector>

namespace smsc::cli {

enum class Command { Help, Balance, Send, Extract, SendMms, Lookup, Contacts, Replies, Records, Numbers, DownloadMms, OptOut,
                     ContactsImport, ContactsExport, Campaign, Check };

// One source of recipients, in the order the options were given.
struct NumberSource {
    bool fromFile = false;  // --numbers-file (else --number)
    std::string value;      // the trimmed number, or the file path
};

struct CliOptions {
    Command command = Command::Help;
    std::optional<int> line;  // --line 0|1
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> baseUrl;  // http(s), ending in "/"
    std::optional<std::string> dataDir;
    // send
    std::vector<NumberSource> numbers;
    std::optional<std::string> text;
    std::optional<std::string> textFile;
    std::optional<std::string> verify;  // as typed; checked like the window's field
    int interval = 100;                 // the interval box starts at "100"
    bool noSplit = false;
    bool includeOptOut = false;  // --include-optout (send, send-mms): numbers on the list too
    bool dryRun = false;  // send, send-mms: print the plan, send nothing
    // send-mms (the numbers and the verification as for send)
    std::optional<std::string> mmsFile;  // --file, a native path
    std::optional<std::string> title;    // --title
    // extract
    std::string extractFile;
    // lookup: a number, or --area-code
    std::string lookupNumber;
    std::optional<std::string> areaCode;
    // contacts: the group's captions from the book down, "/" between them
    std::optional<std::string> group;
    // contacts-import, contacts-export: the file read or written
    std::string contactsFile;
    // replies, numbers, download-mms (checked in CliRecords)
    std::optional<std::string> fromDate;  // --from YYYY-MM-DD
    std::optional<std::string> toDate;    // --to YYYY-MM-DD
    std::optional<std::string> id;        // --id of a send record
    std::optional<std::string> output;    // --output file
    std::optional<std::string> downloadUrl;  // --download-url, http(s), ending in "/"
    // optout: the action and its arguments (checked in CliOptOut)
    std::vector<std::string> optOutArgs;
    // campaign: start|resume|status|list and the campaign's name (checked in CliCampaign)
    std::string campaignAction;
    std::string campaignName;
    std::optional<int> batch;  // --batch K
    bool resendUnknown = false;
    bool skipUnknown = false;
    bool noWait = false;  // campaign resume: stop instead of waiting for a request on its way
    // check, send, send-mms, campaign start: the kind of message ("notice" or "marketing";
    // none: Default_Kind of [Compliance]); check only: the time of the send
    std::optional<std::string> kind;
    std::optional<std::string> at;  // "YYYY-MM-DD HH:MM"
    // campaign start: --at (above) is when it may start; --window "HH:MM-HH:MM" the daily
    // hours it may send in
    std::optional<std::string> window;
    // campaign start of a variable SMS (个性短信): the template with {列名} fields, the
    // table, its number column (none: found by its header) and whether a row with an empty
    // field is skipped (else the field is left empty)
    std::optional<std::string> templateText;
    std::optional<std::string> table;
    std::optional<std::string> numberColumn;
    bool keepEmptyCells = false;
};

// Arguments without the program name. nullopt with *error (UTF-8) on a usage error.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string* error);

// The --help text (UTF-8).
std::string CliHelpText();

// The one-line hint after a usage error.
std::string UsageHint();

}  // namespace smsc::cli
