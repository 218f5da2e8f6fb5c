#include <gtest/gtest.h>

#include <iconv.h>

#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "tests/support/TextEncodings.h"

using namespace smsc;

namespace {
// "中文" in GBK: D6 D0 CE C4.
const std::string kZhongWen = "\xD6\xD0\xCE\xC4";
}  // namespace

TEST(Gbk, RoundTripsChineseAndAscii) {
    EXPECT_EQ(Utf8ToGbk("中文"), kZhongWen);
    EXPECT_EQ(GbkToUtf8(kZhongWen), "中文");
    EXPECT_EQ(GbkToUtf8("ab" + kZhongWen + "c"), "ab中文c");
    EXPECT_EQ(Utf8ToGbk("（1/2）"), "\xA3\xA8" "1/2" "\xA3\xA9");
    EXPECT_EQ(GbkToUtf8("\x80"), "€");
    EXPECT_EQ(QStringFromGbk(kZhongWen), QStringLiteral("中文"));
    EXPECT_EQ(GbkFromQString(QStringLiteral("短信")), Utf8ToGbk("短信"));
}

TEST(Gbk, CountsCharactersNotBytes) {
    EXPECT_EQ(GbkCharCount(""), 0);
    EXPECT_EQ(GbkCharCount("abc"), 3);
    EXPECT_EQ(GbkCharCount(kZhongWen), 2);
    EXPECT_EQ(GbkCharCount("a" + kZhongWen + "\r\n"), 5);
    EXPECT_EQ(GbkCharCount("\x80"), 1);
}

TEST(Gbk, MalformedBytesBecomeOneReplacementEach) {
    // A lead byte at the very end, a lead byte before an ASCII byte, and 0xFF.
    EXPECT_EQ(GbkCharCount("a\xD6"), 2);
    EXPECT_EQ(GbkToUtf8("a\xD6"), "a\xEF\xBF\xBD");
    // 0x30 ('0') can never be a trail byte; 'A' (0x41) can.
    EXPECT_EQ(GbkCharCount("\xD6" "0"), 2);
    EXPECT_EQ(GbkToUtf8("\xD6" "0"), "\xEF\xBF\xBD" "0");
    EXPECT_EQ(GbkCharCount("\xD6" "A"), 1);
    EXPECT_EQ(GbkCharCount("\xFF\xFF"), 2);
    EXPECT_EQ(GbkCharBytes("\xD6\xD0", 0), 2);
    EXPECT_EQ(GbkCharBytes("\xD6" "0", 0), 1);
    // The count always equals the UTF-16 length of the conversion.
    for (const std::string& s : {std::string("x\xD6\xD0\xFFy\x81"), kZhongWen + "\xA3"}) {
        EXPECT_EQ(GbkCharCount(s), QStringFromGbk(s).size()) << s;
    }
}

// Every pair of a lead byte (81-FE) and a trail byte (40-FE) is one character exactly when
// the converter accepts that pair on its own; the rejected ones (a trail of 7F, unassigned
// codes) are two, and the conversion writes them as U+FFFD followed by the trail byte.
TEST(Gbk, APairIsOneCharacterExactlyWhenTheConverterTakesItAlone) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int accepted = 0;
    int rejected = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            char* inp = const_cast<char*>(pair.data());
            char* outp = out;
            size_t inLeft = 2, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool alone =
                iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) &&
                inLeft == 0;
            ++(alone ? accepted : rejected);
            ASSERT_EQ(GbkCharBytes(pair, 0), alone ? 2 : 1) << std::hex << lead << ' ' << trail;
            ASSERT_EQ(GbkCharCount(pair), alone ? 1 : 2) << std::hex << lead << ' ' << trail;
        }
    }
    iconv_close(cd);
    // Both kinds occur: the table is neither all valid nor all invalid.
    EXPECT_GT(accepted, 20000);
    EXPECT_GT(rejected, 0);
}

TEST(Gbk, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToGbk("a\xC3"), "a?");  // truncated UTF-8
}

TEST(Gbk, TextFilesAsWindowsProgramsSaveThem) {
    using test::Utf16File;
    const std::string list = "客户名单\r\n13800000001\r\n";
    const struct {
        const char* name;
        std::string bytes;
        std::string gbk;
    } cases[] = {
        {"GBK, unchanged", G(list), G(list)},
        {"no mark: bytes taken as they are", list, list},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + list, G(list)},
        {"UTF-16 little-endian", Utf16File(list), G(list)},
        {"UTF-16 big-endian", Utf16File(list, false), G(list)},
        {"outside GBK, an odd last byte", Utf16File("a😀b") + "1", "a?b"},
        {"an unpaired surrogate", std::string("\xFF\xFE\x00\xD8" "a\0", 6), "?a"},
        {"the mark alone", "\xFE\xFF", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextFileBytesAsGbk(c.bytes), c.gbk) << c.name;

    // A large file is converted in parts; a character of two UTF-16 units across the first
    // cut (a megabyte in) stays one character.
    const std::string before(524287, 'x');
    EXPECT_EQ(TextFileBytesAsGbk(Utf16File(before + "😀" + "中")), before + "?" + G("中"));
}
