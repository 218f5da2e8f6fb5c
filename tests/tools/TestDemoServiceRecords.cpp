// The record pages of the demo service: received messages, send records, number lists and
// the notice file.
#include "tests/tools/DemoServiceFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

// Items between "[$$]" separators after "4|"; the text after the last one must be empty.
std::vector<std::string> Records(const std::string& answer) {
    EXPECT_EQ(answer.substr(0, 2), "4|");
    std::vector<std::string> records;
    std::string rest = answer.substr(2);
    size_t start = 0, sep;
    while ((sep = rest.find("[$$]", start)) != std::string::npos) {
        records.push_back(rest.substr(start, sep - start));
        start = sep + 4;
    }
    EXPECT_EQ(rest.substr(start), "");
    return records;
}

std::vector<std::string> Fields(const std::string& record) {
    std::vector<std::string> fields;
    size_t start = 0, sep;
    while ((sep = record.find("[**]", start)) != std::string::npos) {
        fields.push_back(record.substr(start, sep - start));
        start = sep + 4;
    }
    fields.push_back(record.substr(start));
    return fields;
}

}  // namespace

class DemoRecords : public DemoServiceTest {
protected:
    std::string receive(const std::string& from, const std::string& to,
                        const std::string& user = "demo") {
        return form("receive.asp",
                    "username=" + user + "&password=demo&startime=" + from + "&endtime=" + to)
            .body;
    }
    std::string consumerLog() {
        return form("Consumerlog.asp", "username=demo&password=demo").body;
    }
    std::string numberList(const std::string& id) {
        return form("numberlist.asp", "username=demo&password=demo&id=" + id).body;
    }
    // Four messages of the account "r", 4 to 9 January 2024.
    void addMessages() {
        ASSERT_EQ(admin({"add-user", "r", "demo", "1"}), 0);
        ASSERT_EQ(admin({"add-received", "r", "13900000001", "一月四日", "2024-01-04 23:59"}), 0);
        ASSERT_EQ(admin({"add-received", "r", "13900000002", "早上好", "2024-01-05 08:00"}), 0);
        ASSERT_EQ(admin({"add-received", "r", "13900000003", "a*b^c[$$]d", "2024-01-06 00:00"}), 0);
        ASSERT_EQ(admin({"add-received", "r", "13900000004", "later", "2024-01-09 12:00"}), 0);
    }
    const std::string m_five = "13900000002*2024-01-05 08:00^" + G("早上好");
    // The answer for 4 to 6 January: whole days, both included, newest first.
    const std::string m_fourToSix = "4|13900000003*2024-01-06 00:00^a*b^c[$ $]d[$$]" + m_five +
                                    "[$$]" + "13900000001*2024-01-04 23:59^" + G("一月四日") +
                                    "[$$]";
};

TEST_F(DemoRecords, ReceivedMessagesOfADateRange) {
    addMessages();
    EXPECT_EQ(receive("2024-01-05", "2024-01-05", "r"), "4|" + m_five + "[$$]");
    // Other layouts of the same days.
    EXPECT_EQ(receive("2024-01-04", "2024-01-06", "r"), m_fourToSix);
    EXPECT_EQ(receive("2024/1/4", "2024/1/6", "r"), m_fourToSix);
    EXPECT_EQ(receive(G("2024年1月4日"), "2024-1-6 0:00:00", "r"), m_fourToSix);
    EXPECT_EQ(receive("4 Jan 2024", "Jan 6, 2024", "r"), m_fourToSix);
    EXPECT_EQ(receive("2024. 01. 04.", "2024.1.6", "r"), m_fourToSix);
    EXPECT_EQ(receive("1/4/24", "1/6/2024", "r"), m_fourToSix);         // month first by default
    EXPECT_EQ(Records(receive("1/4/24", "6/1/2024", "r")).size(), 4u);  // to 1 June

    EXPECT_EQ(receive("2024-01-07", "2024-01-08", "r"), "4|");
    EXPECT_EQ(receive("2024-01-09", "2024-01-01", "r"), "4|");
    EXPECT_EQ(receive("2024-01-05", "2024-01-05"), "4|");  // another account's messages
}

TEST_F(DemoRecords, UnreadableDateGivesNoRecordRatherThanAll) {
    addMessages();
    EXPECT_EQ(receive("", "", "r"), "4|");
    EXPECT_EQ(receive("2024-01-06", "x", "r"), "4|");
    EXPECT_EQ(receive("x", "2024-01-06", "r"), "4|");
    EXPECT_EQ(receive("2024-01-04", "2024-02-30", "r"), "4|");
}

TEST_F(DemoRecords, AllNumberDatesInTheServicesDateOrder) {
    demo::ServiceOptions options;
    options.dateOrder = demo::DateOrder::Dmy;
    startService(options);
    addMessages();
    EXPECT_EQ(receive("04.01.24", "06/01/2024", "r"), m_fourToSix);
    EXPECT_EQ(receive("4. 1. 2024", "6-1-2024", "r"), m_fourToSix);

    options.dateOrder = demo::DateOrder::Ymd;
    startService(options);
    EXPECT_EQ(receive("24. 1. 4.", "24/01/06", "r"), m_fourToSix);
    EXPECT_EQ(receive("4 Jan 2024", "2024-01-06", "r"), m_fourToSix);
}

TEST_F(DemoRecords, SeededMessagesOfTheLastDays) {
    std::vector<std::string> all = Records(receive("2000-01-01", "2999-12-31"));
    ASSERT_GE(all.size(), 3u);
    for (const auto& r : all) {
        ASSERT_FALSE(r.empty());
        EXPECT_TRUE(r[0] >= '0' && r[0] <= '9') << r;  // the client wants a digit first
        EXPECT_NE(r.find('*'), std::string::npos);
        EXPECT_NE(r.find('^'), std::string::npos);
    }
    EXPECT_EQ(form("receive.asp", "username=demo&password=x&startime=&endtime=").body, "1");
}

TEST_F(DemoRecords, SendRecordsNewestFirstWithSevenFields) {
    EXPECT_EQ(consumerLog(), "4|");
    ASSERT_EQ(sendSms("13900000001|13900000002*13900000003|", G("第一条")), "7|9997");
    ASSERT_EQ(sendMms("13900000004|", G("标题[**]x"), FilePart{"C:\\a.emm", "e"}), "7|9992");

    std::vector<std::string> records = Records(consumerLog());
    ASSERT_EQ(records.size(), 2u);
    std::vector<std::string> mms = Fields(records[0]), sms = Fields(records[1]);
    ASSERT_EQ(mms.size(), 7u);
    ASSERT_EQ(sms.size(), 7u);
    EXPECT_EQ(sms[1], "3");
    EXPECT_EQ(sms[2], G("第一条"));
    EXPECT_EQ(sms[4], G("短信"));
    EXPECT_EQ(sms[5], "");
    EXPECT_EQ(sms[6].size(), 19u);  // YYYY-MM-DD HH:MM:SS
    EXPECT_EQ(mms[1], "1");
    EXPECT_EQ(mms[2], G("标题[* *]x"));  // a separator in free text is broken up
    EXPECT_EQ(mms[4], G("彩信"));
    EXPECT_FALSE(mms[5].empty());
    EXPECT_GT(std::stoll(mms[0]), std::stoll(sms[0]));

    // The numbers of one submission, verification copy included, each followed by "|".
    EXPECT_EQ(numberList(sms[0]), "4|13900000001|13900000002|13900000003|");
    EXPECT_EQ(numberList(mms[0]), "4|13900000004|");
    EXPECT_EQ(numberList("999"), "4|");
    EXPECT_EQ(numberList("abc"), "4|");
    EXPECT_EQ(form("numberlist.asp", "username=demo&password=x&id=1").body, "1");

    // Another account sees neither the records nor the numbers.
    ASSERT_EQ(admin({"add-user", "other", "pw", "5"}), 0);
    EXPECT_EQ(form("Consumerlog.asp", "username=other&password=pw").body, "4|");
    EXPECT_EQ(form("numberlist.asp", "username=other&password=pw&id=" + sms[0]).body, "4|");
    ASSERT_EQ(admin({"set-state", "other", "disabled"}), 0);
    EXPECT_EQ(form("Consumerlog.asp", "username=other&password=pw").body, "2");
}

TEST_F(DemoRecords, OnlyTheLatest500Records) {
    for (int i = 1; i <= 505; ++i) {
        demo::NewSubmission s;
        s.user = "demo";
        s.content = "m" + std::to_string(i);
        s.numbers = {"1"};
        s.time = demo::LocalTimeText();
        ASSERT_EQ(m_service->store()->submit(s, 1).result, demo::SubmitResult::Accepted);
    }
    std::vector<std::string> records = Records(consumerLog());
    ASSERT_EQ(records.size(), 500u);
    EXPECT_EQ(Fields(records.front())[2], "m505");
    EXPECT_EQ(Fields(records.back())[2], "m6");
}

TEST_F(DemoRecords, NoticeFile) {
    Reply notice = get("/softweb/message.txt");
    EXPECT_EQ(notice.status, 200);
    EXPECT_EQ(notice.body, demo::BuiltInNotice());
}
