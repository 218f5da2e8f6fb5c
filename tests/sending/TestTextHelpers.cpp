#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "platform/TextHelpers.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using Items = std::vector<std::string>;

namespace {

const std::string kZhong = "\xD6\xD0";  // 中
// Two-byte characters whose trail byte is an ASCII character.
const std::string kTrailBar = "\x81\x7C";    // 亅 (trail '|')
const std::string kTrailOpen = "\x81\x5B";   // 乕 (trail '[')
const std::string kTrailClose = "\x81\x5D";  // 乚 (trail ']')
const std::string kTrailAt = "\x81\x40";     // 丂 (trail '@')

std::string repeat(const std::string& s, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += s;
    return out;
}

// The message splitter exactly as the service's rule describes it: walk the rest byte by
// byte (two bytes from a byte above 0x80) and cut at the first prefix that counts n.
// Quadratic, and only defined for well-formed text; the tests keep to that.
Items literalSplitByLength(std::string text, int n) {
    Items out;
    if (text.empty())
        return out;
    while (TextLength(text) > n) {
        size_t i = 0;
        bool cut = false;
        while (i < text.size()) {
            i += static_cast<unsigned char>(text[i]) <= 0x80 ? 1 : 2;
            if (TextLength(text.substr(0, i)) == n) {
                out.push_back(text.substr(0, i));
                text.erase(0, i);
                cut = true;
                break;
            }
        }
        if (!cut) {
            ADD_FAILURE() << "literal walk found no cut";
            return out;
        }
    }
    out.push_back(text);
    return out;
}

// Well-formed GBK text with ASCII, the euro sign, Chinese characters (some with an ASCII
// trail byte) and line breaks between characters.
std::string randomWellFormedText(std::mt19937& rng, int chars) {
    static const std::string chinese = G("短信彩信群发客户端当前长度为字中文");
    std::string out;
    for (int i = 0; i < chars; ++i) {
        switch (rng() % 9) {
            case 0:
                out += "\r\n";
                break;
            case 1:
                out += rng() % 2 ? "\r" : "\n";
                break;
            case 2:
                out += '\x80';
                break;
            case 3: {
                const char pair[2] = {'\x81', static_cast<char>(0x40 + rng() % 0x3F)};
                out.append(pair, 2);
                break;
            }
            case 4:
            case 5: {
                const size_t at = 2 * (rng() % (chinese.size() / 2));
                out += chinese.substr(at, 2);
                break;
            }
            default:
                out += static_cast<char>('0' + rng() % 75);
        }
    }
    return out;
}

std::string join(const Items& items) {
    std::string out;
    for (const auto& s : items)
        out += s;
    return out;
}

}  // namespace

TEST(TextHelpers, StripLineBreaksAndCount) {
    EXPECT_EQ(StripLineBreaks("a\r\nb\rc\n\n"), "abc");
    EXPECT_EQ(StripLineBreaks(kZhong + "\r\n" + kZhong), kZhong + kZhong);
    EXPECT_EQ(StripLineBreaks(std::string("x\0\ry", 4)), std::string("x\0y", 3));
    EXPECT_EQ(TextLength("ab\r\ncd"), 4);
    EXPECT_EQ(TextLength(G("三个字")), 3);
    EXPECT_EQ(TextLength("\r\n\r\n"), 0);
    EXPECT_EQ(TextLength(""), 0);
    // The count is taken after the line breaks are gone.
    EXPECT_EQ(TextLength("\xD6\r\n\xD0"), 1);

    // Same as the pattern replacement, and the count the code-page conversion gives.
    std::mt19937 rng(7);
    const std::regex lineBreak("\r|\n");
    for (int round = 0; round < 300; ++round) {
        std::string s;
        const int len = static_cast<int>(rng() % 40);
        for (int i = 0; i < len; ++i) {
            const unsigned r = rng() % 6;
            s += r == 0 ? '\r' : r == 1 ? '\n' : static_cast<char>(rng() % 256);
        }
        const std::string stripped = std::regex_replace(s, lineBreak, "");
        ASSERT_EQ(StripLineBreaks(s), stripped);
        ASSERT_EQ(TextLength(s), QStringFromGbk(stripped).size());
    }
}

TEST(TextHelpers, FitsOneMessageAtSeventy) {
    const std::string seventy = repeat(kZhong, 35) + repeat("a", 35);
    EXPECT_TRUE(FitsOneMessage(seventy));
    EXPECT_TRUE(FitsOneMessage("  \t\r\n" + seventy + "   \r\n\x01"));
    EXPECT_TRUE(FitsOneMessage(repeat(kZhong, 30) + "\r\n" + repeat(kZhong, 40) + "\r\n"));
    EXPECT_FALSE(FitsOneMessage(seventy + "b"));
    EXPECT_FALSE(FitsOneMessage(repeat(kZhong, 35) + " " + repeat(kZhong, 35)));
    EXPECT_TRUE(FitsOneMessage(""));
}

TEST(TextHelpers, SplitByLengthPieceCounts) {
    EXPECT_TRUE(SplitByLength("", 65).empty());
    EXPECT_EQ(SplitByLength(repeat("a", 65), 65), Items{repeat("a", 65)});
    EXPECT_EQ(SplitByLength(repeat("a", 130), 65), (Items{repeat("a", 65), repeat("a", 65)}));
    EXPECT_EQ(SplitByLength(repeat("a", 131), 65), (Items{repeat("a", 65), repeat("a", 65), "a"}));
    EXPECT_EQ(SplitByLength(repeat(kZhong, 131), 65),
              (Items{repeat(kZhong, 65), repeat(kZhong, 65), kZhong}));
    // A one-byte character first shifts every two-byte character by one byte.
    const Items shifted = SplitByLength("a" + repeat(kZhong, 130), 65);
    ASSERT_EQ(shifted.size(), 3u);
    EXPECT_EQ(shifted[0], "a" + repeat(kZhong, 64));
    EXPECT_EQ(shifted[2], kZhong);
    // A trail byte in the ASCII range is still part of its character.
    const Items trail = SplitByLength(repeat(kTrailAt + "@", 3), 3);
    EXPECT_EQ(trail, (Items{kTrailAt + "@" + kTrailAt, "@" + kTrailAt + "@"}));
    // No cut possible with n below 1: the text stays whole.
    EXPECT_EQ(SplitByLength("abc", 0), Items{"abc"});
}

TEST(TextHelpers, SplitByLengthLineBreaks) {
    // Line breaks count nothing: they stay inside a piece, and those right after the n-th
    // character open the next piece.
    EXPECT_EQ(SplitByLength("ab\r\ncd\r\nef", 4), (Items{"ab\r\ncd", "\r\nef"}));
    EXPECT_EQ(SplitByLength("abcd\r\n", 4), Items{"abcd\r\n"});
    EXPECT_EQ(SplitByLength("\r\n", 4), Items{"\r\n"});
    EXPECT_EQ(SplitByLength("\r\nabcde", 4), (Items{"\r\nabcd", "e"}));
    // A lead byte pairs with the next byte after the line breaks, as in the count.
    EXPECT_EQ(SplitByLength("a\xD6\r\n\xD0"
                            "b",
                            2),
              (Items{"a\xD6\r\n\xD0", "b"}));
}

TEST(TextHelpers, SplitByLengthMalformedText) {
    // A lead byte without a valid trail byte is one character: the walk never skips the
    // count (the byte walk would take "\xD6" "0" in one step, count 2 and never find 1).
    EXPECT_EQ(SplitByLength("\xD6"
                            "0",
                            1),
              (Items{"\xD6", "0"}));
    EXPECT_EQ(SplitByLength("\xFF\xFF\xFF", 2), (Items{"\xFF\xFF", "\xFF"}));
    EXPECT_EQ(SplitByLength("ab\xD6", 2), (Items{"ab", "\xD6"}));
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        std::string s;
        for (int i = static_cast<int>(rng() % 60); i > 0; --i)
            s += static_cast<char>(rng() % 256);
        const int n = 1 + static_cast<int>(rng() % 7);
        const Items pieces = SplitByLength(s, n);
        ASSERT_EQ(join(pieces), s);
        for (size_t i = 0; i + 1 < pieces.size(); ++i)
            ASSERT_EQ(TextLength(pieces[i]), n) << i;
        if (TextLength(s) > 0) {
            ASSERT_GE(TextLength(pieces.back()), 1);
            ASSERT_LE(TextLength(pieces.back()), n);
        }
    }
}

TEST(TextHelpers, SplitByLengthMatchesTheByteWalk) {
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        const std::string text = randomWellFormedText(rng, static_cast<int>(rng() % 200));
        const int n = 1 + static_cast<int>(rng() % 70);
        ASSERT_EQ(SplitByLength(text, n), literalSplitByLength(text, n))
            << "round " << round << " n " << n;
    }
}

TEST(TextHelpers, LengthCaption) {
    EXPECT_EQ(LengthCaption(""), G("当前长度为0字"));
    EXPECT_EQ(LengthCaption(G("短信") + "ab\r\n"), G("当前长度为6字"));
    EXPECT_EQ(LengthCaption(repeat(kZhong, 71)), G("当前长度为71字"));
}

TEST(TextHelpers, SplitBySeparator) {
    EXPECT_TRUE(SplitBySeparator("", "|").empty());
    EXPECT_EQ(SplitBySeparator("7|200", "|"), (Items{"7", "200"}));
    EXPECT_EQ(SplitBySeparator("a|b|", "|"), (Items{"a", "b", ""}));
    EXPECT_EQ(SplitBySeparator("x", "|"), Items{"x"});
    EXPECT_EQ(SplitBySeparator("|a||", "|"), (Items{"", "a", "", ""}));
    EXPECT_EQ(SplitBySeparator("a\r\nb\r\n", "\r\n"), (Items{"a", "b", ""}));
    EXPECT_EQ(SplitBySeparator("a\r\r\nb", "\r\n"), (Items{"a\r", "b"}));
    EXPECT_EQ(SplitBySeparator("abc", ""), Items{"abc"});
    // The trail byte of a two-byte character is not a separator.
    EXPECT_EQ(SplitBySeparator("7|" + kTrailBar + "|" + kTrailBar, "|"),
              (Items{"7", kTrailBar, kTrailBar}));
    EXPECT_EQ(SplitBySeparator(kZhong + G("，") + "x", G("，")), (Items{kZhong, "x"}));
}

TEST(TextHelpers, RegexSplit) {
    EXPECT_EQ(RegexSplit("A[$$]B[$$]", "\\[\\$\\$\\]"), (Items{"A", "B", ""}));
    EXPECT_EQ(RegexSplit("", "\\|"), Items{""});
    EXPECT_EQ(RegexSplit("no match", "\\|"), Items{"no match"});
    EXPECT_EQ(RegexSplit("|a||b", "\\|"), (Items{"", "a", "", "b"}));
    EXPECT_EQ(RegexSplit("a1b22c", "[0-9]+"), (Items{"a", "b", "c"}));
    EXPECT_EQ(RegexSplit("3|" + kTrailBar + "x|y", "\\|"), (Items{"3", kTrailBar + "x", "y"}));
    // A pattern that can match nothing still moves on and never yields empty stretches.
    EXPECT_EQ(RegexSplit("ab", "x*"), (Items{"a", "b"}));
    EXPECT_EQ(RegexSplit(kZhong + kZhong, "x*"), (Items{kZhong, kZhong}));
    EXPECT_THROW(RegexSplit("a", "("), std::invalid_argument);
}

TEST(TextHelpers, RemoveBrackets) {
    EXPECT_EQ(RemoveBrackets("[a]b[[c]]"), "abc");
    EXPECT_EQ(RemoveBrackets(""), "");
    EXPECT_EQ(RemoveBrackets("[]"), "");
    EXPECT_EQ(RemoveBrackets(G("【你好】") + "[x]"), G("【你好】") + "x");
    EXPECT_EQ(RemoveBrackets("[" + kTrailOpen + kTrailClose + "]"), kTrailOpen + kTrailClose);
}

TEST(TextHelpers, ContainsCharacterNotATrailByte) {
    EXPECT_FALSE(ContainsCharacter(kTrailBar + kTrailBar, '|'));
    EXPECT_TRUE(ContainsCharacter(kTrailBar + "|" + kTrailBar, '|'));
    EXPECT_TRUE(ContainsCharacter("|", '|'));
    EXPECT_FALSE(ContainsCharacter("", '|'));
    EXPECT_TRUE(ContainsCharacter("a\xFF|", '|'));  // after a byte that starts no character
}

TEST(TextHelpers, FileSizeAndAppend) {
    test::TempFolder folder;
    EXPECT_EQ(FileSizeOf(folder.file("missing.txt")), 0);
    EXPECT_EQ(FileSizeOf(folder.path()), 0);
    folder.writeFile("five.txt", "12345");
    EXPECT_EQ(FileSizeOf(folder.file("five.txt")), 5);

    const std::string path = folder.file("phrase.txt");
    AppendLineToFile(path, G("第一行"));
    AppendLineToFile(path, "");
    AppendLineToFile(path, "x");
    EXPECT_EQ(ReadWholeFile(path).value_or(""), G("第一行") + "\r\n\r\nx\r\n");

    EXPECT_THROW(AppendLineToFile(folder.file("no/such/folder.txt"), "x"), std::exception);
    EXPECT_THROW(AppendLineToFile(folder.path(), "x"), std::exception);
    EXPECT_FALSE(std::filesystem::exists(folder.file("no")));
}
