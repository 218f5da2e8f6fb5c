#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/Gbk.h"
#include "recipients/PhoneRules.h"
#include "platform/TextHelpers.h"

using namespace smsc;
using Items = std::vector<std::string>;

namespace {

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    return s.substr(b, e - b);
}

// The extractor step by step as the rule describes it: search from the start, take the
// match, cut every occurrence of it out of the text, search again.
Items literalExtract(std::string work) {
    static const std::regex pattern(
        "1((3[0-9]|4[357]|5[012356789]|6[2567]|7[0-35-8]|8[0-9]|9[012356789])[0-9]{8}|"
        "(610[0-9]|740[0-5])[0-9]{6})");
    Items result;
    std::smatch m;
    while (std::regex_search(work, m, pattern)) {
        const std::string number = m.str();
        if (!trimmed(StripLineBreaks(number)).empty())
            result.push_back(number);
        for (size_t at = work.find(number); at != std::string::npos; at = work.find(number))
            work.erase(at, number.size());
    }
    return result;
}

// The line splitter step by step as the rule describes it, duplicate filter included.
Items literalSplitLines(const std::string& text, const std::string& sep) {
    Items result;
    if (text.empty())
        return result;
    std::string rest = text;
    for (size_t at = rest.find(sep); at != std::string::npos; at = rest.find(sep)) {
        const std::string piece = rest.substr(0, at);
        if (!trimmed(StripLineBreaks(piece)).empty())
            result.push_back(piece);
        rest.erase(0, at + sep.size());
        while (!piece.empty()) {
            const size_t dup = rest.find(piece);
            if (dup == std::string::npos)
                break;
            rest.erase(dup, piece.size());
        }
    }
    result.push_back(rest);
    return result;
}

// 'M', 'U', 'T' or 'B' for the one carrier rule a segment matches, "" for none, the letters
// of every matching rule when several do.
std::string carrierLetters(const std::string& segment) {
    return std::string(IsSegmentChinaMobile(segment) ? "M" : "") +
           (IsSegmentChinaUnicom(segment) ? "U" : "") +
           (IsSegmentChinaTelecom(segment) ? "T" : "") +
           (IsSegmentChinaBroadnet(segment) ? "B" : "");
}

std::string number(std::mt19937& rng, const std::string& prefix) {
    std::string s = prefix;
    while (s.size() < 11)
        s += static_cast<char>('0' + rng() % 10);
    return s;
}

}  // namespace

// Today's numbering plan, as the phone-number data counts mobile numbers, added to the old
// one: every prefix 130 to 199, whether the checker accepts it, whether the extractor finds
// it, and the carrier of its segments as the carrier data names it ('M' China Mobile, 'U'
// China Unicom, 'T' China Telecom, 'B' China Broadnet, '-' none), one letter for the prefix
// or one per fourth digit.
TEST(PhoneRules, TodaysNumberingPlanAndCarriersPrefixByPrefix) {
    const struct {
        int prefix;
        bool checker, extractor;
        const char* carriers;
    } table[] = {
        // clang-format off
        {130, true , true , "U"},
        {131, true , true , "U"},
        {132, true , true , "U"},
        {133, true , true , "T"},
        {134, true , true , "MMMMMMMMMT"},         // 1349: the satellite block
        {135, true , true , "M"},
        {136, true , true , "M"},
        {137, true , true , "M"},
        {138, true , true , "M"},
        {139, true , true , "M"},
        {140, true , false, "-"},                  // unallocated; the old checker's
        {141, false, false, "T---------"},         // 1410: data only
        {142, false, false, "-"},
        {143, false, true , "-"},                  // unallocated; the old extractor's
        {144, false, false, "M---------"},         // 1440: data only
        {145, true , true , "U"},
        {146, false, false, "U"},                  // data only
        {147, true , true , "M"},
        {148, false, false, "M"},                  // data only
        {149, false, false, "T"},                  // data only
        {150, true , true , "M"},
        {151, true , true , "M"},
        {152, true , true , "M"},
        {153, true , true , "T"},
        {154, false, false, "M"},                  // unallocated; the old China Mobile rule's
        {155, true , true , "U"},
        {156, true , true , "U"},
        {157, true , true , "M"},
        {158, true , true , "M"},
        {159, true , true , "M"},
        {160, false, false, "-"},
        {161, true , true , "-"},                  // only 1610, no carrier in the data
        {162, true , true , "T"},
        {163, false, false, "-"},
        {164, false, false, "-"},
        {165, true , true , "M"},
        {166, true , true , "U"},
        {167, true , true , "U"},
        {168, false, false, "-"},
        {169, false, false, "-"},
        {170, true , true , "TTTMUMMUUU"},
        {171, true , true , "U"},
        {172, true , true , "M"},
        {173, true , true , "T"},
        {174, true , true , "T---------"},         // only 17400 to 17405
        {175, true , true , "U"},
        {176, true , true , "U"},
        {177, true , true , "T"},
        {178, true , true , "M"},
        {179, false, false, "-"},
        {180, true , true , "T"},
        {181, true , true , "T"},
        {182, true , true , "M"},
        {183, true , true , "M"},
        {184, true , true , "M"},
        {185, true , true , "U"},
        {186, true , true , "U"},
        {187, true , true , "M"},
        {188, true , true , "M"},
        {189, true , true , "T"},
        {190, true , true , "T"},
        {191, true , true , "T"},
        {192, true , true , "B"},
        {193, true , true , "T"},
        {194, false, false, "-"},
        {195, true , true , "M"},
        {196, true , true , "U"},
        {197, true , true , "M"},
        {198, true , true , "M"},                  // once China Telecom's in the data
        {199, true , true , "T"},
        // clang-format on
    };
    ASSERT_EQ(std::size(table), 70u);
    for (size_t i = 0; i < std::size(table); ++i) {
        const auto& row = table[i];
        ASSERT_EQ(row.prefix, 130 + static_cast<int>(i));
        const std::string prefix = std::to_string(row.prefix);
        SCOPED_TRACE(prefix);
        // The fourth digit 0 and fifth 0 or 5 keep 161's and 174's numbers in their blocks.
        for (const char* rest : {"00000000", "05999999", "05123456"}) {
            const std::string number = prefix + rest;
            EXPECT_EQ(IsMobileNumber(number), row.checker) << number;
            EXPECT_EQ(ExtractMobileNumbers("x" + number + "x"),
                      row.extractor ? Items{number} : Items{})
                << number;
        }
        const std::string carriers = row.carriers;
        for (char fourth = '0'; fourth <= '9'; ++fourth) {
            const char expected = carriers.size() == 1 ? carriers[0] : carriers[fourth - '0'];
            for (const char* rest : {"000", "599"}) {
                const std::string segment = prefix + fourth + rest;
                EXPECT_EQ(carrierLetters(segment), expected == '-' ? "" : std::string(1, expected))
                    << segment;
            }
        }
    }
    // 174 holds only 17400 to 17405, 161 only 1610.
    for (const std::string number :
         {"17406000000", "17410000000", "17499999999", "16110000000", "16190000000"}) {
        EXPECT_FALSE(IsMobileNumber(number));
        EXPECT_EQ(ExtractMobileNumbers(number), Items{});
        EXPECT_FALSE(IsSegmentChinaTelecom(number.substr(0, 7)));
    }
}

// The carrier rules as first written knew 134-139, 147, 150-152, 154, 157-159, 182, 187, 188
// (China Mobile), 130-132, 155, 156, 185, 186 (China Unicom) and 133, 153, 180, 189 (China
// Telecom). Of those, the carrier data today moves one block: 1349, the satellite block, is
// China Telecom's; every other segment stays with its carrier.
TEST(PhoneRules, DeliberateChangeOfOneOldCarrierBlock1349IsChinaTelecom) {
    const std::regex oldMobile("1(3[4-9]|4[7]|5[0,1,2,4,7,8,9]|8[2,7,8])[0-9]{4}");
    const std::regex oldUnicom("1(3[0,1,2]|5[5,6]|8[5,6])[0-9]{4}");
    const std::regex oldTelecom("1(3[3]|5[3]|8[0,9])[0-9]{4}");
    std::set<std::string> moved;
    for (int block = 1300; block <= 1999; ++block) {
        const std::string segment = std::to_string(block) + "123";
        const std::string old = std::regex_match(segment, oldMobile)    ? "M"
                                : std::regex_match(segment, oldUnicom)  ? "U"
                                : std::regex_match(segment, oldTelecom) ? "T"
                                                                        : "";
        if (!old.empty() && carrierLetters(segment) != old)
            moved.insert(std::to_string(block) + " " + old + "->" + carrierLetters(segment));
    }
    EXPECT_EQ(moved, std::set<std::string>{"1349 M->T"});
}

TEST(PhoneRules, MobileNumberChecker) {
    EXPECT_TRUE(IsMobileNumber("13812345678"));
    EXPECT_FALSE(IsMobileNumber("1381234567"));
    EXPECT_FALSE(IsMobileNumber("138123456789"));
    EXPECT_FALSE(IsMobileNumber("138 2345678"));
    EXPECT_FALSE(IsMobileNumber(" 13812345678"));
    EXPECT_FALSE(IsMobileNumber(""));
    EXPECT_FALSE(IsMobileNumber(G("１３８１２３４５６７８")));
    // A comma is not a digit.
    EXPECT_FALSE(IsMobileNumber("14,12345678"));
    EXPECT_FALSE(IsMobileNumber("15,12345678"));
    EXPECT_FALSE(IsMobileNumber("18,12345678"));
}

TEST(PhoneRules, DigitsAndSegments) {
    EXPECT_TRUE(IsDigits1To12("5"));
    EXPECT_TRUE(IsDigits1To12("123456789012"));
    EXPECT_FALSE(IsDigits1To12(""));
    EXPECT_FALSE(IsDigits1To12("1234567890123"));
    EXPECT_FALSE(IsDigits1To12("12 34"));
    EXPECT_FALSE(IsDigits1To12("12a"));

    EXPECT_TRUE(IsSegmentChinaMobile("1391234"));
    EXPECT_FALSE(IsSegmentChinaMobile("1301234"));
    EXPECT_TRUE(IsSegmentChinaUnicom("1301234"));
    EXPECT_TRUE(IsSegmentChinaTelecom("1531234"));
    EXPECT_TRUE(IsSegmentChinaTelecom("1891234"));
    for (auto rule : {IsSegmentChinaMobile, IsSegmentChinaUnicom, IsSegmentChinaTelecom,
                      IsSegmentChinaBroadnet}) {
        EXPECT_FALSE(rule("13912345678"));
        EXPECT_FALSE(rule("13012345678"));
        EXPECT_FALSE(rule("18912345678"));
        EXPECT_FALSE(rule(""));
    }
    EXPECT_FALSE(IsSegmentChinaMobile("15,1234"));
    EXPECT_FALSE(IsSegmentChinaMobile("18,1234"));
    EXPECT_FALSE(IsSegmentChinaUnicom("13,1234"));
    EXPECT_FALSE(IsSegmentChinaTelecom("18,1234"));
}

TEST(PhoneRules, ExtractorFindsNumbersInText) {
    EXPECT_TRUE(ExtractMobileNumbers("").empty());
    EXPECT_TRUE(ExtractMobileNumbers(G("没有号码 12345")).empty());
    EXPECT_EQ(ExtractMobileNumbers("13812345678,13812345678;13912345678"),
              (Items{"13812345678", "13912345678"}));
    EXPECT_EQ(ExtractMobileNumbers("138123456789"), Items{"13812345678"});
    EXPECT_EQ(ExtractMobileNumbers(G("张三") + "13812345678" + G("李四") + "\r\n15912345678"),
              (Items{"13812345678", "15912345678"}));
    // Two numbers written together are both found.
    EXPECT_EQ(ExtractMobileNumbers("1381234567813912345678"),
              (Items{"13812345678", "13912345678"}));
    // The 14x block differs from the checker: 143 is found, 140 is not.
    EXPECT_EQ(ExtractMobileNumbers("14312345678 14012345678 14712345678"),
              (Items{"14312345678", "14712345678"}));
    // Old and new prefixes mixed, in the order of the text; 194 and 17406 are not numbers.
    EXPECT_EQ(ExtractMobileNumbers(G("客户：13812345678，19912345678；张三17400123456\r\n") +
                                   "19412345678 17406123456 14512345678/16612345678 " +
                                   "19912345678 18112345678,13012345678\t19212345678"),
              (Items{"13812345678", "19912345678", "17400123456", "14512345678", "16612345678",
                     "18112345678", "13012345678", "19212345678"}));
    EXPECT_FALSE(IsMobileNumber("14312345678"));
    EXPECT_TRUE(IsMobileNumber("14012345678"));
}

TEST(PhoneRules, ExtractorMendedFaults) {
    // A comma inside the digits is not part of a number.
    EXPECT_EQ(ExtractMobileNumbers(G("张三") + ",15,13812345678"), Items{"13812345678"});
    EXPECT_EQ(ExtractMobileNumbers("14,12345678"), Items{});
    // Cutting a found number out would join "1" and "3500001111" into a number that is
    // not in the text.
    EXPECT_EQ(ExtractMobileNumbers("x1189123456783500001111"), Items{"18912345678"});
    EXPECT_EQ(ExtractMobileNumbers("18912345678 1189123456783500001111"), Items{"18912345678"});
}

TEST(PhoneRules, ExtractorMatchesTheCutAndSearchSteps) {
    std::mt19937 rng(2024);
    const std::vector<std::string> separators = {",",
                                                 ";",
                                                 " ",
                                                 "\r\n",
                                                 "\t",
                                                 "-",
                                                 "#",
                                                 "a",
                                                 G("张三"),
                                                 G("（"),
                                                 G("，"),
                                                 "\xB0",
                                                 "\x81"
                                                 "@"};
    for (int round = 0; round < 400; ++round) {
        std::vector<std::string> pool;
        for (const char* prefix : {"138", "139", "143", "147", "150", "189", "140", "141", "154",
                                   "120", "199", "1740", "1741", "194", "166"})
            pool.push_back(number(rng, prefix));
        std::string text = separators[rng() % separators.size()];
        const int tokens = static_cast<int>(rng() % 30);
        for (int i = 0; i < tokens; ++i) {
            std::string token;
            switch (rng() % 6) {
                case 0:
                    token = pool[rng() % pool.size()] + static_cast<char>('0' + rng() % 10);
                    break;
                case 1:
                    token = static_cast<char>('0' + rng() % 10) + pool[rng() % pool.size()];
                    break;
                case 2:
                    token = number(rng, "1").substr(0, 1 + rng() % 10);
                    break;
                default:
                    token = pool[rng() % pool.size()];
            }
            text += token + separators[rng() % separators.size()];
        }
        ASSERT_EQ(ExtractMobileNumbers(text), literalExtract(text)) << "round " << round;
    }
}

TEST(PhoneRules, SplitLinesUniqueShape) {
    EXPECT_TRUE(SplitLinesUnique("", "\r").empty());
    EXPECT_EQ(SplitLinesUnique("13812345678", "\r"), Items{"13812345678"});
    const std::string a = "13812345678", b = "13912345678";
    EXPECT_EQ(SplitLinesUnique(a + "\r\n" + b + "\r\n" + a + "\r\n", "\r"),
              (Items{a, "\n" + b, ""}));
    // Blank pieces are skipped; the last element is there even when empty or blank.
    EXPECT_EQ(SplitLinesUnique("\r\r \r" + a + "\r", "\r"), (Items{a, ""}));
    EXPECT_EQ(SplitLinesUnique(a + "\r\n  \r\n", "\r"), (Items{a, ""}));
    EXPECT_EQ(SplitLinesUnique(a + "\r\n" + b, "\r"), (Items{a, "\n" + b}));
    // Blanks and line breaks around a line do not make it different; a repeated last line
    // leaves an empty last element.
    EXPECT_EQ(SplitLinesUnique(a + "\r\n " + a + " \r\n" + b + "\r\n" + b, "\r"),
              (Items{a, "\n" + b, ""}));
    EXPECT_EQ(SplitLinesUnique("abc", ""), Items{"abc"});
}

TEST(PhoneRules, SplitLinesUniqueComparesWholeLines) {
    // A short line used to cut its text out of every later line containing it.
    EXPECT_EQ(SplitLinesUnique("138\r\n13812345678\r\n13912345678\r\n", "\r"),
              (Items{"138", "\n13812345678", "\n13912345678", ""}));
    EXPECT_EQ(SplitLinesUnique("1\r2\r12\r21\r1", "\r"), (Items{"1", "2", "12", "21", ""}));
    const std::string a = "13812345678";
    EXPECT_EQ(SplitLinesUnique(a + "\r" + a + "9\r" + a, "\r"), (Items{a, a + "9", ""}));
}

TEST(PhoneRules, SplitLinesUniqueImportCap) {
    // 30000 numbers with a line break after the last one: 30000 lines and the empty last
    // element, the candidates the text-file import counts against its cap.
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += std::to_string(13800000000LL + i) + "\r\n";
    const Items lines = SplitLinesUnique(text, "\r");
    ASSERT_EQ(lines.size(), 30001u);
    EXPECT_EQ(lines[0], "13800000000");
    EXPECT_EQ(lines[29999], "\n13800029999");
    EXPECT_EQ(lines[30000], "");
    EXPECT_EQ(SplitLinesUnique(text + text, "\r").size(), 30001u);
}

TEST(PhoneRules, SplitLinesUniqueMatchesTheStepsOnDistinctLines) {
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        std::set<std::string> used;
        std::string text;
        const bool crlf = rng() % 2;
        const int lines = static_cast<int>(rng() % 40);
        for (int i = 0; i < lines; ++i) {
            std::string line;
            do {
                line = number(rng, "13");
            } while (!used.insert(line).second);
            if (!crlf && rng() % 5 == 0)
                text += "\r";  // an empty piece
            text += line;
            if (i + 1 < lines || rng() % 2)
                text += crlf ? "\r\n" : "\r";
        }
        const Items expected = literalSplitLines(text, "\r");
        const Items actual = SplitLinesUnique(text, "\r");
        ASSERT_EQ(actual.size(), expected.size()) << "round " << round;
        if (expected.empty())
            continue;
        for (size_t i = 0; i + 1 < expected.size(); ++i)
            ASSERT_EQ(actual[i], expected[i]);
        // The last element alone is emptied when blank.
        const std::string& last = expected.back();
        ASSERT_EQ(actual.back(), trimmed(StripLineBreaks(last)).empty() ? "" : last);
    }
}

TEST(PhoneRules, RulesFromManyThreads) {
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += std::to_string(15000000000LL + i * 7) + ";";
    const Items expected = ExtractMobileNumbers(text);
    ASSERT_EQ(expected.size(), 2000u);
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            bool all = true;
            for (int round = 0; round < 20; ++round) {
                all = all && ExtractMobileNumbers(text) == expected &&
                      IsMobileNumber("15000000007") && !IsMobileNumber("1500000000");
            }
            ok[static_cast<size_t>(t)] = all;
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}
