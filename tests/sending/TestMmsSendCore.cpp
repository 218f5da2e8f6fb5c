// The MMS core: every answer of "softweb/mms_send.asp", the order of the send checks, the one
// read of the file, and the cost note from the local notice copy.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/Gbk.h"
#include "sending/MmsSend.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;

TEST(MmsAnswers, EveryCodeHasItsMessage) {
    struct Row {
        const char* answer;
        const char* message;  // nullptr: none
    };
    const Row rows[] = {
        {"7|880", "恭喜\r彩信内容已成功发送到服务器"},
        {"1", "发送失败\r用户名或者密码错误"},
        {"2", "发送失败\r该帐户被停用"},
        {"3|120", "余额120"},
        {"4", "发送失败\r您的短信余额不足"},
        {"5", "发送失败\r您发送的号码错误"},
        {"6", "发送失败\r您发送的彩信标题错误，彩信标题为空或者超过70个字符"},
        {"8", "发送失败\r您发送的号码数超过三万个"},
        {"9|广告", "发送失败\r彩信标题含有禁发关键词：广告"},
        {"9", "发送失败\r彩信标题含有禁发关键词："},
        {"10", "发送失败\r彩信发送服务器处于关闭状态，暂时不能发送"},
        {"11", "发送失败\r彩信文件错误，无法访问或者上传失败"},
        {"12",
         "发送失败\r您上传的彩信文件系统不支持，目前支持txt,jpg,gif,bmp,png,amr,mp3,mid,"
         "mmf,aac,mfm,adp,3gp,jar,jad,sis,emm类型"},
        {"13", "发送失败\r您上传的彩信文件超过45K请修改后再上传"},
        {"error|连接服务器超时，请检查网络！", "发送失败\r连接服务器超时，请检查网络！"},
        {"0", nullptr},
        {"14|x", nullptr},
        {"", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        const std::optional<std::string> message = MmsAnswerMessage(G(row.answer));
        if (row.message)
            EXPECT_EQ(message, G(row.message));
        else
            EXPECT_FALSE(message.has_value());
    }
}

TEST(MmsChecks, FirstFailingCheckInOrder) {
    TempFolder folder;
    folder.writeFile("a.emm", "EMM");
    MmsSendChecks ok;
    ok.recipientCount = 2;
    ok.title = G("新年快乐");
    ok.filePath = folder.file("a.emm");
    ASSERT_EQ(CheckMmsSend(ok), MmsRefusal::None);

    const std::string thirty(30, 'x');
    struct Row {
        const char* name;
        void (*change)(MmsSendChecks&);
        MmsRefusal expected;
    };
    const Row rows[] = {
        {"verification empty", [](MmsSendChecks& c) { c.verificationOn = true; },
         MmsRefusal::VerificationEmpty},
        {"verification not digits, before the file size",
         [](MmsSendChecks& c) {
             c.verificationOn = true;
             c.verificationNumber = "12a";
             c.chosenFileSize = 99999;
         },
         MmsRefusal::VerificationInvalid},
        {"chosen file too large, before the count",
         [](MmsSendChecks& c) {
             c.chosenFileSize = 51201;
             c.recipientCount = 0;
         },
         MmsRefusal::FileTooLarge},
        {"over 30000", [](MmsSendChecks& c) { c.recipientCount = 30001; },
         MmsRefusal::TooManyRecipients},
        {"no recipient", [](MmsSendChecks& c) { c.recipientCount = 0; }, MmsRefusal::NoRecipients},
        {"title of 31", [](MmsSendChecks& c) { c.title = std::string(31, 'x'); },
         MmsRefusal::TitleTooLong},
        {"title of line breaks only", [](MmsSendChecks& c) { c.title = "\r\n"; },
         MmsRefusal::TitleEmpty},
        {"no file", [](MmsSendChecks& c) { c.filePath = "\r\n"; }, MmsRefusal::NoFile},
        {"missing file", [](MmsSendChecks& c) { c.filePath += ".gone"; }, MmsRefusal::BadFilePath},
        {"a quote in the path", [](MmsSendChecks& c) { c.filePath = "/tmp/a\".emm"; },
         MmsRefusal::BadFilePath},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MmsSendChecks c = ok;
        row.change(c);
        EXPECT_EQ(CheckMmsSend(c), row.expected);
    }
    MmsSendChecks limits = ok;
    limits.chosenFileSize = 51200;
    limits.recipientCount = 30000;
    limits.title = thirty.substr(0, 15) + "\r\n" + thirty.substr(15);
    EXPECT_EQ(CheckMmsSend(limits), MmsRefusal::None);
    EXPECT_EQ(MmsRefusalMessage(MmsRefusal::TooManyRecipients), G("发送条数不能超过3万"));
    EXPECT_EQ(MmsRefusalMessage(MmsRefusal::NoRecipients), G("发送条数为0请添加发送对象"));
}

TEST(MmsFile, ReadOnceWithinTheLimit) {
    TempFolder folder;
    std::string limit(51200, '\0');
    limit[0] = 'G';
    folder.writeFile("limit.emm", limit);
    folder.writeFile("over.emm", std::string(51201, 'x'));
    folder.writeFile("empty.emm", "");
    ::mkdir(folder.file("dir.emm").c_str(), 0755);
    ::mkfifo(folder.file("fifo.emm").c_str(), 0644);

    const MmsFileBytes ok = ReadMmsFile(folder.file("limit.emm"));
    EXPECT_EQ(ok.refusal, MmsRefusal::None);
    EXPECT_EQ(ok.bytes, limit);
    EXPECT_EQ(ReadMmsFile(folder.file("empty.emm")).refusal, MmsRefusal::None);
    const std::pair<std::string, MmsRefusal> refused[] = {
        {folder.file("over.emm"), MmsRefusal::FileTooLarge},
        {folder.file("missing.emm"), MmsRefusal::BadFilePath},
        {folder.file("dir.emm"), MmsRefusal::BadFilePath},
        {folder.file("fifo.emm"), MmsRefusal::BadFilePath},  // never blocks
        {folder.file("a\nb.emm"), MmsRefusal::BadFilePath},
        {"", MmsRefusal::BadFilePath},
    };
    for (const auto& [path, refusal] : refused) {
        SCOPED_TRACE(path);
        const MmsFileBytes read = ReadMmsFile(path);
        EXPECT_EQ(read.refusal, refusal);
        EXPECT_TRUE(read.bytes.empty());
    }
    // A refused read makes no request.
    int requests = 0;
    const MmsSendOutcome outcome = RunMmsSend(folder.file("over.emm"), [&](const std::string&) {
        ++requests;
        return std::string("7|1");
    });
    EXPECT_EQ(outcome.refusal, MmsRefusal::FileTooLarge);
    EXPECT_EQ(requests, 0);
}

TEST(MmsCostNote, LocalValueOrFive) {
    TempFolder folder;
    const std::string path = folder.file("Notice_info.ini");
    const std::string prefix = "本系统发送短信彩信共享剩余条数，每发一条彩信将扣除";
    EXPECT_EQ(LocalCostNote(path), G(prefix + "5条短信"));
    folder.writeFile("Notice_info.ini", "[Notice_info]\r\nVersion=6.8\r\nmmstosms= 8 \r\n");
    EXPECT_EQ(LocalCostNote(path), G(prefix + "8条短信"));
}
