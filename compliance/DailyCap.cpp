#include "compliance/DailyCap.h"

#include <optional>
#include <utility>

#include "compliance/ComplianceSettings.h"
#include "optout/OptOutList.h"
#include "platform/Gbk.h"

namespace smsc {

int DailyCapIn(const std::string& dataDir) {
    const ComplianceSettings settings = LoadComplianceSettings(dataDir + "Company_Info.ini");
    return settings.configured && settings.maxPerNumberPerDay > 0 ? settings.maxPerNumberPerDay : 0;
}

DailyCapSend CapSend(const std::string& dataDir, std::vector<std::string> entries, long long now,
                     const std::string& verificationCopy) {
    DailyCapSend send;
    const int cap = DailyCapIn(dataDir);
    if (cap <= 0) {
        send.entries = std::move(entries);
        return send;
    }
    send.history = SendHistory::Open(SendHistoryPath(dataDir), &send.error);
    if (!send.history)
        return send;
    std::optional<std::vector<std::string>> kept = UnderDailyCap(
        *send.history, LocalDay(now), cap, entries, &send.leftOut, &send.error, verificationCopy);
    if (!kept) {
        send.history.reset();
        return send;
    }
    send.entries = std::move(*kept);
    return send;
}

bool RecordDailyCapSend(const DailyCapSend& send, long long now, std::string* error) {
    return !send.history || send.entries.empty() ||
           send.history->add(LocalDay(now), SplitAtNumberSeparators(send.entries), error);
}

std::string CappedSkippedText(long long leftOut) {
    return G("已跳过") + std::to_string(leftOut) + G("个今天已达每日上限的号码");
}

std::string WithCappedSkipped(const std::string& gbkMessage, long long leftOut) {
    return leftOut > 0 ? gbkMessage + "\r" + CappedSkippedText(leftOut) : gbkMessage;
}

}  // namespace smsc
