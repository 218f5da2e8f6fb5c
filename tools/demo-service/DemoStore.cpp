#include "tools/demo-service/DemoStore.h"

#include "platform/Gbk.h"

#include <sqlite3.h>

#include <ctime>
#include <filesystem>

namespace smsc::demo {
namespace {

// One prepared statement, finalised with the object.
class Statement final {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    // GBK texts are bound as blobs so that comparisons are byte for byte.
    Statement& blob(int index, const std::string& bytes) {
        if (m_stmt)
            sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    Statement& text(int index, const std::string& ascii) {
        if (m_stmt)
            sqlite3_bind_text(m_stmt, index, ascii.data(), static_cast<int>(ascii.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    Statement& integer(int index, long long value) {
        if (m_stmt)
            sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    bool run() { return step() == SQLITE_DONE; }

    std::string column(int index) const {
        const void* data = sqlite3_column_blob(m_stmt, index);
        int size = sqlite3_column_bytes(m_stmt, index);
        return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                    : std::string();
    }
    long long columnInt(int index) const { return sqlite3_column_int64(m_stmt, index); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Rolls back unless committed.
class Transaction final {
public:
    explicit Transaction(sqlite3* db) : m_db(db) {
        m_open = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (m_open)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool open() const { return m_open; }
    bool commit() {
        if (!m_open)
            return false;
        m_open = false;
        return sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts(
  name BLOB PRIMARY KEY, password BLOB NOT NULL, quota INTEGER NOT NULL,
  enabled INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS submissions(
  id INTEGER PRIMARY KEY AUTOINCREMENT, user BLOB NOT NULL, kind INTEGER NOT NULL,
  content BLOB NOT NULL, numbers BLOB NOT NULL, number_count INTEGER NOT NULL,
  mms_file TEXT NOT NULL DEFAULT '', mms_data BLOB, submitted_at TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS submissions_by_user ON submissions(user, id);
CREATE INDEX IF NOT EXISTS submissions_by_file ON submissions(mms_file);
CREATE TABLE IF NOT EXISTS received(
  id INTEGER PRIMARY KEY AUTOINCREMENT, user BLOB NOT NULL, sender BLOB NOT NULL,
  received_at TEXT NOT NULL, text BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS settings(name TEXT PRIMARY KEY, value TEXT NOT NULL);
)sql";

std::string FormatLocal(std::time_t t, const char* layout) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[32];
    size_t n = std::strftime(buffer, sizeof buffer, layout, &tm);
    return std::string(buffer, n);
}

std::string JoinNumbers(const std::vector<std::string>& numbers) {
    std::string joined;
    for (const auto& n : numbers) {
        if (!joined.empty())
            joined += '|';
        joined += n;
    }
    return joined;
}

}  // namespace

std::string LocalTimeText(long long secondsFromNow) {
    return FormatLocal(std::time(nullptr) + static_cast<std::time_t>(secondsFromNow),
                       "%Y-%m-%d %H:%M:%S");
}

std::unique_ptr<DemoStore> DemoStore::Open(const std::string& folder, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        if (error)
            *error = "data folder does not exist: " + folder;
        return nullptr;
    }
    std::string path = (std::filesystem::path(folder) / kStoreFileName).string();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        if (error)
            *error = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : "?");
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<DemoStore> store(new DemoStore(db));
    // The admin command of another process may write at the same moment.
    sqlite3_busy_timeout(db, 5000);
    if (!store->exec("PRAGMA journal_mode=WAL") || !store->exec("PRAGMA synchronous=NORMAL") ||
        !store->exec(kSchema)) {
        if (error)
            *error = "cannot prepare " + path + ": " + sqlite3_errmsg(db);
        return nullptr;
    }
    if (!store->seedIfNew(error))
        return nullptr;
    return store;
}

DemoStore::DemoStore(sqlite3* db) : m_db(db) {}

DemoStore::~DemoStore() {
    sqlite3_close(m_db);
}

bool DemoStore::exec(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool DemoStore::seedIfNew(std::string* error) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    if (!tx.open()) {
        if (error)
            *error = std::string("cannot write the store: ") + sqlite3_errmsg(m_db);
        return false;
    }
    Statement seeded(m_db, "SELECT value FROM settings WHERE name='seeded'");
    if (seeded.step() == SQLITE_ROW)
        return true;

    bool ok = Statement(m_db,
                        "INSERT OR IGNORE INTO accounts(name,password,quota,enabled) "
                        "VALUES(?,?,10000,1)")
                  .blob(1, "demo")
                  .blob(2, "demo")
                  .run();
    struct Seed {
        const char* sender;
        int daysAgo;
        const char* clock;
        const char* text;
    };
    static const Seed seeds[] = {
        {"13912345678", 0, "09:15", "收到，谢谢！明天上午十点准时到。"},
        {"13800138000", 1, "16:29", "请问这次活动的报名截止到什么时候？"},
        {"15912345678", 2, "11:02", "货已收到，质量很好，下次还找你们。"},
        {"18612345678", 4, "20:45", "退订"},
        {"13512345678", 7, "08:30", "你好，想咨询一下套餐的价格。"},
    };
    for (const Seed& s : seeds) {
        std::string day = FormatLocal(std::time(nullptr) - s.daysAgo * 86400L, "%Y-%m-%d");
        ok = ok && Statement(m_db,
                             "INSERT INTO received(user,sender,received_at,text) "
                             "VALUES(?,?,?,?)")
                       .blob(1, "demo")
                       .blob(2, s.sender)
                       .text(3, day + " " + s.clock)
                       .blob(4, G(s.text))
                       .run();
    }
    ok = ok && exec("INSERT OR REPLACE INTO settings(name,value) VALUES('mms_open','1')") &&
         exec("INSERT OR REPLACE INTO settings(name,value) VALUES('seeded','1')");
    if (!ok || !tx.commit()) {
        if (error)
            *error = std::string("cannot seed the store: ") + sqlite3_errmsg(m_db);
        return false;
    }
    return true;
}

std::optional<Account> DemoStore::account(const std::string& name, bool* failed) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT password,quota,enabled FROM accounts WHERE name=?");
    st.blob(1, name);
    int rc = st.step();
    if (failed)
        *failed = rc != SQLITE_ROW && rc != SQLITE_DONE;
    if (rc != SQLITE_ROW)
        return std::nullopt;
    return Account{name, st.column(0), st.columnInt(1), st.columnInt(2) != 0};
}

bool DemoStore::addAccount(const Account& account) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "INSERT INTO accounts(name,password,quota,enabled) VALUES(?,?,?,?)");
    return st.blob(1, account.name)
        .blob(2, account.password)
        .integer(3, account.quota)
        .integer(4, account.enabled ? 1 : 0)
        .run();
}

bool DemoStore::setEnabled(const std::string& name, bool enabled) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "UPDATE accounts SET enabled=? WHERE name=?");
    return st.integer(1, enabled ? 1 : 0).blob(2, name).run() && sqlite3_changes(m_db) == 1;
}

bool DemoStore::setQuota(const std::string& name, long long quota) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "UPDATE accounts SET quota=? WHERE name=?");
    return st.integer(1, quota).blob(2, name).run() && sqlite3_changes(m_db) == 1;
}

bool DemoStore::setPassword(const std::string& name, const std::string& password) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "UPDATE accounts SET password=? WHERE name=?");
    return st.blob(1, password).blob(2, name).run() && sqlite3_changes(m_db) == 1;
}

bool DemoStore::mmsOpen() {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT value FROM settings WHERE name='mms_open'");
    return st.step() != SQLITE_ROW || st.column(0) != "0";
}

bool DemoStore::setMmsOpen(bool open) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "INSERT OR REPLACE INTO settings(name,value) VALUES('mms_open',?)");
    return st.text(1, open ? "1" : "0").run();
}

SubmitOutcome DemoStore::submit(const NewSubmission& submission, long long cost) {
    std::lock_guard lock(m_mutex);
    SubmitOutcome outcome;
    Transaction tx(m_db);
    if (!tx.open())
        return outcome;

    Statement charge(m_db, "UPDATE accounts SET quota=quota-?1 WHERE name=?2 AND quota>=?1");
    if (!charge.integer(1, cost).blob(2, submission.user).run())
        return outcome;
    if (sqlite3_changes(m_db) != 1) {
        outcome.result = SubmitResult::QuotaTooLow;
        return outcome;
    }
    bool mms = submission.kind == SubmissionKind::Mms;
    Statement insert(m_db,
                     "INSERT INTO submissions(user,kind,content,numbers,number_count,"
                     "mms_data,submitted_at) VALUES(?,?,?,?,?,?,?)");
    insert.blob(1, submission.user)
        .integer(2, mms ? 1 : 0)
        .blob(3, submission.content)
        .blob(4, JoinNumbers(submission.numbers))
        .integer(5, static_cast<long long>(submission.numbers.size()))
        .text(7, submission.time);
    if (mms)
        insert.blob(6, submission.mmsData);
    if (!insert.run())
        return outcome;
    outcome.id = sqlite3_last_insert_rowid(m_db);

    if (mms) {
        // Download name: digits of the time, the id and the extension, plain ASCII so that
        // it can follow the download address as it is.
        std::string digits;
        for (char c : submission.time)
            if (c >= '0' && c <= '9')
                digits += c;
        outcome.mmsFile = digits + "_" + std::to_string(outcome.id) + "." + submission.mmsExtension;
        Statement name(m_db, "UPDATE submissions SET mms_file=? WHERE id=?");
        if (!name.text(1, outcome.mmsFile).integer(2, outcome.id).run())
            return outcome;
    }
    Statement quota(m_db, "SELECT quota FROM accounts WHERE name=?");
    quota.blob(1, submission.user);
    if (quota.step() != SQLITE_ROW)
        return outcome;
    outcome.remainingQuota = quota.columnInt(0);
    if (!tx.commit())
        return outcome;
    outcome.result = SubmitResult::Accepted;
    return outcome;
}

std::optional<std::vector<SubmissionRecord>> DemoStore::latestSubmissions(const std::string& user,
                                                                          int limit) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db,
                 "SELECT id,kind,content,number_count,mms_file,submitted_at FROM submissions "
                 "WHERE user=? ORDER BY id DESC LIMIT ?");
    st.blob(1, user).integer(2, limit);
    std::vector<SubmissionRecord> records;
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        records.push_back({st.columnInt(0),
                           st.columnInt(1) == 1 ? SubmissionKind::Mms : SubmissionKind::Sms,
                           st.column(2), st.columnInt(3), st.column(4), st.column(5)});
    }
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return records;
}

std::optional<std::vector<std::string>> DemoStore::submissionNumbers(const std::string& user,
                                                                     long long id) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT numbers FROM submissions WHERE id=? AND user=?");
    st.integer(1, id).blob(2, user);
    std::vector<std::string> numbers;
    int rc = st.step();
    if (rc == SQLITE_DONE)
        return numbers;
    if (rc != SQLITE_ROW)
        return std::nullopt;
    std::string joined = st.column(0);
    size_t start = 0;
    while (start <= joined.size() && !joined.empty()) {
        size_t bar = joined.find('|', start);
        if (bar == std::string::npos)
            bar = joined.size();
        numbers.push_back(joined.substr(start, bar - start));
        start = bar + 1;
    }
    return numbers;
}

std::optional<std::string> DemoStore::mmsFileData(const std::string& fileName) {
    std::lock_guard lock(m_mutex);
    if (fileName.empty())
        return std::nullopt;
    Statement st(m_db, "SELECT mms_data FROM submissions WHERE mms_file=? AND kind=1");
    st.text(1, fileName);
    if (st.step() != SQLITE_ROW)
        return std::nullopt;
    return st.column(0);
}

std::optional<std::vector<ReceivedMessage>> DemoStore::received(const std::string& user,
                                                                const std::string& fromDay,
                                                                const std::string& toDay) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db,
                 "SELECT sender,received_at,text FROM received WHERE user=?1 "
                 "AND (?2='' OR substr(received_at,1,10)>=?2) "
                 "AND (?3='' OR substr(received_at,1,10)<=?3) "
                 "ORDER BY received_at DESC, id DESC");
    st.blob(1, user).text(2, fromDay).text(3, toDay);
    std::vector<ReceivedMessage> messages;
    int rc;
    while ((rc = st.step()) == SQLITE_ROW)
        messages.push_back({st.column(0), st.column(1), st.column(2)});
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return messages;
}

bool DemoStore::addReceived(const std::string& user, const ReceivedMessage& message) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "INSERT INTO received(user,sender,received_at,text) VALUES(?,?,?,?)");
    return st.blob(1, user)
        .blob(2, message.sender)
        .text(3, message.time)
        .blob(4, message.text)
        .run();
}

}  // namespace smsc::demo
