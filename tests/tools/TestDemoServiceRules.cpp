// The demo service's reading of requests: form bodies, number strings, text lengths,
// forbidden words, dates, MMS types, the notice and the command line.
#include "platform/Gbk.h"
#include "tools/demo-service/DemoCommandLine.h"
#include "tools/demo-service/DemoPages.h"
#include "tools/demo-service/DemoService.h"

#include <gtest/gtest.h>

using namespace smsc;
using namespace smsc::demo;

TEST(DemoFormBody, ValuesAreTakenLiterally) {
    std::string user = G("用户");
    FormFields f = ParseFormBody("username=" + user + "&password=a+b%20c=d e");
    EXPECT_EQ(f["username"], user);
    EXPECT_EQ(f["password"], "a+b%20c=d e");  // no decoding; split at the first "=" only
}

TEST(DemoFormBody, AmpersandsCutValuesAndFirstNameWins) {
    // A line break in a value reaches the service as "&", and the body ends in "&".
    FormFields f = ParseFormBody("username=a&b&password=x&username=zz&&");
    EXPECT_EQ(f.size(), 2u);
    EXPECT_EQ(f["username"], "a");
    EXPECT_EQ(f["password"], "x");
    EXPECT_TRUE(ParseFormBody("").empty());
}

TEST(DemoNumbers, SplitAtBarAndStar) {
    EXPECT_EQ(SplitNumberString("13912345678|13800000000*13812345678|"),
              (std::vector<std::string>{"13912345678", "13800000000", "13812345678"}));
    EXPECT_EQ(SplitNumberString("||  |1| 2 *"), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(SplitNumberString("").empty());
}

TEST(DemoNumbers, SplittingStopsJustPastTheLimit) {
    // Code 8 needs only to know there are more than 30000: a huge field must not cost one
    // string per piece.
    std::string many;
    for (int i = 0; i < 40000; ++i)
        many += "1|";
    EXPECT_EQ(SplitNumberString(many).size(), kMaxNumbers + 1);
    EXPECT_EQ(SplitNumberString("1|2*3|4|", 2), (std::vector<std::string>{"1", "2"}));
}

TEST(DemoNumbers, OneToTwelveDigits) {
    EXPECT_TRUE(IsAcceptedNumber("1"));
    EXPECT_TRUE(IsAcceptedNumber("123456789012"));
    EXPECT_FALSE(IsAcceptedNumber("1234567890123"));
    EXPECT_FALSE(IsAcceptedNumber(""));
    EXPECT_FALSE(IsAcceptedNumber("1391234567a"));
    EXPECT_FALSE(IsAcceptedNumber("139 1234"));
}

TEST(DemoText, LengthCountsCharactersWithoutLineBreaks) {
    EXPECT_EQ(MessageLength(G("ab\r\ncd")), 4);
    EXPECT_EQ(MessageLength(G("短信ab")), 4);
    EXPECT_EQ(MessageLength("\r\n"), 0);
    EXPECT_EQ(MessageLength("   "), 3);
}

TEST(DemoText, ForbiddenWordsMatchOnCharacterBoundaries) {
    std::vector<std::string> words{G("赌博"), "@", "\xD0\xCE"};  // D0 CE is "形"
    EXPECT_EQ(FindForbiddenWord(G("欢迎来赌博"), words), G("赌博"));
    EXPECT_EQ(FindForbiddenWord(G("图形"), words), std::string("\xD0\xCE"));
    // "中文" is D6 D0 CE C4 and "丂" is 81 40: byte-wise both would hit a word.
    EXPECT_FALSE(FindForbiddenWord(G("中文"), words));
    EXPECT_FALSE(FindForbiddenWord(G("丂"), words));
    EXPECT_EQ(FindForbiddenWord("a@b", words), "@");
}

TEST(DemoDates, YearFirstAndMonthNamesReadAlikeInEveryOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"2024-01-05", "2024-01-05"},
        {"2024/1/5", "2024-01-05"},  // zh_CN
        {"2024.1.5", "2024-01-05"},
        {"2024. 01. 05.", "2024-01-05"},  // hu_HU
        {"2024年1月5日", "2024-01-05"},
        {"24年1月5日", "2024-01-05"},
        {" 2024-02-29 0:00:00", "2024-02-29"},
        {"5 Jan 2024", "2024-01-05"},  // the C locale's short format
        {"25 Dec 2024 10:00", "2024-12-25"},
        {"Jan 5, 2024", "2024-01-05"},
        {"sept. 30, 2024", "2024-09-30"},
        {"05-JAN-24", "2024-01-05"},
        {"5 January 2024", "2024-01-05"},
        {"2024 Jan 5", "2024-01-05"},
    };
    for (DateOrder order : {DateOrder::Dmy, DateOrder::Mdy, DateOrder::Ymd})
        for (const auto& [in, out] : cases)
            EXPECT_EQ(ParseServiceDate(G(in), order), out) << in << " " << DateOrderName(order);
}

TEST(DemoDates, AllNumberDatesFollowTheHostsOrder) {
    struct Case {
        const char* text;
        const char* dmy;
        const char* mdy;
        const char* ymd;
    };
    const Case cases[] = {
        {"05/01/24", "2024-01-05", "2024-05-01", "2005-01-24"},
        {"05.01.2024", "2024-01-05", "2024-05-01", "2024-01-05"},
        {"1-5-2024", "2024-05-01", "2024-01-05", "2024-05-01"},
        {"24. 1. 5.", "", "", "2024-01-05"},  // ko_KR: yy. M. d.; no one-digit years
        {"5. 1. 2024", "2024-01-05", "2024-05-01", "2024-01-05"},     // sk_SK
        {"05. 01. 2024.", "2024-01-05", "2024-05-01", "2024-01-05"},  // hr_HR
        // No date in the host's order: day and month swapped.
        {"25/12/2024", "2024-12-25", "2024-12-25", "2024-12-25"},
        {"12/25/24", "2024-12-25", "2024-12-25", ""},
    };
    for (const Case& c : cases) {
        auto expect = [&c](DateOrder order, const char* out) {
            auto date = ParseServiceDate(c.text, order);
            if (*out)
                EXPECT_EQ(date, out) << c.text << " " << DateOrderName(order);
            else
                EXPECT_FALSE(date) << c.text << " " << DateOrderName(order) << " " << *date;
        };
        expect(DateOrder::Dmy, c.dmy);
        expect(DateOrder::Mdy, c.mdy);
        expect(DateOrder::Ymd, c.ymd);
    }
}

TEST(DemoDates, UnreadableDates) {
    for (DateOrder order : {DateOrder::Dmy, DateOrder::Mdy, DateOrder::Ymd})
        for (const char* bad :
             {"", "2023-02-29", "2024-13-01", "2024-1", "2024-01-05-1", "2024-01-05x", "abc",
              "13/13/2024", "1/5/124", "1/5/5", "5 Jan", "Foo 5, 2024", "5 Jan Feb", "Jan5 2024",
              "2024--01-05", "31 Feb 2024", "0/0/2024"})
            EXPECT_FALSE(ParseServiceDate(bad, order)) << bad << " " << DateOrderName(order);
}

TEST(DemoDates, OrderOfTheHostsDateFormat) {
    EXPECT_EQ(DateOrderFromFormat("%d.%m.%Y"), DateOrder::Dmy);  // de_DE
    EXPECT_EQ(DateOrderFromFormat("%d/%m/%y"), DateOrder::Dmy);  // en_GB
    EXPECT_EQ(DateOrderFromFormat("%e/%m/%Ey"), DateOrder::Dmy);
    EXPECT_EQ(DateOrderFromFormat("%d %b %Y"), DateOrder::Dmy);
    EXPECT_EQ(DateOrderFromFormat("%m/%d/%y"), DateOrder::Mdy);  // C, en_US
    EXPECT_EQ(DateOrderFromFormat("%D"), DateOrder::Mdy);
    EXPECT_EQ(DateOrderFromFormat("%Y年%m月%d日"), DateOrder::Ymd);  // zh_CN
    EXPECT_EQ(DateOrderFromFormat("%Y-%m-%d"), DateOrder::Ymd);
    EXPECT_EQ(DateOrderFromFormat("%F"), DateOrder::Ymd);
    EXPECT_EQ(DateOrderFromFormat("%y. %m. %d."), DateOrder::Ymd);
    EXPECT_FALSE(DateOrderFromFormat("%x"));
    EXPECT_FALSE(DateOrderFromFormat("%d.%m"));
    EXPECT_FALSE(DateOrderFromFormat(""));
    EXPECT_FALSE(DateOrderFromFormat("%"));

    EXPECT_EQ(DateOrderNamed("ymd"), DateOrder::Ymd);
    EXPECT_EQ(DateOrderNamed(DateOrderName(DateOrder::Mdy)), DateOrder::Mdy);
    EXPECT_FALSE(DateOrderNamed("DMY"));
}

TEST(DemoMms, TypeByExtension) {
    EXPECT_EQ(MmsExtension(G("C:\\彩信\\贺卡.EMM")), "emm");
    EXPECT_EQ(MmsExtension("D:/a/b.3gp"), "3gp");
    EXPECT_FALSE(MmsExtension("C:\\a.jpg\\card"));  // the dot is in a folder name
    EXPECT_FALSE(MmsExtension("C:\\card.exe"));
    EXPECT_FALSE(MmsExtension("card"));
}

TEST(DemoNotice, CostAndBuiltInLayout) {
    EXPECT_EQ(MmsCostFromNotice("Version=7\r\n mmstosms = 8 \r\nNotice=x"), 8);
    EXPECT_EQ(MmsCostFromNotice("Version=7\r\nNotice=x"), kDefaultMmsCost);
    EXPECT_EQ(MmsCostFromNotice("mmstosms=abc"), kDefaultMmsCost);

    // The client reads the notice from the fourth line.
    std::string notice = BuiltInNotice();
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < notice.size(); start = end + 2) {
        end = notice.find("\r\n", start);
        lines.push_back(notice.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Version=6.8");
    EXPECT_EQ(lines[3].rfind("Notice=", 0), 0u);
    EXPECT_EQ(MmsCostFromNotice(notice), 5);
}

TEST(DemoNotice, WarningsForAFileTheClientMisreads) {
    EXPECT_TRUE(NoticeFileWarnings(BuiltInNotice()).empty());
    // The client trims the body and counts CR LF as one line end.
    EXPECT_TRUE(NoticeFileWarnings("\r\nVersion=7\nmmstosms=5\r\n\r\nNotice=x\r\n").empty());

    auto warnings = NoticeFileWarnings("Version=7\r\nmmstosms=5\r\nx=y\r\nTitle=t\r\n");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("line 4"), std::string::npos) << warnings[0];
    EXPECT_EQ(NoticeFileWarnings("Version=7\r\nNotice=x").size(), 1u);  // 2 lines

    warnings = NoticeFileWarnings("Version=7\r\na=b\r\nc=d\r\nNotice=\xFF\xFF");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("GBK"), std::string::npos) << warnings[0];
}

TEST(DemoCommandLine, ForbiddenWordsTheAnswerCannotCarry) {
    EXPECT_EQ(ForbiddenWordsProblem(kDefaultForbiddenWords), "");
    EXPECT_EQ(ForbiddenWordsProblem(" 促销 ，, SPAM"), "");
    EXPECT_EQ(ForbiddenWordsProblem("丂"), "");  // 81 40: a trail byte "@" is harmless
    // 東 is 96 7C and 億 is 83 7C in GBK: "9|東" would reach the user as "9", "\x96", "".
    for (const char* bad : {"東", "促销,億元", "a|b", "笑脸😀"}) {
        std::string problem = ForbiddenWordsProblem(bad);
        EXPECT_NE(problem, "") << bad;
        std::string error;
        EXPECT_FALSE(ParseCommandLine({"--forbidden-words", bad}, &error)) << bad;
        EXPECT_EQ(error, problem);
    }
}

TEST(DemoCommandLine, OptionsAndWords) {
    std::string error;
    auto cl = ParseCommandLine({}, &error);
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->port, 18068);
    EXPECT_TRUE(cl->dataDir.empty());

    cl = ParseCommandLine({"--port", "0", "--data-dir", "/x", "--forbidden-words", "a"}, &error);
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->port, 0);
    EXPECT_EQ(cl->dataDir, "/x");
    EXPECT_FALSE(cl->dateOrder);  // the host's, read by the program
    cl = ParseCommandLine({"--date-order", "ymd"}, &error);
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->dateOrder, DateOrder::Ymd);
    for (auto bad : std::vector<std::vector<std::string>>{{"--port", "65536"},
                                                          {"--port", "x"},
                                                          {"--port"},
                                                          {"--verbose"},
                                                          {"--date-order", "ydm"},
                                                          {"--date-order"}})
        EXPECT_FALSE(ParseCommandLine(bad, &error)) << bad[0];

    EXPECT_EQ(ParseForbiddenWords(" 违禁词，赌博 ,, x"),
              (std::vector<std::string>{G("违禁词"), G("赌博"), "x"}));
}

TEST(DemoCommandLine, HelpStatesTheBodyLimitsAndDateRules) {
    const std::string help = HelpText();
    EXPECT_NE(help.find("over " + std::to_string(kMaxFormBodyBytes) +
                        " bytes and multipart bodies over 4 MB: HTTP 413"),
              std::string::npos)
        << help;
    EXPECT_EQ(help.find("64 MB"), std::string::npos);
    EXPECT_NE(help.find("--date-order ORDER"), std::string::npos);
    EXPECT_NE(help.find("gives \"4|\" (no record)"), std::string::npos);
}
