#include "tools/cli/CliPlan.h"

#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "compliance/ComplianceSettings.h"
#include "compliance/SendHistory.h"
#include "lookup/Carriers.h"
#include "optout/OptOutList.h"
#include "sending/MmsSend.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {
namespace {

std::string folder(std::string path) {
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

}  // namespace

PlanFiles PlanFilesFor(const CliOptions& options, const CliEnvironment& env) {
    const std::string data = folder(options.dataDir.value_or(env.dataDir));
    const std::string resources = folder(env.resourceDir.empty() ? env.dataDir : env.resourceDir);
    std::error_code ec;
    PlanFiles files;
    files.segmentDatabase =
        options.dataDir && std::filesystem::is_regular_file(data + "sjhmd.dat", ec)
            ? data + "sjhmd.dat"
            : resources + "sjhmd.dat";
    files.noticeInfo = data + "Notice_info.ini";
    return files;
}

long long MmsUnitsPerNumber(const PlanFiles& files) {
    return UnitsOfCostNote(LocalCostNote(files.noticeInfo)).value_or(5);
}

std::optional<OptOutTest> OptOutTestIn(const CliOptions& options, const std::string& dataDir,
                                       std::ostream& err) {
    if (options.includeOptOut)
        return OptOutTest{};
    auto list = std::make_shared<const OptOutList>(OptOutList::Load(OptOutPathIn(dataDir)));
    if (!list->ok()) {
        err << TerminalFromGbk(list->errorMessage()) << "\n"
            << TerminalFromGbk(OptOutSendRefusalMessage(OptOutSendRefusal::ListUnreadable)) << "\n";
        return std::nullopt;
    }
    if (list->size() == 0)
        return OptOutTest{};
    return OptOutTest([list](const std::string& entry) { return list->contains(entry); });
}

SendPlanFigures ComputeCliPlan(const std::vector<std::string>& entries,
                               const std::string* verification, long long perNumber,
                               const PlanFiles& files, const OptOutTest& optOut) {
    CarrierTable carriers;
    carriers.setDatabasePath(files.segmentDatabase);
    return ComputeSendPlan(entries, verification, perNumber, carriers, optOut);
}

void PrintSendPlan(std::ostream& out, const SendPlanFigures& f) {
    out << "numbers\t" << f.numbers << "\n"
        << "mobile\t" << f.mobile << "\n"
        << "unicom\t" << f.unicom << "\n"
        << "telecom\t" << f.telecom << "\n"
        << "broadnet\t" << f.broadnet << "\n"
        << "other\t" << f.other << "\n"
        << "optout\t" << f.optedOut << "\n"
        << "duplicates\t" << f.duplicates << "\n"
        << "pieces\t" << f.perNumber << "\n"
        << "units\t" << f.units << "\n";
}

bool LeaveOutCapped(const std::string& dataDir, std::vector<std::string>& entries, DailyCap* cap,
                    std::ostream& err) {
    const ComplianceSettings settings = LoadComplianceSettings(dataDir + "Company_Info.ini");
    if (!settings.configured || settings.maxPerNumberPerDay <= 0)
        return true;
    std::string error;
    cap->history = SendHistory::Open(SendHistoryPath(dataDir), &error);
    std::optional<std::vector<std::string>> kept =
        cap->history ? UnderDailyCap(*cap->history, LocalDay(std::time(nullptr)),
                                     settings.maxPerNumberPerDay, entries, &cap->leftOut, &error)
                     : std::nullopt;
    if (!kept) {
        err << "smsclient-cli: " << error << "\n";
        return false;
    }
    entries = std::move(*kept);
    return true;
}

void RecordCappedSend(const DailyCap& cap, const std::vector<std::string>& numbers, bool accepted,
                      std::ostream& err) {
    std::string error;
    if (cap.history && accepted && !cap.history->add(LocalDay(std::time(nullptr)), numbers, &error))
        err << "smsclient-cli: " << error << "\n";
    if (cap.leftOut > 0)
        err << "已跳过" << cap.leftOut << "个今天已达每日上限的号码\n";
}

}  // namespace smsc::cli
