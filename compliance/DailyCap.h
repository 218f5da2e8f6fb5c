#pragma once
// Max_Per_Number_Per_Day for the send pages of the window: the numbers that already got their
// share today are left out as the send goes out and counted in the plan line, and what the
// service accepted is added to the send history, as smsclient-cli does. No Qt.

#include <memory>
#include <string>
#include <vector>

#include "compliance/SendHistory.h"

namespace smsc {

// The cap of [Compliance] in dataDir's Company_Info.ini (dataDir ends in "/"); 0: none.
int DailyCapIn(const std::string& dataDir);

struct DailyCapSend {
    std::unique_ptr<SendHistory> history;  // set while a cap applies
    std::vector<std::string> entries;      // the entries that go out
    long long leftOut = 0;                 // entries left out at the cap
    std::string error;                     // UTF-8; set when the history could not be read
};
// The entries of a send under the cap of the data folder at the time (seconds since the
// epoch), each number of an entry holding several checked on its own; the verification copy
// (the user's own phone, empty: none) always goes. Without a cap every entry goes out and no
// history is opened.
DailyCapSend CapSend(const std::string& dataDir, std::vector<std::string> entries, long long now,
                     const std::string& verificationCopy = {});
// After the service accepted the send: each number got one more message today. True when
// nothing had to be written or it was; false with *error (UTF-8).
bool RecordDailyCapSend(const DailyCapSend& send, long long now, std::string* error);

// "已跳过N个今天已达每日上限的号码" (GBK)
std::string CappedSkippedText(long long leftOut);
// The message followed by a line with CappedSkippedText when entries were left out (GBK).
std::string WithCappedSkipped(const std::string& gbkMessage, long long leftOut);

}  // namespace smsc
