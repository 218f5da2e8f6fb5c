// End to end against the real demo service program: after an SMS to three numbers and an
// MMS, the "发送记录" page and "smsclient-cli records" list both newest first, "numbers"
// lists the three numbers and "download-mms" writes the uploaded file back byte for byte.
#include <QTreeWidget>

#include "platform/AtomicFile.h"
#include "records/RecordsPage.h"
#include "service/ServiceClient.h"
#include "tests/records/RecordsEndToEnd.h"

using namespace smsc;
using namespace smsc::test;

namespace {

using EndToEndRecords = RecordsEndToEnd;

TEST_F(EndToEndRecords, SendRecordsNumbersAndTheMmsDownload) {
    const CliResult sms = runCli("send", {"--number", "13900000001", "--number", "13900000002",
                                          "--number", "13900000003", "--text", "通知"});
    ASSERT_EQ(sms.code, 0) << sms.err;
    std::string picture("GIF89a", 6);
    for (int i = 0; i < 600; ++i)
        picture += static_cast<char>(i * 7);
    ASSERT_TRUE(WriteFileAtomically(files.file("pic.gif"), picture));
    ServiceContext ctx;
    ctx.endpoints.telecomUrl = service->baseUrl();
    ctx.lineIndex = 0;
    ASSERT_EQ(SendMms(ctx, "demo", "demo", "13900000004|", G("彩信标题"), files.file("pic.gif"))
                  .substr(0, 2),
              "7|");

    const CliResult records = runCli("records", {});
    ASSERT_EQ(records.code, 0) << records.err;
    std::istringstream lines(records.out);
    std::string mmsLine, smsLine;
    std::getline(lines, mmsLine);
    std::getline(lines, smsLine);
    auto fields = [](const std::string& line) {
        std::vector<std::string> f;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');)
            f.push_back(field);
        return f;
    };
    const auto mms = fields(mmsLine), text = fields(smsLine);
    ASSERT_EQ(mms.size(), 7u) << records.out;
    ASSERT_EQ(text.size(), 7u) << records.out;
    EXPECT_EQ(mms[1], "1");
    EXPECT_EQ(mms[2], "彩信标题");
    EXPECT_EQ(mms[4], "彩信");
    EXPECT_EQ(text[1], "3");
    EXPECT_EQ(text[2], "通知");
    EXPECT_EQ(text[4], "短信");

    const CliResult numbers = runCli("numbers", {"--id", text[0]});
    ASSERT_EQ(numbers.code, 0) << numbers.err;
    EXPECT_EQ(numbers.out, "13900000001\n13900000002\n13900000003\n");

    const std::string saved = files.file("back.gif");
    const CliResult download = runCli("download-mms", {"--id", mms[0], "--output", saved});
    ASSERT_EQ(download.code, 0) << download.err;
    EXPECT_EQ(ReadWholeFile(saved).value_or(""), picture);
    const CliResult refused =
        runCli("download-mms", {"--id", text[0], "--output", files.file("no")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "该信息为短信文字信息，不是彩信，无法下载！\n");
    EXPECT_FALSE(ReadWholeFile(files.file("no")).has_value());

    // The page lists the same two records, newest first.
    RecordsPage* page = main->recordsPage();
    page->QueryButton->click();
    page->Timer3Timer();
    ASSERT_EQ(page->ListView2->topLevelItemCount(), 2);
    EXPECT_EQ(page->ListView2->topLevelItem(0)->text(0), QString::fromStdString(mms[0]));
    EXPECT_EQ(page->ListView2->topLevelItem(1)->text(6), QStringLiteral("通知"));
}

}  // namespace
