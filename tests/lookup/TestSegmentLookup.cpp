// The lookups of the "号码搜索" page without a window: number and area code on a small
// database, the connection's probe, CityInfo.dat, the carrier filters, and the data made
// from python3-phonenumbers.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <set>

#include "lookup/CityInfo.h"
#include "lookup/SegmentDatabase.h"
#include "lookup/SegmentLookup.h"
#include "platform/Gbk.h"
#include "tests/lookup/SegmentFixture.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::test;

namespace {

const char* const kNumberNotFound = "对不起，没有查到该手机号的归属地";
const char* const kAreaNotFound = "对不起，没有查到该区号的归属地";

// The four fields as UTF-8 joined by "|", or the message.
std::string shown(const LookupAnswer& answer) {
    if (!answer.found())
        return GbkToUtf8(answer.message);
    std::string text;
    for (const std::string& field : answer.fields)
        text += (text.empty() ? "" : "|") + GbkToUtf8(field);
    return text;
}

class SmallDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteSegmentDatabase(folder.file("sjhmd.dat")));
        ASSERT_TRUE(db.open(folder.file("sjhmd.dat")));
    }
    TempFolder folder;
    SegmentDatabase db;
};

TEST_F(SmallDatabase, NumberLookup) {
    const struct {
        const char* field;
        std::string expected;
    } cases[] = {
        {"13800001234", "北京|北京|中国移动|010"},    // by its first seven digits
        {" 13912345678", "江苏|常州|中国移动|0519"},  // leading space trimmed
        {"1349000", "北京|北京||010"},                // no card type
        {"123", "测试|短号||999"},                    // fewer than seven digits: unchanged
        {"1234567", kNumberNotFound},
        {"13999990000", kNumberNotFound},  // segment stored twice
        {"", "要查询的手机号码为空！请输入手机号码"},
        {"   ", "请输入正确的手机号！"},
        {"1380000123456", "请输入正确的手机号！"},  // 13 digits
        {"1380000'", "请输入正确的手机号！"},       // a quote never reaches the database
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(LookupNumber(db, c.field)), c.expected) << c.field;
}

TEST_F(SmallDatabase, AreaCodeLookupTakesTheFirstRowAndBindsTheText) {
    const struct {
        const char* field;
        std::string expected;
    } cases[] = {
        {"010", "北京|北京||010"},  // many segments: the first row, no card type
        {"0519", "江苏|常州||0519"},
        {"0000", kAreaNotFound},
        {" 010", kAreaNotFound},  // as typed
        {"", "要查询的区号为空！请输入区号"},
        {"'", kAreaNotFound},
        {"010' OR '1'='1", kAreaNotFound},
        {"0'; DROP TABLE hd; --", kAreaNotFound},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(LookupAreaCode(db, c.field)), c.expected) << c.field;
    EXPECT_EQ(shown(LookupNumber(db, "13800000000")), "北京|北京|中国移动|010");
}

TEST_F(SmallDatabase, CarrierFiltersKeepTableOrder) {
    const struct {
        CarrierFilter filter;
        std::vector<std::string> expected;
    } cases[] = {
        {CarrierFilter::All,
         {"1349000****", "1380000****", "1300001****", "1330000****", "1899999****", "1399999****",
          "1399999****"}},
        {CarrierFilter::Mobile, {"1349000****", "1380000****", "1399999****", "1399999****"}},
        {CarrierFilter::Unicom, {"1300001****"}},  // 130 listed, 139 not
        {CarrierFilter::Telecom, {"1330000****", "1899999****"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CitySegmentEntries(db, G(" 北京 "), c.filter), c.expected);
    EXPECT_EQ(CitySegmentEntries(db, G("无此城市"), CarrierFilter::All),
              std::vector<std::string>());
    EXPECT_EQ(CitySegmentEntries(db, G("北京' OR '1'='1"), CarrierFilter::All),
              std::vector<std::string>());
    EXPECT_EQ(GbkToUtf8(SegmentCountText(0)), "0个号码段    00000个号码");
    EXPECT_EQ(GbkToUtf8(SegmentCountText(7)), "7个号码段    70000个号码");
}

TEST(SegmentConnection, FilesThatAreNoSegmentDatabaseLeaveItClosed) {
    TempFolder folder;
    folder.writeFile("text.dat", "[北京]#[北京] this is not a database\n");
    folder.writeFile("empty.dat", "");
    sqlite3* other = nullptr;
    sqlite3_open(folder.file("other.dat").c_str(), &other);
    sqlite3_exec(other, "CREATE TABLE hd (号段 TEXT, 城市 TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    for (const char* name : {"missing.dat", "text.dat", "empty.dat", "other.dat"}) {
        SegmentDatabase db;
        EXPECT_FALSE(db.open(folder.file(name))) << name;
        EXPECT_FALSE(db.isOpen()) << name;
        EXPECT_EQ(shown(LookupNumber(db, "13800000000")), kNumberNotFound);
        EXPECT_EQ(shown(LookupAreaCode(db, "010")), kAreaNotFound);
        EXPECT_FALSE(CitySegmentEntries(db, G("北京"), CarrierFilter::All));
    }
    // A database closed after use behaves the same.
    SegmentDatabase db;
    ASSERT_TRUE(WriteSegmentDatabase(folder.file("sjhmd.dat")));
    ASSERT_TRUE(db.open(folder.file("sjhmd.dat")));
    db.close();
    EXPECT_EQ(shown(LookupNumber(db, "13800000000")), kNumberNotFound);
}

// What would make the program wait for ever: a FIFO (before the window appears) and a
// table `hd` that is an endless view; both answer "not found" at once.
TEST(SegmentConnection, FilesThatWouldNeverAnswerAreRefused) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.file("fifo.dat").c_str(), 0600), 0);
    sqlite3* view = nullptr;
    sqlite3_open(folder.file("view.dat").c_str(), &view);
    ASSERT_EQ(sqlite3_exec(view,
                           "CREATE VIEW hd AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT "
                           "n + 1 FROM r) SELECT n AS rowid, n AS ID, '1380000' AS 号段, 'p' AS "
                           "省份, 'c' AS 城市, 't' AS 卡型, '010' AS 区号 FROM r",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(view);
    for (const char* name : {"fifo.dat", "view.dat"}) {
        SegmentDatabase db;
        EXPECT_FALSE(db.open(folder.file(name))) << name;
        EXPECT_EQ(shown(LookupNumber(db, "13800000000")), kNumberNotFound);
        EXPECT_FALSE(CitySegmentEntries(db, "c", CarrierFilter::All));
    }
    ASSERT_EQ(::mkfifo(folder.file("CityInfo.dat").c_str(), 0600), 0);
    EXPECT_FALSE(ReadCityInfo(folder.file("CityInfo.dat")));
}

// Each statement gets its own budget of steps; one over it ends as "not found".
TEST(SegmentConnection, EveryStatementIsBounded) {
    TempFolder folder;
    std::vector<SegmentFixtureRow> rows(3000, {"1300000", "山东", "济南", "中国联通", "0531"});
    rows.push_back({"1391234", "江苏", "常州", "中国移动", "0519"});
    ASSERT_TRUE(WriteSegmentDatabase(folder.file("sjhmd.dat"), rows));
    SegmentDatabase db;
    ASSERT_TRUE(db.open(folder.file("sjhmd.dat")));
    db.setStatementLimit(200000);  // a few times one pass over the table
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(shown(LookupNumber(db, "13912345678")), "江苏|常州|中国移动|0519") << i;
    db.setStatementLimit(2000);  // well below one pass
    EXPECT_EQ(shown(LookupNumber(db, "13912345678")), kNumberNotFound);
    EXPECT_EQ(shown(LookupAreaCode(db, "0519")), kAreaNotFound);
    EXPECT_FALSE(CitySegmentEntries(db, G("常州"), CarrierFilter::All));
}

TEST(CityInfoFile, Parsing) {
    using Tree = std::vector<std::pair<std::string, std::vector<std::string>>>;
    const Tree two = {{"A", {"a1", "a2"}}, {"B", {"b1"}}};
    const struct {
        const char* text;
        Tree expected;
    } cases[] = {
        {"[A]#[a1]#[a2][B]#[b1]", two},
        {"[A]#a1]#a2][B]#b1]", two},  // bracketless variant
        {"[A][B]#[b1]", {{"A", {}}, {"B", {"b1"}}}},
        {"[A]#[ a1\r\n]", {{"A", {" a1\r\n"}}}},  // nothing but brackets is removed
    };
    for (const auto& c : cases) {
        Tree parsed;
        for (const CityInfoProvince& p : ParseCityInfo(c.text))
            parsed.emplace_back(p.name, p.cities);
        EXPECT_EQ(parsed, c.expected) << c.text;
    }
    TempFolder folder;
    folder.writeFile("empty.dat", "");
    folder.writeFile("huge.dat", std::string(kMaxCityInfoBytes + 1, '['));
    EXPECT_FALSE(ReadCityInfo(folder.file("missing.dat")));
    EXPECT_FALSE(ReadCityInfo(folder.file("empty.dat")));
    EXPECT_FALSE(ReadCityInfo(folder.file("huge.dat")));
}

// The files made at build time from python3-phonenumbers, read where the build put them.
TEST(GeneratedSegmentData, KnownSegmentsAndEveryCityListedWithAnAreaCode) {
    const std::string dir = BuiltDataDir();
    ASSERT_FALSE(dir.empty()) << "SMSC_BIN_DIR is not set";
    SegmentDatabase db;
    ASSERT_TRUE(db.open(dir + "sjhmd.dat"));
    EXPECT_EQ(shown(LookupNumber(db, "13800000000")), "北京|北京|中国移动|010");
    EXPECT_EQ(shown(LookupNumber(db, "13912345678")), "江苏|常州|中国移动|0519");
    EXPECT_EQ(shown(LookupAreaCode(db, "0519")), "江苏|常州||0519");

    const auto provinces = ReadCityInfo(dir + "CityInfo.dat");
    ASSERT_TRUE(provinces);
    std::set<std::string> listed;
    for (const CityInfoProvince& p : *provinces)
        for (const std::string& city : p.cities)
            listed.insert(GbkToUtf8(city));

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2((dir + "sjhmd.dat").c_str(), &raw, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(raw, "SELECT DISTINCT 城市, 区号 FROM hd", -1, &query, nullptr);
    std::set<std::string> cities;
    while (sqlite3_step(query) == SQLITE_ROW) {
        const std::string city = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
        const std::string code = reinterpret_cast<const char*>(sqlite3_column_text(query, 1));
        cities.insert(city);
        EXPECT_TRUE(code.size() >= 3 && code.size() <= 4 && code[0] == '0') << city << " " << code;
    }
    sqlite3_finalize(query);
    sqlite3_close(raw);
    EXPECT_GT(cities.size(), 300u);
    EXPECT_EQ(cities, listed);
}

}  // namespace
