// The lookups of the "号码搜索" page without a window: number and area code on a small
// database, the connection's probe, CityInfo.dat, the carrier filters, and the data made
// from the committed libphonenumber table.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <map>
#include <set>

#include "lookup/CityInfo.h"
#include "lookup/SegmentDatabase.h"
#include "lookup/SegmentLookup.h"
#include "platform/Gbk.h"
#include "recipients/PhoneRules.h"
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
    std::string text = GbkToUtf8(answer.fields[0]);
    for (size_t i = 1; i < answer.fields.size(); ++i)
        text += "|" + GbkToUtf8(answer.fields[i]);
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

// Deliberately changed: a segment whose place the data does not know answers "归属地未知"
// beside its card type instead of blank fields.
TEST_F(SmallDatabase, NumberWithoutAPlaceChangedToSayThePlaceIsUnknown) {
    EXPECT_EQ(shown(LookupNumber(db, "19912345678")), "归属地未知||中国电信|");
    EXPECT_EQ(shown(LookupNumber(db, "1991234")), "归属地未知||中国电信|");
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

// Deliberately changed: 1349, the satellite block, is listed under "电信号码", whose
// carrier the data now names, no more under "移动号码".
TEST_F(SmallDatabase, CarrierFiltersKeepTableOrderWith1349ChangedToTelecom) {
    const struct {
        CarrierFilter filter;
        std::vector<std::string> expected;
    } cases[] = {
        {CarrierFilter::All,
         {"1349000****", "1380000****", "1300001****", "1330000****", "1899999****", "1399999****",
          "1399999****"}},
        {CarrierFilter::Mobile, {"1380000****", "1399999****", "1399999****"}},
        {CarrierFilter::Unicom, {"1300001****"}},  // 130 listed, 139 not
        {CarrierFilter::Telecom, {"1349000****", "1330000****", "1899999****"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CitySegmentEntries(db, G(" 北京 "), c.filter), c.expected);
    EXPECT_EQ(CitySegmentEntries(db, G("无此城市"), CarrierFilter::All),
              std::vector<std::string>());
    // The segments without a place belong to no city, a blank name included.
    EXPECT_EQ(CitySegmentEntries(db, " ", CarrierFilter::All), std::vector<std::string>());
    EXPECT_EQ(CitySegmentEntries(db, G("北京' OR '1'='1"), CarrierFilter::All),
              std::vector<std::string>());
    // China Broadnet's segments are listed under "所有号码" and no carrier option.
    std::vector<SegmentFixtureRow> rows = SmallSegmentRows();
    rows.push_back({"1920000", "北京", "北京", "中国广电", "010"});
    ASSERT_TRUE(WriteSegmentDatabase(folder.file("broadnet.dat"), rows));
    SegmentDatabase withBroadnet;
    ASSERT_TRUE(withBroadnet.open(folder.file("broadnet.dat")));
    EXPECT_EQ(CitySegmentEntries(withBroadnet, G("北京"), CarrierFilter::All)->back(),
              "1920000****");
    for (CarrierFilter f : {CarrierFilter::Mobile, CarrierFilter::Unicom, CarrierFilter::Telecom})
        EXPECT_EQ(CitySegmentEntries(withBroadnet, G("北京"), f),
                  CitySegmentEntries(db, G("北京"), f));
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

// The files made at build time from the committed libphonenumber table, read where the build
// put them. 1349 was the satellite block without a carrier; the data now names 中国电信.
TEST(GeneratedSegmentData, KnownSegmentsWith1349ChangedToChinaTelecomAndEveryCityListed) {
    const std::string dir = BuiltDataDir();
    ASSERT_FALSE(dir.empty()) << "SMSC_BIN_DIR is not set";
    SegmentDatabase db;
    ASSERT_TRUE(db.open(dir + "sjhmd.dat"));
    const struct {
        LookupAnswer (*lookup)(SegmentDatabase&, const std::string&);
        const char* field;
        const char* expected;
    } cases[] = {
        {LookupNumber, "13800000000", "北京|北京|中国移动|010"},
        {LookupNumber, "13912345678", "江苏|常州|中国移动|0519"},
        // A carrier but no place.
        {LookupNumber, "19912345678", "归属地未知||中国电信|"},
        {LookupNumber, "19812345678", "归属地未知||中国移动|"},
        {LookupNumber, "16512345678", "归属地未知||中国移动|"},
        {LookupNumber, "16212345678", "归属地未知||中国电信|"},
        {LookupNumber, "19212345678", "归属地未知||中国广电|"},
        {LookupNumber, "13490001234", "北京|北京|中国电信|010"},
        {LookupNumber, "16100001234", kNumberNotFound},  // neither place nor carrier
        {LookupAreaCode, "0519", "江苏|常州||0519"},
        // The city the fixed-line data names first for its code comes first.
        {LookupAreaCode, "028", "四川|成都||028"},
        {LookupAreaCode, "0551", "安徽|合肥||0551"},
        {LookupAreaCode, "0731", "湖南|长沙||0731"},
        {LookupAreaCode, "0710", "湖北|襄阳||0710"},  // once 襄樊
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(c.lookup(db, c.field)), c.expected) << c.field;

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
    sqlite3_prepare_v2(raw, "SELECT DISTINCT 城市, 区号 FROM hd WHERE 城市 <> ''", -1, &query,
                       nullptr);
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
    for (const char* old : {"襄樊", "巢湖", "株州"})
        EXPECT_EQ(cities.count(old), 0u) << old;
}

// Every stored segment is a number the rules accept and find, listed under the carrier its
// card type names, so a city's carrier counts and its other segments add up to its total.
TEST(GeneratedSegmentData, EveryRowFollowsTheNumberRulesAndItsCarrier) {
    const std::string dir = BuiltDataDir();
    ASSERT_FALSE(dir.empty()) << "SMSC_BIN_DIR is not set";
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2((dir + "sjhmd.dat").c_str(), &raw, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(raw, "SELECT 号段, 省份, 城市, 卡型, 区号 FROM hd ORDER BY rowid", -1,
                       &query, nullptr);
    const std::map<std::string, std::string> carrierOf = {
        {"中国移动", "M"}, {"中国联通", "U"}, {"中国电信", "T"}, {"中国广电", "B"}};
    std::set<std::string> prefixes;
    std::string text;
    size_t rows = 0, placeless = 0, wrong = 0;
    while (sqlite3_step(query) == SQLITE_ROW) {
        std::string column[5];
        for (int i = 0; i < 5; ++i)
            column[i] = reinterpret_cast<const char*>(sqlite3_column_text(query, i));
        const std::string& segment = column[0];
        ++rows;
        prefixes.insert(segment.substr(0, 3));
        text += segment + "0000 ";
        const auto carrier = carrierOf.find(column[3]);
        const std::string expected = carrier == carrierOf.end() ? "" : carrier->second;
        const std::string matched = std::string(IsSegmentChinaMobile(segment) ? "M" : "") +
                                    (IsSegmentChinaUnicom(segment) ? "U" : "") +
                                    (IsSegmentChinaTelecom(segment) ? "T" : "") +
                                    (IsSegmentChinaBroadnet(segment) ? "B" : "");
        if (column[2].empty()) {
            ++placeless;
            wrong += !column[1].empty() || !column[4].empty() || column[3].empty();
        }
        if (matched != expected || !IsMobileNumber(segment + "0000")) {
            if (++wrong <= 5)
                ADD_FAILURE() << segment << " " << column[3] << " matched " << matched;
        }
    }
    sqlite3_finalize(query);
    sqlite3_close(raw);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(ExtractMobileNumbers(text).size(), rows);
    EXPECT_GT(placeless, 0u);
    // Every mobile prefix but 161, whose block 1610 has neither place nor carrier.
    std::string stored;
    for (const std::string& p : prefixes)
        stored += (stored.empty() ? "" : " ") + p;
    EXPECT_EQ(
        stored,
        "130 131 132 133 134 135 136 137 138 139 145 147 150 151 152 153 155 156 157 158 "
        "159 162 165 166 167 170 171 172 173 174 175 176 177 178 180 181 182 183 184 185 186 187 "
        "188 189 190 191 192 193 195 196 197 198 199");

    SegmentDatabase db;
    ASSERT_TRUE(db.open(dir + "sjhmd.dat"));
    for (const char* city : {"北京", "上海", "成都", "合肥"}) {
        const auto all = CitySegmentEntries(db, G(city), CarrierFilter::All);
        ASSERT_TRUE(all);
        size_t carriers = 0;
        for (CarrierFilter f :
             {CarrierFilter::Mobile, CarrierFilter::Unicom, CarrierFilter::Telecom})
            carriers += CitySegmentEntries(db, G(city), f)->size();
        size_t others = 0;
        for (const std::string& entry : *all) {
            const auto row = db.rowsOfSegment(entry.substr(0, 7), 1);
            others += carrierOf.count(GbkToUtf8(row->front().cardType)) == 0;
        }
        EXPECT_EQ(carriers + others, all->size()) << city;
        EXPECT_GT(carriers, 1000u) << city;
    }
    const auto telecom = CitySegmentEntries(db, G("北京"), CarrierFilter::Telecom);
    EXPECT_NE(std::find(telecom->begin(), telecom->end(), "1810000****"), telecom->end());
}

// The versions the committed table records are the ones the README and the about page name.
TEST(GeneratedSegmentData, ReadmeAndAboutPageNameTheDataVersion) {
    const std::string data = SMSC_SOURCE_DATA_DIR;
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    std::istringstream table(read(data + "/../tools/make-segments/libphonenumber-cn.txt"));
    const std::string readme = read(data + "/../README.md");
    const std::string about = read(data + "/index.html");
    std::vector<std::string> sources;
    for (std::string line; std::getline(table, line) && sources.size() < 3;)
        if (line.rfind("source ", 0) == 0)
            sources.push_back(line.substr(7));
    ASSERT_EQ(sources.size(), 2u);
    for (const std::string& source : sources) {
        EXPECT_NE(readme.find(source), std::string::npos) << source;
        EXPECT_NE(about.find(source), std::string::npos) << source;
    }
}

}  // namespace
