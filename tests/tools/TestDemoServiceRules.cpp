// The demo service's reading of requests: form bodies, number strings, text lengths,
// forbidden words, dates, MMS types, the notice and the command line.
#include "platform/Gbk.h"
#include "tools/demo-service/DemoCommandLine.h"
#include "tools/demo-service/DemoPages.h"

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

TEST(DemoDates, ShortDateLayouts) {
    const std::pair<const char*, const char*> cases[] = {
        {"2024-01-05", "2024-01-05"},
        {"2024/1/5", "2024-01-05"},
        {"2024.1.5", "2024-01-05"},
        {"2024年1月5日", "2024-01-05"},
        {"1/5/24", "2024-01-05"},
        {"1/5/2024", "2024-01-05"},
        {"05.01.2024", "2024-01-05"},
        {"25/12/2024", "2024-12-25"},
        {" 2024-02-29 0:00:00", "2024-02-29"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ParseServiceDate(G(in)), out) << in;
    for (const char* bad :
         {"", "2023-02-29", "2024-13-01", "2024-1", "2024-01-05-1", "abc", "13/13/2024", "1/5/124"})
        EXPECT_FALSE(ParseServiceDate(bad)) << bad;
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
    for (auto bad : std::vector<std::vector<std::string>>{
             {"--port", "65536"}, {"--port", "x"}, {"--port"}, {"--verbose"}})
        EXPECT_FALSE(ParseCommandLine(bad, &error)) << bad[0];

    EXPECT_EQ(ParseForbiddenWords(" 违禁词，赌博 ,, x"),
              (std::vector<std::string>{G("违禁词"), G("赌博"), "x"}));
}
