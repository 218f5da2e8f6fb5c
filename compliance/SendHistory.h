#pragma once
// The local send history behind Max_Per_Number_Per_Day: SendHistory.sqlite in the data folder
// holds, per number and local day, how many messages went to it (a long SMS in pieces counts
// once). smsclient-cli's sends and campaigns add what the service accepted; each addition is
// one transaction, and days older than a week are dropped as it is written, so the file stays
// small. No Qt.

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace smsc {

class SendHistory final {
public:
    ~SendHistory();
    SendHistory(const SendHistory&) = delete;
    SendHistory& operator=(const SendHistory&) = delete;

    // Opens (creating it when missing) the history at path; nullptr with *error (UTF-8).
    static std::unique_ptr<SendHistory> Open(const std::string& path, std::string* error);

    // Counts of the day for each number (0: none), in the order given; none when it cannot
    // be read.
    std::optional<std::vector<long long>> counts(int day, const std::vector<std::string>& numbers);
    // One more message to each number on the day, in one commit; false with *error.
    bool add(int day, const std::vector<std::string>& numbers, std::string* error);

private:
    SendHistory() = default;
    sqlite3* m_db = nullptr;
};

// dataDir + "SendHistory.sqlite" (dataDir ends in "/" or is empty).
std::string SendHistoryPath(const std::string& dataDir);
// The local day of a time (seconds since the epoch) as YYYYMMDD.
int LocalDay(long long time);

// The entries that may still get a message today under the cap (cap 0: all), in order;
// *leftOut counts the numbers left out. An entry holding several numbers ("a|b") is checked
// number by number and keeps those under the cap. `exempt` (the verification copy, the
// user's own phone) is never left out. None (with *error) when the history cannot be read.
std::optional<std::vector<std::string>> UnderDailyCap(SendHistory& history, int day, int cap,
                                                      const std::vector<std::string>& numbers,
                                                      long long* leftOut, std::string* error,
                                                      const std::string& exempt = {});

}  // namespace smsc
