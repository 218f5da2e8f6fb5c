// Request framing and answer splitting, without a network.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "platform/Gbk.h"
#include "service/ServiceClient.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;

namespace {

// The moment of a local date and time (month and day from 1).
std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute,
                                                int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace

TEST(FrameFormBody, OneLineIsSentAsItStandsWithoutEscaping) {
    EXPECT_EQ(FrameFormBody("username=a&b=c%20+d&password=p w"),
              "username=a&b=c%20+d&password=p w");
    const std::string gbk = G("username=张三&password=密码");
    EXPECT_EQ(FrameFormBody(gbk), gbk);
}

TEST(FrameFormBody, LineBreaksBecomeAmpersandsWithATrailingOne) {
    EXPECT_EQ(FrameFormBody("username=ab\r\ncd&password=x"), "username=ab&cd&password=x&");
    EXPECT_EQ(FrameFormBody("a\rb"), "a&b&");
    EXPECT_EQ(FrameFormBody("a\nb"), "a&b&");
    // An empty middle line gives an empty piece; LF CR is two breaks, CR LF one.
    EXPECT_EQ(FrameFormBody("first\r\n\r\nthird"), "first&&third&");
    EXPECT_EQ(FrameFormBody("a\n\rb"), "a&&b&");
    // A break at the very end closes the last line rather than opening an empty one.
    EXPECT_EQ(FrameFormBody("a\r\n"), "a");
    EXPECT_EQ(FrameFormBody("a\r\nb\r\n"), "a&b&");
}

TEST(FrameFormBody, TrimsBytesUpToSpaceAtBothEndsOnly) {
    EXPECT_EQ(FrameFormBody(" \t username=u&password=pw  "), "username=u&password=pw");
    EXPECT_EQ(FrameFormBody("username=u v&password=\x01"), "username=u v&password=");
    EXPECT_EQ(FrameFormBody(""), "");
    EXPECT_EQ(FrameFormBody("   "), "");
    EXPECT_EQ(FrameFormBody("\r\n"), "");
    // GBK bytes are above 0x80 and never trimmed.
    const std::string word = G("用户");
    EXPECT_EQ(FrameFormBody(" " + word + " "), word);
}

TEST(SplitAnswer, AtEveryBar) {
    EXPECT_TRUE(SplitAnswer("").empty());
    EXPECT_EQ(SplitAnswer("3"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(SplitAnswer("7|1234"), (std::vector<std::string>{"7", "1234"}));
    EXPECT_EQ(SplitAnswer("7|1234|"), (std::vector<std::string>{"7", "1234", ""}));
    EXPECT_EQ(SplitAnswer("|"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(SplitAnswer("a||b"), (std::vector<std::string>{"a", "", "b"}));
    const auto failure = SplitAnswer(FailureAnswer());
    ASSERT_EQ(failure.size(), 2u);
    EXPECT_EQ(failure[0], "error");
    EXPECT_EQ(failure[1], NetworkFailureMessage());
}

TEST(SplitAnswer, AtTheFirstBarOnly) {
    EXPECT_EQ(SplitAnswerOnce("4|a|b|"), (std::vector<std::string>{"4", "a|b|"}));
    EXPECT_EQ(SplitAnswerOnce("3"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(SplitAnswerOnce("4|"), (std::vector<std::string>{"4", ""}));
    EXPECT_EQ(SplitAnswerOnce(""), (std::vector<std::string>{""}));
}

TEST(FailureAnswer, IsTheFixedGbkText) {
    EXPECT_EQ(FailureAnswer(), G("error|连接服务器超时，请检查网络！"));
    EXPECT_EQ(GbkToUtf8(NetworkFailureMessage()), "连接服务器超时，请检查网络！");
}

TEST(MakeBoundary, LocalTimeAsMonthDayYearHourMinuteSecondMillis) {
    const auto t = LocalTime(2024, 3, 5, 14, 7, 9);
    EXPECT_EQ(MakeBoundary(t + std::chrono::milliseconds(42)), "--------030524140709042");
    EXPECT_EQ(MakeBoundary(t), "--------030524140709000");
    EXPECT_EQ(MakeBoundary(t + std::chrono::milliseconds(999)), "--------030524140709999");

    const auto late = LocalTime(2009, 12, 31, 23, 59, 58);
    EXPECT_EQ(MakeBoundary(late + std::chrono::milliseconds(7)), "--------123109235958007");
}

TEST(BuildMultipartBody, TextPartsThenFilePartThenClosingLine) {
    const std::string body =
        BuildMultipartBody("B", {{"username", "u&1"}, {"smscontent", "a\r\nb"}},
                           MultipartFile{"mmsfile", "C:\\x y\\a.emm", "application/octet-stream"},
                           std::string("\0\r\n\xFF", 4));
    const std::string expected =
        "--B\r\nContent-Disposition: form-data; name=\"username\"\r\n\r\nu&1\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"smscontent\"\r\n\r\na\r\nb\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"mmsfile\"; filename=\"C:\\x y\\a.emm\"\r\n"
        "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: binary\r\n\r\n" +
        std::string("\0\r\n\xFF", 4) + "\r\n--B--\r\n";
    EXPECT_EQ(body, expected);

    EXPECT_EQ(BuildMultipartBody("B", {}, std::nullopt, "ignored"), "--B--\r\n");
    EXPECT_EQ(BuildMultipartBody("B", {{"a", ""}}, std::nullopt, ""),
              "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n\r\n--B--\r\n");
}

TEST(PageIndex, FormFieldTextJoinsPrefixesAndRawValues) {
    EXPECT_EQ(FormFieldText(ServicePage::Login, {"a&b", "p=q"}), "username=a&b&password=p=q");
    EXPECT_EQ(FormFieldText(ServicePage::ChangePassword, {"u", "old", "new"}),
              "username=u&password=old&newpassword=new");
    EXPECT_EQ(FormFieldText(ServicePage::Receive, {"u", "p", "2024-01-01", "2024-01-31"}),
              "username=u&password=p&startime=2024-01-01&endtime=2024-01-31");
    EXPECT_EQ(FormFieldText(ServicePage::NumberList, {"u", "p"}), "username=u&password=p&id=");
    EXPECT_EQ(FindPageSpec("softweb/Consumerlog.asp"), &PageSpecFor(ServicePage::ConsumerLog));
    EXPECT_EQ(FindPageSpec("softweb/consumerlog.asp"), nullptr);
    EXPECT_EQ(FindPageSpec(""), nullptr);
}

TEST(ServiceEndpoints, ReadFromCompanyInfoAndChosenByLine) {
    test::TempFolder folder;
    folder.writeFile("Company_Info.ini",
                     G("[Company_Info]\r\nCaption=公司\r\n[Service_Url]\r\n"
                       "Telecom_Url=http://t.example/\r\nNetcom_Url=http://n.example/\r\n"
                       "Download_Url=http://d.example/mms/\r\n"));
    const ServiceEndpoints e = LoadServiceEndpoints(folder.file("Company_Info.ini"));
    EXPECT_EQ(e.telecomUrl, "http://t.example/");
    EXPECT_EQ(e.netcomUrl, "http://n.example/");
    EXPECT_EQ(e.downloadUrl, "http://d.example/mms/");
    EXPECT_EQ(BaseAddressFor(e, 0), "http://t.example/");
    EXPECT_EQ(BaseAddressFor(e, 1), "http://n.example/");
    EXPECT_EQ(BaseAddressFor(e, -1), "");
    EXPECT_EQ(BaseAddressFor(e, 2), "");

    const ServiceEndpoints missing = LoadServiceEndpoints(folder.file("absent.ini"));
    EXPECT_EQ(missing.telecomUrl, "");
    EXPECT_EQ(missing.netcomUrl, "");
    EXPECT_EQ(missing.downloadUrl, "");
}
