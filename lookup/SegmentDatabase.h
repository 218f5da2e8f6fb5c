#pragma once
// The connection to the number-segment database sjhmd.dat: an SQLite file with one table
// `hd` (ID, 号段, province, 城市, card type, 区号), text stored as UTF-8. Opened read-only
// once at start-up and kept for the run; every lookup reports "not found" while it is
// closed. Callers hand in and get back GBK text; the values are bound as parameters, so
// whatever the user typed is only ever compared, never part of a statement.

#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace smsc {

// Positions 3 to 6 of a row of `hd`, GBK.
struct SegmentRow {
    std::string province;
    std::string city;
    std::string cardType;
    std::string areaCode;
};

class SegmentDatabase final {
public:
    static constexpr long long kDefaultStatementLimit = 100'000'000;

    SegmentDatabase() = default;
    ~SegmentDatabase();
    SegmentDatabase(const SegmentDatabase&) = delete;
    SegmentDatabase& operator=(const SegmentDatabase&) = delete;

    // Opens the file read-only and checks that it holds the table `hd`; false (and closed)
    // when the file is missing, is no regular file, or is no such database (`hd` missing,
    // a view or a virtual table).
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // The file of the last open attempt.
    const std::string& path() const { return m_path; }
    // The most virtual-machine steps one statement may take before it is ended as failed
    // (a lookup then reports "not found"); the default leaves a whole-table scan of the
    // shipped data a wide margin.
    void setStatementLimit(long long steps) { m_statementLimit = steps; }

    // The rows (in table order, at most `limit`) whose 号段 / 区号 equal the value; nullopt
    // when closed or when the database fails the query.
    std::optional<std::vector<SegmentRow>> rowsOfSegment(const std::string& segment, int limit);
    std::optional<std::vector<SegmentRow>> rowsOfAreaCode(const std::string& areaCode, int limit);
    // 号段 of every row of the city, in table order.
    std::optional<std::vector<std::string>> segmentsOfCity(const std::string& city);

private:
    // Gives the next statement its budget of steps.
    void armStatementLimit();
    static int onProgress(void* self);

    std::optional<std::vector<SegmentRow>> rows(sqlite3_stmt* query, const std::string& value,
                                                int limit);

    std::string m_path;
    long long m_statementLimit = kDefaultStatementLimit;
    long long m_callsLeft = 0;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_bySegment = nullptr;
    sqlite3_stmt* m_byAreaCode = nullptr;
    sqlite3_stmt* m_byCity = nullptr;
};

}  // namespace smsc
