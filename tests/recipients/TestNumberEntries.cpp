// What the number dialogs add: generated runs, typed numbers and the verification copies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recipients/NumberEntries.h"

using namespace smsc;
using Items = std::vector<std::string>;

namespace {

const std::string P = "13812345";  // the first 8 digits of a valid start number

Items range(const std::string& start, const std::string& count,
            std::optional<char> lastDigit = std::nullopt) {
    const auto numbers = GenerateNumberRange(start, count, lastDigit);
    EXPECT_TRUE(numbers.has_value());
    return numbers.value_or(Items{});
}

}  // namespace

TEST(TrimAndParse, BlanksAndWholeNumbers) {
    EXPECT_EQ(TrimBlanks(" \t13800\r\n "), "13800");
    EXPECT_EQ(TrimBlanks("1 2"), "1 2");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(ParseWholeNumber("100"), 100);
    EXPECT_EQ(ParseWholeNumber("  250"), 250);
    EXPECT_EQ(ParseWholeNumber("-5"), -5);
    EXPECT_FALSE(ParseWholeNumber("").has_value());
    EXPECT_FALSE(ParseWholeNumber("1 0").has_value());
    EXPECT_FALSE(ParseWholeNumber("100 ").has_value());
    EXPECT_FALSE(ParseWholeNumber("abc").has_value());
    EXPECT_FALSE(ParseWholeNumber("99999999999999999999").has_value());
}

TEST(NumberRange, ThreeDigitCounterFromZero) {
    const Items numbers = range(P + "000", "100");
    ASSERT_EQ(numbers.size(), 100u);
    EXPECT_EQ(numbers.front(), P + "000");
    EXPECT_EQ(numbers[7], P + "007");
    EXPECT_EQ(numbers.back(), P + "099");
}

TEST(NumberRange, CounterWrapsWithinItsDigits) {
    const Items numbers = range(P + "950", "100");
    ASSERT_EQ(numbers.size(), 100u);
    EXPECT_EQ(numbers[49], P + "999");
    EXPECT_EQ(numbers[50], P + "000");
    EXPECT_EQ(numbers.back(), P + "049");
    // Four digits wrap after 9999.
    const Items four = range("1381234" + std::string("9998"), "1000");
    EXPECT_EQ(four[1], "13812349999");
    EXPECT_EQ(four[2], "13812340000");
}

TEST(NumberRange, LastDigitKeepsTheStartAsTypedFirst) {
    const Items numbers = range(P + "000", "20", '5');
    ASSERT_EQ(numbers.size(), 20u);
    EXPECT_EQ(numbers[0], P + "000");
    EXPECT_EQ(numbers[1], P + "015");
    EXPECT_EQ(numbers[2], P + "025");
    EXPECT_EQ(numbers.back(), P + "195");
}

TEST(NumberRange, OneDigitCountWrapsTheLastDigit) {
    const Items numbers = range("13812345675", "9");
    Items lastDigits;
    for (const auto& n : numbers) {
        EXPECT_EQ(n.substr(0, 10), "1381234567");
        lastDigits.push_back(n.substr(10));
    }
    EXPECT_EQ(lastDigits, (Items{"5", "6", "7", "8", "9", "0", "1", "2", "3"}));
}

TEST(NumberRange, CountsOfNothing) {
    // The dialog turns a count of exactly "0" into "1": one number, the start.
    EXPECT_EQ(range(P + "123", "1"), Items{P + "123"});
    EXPECT_TRUE(range(P + "123", "00").empty());
    EXPECT_TRUE(range(P + "123", "-5").empty());
    EXPECT_FALSE(GenerateNumberRange(P + "123", "1 2", std::nullopt).has_value());
    EXPECT_FALSE(GenerateNumberRange(P + "123", "", std::nullopt).has_value());
    EXPECT_FALSE(GenerateNumberRange(P + "123", "12345", std::nullopt).has_value());
    EXPECT_FALSE(GenerateNumberRange(P + "12", "10", std::nullopt).has_value());
}

TEST(Interleave, CopyAtTheHeadOfEveryBlock) {
    Items entries;
    for (int i = 0; i < 250; ++i)
        entries.push_back(std::to_string(i));
    const Items out = InterleaveVerification(entries, {"V", 100});
    ASSERT_EQ(out.size(), 253u);
    EXPECT_EQ(out[0], "V");
    EXPECT_EQ(out[1], "0");
    EXPECT_EQ(out[101], "V");
    EXPECT_EQ(out[102], "100");
    EXPECT_EQ(out[202], "V");
    EXPECT_EQ(out[203], "200");
    // Fewer entries than the interval: one copy in front; K = 2 over five entries.
    EXPECT_EQ(InterleaveVerification({"a", "b", "c"}, {"V", 100}), (Items{"V", "a", "b", "c"}));
    EXPECT_EQ(InterleaveVerification({"a", "b", "c", "d", "e"}, {"V", 2}),
              (Items{"V", "a", "b", "V", "c", "d", "V", "e"}));
    // An interval below 1 gives the single copy in front.
    EXPECT_EQ(InterleaveVerification({"a", "b"}, {"V", 0}), (Items{"V", "a", "b"}));
    EXPECT_TRUE(InterleaveVerification({}, {"V", 100}).empty());
}

TEST(TypedNumbers, ValidPiecesTrimmedInvalidDropped) {
    const EntriesToAdd add = TypedNumberEntries(
        {"13800000000", "\n 12345 ", "\nabc", "\n1 2", "\n", "\n1234567890123"}, std::nullopt);
    EXPECT_EQ(add.entries, (Items{"13800000000", "12345"}));
    EXPECT_EQ(add.steps, 6);
}

TEST(TypedNumbers, FewerPiecesThanTheIntervalCopyFirst) {
    const EntriesToAdd add = TypedNumberEntries({"1", "abc", "2"}, VerificationCopy{"V", 100});
    EXPECT_EQ(add.entries, (Items{"V", "1", "2"}));
    EXPECT_EQ(add.steps, 4);
}

TEST(TypedNumbers, InvalidPieceAtACopyPositionSkipsEveryLaterCopy) {
    Items pieces;
    for (int i = 0; i < 6; ++i)
        pieces.push_back(std::to_string(i));
    EXPECT_EQ(TypedNumberEntries(pieces, VerificationCopy{"V", 2}).entries,
              (Items{"V", "0", "1", "V", "2", "3", "V", "4", "5"}));
    pieces[2] = "x";
    EXPECT_EQ(TypedNumberEntries(pieces, VerificationCopy{"V", 2}).entries,
              (Items{"V", "0", "1", "3", "4", "5"}));
}
