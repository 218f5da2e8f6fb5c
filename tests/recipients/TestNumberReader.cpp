#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"

using namespace smsc;
using Items = std::vector<std::string>;

namespace {

const std::string N = "13812345678";

// Written forms (UTF-8 here, read as GBK): what one entry reads as (empty: nothing) and what
// a text holding the form finds.
struct Form {
    const char* written;
    const char* entry;
    Items found;
};

const Form kForms[] = {
    // clang-format off
    {"13812345678",               "13812345678", {N}},
    {"  13812345678\r\n",         "13812345678", {N}},
    {"138-1234-5678",             "13812345678", {N}},
    {"138 1234 5678",             "13812345678", {N}},
    {"138.1234.5678",             "13812345678", {N}},
    {"(138) 1234-5678",           "13812345678", {N}},
    {"138-12345678",              "13812345678", {N}},
    {"1381234 5678",              "13812345678", {N}},
    {"138 - 1234 - 5678",         "13812345678", {N}},
    {"+86 138 1234 5678",         "13812345678", {N}},
    {"+86-138-1234-5678",         "13812345678", {N}},
    {"+8613812345678",            "13812345678", {N}},
    {"8613812345678",             "13812345678", {N}},
    {"86 13812345678",            "13812345678", {N}},
    {"0086 138 1234 5678",        "13812345678", {N}},
    {"008613812345678",           "13812345678", {N}},
    {"(+86)13812345678",          "13812345678", {N}},
    {"(0086) 138-1234-5678",      "13812345678", {N}},
    {"+86138 1234 5678",          "13812345678", {N}},
    {"１３８１２３４５６７８",    "13812345678", {N}},
    {"＋８６　１３８－１２３４－５６７８", "13812345678", {N}},
    {"（＋86）138 1234 5678",     "13812345678", {N}},
    {"1 3 8 1 2 3 4 5 6 7 8",     "13812345678", {}},
    {"1381 234 5678",             "13812345678", {}},
    // digits inside longer runs
    {"138123456789",              "", {}},
    {"1381234567813912345678",    "", {}},
    {"2024120913800001004",       "", {}},
    {"11010519491231002X",        "", {}},
    {"110105199001013800",        "", {}},
    {"6222021381234567890",       "", {}},
    {"6222 0213 8123 4567 890",   "", {}},
    {"6222 0202 1381 2345 678",   "", {}},
    {"+87 13812345678",           "", {N}},
    // not mobile numbers
    {"010-12345678",              "", {}},
    {"0755 8123 4567",            "", {}},
    {"400-123-4567",              "", {}},
    {"800 820 8820",              "", {}},
    {"10086",                     "", {}},
    {"95588",                     "", {}},
    {"12345678901",               "", {}},
    {"86138123456",               "", {}},
    {"+86 10 1234 5678",          "", {}},
    {"",                          "", {}},
    // more than one number, or more than a number
    {"13812345678 13912345678",   "", {N, "13912345678"}},
    {"138 1234 5678，139-1234-5678", "", {N, "13912345678"}},
    {"13812345678;13812345678",   "", {N, N}},
    {"手机：13812345678",         "", {N}},
    {"Tel13812345678x",           "", {N}},
    {"2024-12-09 13812345678",    "", {N}},
    {"138 1234 5678 9",           "", {N}},
    {"订单号：2024120913800001004，电话138-1234-5678", "", {N}},
    {"13812345678+",              "", {N}},
    {"138+1234+5678",             "", {N}},
    {"138     1234 5678",         "13812345678", {}},
    {"138\t1234\t5678",           "", {}},
    // the extraction rule's 14x block: 143 is found, 140 is not; one entry reads 140
    {"14312345678",               "", {"14312345678"}},
    {"14012345678",               "14012345678", {}},
    // clang-format on
};

}  // namespace

TEST(NumberReader, WrittenForms) {
    for (const Form& form : kForms) {
        const std::string text = G(form.written);
        SCOPED_TRACE(form.written);
        const auto entry = ReadMobileNumber(text);
        EXPECT_EQ(entry.value_or(""), form.entry);
        EXPECT_EQ(FindMobileNumbers(text), form.found);
        // The same text between Chinese words, or as one line of a list, finds the same.
        EXPECT_EQ(FindMobileNumbers(G("联系人张三，") + text + G("。\r\n")), form.found);
    }
}

TEST(NumberReader, PlainNumbersFindWhatTheExtractorFinds) {
    // Distinct numbers written plainly among other text: the reader finds what the
    // extraction rule always found, in the same order.
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += std::to_string(13000000000LL + i * 3499217LL);  // 130... to 199..., distinct
        text += i % 3 == 0 ? G("，张三") : (i % 3 == 1 ? "\r\n" : " / ");
    }
    EXPECT_EQ(FindMobileNumbers(text), ExtractMobileNumbers(text));
}

TEST(NumberReader, GbkCharactersAreWalkedWhole) {
    // "\xA3\xB1" after a lead byte is the second byte of one character and a digit of none.
    EXPECT_EQ(FindMobileNumbers("\xB0\xA3\xB1"
                                "3812345678"),
              Items{});
    EXPECT_EQ(FindMobileNumbers("\xB0"
                                "13812345678"),
              Items{N});
    EXPECT_EQ(FindMobileNumbers("\xFF"
                                "13812345678\x81"),
              Items{N});
    EXPECT_FALSE(ReadMobileNumber("\xA3").has_value());
}
