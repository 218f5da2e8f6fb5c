#include "campaign/CampaignJournal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <string_view>
#include <system_error>

#include "compliance/ComplianceSettings.h"

namespace smsc::campaign {
namespace {

constexpr const char* kFormat = "smsclient-campaign 1";
// Several texts, each with batches of its own: a version that knows only one text per
// campaign must not take it for one.
constexpr const char* kVariableFormat = "smsclient-campaign 2";
constexpr size_t kMaxNameBytes = 200;

// One prepared statement, finalized however the scope ends.
class Statement final {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            m_statement = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_statement != nullptr; }
    Statement& bind(int index, long long value) {
        if (m_statement)
            sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    Statement& bind(int index, const std::string& value) {
        if (m_statement)
            sqlite3_bind_blob(m_statement, index, value.data(), static_cast<int>(value.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    bool row() { return m_statement && sqlite3_step(m_statement) == SQLITE_ROW; }
    bool run() {
        if (!m_statement)
            return false;
        const int rc = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        return rc == SQLITE_DONE;
    }
    long long integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    // The column's bytes where SQLite holds them, until the next step.
    std::string_view bytes(int column) const {
        const void* bytes = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return bytes ? std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(size))
                     : std::string_view();
    }
    std::string text(int column) const {
        const void* bytes = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
                     : std::string();
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// The numbers of a batch's number string (its "|"), or -1 when it holds anything but digits
// and "|".
long long numbersInString(std::string_view numbers) {
    long long bars = 0;
    for (const char c : numbers) {
        if (c == '|')
            ++bars;
        else if (c < '0' || c > '9')
            return -1;
    }
    return bars;
}

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string dbError(sqlite3* db) {
    return db ? sqlite3_errmsg(db) : "无法打开数据库";
}

// The file's data on disk before it is renamed into place.
bool syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void syncFolder(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

const char* kindName(CampaignKind kind) {
    return kind == CampaignKind::Mms ? "mms" : "sms";
}

}  // namespace

const char* StateName(RequestState state) {
    switch (state) {
        case RequestState::Pending:
            return "pending";
        case RequestState::Sending:
            return "sending";
        case RequestState::Accepted:
            return "accepted";
        case RequestState::Refused:
            return "refused";
        case RequestState::Unknown:
            return "unknown";
        case RequestState::Skipped:
            return "skipped";
    }
    return "pending";
}

CampaignJournal::~CampaignJournal() {
    sqlite3_close(m_db);
}

bool CampaignJournal::WriteNew(const std::string& path, const CampaignSettings& settings,
                               const std::vector<std::string>& numbers,
                               const std::vector<std::string>& pieceTexts, std::string* error) {
    CampaignSettings one = settings;
    one.variable = false;
    return Write(path, one, {TextToWrite{&numbers, &pieceTexts}}, error);
}

bool CampaignJournal::WriteNewVariable(const std::string& path, const CampaignSettings& settings,
                                       const std::vector<CampaignText>& texts, std::string* error) {
    CampaignSettings variable = settings;
    variable.variable = true;
    variable.kind = CampaignKind::Sms;
    std::vector<TextToWrite> toWrite;
    toWrite.reserve(texts.size());
    for (const CampaignText& text : texts)
        toWrite.push_back({&text.numbers, &text.pieceTexts});
    return Write(path, variable, toWrite, error);
}

std::unique_ptr<CampaignJournal> CampaignJournal::Create(const std::string& path,
                                                         const CampaignSettings& settings,
                                                         const std::vector<std::string>& numbers,
                                                         const std::vector<std::string>& pieceTexts,
                                                         std::string* error) {
    return WriteNew(path, settings, numbers, pieceTexts, error) ? Open(path, error) : nullptr;
}

std::unique_ptr<CampaignJournal> CampaignJournal::CreateVariable(
    const std::string& path, const CampaignSettings& settings,
    const std::vector<CampaignText>& texts, std::string* error) {
    return WriteNewVariable(path, settings, texts, error) ? Open(path, error) : nullptr;
}

bool CampaignJournal::Write(const std::string& path, const CampaignSettings& settings,
                            const std::vector<TextToWrite>& texts, std::string* error) {
    size_t numberTotal = 0;
    bool piecesGiven = !texts.empty();
    for (const TextToWrite& text : texts) {
        numberTotal += text.numbers->size();
        piecesGiven = piecesGiven && !text.pieceTexts->empty();
    }
    if (settings.batchSize < 1 || settings.batchSize > kMaxBatch || !piecesGiven) {
        *error = "每批号码数必须在1到30000之间";
        return false;
    }
    const std::string temp = path + ".part";
    std::remove(temp.c_str());
    std::remove((temp + "-journal").c_str());
    std::remove((temp + "-wal").c_str());
    std::remove((temp + "-shm").c_str());
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(temp.c_str(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                              nullptr) == SQLITE_OK;
    // Written in one go without a rollback journal: a file that is not complete is never
    // renamed into place.
    ok = ok && exec(db,
                    "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                    "CREATE TABLE campaign(key TEXT PRIMARY KEY, value BLOB NOT NULL);"
                    "CREATE TABLE batches(id INTEGER PRIMARY KEY, count INTEGER NOT NULL,"
                    " numbers BLOB NOT NULL);"
                    "CREATE TABLE requests(id INTEGER PRIMARY KEY, batch INTEGER NOT NULL,"
                    " piece INTEGER NOT NULL, text BLOB NOT NULL, state INTEGER NOT NULL,"
                    " answer BLOB NOT NULL DEFAULT '', started INTEGER NOT NULL DEFAULT 0,"
                    " record BLOB NOT NULL DEFAULT '');"
                    "BEGIN;");
    if (ok) {
        const std::map<std::string, std::string> values{
            {"format", settings.variable ? kVariableFormat : kFormat},
            {"kind", kindName(settings.kind)},
            {"user", settings.user},
            {"text", settings.text},
            {"title", settings.title},
            {"mms_path", settings.mmsPath},
            {"mms_wire_path", settings.mmsWirePath},
            {"batch_size", std::to_string(settings.batchSize)},
            {"per_number", std::to_string(settings.perNumber)},
            {"created", std::to_string(settings.created)},
            {"numbers", std::to_string(numberTotal)},
            {"include_optout", settings.includeOptOut ? "1" : "0"},
        };
        Statement meta(db, "INSERT INTO campaign(key, value) VALUES (?1, ?2)");
        for (const auto& [key, value] : values)
            ok = ok && meta.bind(1, key).bind(2, value).run();
    }
    {
        Statement batch(db, "INSERT INTO batches(id, count, numbers) VALUES (?1, ?2, ?3)");
        Statement request(db,
                          "INSERT INTO requests(batch, piece, text, state) VALUES (?1, ?2, ?3, 0)");
        const size_t size = static_cast<size_t>(settings.batchSize);
        std::string joined;
        long long id = 0;
        for (const TextToWrite& text : texts) {
            const std::vector<std::string>& numbers = *text.numbers;
            const std::vector<std::string>& pieceTexts = *text.pieceTexts;
            for (size_t first = 0; ok && first < numbers.size(); first += size) {
                const size_t end = std::min(numbers.size(), first + size);
                joined.clear();
                for (size_t i = first; i < end; ++i) {
                    joined += numbers[i];
                    joined += '|';
                }
                ++id;
                ok = batch.bind(1, id)
                         .bind(2, static_cast<long long>(end - first))
                         .bind(3, joined)
                         .run();
                for (size_t piece = 0; ok && piece < pieceTexts.size(); ++piece)
                    ok = request.bind(1, id)
                             .bind(2, static_cast<long long>(piece + 1))
                             .bind(3, pieceTexts[piece])
                             .run();
            }
        }
    }
    ok = ok && exec(db, "COMMIT; PRAGMA journal_mode=WAL;");
    if (!ok)
        *error = "无法写入活动记录：" + dbError(db);
    if (sqlite3_close(db) != SQLITE_OK && ok) {
        *error = "无法写入活动记录：" + temp;
        ok = false;
    }
    if (ok && !syncFile(temp)) {
        *error = "无法写入活动记录：" + temp;
        ok = false;
    }
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp, path, ec);
        if (ec) {
            *error = "无法保存活动记录：" + path + "（" + ec.message() + "）";
            ok = false;
        }
    }
    if (!ok) {
        std::remove(temp.c_str());
        return false;
    }
    syncFolder(path);
    return true;
}

std::unique_ptr<CampaignJournal> CampaignJournal::Open(const std::string& path, std::string* error,
                                                       Access access) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        *error = "没有这个活动记录：" + path;
        return nullptr;
    }
    if (access == Access::Write) {
        std::unique_ptr<CampaignJournal> journal = OpenAs(path, Access::Write, false, error);
        // A journal that reads whole but takes no write sits on a read-only disk or in a
        // folder that refuses its side files: it is intact, only this run cannot go on.
        // Otherwise reading tells best what is wrong with it.
        std::string readError;
        if (!journal)
            *error = Open(path, &readError, Access::Read)
                         ? "活动记录无法写入（文件或所在目录只读）：" + path
                         : readError;
        return journal;
    }
    std::unique_ptr<CampaignJournal> journal = OpenAs(path, access, false, error);
    // Where not even the shared-memory file can be made, the file is read as it stands,
    // which is the whole journal unless a write-ahead log still holds commits.
    const std::string wal = path + "-wal";
    if (!journal && !(std::filesystem::is_regular_file(wal, ec) &&
                      std::filesystem::file_size(wal, ec) > 0 && !ec))
        journal = OpenAs(path, access, true, error);
    return journal;
}

std::unique_ptr<CampaignJournal> CampaignJournal::OpenAs(const std::string& path, Access access,
                                                         bool immutable, std::string* error) {
    std::unique_ptr<CampaignJournal> journal(new CampaignJournal);
    journal->m_path = path;
    error->clear();
    std::string name = path;
    int flags = (access == Access::Write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                SQLITE_OPEN_NOMUTEX;
    if (immutable) {
        name = "file:";
        for (char c : path) {
            if (c == '%' || c == '?' || c == '#') {
                static const char hex[] = "0123456789ABCDEF";
                name += '%';
                name += hex[static_cast<unsigned char>(c) >> 4];
                name += hex[static_cast<unsigned char>(c) & 15];
            } else {
                name += c;
            }
        }
        name += "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    if (sqlite3_open_v2(name.c_str(), &journal->m_db, flags, nullptr) != SQLITE_OK) {
        *error = "无法打开活动记录：" + path + "（" + dbError(journal->m_db) + "）";
        return nullptr;
    }
    sqlite3_busy_timeout(journal->m_db, 5000);
    if (access == Access::Write) {
        // Each commit reaches the disk before the next request goes out: a power cut loses
        // nothing that was committed.
        if (sqlite3_db_readonly(journal->m_db, "main") != 0 ||
            !exec(journal->m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;")) {
            *error = "无法写入活动记录：" + path + "（" + dbError(journal->m_db) + "）";
            return nullptr;
        }
    }
    if (!journal->load(error) || !journal->check(access != Access::Glance, error)) {
        if (error->empty())
            *error = "活动记录已损坏或不是活动记录：" + path;
        return nullptr;
    }
    // Whether a write would be taken, before anything is sent on the journal's word.
    if (access == Access::Write &&
        (!exec(journal->m_db, "BEGIN IMMEDIATE;") || !exec(journal->m_db, "ROLLBACK;"))) {
        *error = "无法写入活动记录：" + path + "（" + dbError(journal->m_db) + "）";
        return nullptr;
    }
    return journal;
}

// What the requests and batches must agree on; a journal that fails any of it could report a
// campaign complete that never went out, or send a batch twice. Not whole: the database and
// the batches' numbers are not read.
bool CampaignJournal::check(bool whole, std::string* error) {
    auto damaged = [&](const std::string& what) {
        *error = "活动记录已损坏（" + what + "）：" + m_path;
        return false;
    };
    if (whole) {
        Statement quick(m_db, "PRAGMA quick_check");
        if (!quick.row() || quick.text(0) != "ok")
            return damaged("数据库检查未通过");
    }
    const long long size = m_settings.batchSize;
    // A variable SMS cuts each text's numbers on its own: at least the batches of one text,
    // at most one per number.
    const long long expectedBatches = (m_numberCount + size - 1) / size;
    if (m_numberCount < 1 ||
        (m_settings.variable ? m_batchCount < expectedBatches || m_batchCount > m_numberCount
                             : m_batchCount != expectedBatches))
        return damaged("批数与号码数不符");
    long long total = 0;
    if (whole) {
        Statement batches(m_db, "SELECT id, count, numbers FROM batches ORDER BY id");
        long long expectedId = 1;
        while (batches.row()) {
            const long long count = batches.integer(1);
            if (batches.integer(0) != expectedId++ || count < 0 || count > size ||
                numbersInString(batches.bytes(2)) != count)
                return damaged("第" + std::to_string(expectedId - 1) + "批的号码");
            total += count;
        }
    }
    if (whole && total + m_optedOutLater != m_numberCount)
        return damaged("各批号码数之和不符");
    const size_t pieces = static_cast<size_t>(m_pieceCount);
    if (m_settings.variable) {
        if (m_settings.kind != CampaignKind::Sms)
            return damaged("请求数与批数不符");
        // Each batch's pieces 1 ... P once, P its own.
        int batch = 0;
        int piece = 0;
        for (const CampaignRequest& r : m_requests) {
            if (r.batch != batch) {
                if (r.batch != batch + 1 || r.piece != 1)
                    return damaged("第" + std::to_string(r.batch) + "批的请求");
                batch = r.batch;
            } else if (r.piece != piece + 1) {
                return damaged("第" + std::to_string(r.batch) + "批的请求");
            }
            piece = r.piece;
        }
        if (batch != m_batchCount)
            return damaged("请求数与批数不符");
        return true;
    }
    if (pieces < 1 || (m_settings.kind == CampaignKind::Mms && pieces != 1) ||
        m_requests.size() != static_cast<size_t>(m_batchCount) * pieces)
        return damaged("请求数与批数不符");
    // Sorted by batch and piece: each batch's pieces 1 ... P once, the same texts in every
    // batch.
    for (size_t i = 0; i < m_requests.size(); ++i) {
        const CampaignRequest& r = m_requests[i];
        if (r.batch != static_cast<int>(i / pieces) + 1 ||
            r.piece != static_cast<int>(i % pieces) + 1 || r.text != m_requests[i % pieces].text)
            return damaged("第" + std::to_string(r.batch) + "批的请求");
    }
    return true;
}

namespace {

// The schedule's keys; a journal without them is not scheduled. False when one is malformed.
bool readSchedule(std::map<std::string, std::string>& values, CampaignSchedule* schedule) {
    CampaignSchedule read;
    if (!values.count("schedule_state")) {
        *schedule = read;
        return true;
    }
    read.scheduled = values["schedule_due"] == "1";
    try {
        read.at = std::stoll(values["schedule_at"]);
    } catch (...) {
        return false;
    }
    const std::string& window = values["schedule_window"];
    if (!window.empty()) {
        const std::optional<std::pair<int, int>> hours = ParseHours(window);
        if (!hours)
            return false;
        read.windowFrom = hours->first;
        read.windowTo = hours->second;
    }
    const std::optional<ScheduleState> state = ScheduleStateFromName(values["schedule_state"]);
    if (!state || read.at < 0)
        return false;
    read.state = *state;
    read.reason = values["schedule_reason"];
    *schedule = read;
    return true;
}

}  // namespace

bool CampaignJournal::load(std::string* error) {
    std::map<std::string, std::string> values;
    {
        Statement meta(m_db, "SELECT key, value FROM campaign");
        if (!meta.ok())
            return false;
        while (meta.row())
            values[meta.text(0)] = meta.text(1);
    }
    m_settings.variable = values["format"] == kVariableFormat;
    if (values["format"] != kFormat && !m_settings.variable) {
        *error = "活动记录已损坏或不是活动记录：" + m_path;
        return false;
    }
    auto number = [&](const char* key) -> long long {
        try {
            return std::stoll(values[key]);
        } catch (...) {
            return -1;
        }
    };
    m_settings.kind = values["kind"] == "mms" ? CampaignKind::Mms : CampaignKind::Sms;
    m_settings.user = values["user"];
    m_settings.text = values["text"];
    m_settings.title = values["title"];
    m_settings.mmsPath = values["mms_path"];
    m_settings.mmsWirePath = values["mms_wire_path"];
    m_settings.batchSize = static_cast<int>(number("batch_size"));
    m_settings.perNumber = number("per_number");
    m_settings.created = number("created");
    m_numberCount = number("numbers");
    m_settings.includeOptOut = values["include_optout"] == "1";
    if (values.count("remaining"))
        m_remaining = number("remaining");
    m_optedOutLater = values.count("optout_later") ? number("optout_later") : 0;
    if (!readSchedule(values, &m_schedule))
        return false;
    if (m_settings.batchSize < 1 || m_settings.batchSize > kMaxBatch || m_settings.perNumber < 0 ||
        m_numberCount < 0 || m_optedOutLater < 0)
        return false;

    std::map<long long, long long> counts;
    {
        Statement batches(m_db, "SELECT id, count FROM batches ORDER BY id");
        if (!batches.ok())
            return false;
        while (batches.row())
            counts[batches.integer(0)] = batches.integer(1);
    }
    m_batchCount = static_cast<int>(counts.size());
    Statement requests(
        m_db,
        "SELECT id, batch, piece, text, state, answer, started, record FROM requests "
        "ORDER BY batch, piece");
    if (!requests.ok())
        return false;
    m_requests.clear();
    while (requests.row()) {
        CampaignRequest r;
        r.id = requests.integer(0);
        r.batch = static_cast<int>(requests.integer(1));
        r.piece = static_cast<int>(requests.integer(2));
        r.text = requests.text(3);
        const long long state = requests.integer(4);
        if (state < 0 || state >= kStateCount || !counts.count(r.batch))
            return false;
        r.state = static_cast<RequestState>(state);
        r.answer = requests.text(5);
        r.started = requests.integer(6);
        r.record = requests.text(7);
        r.numbers = counts[r.batch];
        m_pieceCount = std::max(m_pieceCount, r.piece);
        m_requests.push_back(std::move(r));
    }
    return true;
}

std::optional<std::string> CampaignJournal::batchNumberString(int batch, std::string* error) const {
    Statement query(m_db, "SELECT numbers FROM batches WHERE id = ?1");
    if (query.bind(1, batch).row())
        return query.text(0);
    *error = "无法读取活动记录中的号码：" + dbError(m_db);
    return std::nullopt;
}

int CampaignJournal::piecesOf(int batch) const {
    if (!m_settings.variable)
        return m_pieceCount;
    // The requests are sorted by batch and piece: the batch's last request names its count.
    const auto end =
        std::partition_point(m_requests.begin(), m_requests.end(),
                             [&](const CampaignRequest& r) { return r.batch <= batch; });
    return end == m_requests.begin() || std::prev(end)->batch != batch ? 0 : std::prev(end)->piece;
}

bool CampaignJournal::save(const CampaignRequest& request, std::string* error) {
    auto it = std::find_if(m_requests.begin(), m_requests.end(),
                           [&](const CampaignRequest& r) { return r.id == request.id; });
    if (it == m_requests.end()) {
        *error = "活动记录中没有这个请求";
        return false;
    }
    Statement update(m_db,
                     "UPDATE requests SET state = ?2, answer = ?3, started = ?4, record = ?5 "
                     "WHERE id = ?1");
    if (!update.bind(1, request.id)
             .bind(2, static_cast<long long>(request.state))
             .bind(3, request.answer)
             .bind(4, request.started)
             .bind(5, request.record)
             .run()) {
        *error = "无法写入活动记录：" + dbError(m_db);
        return false;
    }
    it->state = request.state;
    it->answer = request.answer;
    it->started = request.started;
    it->record = request.record;
    return true;
}

bool CampaignJournal::narrowBatch(int batch, const std::vector<std::string>& kept,
                                  long long leftOut, std::string* error) {
    std::string joined;
    for (const std::string& number : kept) {
        joined += number;
        joined += '|';
    }
    const long long count = static_cast<long long>(kept.size());
    const long long total = m_optedOutLater + leftOut;
    bool ok = exec(m_db, "BEGIN IMMEDIATE;");
    if (ok) {
        Statement update(m_db, "UPDATE batches SET count = ?2, numbers = ?3 WHERE id = ?1");
        ok = update.bind(1, batch).bind(2, count).bind(3, joined).run() &&
             sqlite3_changes(m_db) == 1;
    }
    if (ok) {
        Statement later(m_db,
                        "INSERT OR REPLACE INTO campaign(key, value) VALUES ('optout_later', ?1)");
        ok = later.bind(1, std::to_string(total)).run();
    }
    ok = ok && exec(m_db, "COMMIT;");
    if (!ok) {
        *error = "无法写入活动记录：" + dbError(m_db);
        exec(m_db, "ROLLBACK;");
        return false;
    }
    m_optedOutLater = total;
    for (CampaignRequest& request : m_requests)
        if (request.batch == batch)
            request.numbers = count;
    return true;
}

bool CampaignJournal::setSchedule(const CampaignSchedule& schedule, std::string* error) {
    const std::pair<const char*, std::string> values[] = {
        {"schedule_due", schedule.scheduled ? "1" : "0"},
        {"schedule_at", std::to_string(schedule.at)},
        {"schedule_window",
         schedule.hasWindow() ? HoursText(schedule.windowFrom, schedule.windowTo) : ""},
        {"schedule_state", ScheduleStateName(schedule.state)},
        {"schedule_reason", schedule.reason}};
    bool ok = exec(m_db, "BEGIN IMMEDIATE;");
    for (const auto& [key, value] : values) {
        Statement update(m_db, "INSERT OR REPLACE INTO campaign(key, value) VALUES (?1, ?2)");
        ok = ok && update.bind(1, key).bind(2, value).run();
    }
    if (!ok || !exec(m_db, "COMMIT;")) {
        exec(m_db, "ROLLBACK;");
        *error = "无法写入活动记录：" + m_path + "（" + dbError(m_db) + "）";
        return false;
    }
    m_schedule = schedule;
    return true;
}

bool CampaignJournal::reloadSchedule(std::string* error) {
    std::map<std::string, std::string> values;
    Statement meta(m_db, "SELECT key, value FROM campaign");
    bool ok = meta.ok();
    while (ok && meta.row())
        values[meta.text(0)] = meta.text(1);
    CampaignSchedule read;
    if (!ok || !readSchedule(values, &read)) {
        *error = "无法读取活动记录：" + m_path + "（" + dbError(m_db) + "）";
        return false;
    }
    m_schedule = read;
    return true;
}

bool CampaignJournal::setRemainingQuota(long long remaining, std::string* error) {
    Statement update(m_db, "INSERT OR REPLACE INTO campaign(key, value) VALUES ('remaining', ?1)");
    if (!update.bind(1, std::to_string(remaining)).run()) {
        *error = "无法写入活动记录：" + dbError(m_db);
        return false;
    }
    m_remaining = remaining;
    return true;
}

bool IsValidCampaignName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameBytes || name.front() == '.' ||
        name.find("..") != std::string::npos)
        return false;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::string CampaignFolder(const std::string& dataDir) {
    return dataDir + "campaigns/";
}

std::string JournalPath(const std::string& dataDir, const std::string& name) {
    return CampaignFolder(dataDir) + name + ".sqlite";
}

std::vector<std::string> CampaignNames(const std::string& dataDir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(CampaignFolder(dataDir), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::filesystem::path& file = it->path();
        if (file.extension() != ".sqlite" || !it->is_regular_file(ec))
            continue;
        const std::string name = file.stem().string();
        if (IsValidCampaignName(name))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace smsc::campaign
