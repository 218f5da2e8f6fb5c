#pragma once
// A small segment database (table hd as the program ships it) and CityInfo.dat for the
// lookup tests, and the folder of the data made at build time.

#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace smsc::test {

// 号段, province, 城市, card type, 区号 (UTF-8), in table order.
struct SegmentFixtureRow {
    const char* segment;
    const char* province;
    const char* city;
    const char* cardType;
    const char* areaCode;
};

inline const std::vector<SegmentFixtureRow>& SmallSegmentRows() {
    static const std::vector<SegmentFixtureRow> rows = {
        {"1300000", "山东", "济南", "中国联通", "0531"},
        {"1349000", "北京", "北京", "", "010"},
        {"1380000", "北京", "北京", "中国移动", "010"},
        {"1391234", "江苏", "常州", "中国移动", "0519"},
        {"1300001", "北京", "北京", "中国联通", "010"},
        {"1330000", "北京", "北京", "中国电信", "010"},
        {"1899999", "北京", "北京", "中国电信", "010"},
        {"1399999", "北京", "北京", "中国移动", "010"},
        {"1399999", "北京", "北京", "中国移动", "010"},  // stored twice
        {"123", "测试", "短号", "", "999"},              // a segment shorter than seven digits
        {"1991234", "", "", "中国电信", ""},             // a carrier but no place
    };
    return rows;
}

// Writes the database; false when SQLite refuses.
inline bool WriteSegmentDatabase(const std::string& path,
                                 const std::vector<SegmentFixtureRow>& rows = SmallSegmentRows()) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db,
                           "CREATE TABLE hd (ID INTEGER PRIMARY KEY, 号段 TEXT, 省份 TEXT, "
                           "城市 TEXT, 卡型 TEXT, 区号 TEXT)",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    // One transaction: thousands of rows without one disk sync each.
    ok = ok && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(
                   db, "INSERT INTO hd (号段, 省份, 城市, 卡型, 区号) VALUES (?, ?, ?, ?, ?)", -1,
                   &insert, nullptr) == SQLITE_OK;
    for (const SegmentFixtureRow& row : rows) {
        if (!ok)
            break;
        const char* values[] = {row.segment, row.province, row.city, row.cardType, row.areaCode};
        for (int i = 0; i < 5; ++i)
            sqlite3_bind_text(insert, i + 1, values[i], -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The output folder of the build (where sjhmd.dat and CityInfo.dat are made), ending in '/'.
inline std::string BuiltDataDir() {
    const char* bin = std::getenv("SMSC_BIN_DIR");
    return bin ? std::string(bin) + "/" : std::string();
}

}  // namespace smsc::test
