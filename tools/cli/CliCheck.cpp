#include "tools/cli/CliCheck.h"

#include <cstdio>
#include <ctime>
#include <ostream>

#include "platform/Gbk.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliOptOut.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {

std::optional<CliOptions> FinishCheckOptions(CliOptions o,
                                             const std::vector<std::string>& positional,
                                             std::string* error) {
    if (!positional.empty()) {
        *error = "多余的参数：" + positional.front();
        return std::nullopt;
    }
    if (o.text && o.textFile) {
        *error = "--text 与 --text-file 只能选一个";
        return std::nullopt;
    }
    if (!o.text && !o.textFile) {
        *error = "缺少短信内容：请用 --text 或 --text-file 给出";
        return std::nullopt;
    }
    if (o.at && !MinuteOfAt(*o.at)) {
        *error = "--at 的格式应为 \"YYYY-MM-DD HH:MM\"：" + *o.at;
        return std::nullopt;
    }
    return o;
}

std::optional<int> MinuteOfAt(const std::string& at) {
    std::tm tm{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char tail = 0;
    if (at.size() != 16 || std::sscanf(at.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day,
                                       &hour, &minute, &tail) != 5)
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || hour < 0 ||
        minute < 0)
        return std::nullopt;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    std::tm normal = tm;
    if (std::mktime(&normal) == -1 || normal.tm_mday != day)  // 2026-02-30
        return std::nullopt;
    return hour * 60 + minute;
}

std::optional<std::string> MessageUtf8(const CliOptions& options, std::string* error) {
    if (options.text) {
        if (!IsValidUtf8(*options.text)) {
            *error = "短信内容不是有效的UTF-8文本";
            return std::nullopt;
        }
        return *options.text;
    }
    std::optional<std::string> bytes = ReadInputFile(*options.textFile, kMaxTextFileBytes, error);
    if (!bytes)
        return std::nullopt;
    std::string_view view(*bytes);
    if (view.substr(0, 3) == "\xEF\xBB\xBF")
        return std::string(view.substr(3));
    std::string fileError;
    if (MessageFromFileBytes(view, &fileError))
        return GbkToUtf8(*MessageFromFileBytes(view, &fileError));
    // UTF-8 holding characters GBK cannot carry: the check names them.
    bool longSequence = false;
    for (char c : view)
        longSequence = longSequence || static_cast<unsigned char>(c) >= 0xE0;
    if (longSequence && IsValidUtf8(view))
        return std::string(view);
    *error = fileError + "：" + *options.textFile;
    return std::nullopt;
}

CheckContext CliCheckContext(const CliOptions& options, const std::string& dataDir) {
    CheckContext context;
    context.settings = LoadComplianceSettings(dataDir + "Company_Info.ini");
    context.kind =
        options.kind ? *MessageKindFromName(*options.kind) : context.settings.defaultKind;
    const std::optional<std::pair<int, int>> window =
        options.window ? ParseHours(*options.window) : std::nullopt;
    if (options.command == Command::Campaign && (window || options.at)) {
        // A scheduled campaign sends only inside its window, by default the marketing hours
        // for a marketing text: the check sees the window's opening.
        if (window)
            context.minuteOfDay = window->first;
        else if (context.kind == MessageKind::Marketing)
            context.minuteOfDay = context.settings.hoursFrom;
        else
            context.minuteOfDay = MinuteOfAt(*options.at);
    } else if (options.at) {
        context.minuteOfDay = MinuteOfAt(*options.at);
    } else {
        context.minuteOfDay = LocalMinuteOfDay();
    }
    return context;
}

ComplianceLists CliComplianceLists(const CheckContext& context, const std::string& dataDir,
                                   std::ostream& err) {
    // Like the windows: the user's lists are created once the check is set up.
    ComplianceLists lists =
        LoadComplianceLists(dataDir, context.settings.configured && !dataDir.empty());
    for (const std::string& problem : lists.problems)
        err << problem << "\n";
    return lists;
}

void PrintFindings(const ComplianceReport& report, std::ostream& out) {
    for (const Finding& f : report.findings)
        out << (f.level == FindingLevel::Error ? "error" : "warning") << '\t' << f.rule << '\t'
            << f.message << '\n';
}

int RunCheck(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
             std::ostream& err) {
    std::string error;
    const std::optional<std::string> text = MessageUtf8(options, &error);
    if (!text) {
        err << "smsclient-cli: " << error << "\n";
        return kExitUsage;
    }
    const std::string dataDir = CliDataDir(options, env);
    const CheckContext context = CliCheckContext(options, dataDir);
    const ComplianceReport report =
        CheckSmsText(*text, context, CliComplianceLists(context, dataDir, err));
    PrintFindings(report, out);
    return report.blocks() ? kExitRefused : kExitOk;
}

std::optional<int> RefuseUnsendableTitle(const std::string& titleUtf8, std::ostream& err) {
    if (!IsValidUtf8(titleUtf8))
        return std::nullopt;  // reported as not UTF-8 by the caller
    const std::vector<std::string> chars = UnsendableCharacters(titleUtf8);
    if (chars.empty())
        return std::nullopt;
    err << UnsendableMessage("彩信标题", chars) << "\n";
    return kExitRefused;
}

std::optional<int> CheckMmsTitleBeforeSend(const CliOptions& options, const std::string& dataDir,
                                           std::ostream& err) {
    if (!options.title)
        return std::nullopt;
    const CheckContext context = CliCheckContext(options, dataDir);
    const ComplianceReport report =
        CheckMmsTitle(*options.title, context, CliComplianceLists(context, dataDir, err));
    if (report.blocks() || context.settings.configured || options.dryRun)
        PrintFindings(report, err);
    if (report.blocks())
        return kExitRefused;
    return std::nullopt;
}

}  // namespace smsc::cli
