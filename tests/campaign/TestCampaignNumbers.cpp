// A campaign's numbers from typed numbers and texts: one table of the numbers taken decides
// every repeat, within a text and across sources, and the order is that of first occurrence.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "campaign/CampaignNumbers.h"
#include "platform/Gbk.h"

namespace smsc::campaign {
namespace {

struct Source {
    bool text;
    std::string value;
};

struct Case {
    const char* what;
    std::vector<Source> sources;
    std::vector<std::string> numbers;
    std::vector<std::string> summaries;  // one per text
};

TEST(CampaignNumbers, RepeatsAcrossAllSourcesAreDroppedInOrder) {
    const std::vector<Case> cases = {
        {"typed numbers keep their leading zeros apart",
         {{false, "0123"}, {false, "123"}, {false, "0123"}},
         {"0123", "123"},
         {}},
        {"a text: repeats as written otherwise, blank lines skipped, a line without a number",
         {{true, "13800000001\r\n138-0000-0002\r\n\r\n+86 138 0000 0001\r\n无号码\r\n"}},
         {"13800000001", "13800000002"},
         {"读取4行：添加2个，重复1个，无法识别1个"}},
        {"a typed number and a later text, and a second text repeating the first",
         {{false, "13900000009"},
          {true, "13900000009\n13800000001\n"},
          {true, "8613800000001\n13800000002\n"}},
         {"13900000009", "13800000001", "13800000002"},
         {"读取2行：添加1个，重复1个，无法识别0个", "读取2行：添加1个，重复1个，无法识别0个"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CampaignNumbers collector;
        std::vector<std::string> summaries;
        for (const Source& source : c.sources) {
            if (source.text)
                summaries.push_back(GbkToUtf8(ImportSummary(collector.addText(G(source.value)))));
            else
                collector.addNumber(source.value);
        }
        EXPECT_EQ(collector.size(), c.numbers.size());
        EXPECT_EQ(collector.take(), c.numbers);
        EXPECT_EQ(summaries, c.summaries);
        EXPECT_EQ(collector.size(), 0u);
    }
}

TEST(CampaignNumbers, ATableThatGrowsKeepsEveryNumberTaken) {
    // Typed numbers grow the table from its smallest; a text of all of them again, and new
    // ones, grows it further.
    CampaignNumbers collector;
    std::string text;
    std::vector<std::string> expected;
    for (long long i = 0; i < 5000; ++i) {
        const std::string number = std::to_string(13800000000LL + i * 7);
        collector.addNumber(number);
        expected.push_back(number);
        text += number + "\r\n";
    }
    for (long long i = 0; i < 5000; ++i) {
        const std::string number = std::to_string(15900000000LL + i * 13);
        text += number + "\r\n";
        expected.push_back(number);
    }
    const ImportTally tally = collector.addText(text);
    EXPECT_EQ(tally.added, 5000);
    EXPECT_EQ(tally.duplicates, 5000);
    EXPECT_EQ(collector.take(), expected);
}

}  // namespace
}  // namespace smsc::campaign
