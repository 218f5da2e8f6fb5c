#include "compliance/SendHistory.h"

#include <sqlite3.h>

#include <ctime>

#include "optout/OptOutList.h"

namespace smsc {
namespace {

constexpr int kKeepDays = 7;

std::string dbError(sqlite3* db) {
    return db ? sqlite3_errmsg(db) : "out of memory";
}

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The YYYYMMDD day kKeepDays before the given one.
int dayBefore(int day) {
    std::tm tm{};
    tm.tm_year = day / 10000 - 1900;
    tm.tm_mon = day / 100 % 100 - 1;
    tm.tm_mday = day % 100 - kKeepDays;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    std::mktime(&tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

}  // namespace

SendHistory::~SendHistory() {
    sqlite3_close(m_db);
}

std::unique_ptr<SendHistory> SendHistory::Open(const std::string& path, std::string* error) {
    std::unique_ptr<SendHistory> history(new SendHistory);
    if (sqlite3_open_v2(path.c_str(), &history->m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
        *error = "无法打开发送历史：" + path + "（" + dbError(history->m_db) + "）";
        return nullptr;
    }
    sqlite3_busy_timeout(history->m_db, 5000);
    if (!exec(history->m_db,
              "PRAGMA journal_mode=WAL;"
              "CREATE TABLE IF NOT EXISTS sends(number TEXT NOT NULL, day INTEGER NOT NULL,"
              " count INTEGER NOT NULL, PRIMARY KEY(number, day)) WITHOUT ROWID;")) {
        *error = "发送历史无法读写或已损坏：" + path + "（" + dbError(history->m_db) + "）";
        return nullptr;
    }
    return history;
}

std::optional<std::vector<long long>> SendHistory::counts(int day,
                                                          const std::vector<std::string>& numbers) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT count FROM sends WHERE number = ?1 AND day = ?2", -1,
                           &statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    std::vector<long long> result;
    result.reserve(numbers.size());
    bool ok = true;
    for (const std::string& number : numbers) {
        sqlite3_reset(statement);
        sqlite3_bind_text(statement, 1, number.data(), static_cast<int>(number.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int(statement, 2, day);
        const int rc = sqlite3_step(statement);
        ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
        if (!ok)
            break;
        result.push_back(rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0);
    }
    sqlite3_finalize(statement);
    if (!ok)
        return std::nullopt;
    return result;
}

bool SendHistory::add(int day, const std::vector<std::string>& numbers, std::string* error) {
    sqlite3_stmt* statement = nullptr;
    bool ok = exec(m_db, "BEGIN IMMEDIATE;") &&
              sqlite3_prepare_v2(m_db,
                                 "INSERT INTO sends(number, day, count) VALUES (?1, ?2, 1) "
                                 "ON CONFLICT(number, day) DO UPDATE SET count = count + 1",
                                 -1, &statement, nullptr) == SQLITE_OK;
    for (size_t i = 0; ok && i < numbers.size(); ++i) {
        sqlite3_reset(statement);
        sqlite3_bind_text(statement, 1, numbers[i].data(), static_cast<int>(numbers[i].size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int(statement, 2, day);
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
    const std::string prune = "DELETE FROM sends WHERE day < " + std::to_string(dayBefore(day));
    ok = ok && exec(m_db, prune.c_str()) && exec(m_db, "COMMIT;");
    if (!ok) {
        *error = "无法写入发送历史（" + dbError(m_db) + "）";
        exec(m_db, "ROLLBACK;");
    }
    return ok;
}

std::string SendHistoryPath(const std::string& dataDir) {
    return dataDir + "SendHistory.sqlite";
}

int LocalDay(long long time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

std::optional<std::vector<std::string>> UnderDailyCap(SendHistory& history, int day, int cap,
                                                      const std::vector<std::string>& numbers,
                                                      long long* leftOut, std::string* error,
                                                      const std::string& exempt) {
    *leftOut = 0;
    if (cap <= 0)
        return numbers;
    const std::vector<std::string> split = SplitAtNumberSeparators(numbers);
    const std::optional<std::vector<long long>> counts = history.counts(day, split);
    if (!counts) {
        *error = "无法读取发送历史";
        return std::nullopt;
    }
    auto under = [&](size_t i) {
        return (*counts)[i] < cap || (!exempt.empty() && split[i] == exempt);
    };
    std::vector<std::string> kept;
    kept.reserve(numbers.size());
    size_t at = 0;  // the first of the entry's numbers in split
    for (const std::string& entry : numbers) {
        if (!HoldsNumberSeparator(entry)) {
            if (under(at))
                kept.push_back(entry);
            else
                ++*leftOut;
            ++at;
            continue;
        }
        const size_t pieces = NumbersOfEntry(entry).size();
        std::string rest;
        size_t left = 0;
        for (size_t i = at; i < at + pieces; ++i) {
            if (!under(i)) {
                ++left;
                continue;
            }
            if (!rest.empty())
                rest += '|';
            rest += split[i];
        }
        *leftOut += static_cast<long long>(left);
        if (left == 0)
            kept.push_back(entry);
        else if (!rest.empty())
            kept.push_back(std::move(rest));
        at += pieces;
    }
    return kept;
}

}  // namespace smsc
