// The SMS submission without windows: number strings, message pieces, the request loop and
// what every answer means.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"

using namespace smsc;

namespace {

const std::string kZhong = "\xD6\xD0";  // 中

std::string repeat(const std::string& s, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += s;
    return out;
}

// Characters 'a'..'z' cycling, so pieces are told apart by their content.
std::string letters(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += static_cast<char>('a' + i % 26);
    return out;
}

std::string withoutPrefix(const std::string& text) {
    const std::string close = G("）");
    const size_t at = text.find(close);
    return at == std::string::npos ? text : text.substr(at + close.size());
}

}  // namespace

TEST(NumberString, EveryEntryFollowedByItsSeparator) {
    const std::vector<std::string> list = {"13912345678", "13800000000", "13812345678"};
    EXPECT_EQ(BuildNumberString(list, false, "13800000000"),
              "13912345678|13800000000|13812345678|");
    EXPECT_EQ(BuildNumberString(list, true, "13800000000"), "13912345678|13800000000*13812345678|");
    EXPECT_EQ(BuildNumberString({"13912345678"}, false, ""), "13912345678|");
    EXPECT_EQ(BuildNumberString({}, true, "1"), "");
}

TEST(NumberString, MarkingNeedsExactEquality) {
    // An entry that merely contains the number, or differs by blanks, is an ordinary entry.
    const std::vector<std::string> list = {"1380000000012", "138000", "13800", " 13800", "13800"};
    EXPECT_EQ(BuildNumberString(list, true, "13800"), "1380000000012|138000|13800* 13800|13800*");
}

TEST(SmsPlan, SeventyCharactersAreOneMessageWithoutPrefix) {
    const SmsPlan plan = PlanSmsPieces(repeat(kZhong, 70));
    EXPECT_FALSE(plan.split);
    ASSERT_EQ(plan.texts.size(), 1u);
    EXPECT_EQ(plan.texts[0], repeat(kZhong, 70));
}

TEST(SmsPlan, SeventyOneCharactersGoAsTwoPieces) {
    const std::string text = letters(71);
    const SmsPlan plan = PlanSmsPieces(text);
    EXPECT_TRUE(plan.split);
    EXPECT_EQ(plan.pieceLength, 65);
    ASSERT_EQ(PieceCount(plan), 2);
    EXPECT_EQ(plan.texts[0], G("（1/2）") + text.substr(0, 65));
    EXPECT_EQ(plan.texts[1], G("（2/2）") + text.substr(65));
}

TEST(SmsPlan, PieceCountsAroundMultiplesOf65) {
    EXPECT_EQ(PieceCount(PlanSmsPieces(letters(130))), 2);
    const SmsPlan three = PlanSmsPieces(letters(131));
    ASSERT_EQ(PieceCount(three), 3);
    EXPECT_EQ(withoutPrefix(three.texts[2]), "a");
    // Nine pieces is the most that keep the 65-character pieces.
    EXPECT_EQ(PlanSmsPieces(letters(585)).pieceLength, 65);
    EXPECT_EQ(PieceCount(PlanSmsPieces(letters(585))), 9);
}

TEST(SmsPlan, LineBreaksNeitherCountNorTravel) {
    const SmsPlan plan = PlanSmsPieces("ab\r\ncd");
    ASSERT_EQ(plan.texts.size(), 1u);
    EXPECT_EQ(plan.texts[0], "abcd");
    // 70 characters spread over lines are still one message.
    const SmsPlan lines = PlanSmsPieces(letters(35) + "\r\n" + letters(35) + "\r\n");
    ASSERT_EQ(lines.texts.size(), 1u);
    EXPECT_EQ(lines.texts[0], letters(35) + letters(35));
}

TEST(SmsPlan, TrailingBlankIsTrimmedForTheTestButSent) {
    const std::string text = letters(70) + " ";
    const SmsPlan plan = PlanSmsPieces(text);
    EXPECT_FALSE(plan.split);
    EXPECT_EQ(plan.texts[0], text);
}

// Every piece with its prefix must stay within one SMS, or the service refuses it with "6"
// once the count reaches two digits.
TEST(SmsPlan, LongMessagesKeepEveryPieceWithinSeventyCharacters) {
    for (int length : {586, 600, 700, 1000, 6237, 6238, 7000}) {
        SCOPED_TRACE(length);
        const std::string text = letters(length);
        const SmsPlan plan = PlanSmsPieces(text);
        ASSERT_TRUE(plan.split);
        const int count = PieceCount(plan);
        EXPECT_GE(count, 10);
        std::string joined;
        for (int i = 0; i < count; ++i) {
            const std::string& piece = plan.texts[static_cast<size_t>(i)];
            EXPECT_EQ(piece.rfind(PiecePrefix(i + 1, count), 0), 0u);
            EXPECT_LE(TextLength(piece), 70) << "piece " << i + 1;
            joined += withoutPrefix(piece);
        }
        EXPECT_EQ(joined, text);
    }
}

TEST(SmsPlan, SevenHundredCharactersNeedTwelvePiecesOf63) {
    const std::string text = repeat(kZhong, 700);
    const SmsPlan plan = PlanSmsPieces(text);
    EXPECT_EQ(plan.pieceLength, 63);
    ASSERT_EQ(PieceCount(plan), 12);
    std::string joined;
    for (int i = 0; i < 12; ++i) {
        const std::string piece = withoutPrefix(plan.texts[static_cast<size_t>(i)]);
        EXPECT_EQ(TextLength(piece), i < 11 ? 63 : 700 - 11 * 63);
        EXPECT_LE(TextLength(plan.texts[static_cast<size_t>(i)]), 70);
        joined += piece;
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(plan.texts[9].substr(0, G("（10/12）").size()), G("（10/12）"));
}

TEST(SmsPlan, ThreeDigitCountsShortenThePiecesAgain) {
    const SmsPlan plan = PlanSmsPieces(letters(63 * 99 + 1));
    EXPECT_EQ(plan.pieceLength, 61);
    EXPECT_EQ(PieceCount(plan), (63 * 99 + 1 + 60) / 61);
    EXPECT_LE(TextLength(plan.texts.back()), 70);
}

TEST(SmsAnswers, EveryCodeHasItsMessage) {
    struct Case {
        const char* answer;
        const char* message;  // UTF-8
    };
    const Case cases[] = {
        {"7|1234", "恭喜\r短信内容已成功发送到服务器"},
        {"1", "发送失败\r用户名或者密码错误"},
        {"2|x", "发送失败\r该帐户被停用"},
        {"3|88", "余额88"},
        {"4", "发送失败\r您的短信余额不足"},
        {"5", "发送失败\r您发送的号码错误"},
        {"6", "发送失败\r您发送的短信内容错误，内容为空或者超过70个字符"},
        {"8", "发送失败\r您发送的号码数超过三万个"},
        {"9|法轮", "发送失败\r您发送的短信内容含有禁发关键词：法轮"},
        {"error|连接服务器超时，请检查网络！", "发送失败\r连接服务器超时，请检查网络！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const std::optional<std::string> message = SmsAnswerMessage(G(c.answer));
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(*message, G(c.message));
    }
    EXPECT_FALSE(SmsAnswerMessage("0|x").has_value());
    EXPECT_FALSE(SmsAnswerMessage("70").has_value());
    EXPECT_FALSE(SmsAnswerMessage("").has_value());
    EXPECT_FALSE(SmsAnswerMessage("<html>").has_value());
    // A missing argument reads as empty rather than failing.
    EXPECT_EQ(SmsAnswerMessage("3"), G("余额"));
    EXPECT_EQ(SmsAnswerMessage("9"), G("发送失败\r您发送的短信内容含有禁发关键词："));
}

TEST(SmsAnswers, QuotaOnlyFromSuccess) {
    EXPECT_EQ(QuotaTextOf("7|1234"), G("剩余短信1234条"));
    EXPECT_EQ(QuotaTextOf("7|1234|extra"), G("剩余短信1234条"));
    EXPECT_FALSE(QuotaTextOf("7").has_value());
    EXPECT_FALSE(QuotaTextOf("3|1234").has_value());
    EXPECT_FALSE(QuotaTextOf("").has_value());
}

TEST(SmsAnswers, StoppingCodes) {
    for (const char* code : {"1", "2", "4", "5", "6", "8", "9", "error"})
        EXPECT_TRUE(StopsAfterPiece(code)) << code;
    for (const char* code : {"7", "3", "0", "10", "", "Error"})
        EXPECT_FALSE(StopsAfterPiece(code)) << code;
    EXPECT_EQ(AnswerCode("9|a|b"), "9");
    EXPECT_EQ(AnswerCode("7"), "7");
    EXPECT_EQ(AnswerCode(""), "");
}

TEST(SmsSendLoop, RefusalStopsTheRemainingPieces) {
    const SmsPlan plan = PlanSmsPieces(letters(300));  // 5 pieces
    ASSERT_EQ(PieceCount(plan), 5);
    std::vector<std::string> sent;
    const SmsSendResult result = RunSmsSend(plan, [&](const std::string& text) {
        sent.push_back(text);
        return sent.size() == 2 ? std::string("9|bad") : std::string("7|10");
    });
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(result.answers.size(), 2u);
    EXPECT_EQ(result.lastAnswer(), "9|bad");
}

TEST(SmsSendLoop, UnknownAndBalanceCodesLetThePiecesFollow) {
    const SmsPlan plan = PlanSmsPieces(letters(200));  // 4 pieces
    std::vector<std::string> answers = {"0|?", "3|5", "", "7|99"};
    size_t next = 0;
    const SmsSendResult result =
        RunSmsSend(plan, [&](const std::string&) { return answers[next++]; });
    EXPECT_EQ(next, 4u);
    EXPECT_EQ(result.lastAnswer(), "7|99");
}

TEST(SmsSendLoop, NetworkFailureStopsToo) {
    const SmsPlan plan = PlanSmsPieces(letters(200));
    int calls = 0;
    const SmsSendResult result = RunSmsSend(plan, [&](const std::string&) {
        ++calls;
        return G("error|连接服务器超时，请检查网络！");
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(SmsAnswerMessage(result.lastAnswer()), G("发送失败\r连接服务器超时，请检查网络！"));
}

TEST(SmsSendLoop, EarlierPiecesWithoutSevenAreNamed) {
    const auto line = [](int i, int n) {
        return G("第") + std::to_string(i) + G("条（共") + std::to_string(n) +
               G("条）未得到服务器确认，请在发送记录中核对");
    };
    const SmsPlan four = PlanSmsPieces(letters(200));
    const SmsPlan nine = PlanSmsPieces(letters(9 * 65));
    const SmsPlan one = PlanSmsPieces(letters(70));
    struct Case {
        const SmsPlan* plan;
        std::vector<std::string> answers;
        std::optional<std::string> notice;
    } cases[] = {
        {&four, {"7|1", "7|1", "7|1", "7|1"}, std::nullopt},
        {&four, {"7|1", "0", "7|1", "5"}, line(2, 4)},  // the last answer speaks for itself
        {&four, {"3|5", "7|1", "", "7|1"}, line(1, 4) + "\r" + line(3, 4)},
        {&nine, std::vector<std::string>(9, "0"),
         line(1, 9) + "\r" + line(2, 9) + "\r" + line(3, 9) + "\r" + line(4, 9) + "\r" +
             line(5, 9) + "\r" + G("……")},
        {&one, {"0"}, std::nullopt},
    };
    for (const Case& c : cases) {
        SmsSendResult result;
        result.answers = c.answers;
        EXPECT_EQ(UnconfirmedPiecesNotice(*c.plan, result), c.notice) << c.answers.size();
    }
}
