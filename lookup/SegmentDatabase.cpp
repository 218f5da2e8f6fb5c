#include "lookup/SegmentDatabase.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "platform/Gbk.h"

namespace smsc {
namespace {

// Resets the query when the reading ends, however it ends.
class QueryRun final {
public:
    QueryRun(sqlite3_stmt* query, const std::string& utf8Value) : m_query(query) {
        sqlite3_bind_text(m_query, 1, utf8Value.data(), static_cast<int>(utf8Value.size()),
                          SQLITE_TRANSIENT);
    }
    ~QueryRun() {
        sqlite3_reset(m_query);
        sqlite3_clear_bindings(m_query);
    }
    QueryRun(const QueryRun&) = delete;
    QueryRun& operator=(const QueryRun&) = delete;

    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return sqlite3_step(m_query); }
    std::string text(int column) const {
        const auto* bytes = sqlite3_column_text(m_query, column);
        if (!bytes)
            return {};
        const auto size = static_cast<size_t>(sqlite3_column_bytes(m_query, column));
        return Utf8ToGbk(std::string_view(reinterpret_cast<const char*>(bytes), size));
    }

private:
    sqlite3_stmt* m_query;
};

constexpr int kStepsPerCheck = 1000;

// Only a regular file is opened: a FIFO would hold the program before its window appears.
bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// `hd` must be a stored table (not a view, nor a virtual table whose rows are made up).
bool HdIsATable(sqlite3* db) {
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT type, sql FROM sqlite_master WHERE name = 'hd' COLLATE NOCASE",
                           -1, &query, nullptr) != SQLITE_OK) {
        sqlite3_finalize(query);
        return false;
    }
    bool table = false;
    int rows = 0;
    while (sqlite3_step(query) == SQLITE_ROW) {
        ++rows;
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
        const auto* sql = reinterpret_cast<const char*>(sqlite3_column_text(query, 1));
        table = type && std::string_view(type) == "table" && sql &&
                sqlite3_strnicmp(sql, "CREATE VIRTUAL", 14) != 0;
    }
    sqlite3_finalize(query);
    return rows == 1 && table;
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &query, nullptr) != SQLITE_OK) {
        sqlite3_finalize(query);
        return nullptr;
    }
    return query;
}

}  // namespace

SegmentDatabase::~SegmentDatabase() {
    close();
}

void SegmentDatabase::armStatementLimit() {
    const long long every =
        std::max<long long>(1, std::min<long long>(kStepsPerCheck, m_statementLimit));
    m_callsLeft = m_statementLimit / every;
    sqlite3_progress_handler(m_db, static_cast<int>(every), &SegmentDatabase::onProgress, this);
}

int SegmentDatabase::onProgress(void* self) {
    auto* db = static_cast<SegmentDatabase*>(self);
    return --db->m_callsLeft < 0 ? 1 : 0;  // non-zero ends the statement
}

bool SegmentDatabase::open(const std::string& path) {
    close();
    m_path = path;
    if (!IsRegularFile(path))
        return false;
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        close();
        return false;
    }
    // SQLite "opens" any file; only the queries show whether it is a segment database.
    armStatementLimit();
    if (!HdIsATable(m_db)) {
        close();
        return false;
    }
    m_bySegment = prepare(m_db, "SELECT * FROM hd WHERE 号段 = ?1 ORDER BY rowid LIMIT ?2");
    m_byAreaCode = prepare(m_db, "SELECT * FROM hd WHERE 区号 = ?1 ORDER BY rowid LIMIT ?2");
    m_byCity = prepare(m_db, "SELECT 号段 FROM hd WHERE 城市 = ?1 ORDER BY rowid");
    bool usable = m_bySegment && m_byAreaCode && m_byCity && sqlite3_column_count(m_bySegment) >= 6;
    if (usable) {
        sqlite3_bind_int(m_bySegment, 2, 1);
        armStatementLimit();
        QueryRun probe(m_bySegment, "");
        const int rc = probe.step();
        usable = rc == SQLITE_ROW || rc == SQLITE_DONE;
    }
    if (!usable)
        close();
    return usable;
}

void SegmentDatabase::close() {
    for (sqlite3_stmt** query : {&m_bySegment, &m_byAreaCode, &m_byCity}) {
        sqlite3_finalize(*query);
        *query = nullptr;
    }
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

std::optional<std::vector<SegmentRow>> SegmentDatabase::rows(sqlite3_stmt* query,
                                                             const std::string& value, int limit) {
    if (!m_db)
        return std::nullopt;
    armStatementLimit();
    QueryRun run(query, GbkToUtf8(value));
    sqlite3_bind_int(query, 2, limit);
    std::vector<SegmentRow> found;
    int rc;
    while ((rc = run.step()) == SQLITE_ROW)
        found.push_back({run.text(2), run.text(3), run.text(4), run.text(5)});
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return found;
}

std::optional<std::vector<SegmentRow>> SegmentDatabase::rowsOfSegment(const std::string& segment,
                                                                      int limit) {
    return rows(m_bySegment, segment, limit);
}

std::optional<std::vector<SegmentRow>> SegmentDatabase::rowsOfAreaCode(const std::string& areaCode,
                                                                       int limit) {
    return rows(m_byAreaCode, areaCode, limit);
}

std::optional<std::vector<std::string>> SegmentDatabase::segmentsOfCity(const std::string& city) {
    if (!m_db)
        return std::nullopt;
    armStatementLimit();
    QueryRun run(m_byCity, GbkToUtf8(city));
    std::vector<std::string> segments;
    int rc;
    while ((rc = run.step()) == SQLITE_ROW)
        segments.push_back(run.text(0));
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return segments;
}

}  // namespace smsc
