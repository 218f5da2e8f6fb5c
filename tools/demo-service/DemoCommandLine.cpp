#include "tools/demo-service/DemoCommandLine.h"

#include "platform/Gbk.h"
#include "tools/demo-service/DemoPages.h"
#include "tools/demo-service/DemoService.h"
#include "tools/demo-service/DemoStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <ostream>

namespace smsc::demo {
namespace {

std::optional<long long> ParseCount(const std::string& text, long long max) {
    long long value = -1;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > max)
        return std::nullopt;
    return value;
}

// "YYYY-MM-DD HH:MM"
bool IsMessageTime(const std::string& t) {
    static const char layout[] = "dddd-dd-dd dd:dd";
    if (t.size() != sizeof layout - 1)
        return false;
    for (size_t i = 0; i < t.size(); ++i) {
        bool digit = t[i] >= '0' && t[i] <= '9';
        if (layout[i] == 'd' ? !digit : t[i] != layout[i])
            return false;
    }
    return ParseServiceDate(t.substr(0, 10), kFallbackDateOrder).has_value();
}

// Why an account name or password given to add-user could not be used by the client, or
// empty. The client puts both unescaped into form posts ("&" and "=" split fields there),
// answers are cut at "|", and it trims blanks and control characters off a body's ends.
std::string AccountTextProblem(const std::string& text, const char* what) {
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (c == '&' || c == '=' || c == '|' || b < 0x20 || b == 0x7F)
            return std::string(what) + " must not hold \"&\", \"=\", \"|\" or control characters";
    }
    if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
        return std::string(what) + " must not start or end with a blank";
    // Stored and sent as GBK: a character GBK cannot hold would become "?".
    if (GbkToUtf8(Utf8ToGbk(text)) != text)
        return std::string(what) + " must be UTF-8 text whose every character GBK can hold";
    return {};
}

}  // namespace

std::optional<std::string> ReadNoticeFile(const std::string& path, size_t maxBytes,
                                          std::string* error) {
    // O_NONBLOCK: opening a FIFO without a writer would wait; it is refused right after, as
    // is a device (/dev/zero never ends).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        *error = "the notice file is not a regular file that can be read: " + path;
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            *error = "cannot read the notice file: " + path;
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
        if (bytes.size() > maxBytes) {
            ::close(fd);
            *error = "the notice file is over " + std::to_string(maxBytes) + " bytes: " + path;
            return std::nullopt;
        }
    }
    ::close(fd);
    return bytes;
}

namespace {

const char* const kAdminUsage =
    "usage: smsclient-demo-service admin --data-dir DIR COMMAND\n"
    "commands:\n"
    "  set-state USER enabled|disabled\n"
    "  set-quota USER N\n"
    "  add-user USER PASSWORD QUOTA\n"
    "  set-mms open|closed\n"
    "  add-received USER NUMBER TEXT [\"YYYY-MM-DD HH:MM\"]\n";

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string* error) {
    CommandLine cl;
    auto fail = [error](std::string message) -> std::optional<CommandLine> {
        if (error)
            *error = std::move(message);
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            cl.help = true;
            continue;
        }
        if (a != "--port" && a != "--data-dir" && a != "--notice-file" &&
            a != "--forbidden-words" && a != "--date-order")
            return fail("unknown option: " + a);
        if (i + 1 >= args.size())
            return fail("missing value after " + a);
        const std::string& value = args[++i];
        if (a == "--port") {
            auto port = ParseCount(value, 65535);
            if (!port)
                return fail("bad port: " + value);
            cl.port = static_cast<int>(*port);
        } else if (a == "--data-dir") {
            if (value.empty())
                return fail("empty --data-dir");
            cl.dataDir = value;
        } else if (a == "--notice-file") {
            cl.noticeFile = value;
        } else if (a == "--date-order") {
            cl.dateOrder = DateOrderNamed(value);
            if (!cl.dateOrder)
                return fail("--date-order must be dmy, mdy or ymd: " + value);
        } else {
            std::string problem = ForbiddenWordsProblem(value);
            if (!problem.empty())
                return fail(problem);
            cl.forbiddenWords = value;
        }
    }
    return cl;
}

std::string HelpText() {
    const std::string maxBody = std::to_string(kDefaultMaxBodyBytes / (1024 * 1024)) + " MB";
    const std::string maxForm = std::to_string(kMaxFormBodyBytes);
    return std::string(
               "smsclient-demo-service: a local stand-in for the bulk-messaging web service.\n"
               "\n"
               "usage: smsclient-demo-service [--port N] [--data-dir DIR] [--notice-file FILE]\n"
               "                              [--forbidden-words LIST] [--date-order ORDER]\n"
               "       smsclient-demo-service admin --data-dir DIR COMMAND ...\n"
               "\n"
               "Listens on 127.0.0.1 only and prints the port on the first line of stdout.\n"
               "  --port N             port (default 18068, the shipped Company_Info.ini's);\n"
               "                       0 picks a free port\n"
               "  --data-dir DIR       folder of the store demo-service.sqlite (created when\n"
               "                       missing); default a temporary folder removed at exit\n"
               "  --notice-file FILE   served as softweb/message.txt (GBK, name=value lines,\n"
               "                       Notice on the 4th line); its mmstosms sets the MMS\n"
               "                       cost (default: built-in notice, Version=6.8, mmstosms=5).\n"
               "                       A file that is not GBK, or whose 4th line does not\n"
               "                       start with \"Notice=\", is served with a warning\n"
               "  --forbidden-words L  comma-separated words refused with code 9 (default \"") +
           kDefaultForbiddenWords +
           "\");\n"
           "                       a word holding \"|\" or a character whose second GBK byte\n"
           "                       is \"|\" (東, 億 ...), or not writable in GBK, is refused\n"
           "                       at start-up (exit 2): the client cuts \"9|word\" at \"|\"\n"
           "  --date-order ORDER   dmy, mdy or ymd: how receive.asp reads an all-number date\n"
           "                       such as 05/01/24 (default: the host's date format,\n"
           "                       LC_TIME, as the client's short date format follows it)\n"
           "  --help               this text\n"
           "\n"
           "A new store holds the account demo/demo (quota 10000, enabled) and a few received\n"
           "messages of the last days. Stop the service with Ctrl+C or SIGTERM.\n"
           "\n"
           "Admin commands (edit the store; a running service sees the change at once):\n"
           "  set-state USER enabled|disabled   disabled accounts get code 2 everywhere\n"
           "  set-quota USER N\n"
           "  add-user USER PASSWORD QUOTA      neither may hold \"&\", \"=\", \"|\" or control\n"
           "                                    characters, nor start or end with a blank\n"
           "  set-mms open|closed               closed: mms_send.asp answers 10\n"
           "  add-received USER NUMBER TEXT [\"YYYY-MM-DD HH:MM\"]   a reply for receive.asp\n"
           "\n"
           "Service rules:\n"
           "  login.asp: 3|quota, 1 unknown user or wrong password, 2 disabled.\n"
           "  changepassword.asp: 5 changed, 1, 2, 4 new password refused (empty, over 20\n"
           "    characters, or holding a blank, a control character, \"|\", \"&\" or \"=\").\n"
           "  send1.asp / mms_send.asp: numbers are the pieces between \"|\" and \"*\",\n"
           "    trimmed, empty ones dropped; 8 over 30000 numbers; 5 no number or one that is\n"
           "    not 1 to 12 digits; 6 text/title empty or over 70 characters (CR/LF not\n"
           "    counted); 9|word forbidden word; 4 quota below the cost; 7|remaining quota.\n"
           "    An SMS costs 1 per number and request, an MMS mmstosms per number.\n"
           "  mms_send.asp also: 10 MMS switched off, 11 file part missing or empty,\n"
           "    12 type not txt jpg gif bmp png amr mp3 mid mmf aac mfm adp 3gp jar jad sis\n"
           "    emm (by the file name's extension), 13 file over 45K (46080 bytes).\n"
           "  receive.asp: startime/endtime in the client's short date format: year first\n"
           "    (2024-01-05, 2024/1/5, 2024. 01. 05., 2024年1月5日), a month name (5 Jan 2024,\n"
           "    Jan 5, 2024), or numbers in the date order (05/01/2024, 1/5/24, 05.01.24,\n"
           "    24. 1. 5.); whole days, both included; newest first. A date that cannot be\n"
           "    read gives \"4|\" (no record), never the whole list.\n"
           "  Consumerlog.asp: the latest 500 submissions, newest first; state \"已提交\",\n"
           "    type \"短信\" or \"彩信\", time YYYY-MM-DD HH:MM:SS. \"[$$]\" or \"[**]\" inside "
           "a\n"
           "    stored text goes out as \"[$ $]\" or \"[* *]\" (also in receive.asp).\n"
           "  numberlist.asp: the numbers of one submission; an unknown id gives \"4|\".\n"
           "  MMS files download from /mms/<file name of the send record>.\n"
           "  Requests without the page's fields, malformed multipart: HTTP 400. Form posts\n"
           "    over " +
           maxForm + " bytes and multipart bodies over " + maxBody +
           ": HTTP 413; a post without\n"
           "    Content-Length (chunked or until close) or with a Content-Encoding: HTTP 411\n"
           "    or 415.\n";
}

int RunAdminCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 3 || args[0] != "--data-dir") {
        err << kAdminUsage;
        return 2;
    }
    const std::string& dir = args[1];
    const std::string& command = args[2];
    std::vector<std::string> rest(args.begin() + 3, args.end());
    auto usage = [&err]() {
        err << kAdminUsage;
        return 2;
    };
    // Check the arguments before touching the store.
    if (command == "set-state") {
        if (rest.size() != 2 || (rest[1] != "enabled" && rest[1] != "disabled"))
            return usage();
    } else if (command == "set-quota") {
        if (rest.size() != 2 || !ParseCount(rest[1], 1000000000000LL))
            return usage();
    } else if (command == "add-user") {
        if (rest.size() != 3 || rest[0].empty() || !ParseCount(rest[2], 1000000000000LL))
            return usage();
        for (std::string problem : {AccountTextProblem(rest[0], "the user name"),
                                    AccountTextProblem(rest[1], "the password")})
            if (!problem.empty()) {
                err << "add-user: " << problem
                    << " (the client sends it unescaped in form posts and cuts answers at \"|\")\n";
                return 2;
            }
    } else if (command == "set-mms") {
        if (rest.size() != 1 || (rest[0] != "open" && rest[0] != "closed"))
            return usage();
    } else if (command == "add-received") {
        if (rest.size() < 3 || rest.size() > 4 || !IsAcceptedNumber(rest[1]) ||
            (rest.size() == 4 && !IsMessageTime(rest[3])))
            return usage();
    } else {
        return usage();
    }

    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        err << "no such data folder: " << dir << "\n";
        return 1;
    }
    std::string error;
    auto store = DemoStore::Open(dir, &error);
    if (!store) {
        err << error << "\n";
        return 1;
    }
    std::string user = Utf8ToGbk(rest.empty() ? std::string() : rest[0]);
    auto done = [&out, &err](bool ok, const std::string& what) {
        if (ok) {
            out << what << "\n";
            return 0;
        }
        err << "failed: " << what << "\n";
        return 1;
    };
    if (command == "set-state")
        return done(store->setEnabled(user, rest[1] == "enabled"),
                    rest[0] + " " + rest[1] + " (the account must exist)");
    if (command == "set-quota")
        return done(store->setQuota(user, *ParseCount(rest[1], 1000000000000LL)),
                    rest[0] + " quota " + rest[1] + " (the account must exist)");
    if (command == "add-user")
        return done(store->addAccount(
                        {user, Utf8ToGbk(rest[1]), *ParseCount(rest[2], 1000000000000LL), true}),
                    "add " + rest[0] + " (the name must be new)");
    if (command == "set-mms")
        return done(store->setMmsOpen(rest[0] == "open"), "mms " + rest[0]);
    std::string time = rest.size() == 4 ? rest[3] : LocalTimeText().substr(0, 16);
    return done(store->addReceived(user, {rest[1], time, Utf8ToGbk(rest[2])}),
                "received message for " + rest[0] + " at " + time);
}

}  // namespace smsc::demo
