// The check before a message goes out: the two always-on refusals (deliberate mends of the
// send), the rules of [Compliance], the settings file and the user's lists.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "compliance/Compliance.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::TempFolder;

namespace {

ComplianceLists defaultLists() {
    ComplianceLists lists;
    lists.words = WordMatcher({G("代开发票"), G("发票"), G("博彩"), "VIP"});
    lists.shortLinkHosts = {"t.cn", "url.cn", "bit.ly"};
    return lists;
}

ComplianceSettings configured() {
    ComplianceSettings s;
    s.configured = true;
    s.signature = G("【星河科技】");
    return s;
}

CheckContext ctx(const ComplianceSettings& settings, MessageKind kind = MessageKind::Notice,
                 std::optional<int> minute = std::nullopt) {
    return {settings, kind, minute};
}

// "rule:E" or "rule:W" for each finding, in order.
std::string rulesOf(const ComplianceReport& report) {
    std::string out;
    for (const Finding& f : report.findings)
        out += (out.empty() ? "" : " ") + f.rule + (f.level == FindingLevel::Error ? ":E" : ":W");
    return out;
}

}  // namespace

TEST(ComplianceCheck, DeliberateMendsBlankAndUnsendableTextsAreRefusedWhateverTheSettings) {
    struct Case {
        std::string utf8;
        std::string message;  // the one finding
    } cases[] = {
        {"   ", "要发送的短信内容不能为空"},
        {" \t\r\n\xE3\x80\x80\r\n", "要发送的短信内容不能为空"},
        {"祝您新年快乐😊！€", "短信内容含有无法发送的字符：😊 €"},
        {"a😊b😊\xF0\x9F\x8E\x89", "短信内容含有无法发送的字符：😊 🎉"},
        {"bad \xC0\xAF byte", "短信内容含有无法发送的字符：\xEF\xBF\xBD"},
    };
    for (const ComplianceSettings& settings : {ComplianceSettings{}, configured()}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.utf8);
            const ComplianceReport r = CheckSmsText(c.utf8, ctx(settings), defaultLists());
            ASSERT_EQ(r.findings.size(), 1u);
            EXPECT_EQ(r.findings[0].message, c.message);
            EXPECT_TRUE(r.blocks());
            EXPECT_TRUE(r.outgoing.empty());
        }
    }
    // GBK read from a file: the euro's single byte and a lead byte without its trail.
    EXPECT_EQ(CheckSmsGbk(G("价格") + "\x80" + "5", {}, defaultLists()).findings[0].message,
              "短信内容含有无法发送的字符：€");
    EXPECT_EQ(rulesOf(CheckSmsGbk("ok\x81", {}, defaultLists())), "unsendable:E");
    // The MMS title has its own subject.
    EXPECT_EQ(CheckMmsTitle("贺卡🎉", {}, defaultLists()).findings[0].message,
              "彩信标题含有无法发送的字符：🎉");
    EXPECT_EQ(rulesOf(CheckMmsTitle("\xE3\x80\x80\n", {}, defaultLists())), "empty:E");
    EXPECT_TRUE(UnsendableCharacters("中文 abc ？！【】").empty());
}

TEST(ComplianceCheck, RulesLevelsAndTheTextAsItGoesOut) {
    const int noon = 12 * 60, late = 22 * 60;
    ComplianceSettings autoBoth = configured();
    autoBoth.autoSignature = true;
    autoBoth.autoUnsubscribe = true;
    struct Case {
        const char* name;
        ComplianceSettings settings;
        MessageKind kind;
        int minute;
        std::string text;  // UTF-8
        std::string rules;
        std::string outgoing;  // UTF-8; "=" the text unchanged
    } cases[] = {
        {"without the section only a reminder",
         {},
         MessageKind::Notice,
         noon,
         "会议改到三点",
         "signature-unset:W",
         "="},
        // 啊靠 is B0A1 BFBF: the bytes A1 BF of "】" across two characters are no bracket.
        {"no bracket across characters",
         {},
         MessageKind::Notice,
         noon,
         "【星啊靠会议",
         "signature-unset:W",
         "="},
        {"own signature needs no setting",
         {},
         MessageKind::Notice,
         noon,
         "【某公司】会议改到三点",
         "",
         "="},
        {"without the section nothing else blocks",
         {},
         MessageKind::Marketing,
         late,
         "博彩★ t.cn/x",
         "signature-unset:W unsubscribe-missing:W marketing-hours:W sensitive-word:W symbol:W "
         "short-link:W",
         "="},
        {"signature missing", configured(), MessageKind::Notice, noon, "会议改到三点",
         "signature-missing:E", "="},
        {"another signature", configured(), MessageKind::Notice, noon, "【别家】会议",
         "signature-missing:E", "="},
        {"signature after blanks", configured(), MessageKind::Notice, noon, " 【星河科技】会议", "",
         "="},
        {"second brackets", configured(), MessageKind::Notice, noon, "【星河科技】会议【地点】",
         "second-signature:E", "="},
        {"marketing without the line", configured(), MessageKind::Marketing, noon,
         "【星河科技】促销", "unsubscribe-missing:E", "="},
        {"marketing with the line", configured(), MessageKind::Marketing, noon,
         "【星河科技】促销，拒收请回复R ", "", "="},
        {"notice with the line", configured(), MessageKind::Notice, noon,
         "【星河科技】会议拒收请回复R", "unsubscribe-in-notice:W", "="},
        {"marketing late", configured(), MessageKind::Marketing, late,
         "【星河科技】促销拒收请回复R", "marketing-hours:W", "="},
        {"notice late is fine", configured(), MessageKind::Notice, late, "【星河科技】会议", "",
         "="},
        {"both added", autoBoth, MessageKind::Marketing, noon, "促销", "",
         "【星河科技】促销拒收请回复R"},
        {"auto adds no second signature", autoBoth, MessageKind::Notice, noon, "【别家】会议",
         "signature-missing:E", "="},
        {"words, once each, named", configured(), MessageKind::Notice, noon,
         "【星河科技】代开发票，发票，vip", "sensitive-word:E", "="},
        {"symbols and links", configured(), MessageKind::Notice, noon,
         "【星河科技】※特价￥9 见HTTP://T.CN/ab 和 w.url.cn", "symbol:E short-link:E", "="},
        {"no link inside a longer host", configured(), MessageKind::Notice, noon,
         "【星河科技】见 at.cn 与 t.cnn.com", "", "="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ComplianceReport r =
            CheckSmsText(c.text, ctx(c.settings, c.kind, c.minute), defaultLists());
        EXPECT_EQ(rulesOf(r), c.rules);
        for (const Finding& f : r.findings) {  // every rule is in the table, at its level
            const ComplianceRule* rule = FindComplianceRule(f.rule);
            ASSERT_NE(rule, nullptr) << f.rule;
            if (c.settings.configured) {
                EXPECT_EQ(rule->level, f.level) << f.rule;
            }
        }
        EXPECT_EQ(GbkToUtf8(r.outgoing), std::string(c.outgoing) == "=" ? c.text : c.outgoing);
    }
    const ComplianceReport words =
        CheckSmsText("【星河科技】代开发票，发票，vip", ctx(configured()), defaultLists());
    EXPECT_EQ(words.findings[0].items, (std::vector<std::string>{"代开发票", "发票", "VIP"}));
    EXPECT_EQ(FindingsSummary(words), "发送前检查：1个错误");
    EXPECT_EQ(FindingsSummary(ComplianceReport{}), "发送前检查：未发现问题");
}

TEST(WordMatcher, OnePassOverCharactersNeverInsideOne) {
    const WordMatcher m({G("he"), G("she"), G("his"), G("hers"), G("中国"), "\\", "", G("he")});
    EXPECT_EQ(m.size(), 6u);
    EXPECT_EQ(m.findIn("ushers"), (std::vector<std::string>{"she", "he", "hers"}));
    EXPECT_EQ(m.findIn(G("我爱中国，中国")), std::vector<std::string>{G("中国")});
    // "東" is 96 5C in GBK: its trail byte is no backslash.
    EXPECT_TRUE(m.findIn(G("東京")).empty());
    EXPECT_EQ(m.findIn("a\\b"), std::vector<std::string>{"\\"});
    EXPECT_TRUE(WordMatcher().findIn("anything").empty());
}

TEST(ComplianceSettings, SectionWrittenAloneAndReadBack) {
    TempFolder folder;
    const std::string ini = folder.file("Company_Info.ini");
    folder.writeFile("Company_Info.ini", G("[Create_Line]\r\nline_index=1\r\nline_name=网通\r\n"));
    EXPECT_FALSE(LoadComplianceSettings(ini).configured);
    ComplianceSettings s = configured();
    s.autoSignature = true;
    s.defaultKind = MessageKind::Marketing;
    s.unsubscribeText = G("退订回T");
    s.hoursFrom = 9 * 60;
    s.hoursTo = 20 * 60 + 30;
    ASSERT_TRUE(SaveComplianceSettings(ini, s));
    const ComplianceSettings back = LoadComplianceSettings(ini);
    EXPECT_TRUE(back.configured);
    EXPECT_EQ(back.signature, s.signature);
    EXPECT_TRUE(back.autoSignature);
    EXPECT_FALSE(back.autoUnsubscribe);
    EXPECT_EQ(back.defaultKind, MessageKind::Marketing);
    EXPECT_EQ(back.unsubscribeText, G("退订回T"));
    EXPECT_EQ(HoursText(back.hoursFrom, back.hoursTo), "09:00-20:30");
    IniFile file(ini);
    file.reload();
    EXPECT_EQ(file.value("Create_Line", "line_name"), G("网通"));

    // Values that do not parse keep their defaults.
    folder.writeFile("Company_Info.ini",
                     G("[Compliance]\r\nSignature=没有括号\r\nDefault_Kind=x\r\n"
                       "Marketing_Hours=25:00-08:00\r\nUnsubscribe_Text=  \r\n"));
    const ComplianceSettings bad = LoadComplianceSettings(ini);
    EXPECT_TRUE(bad.configured);
    EXPECT_TRUE(bad.signature.empty());
    EXPECT_EQ(bad.defaultKind, MessageKind::Notice);
    EXPECT_EQ(bad.unsubscribeText, G("拒收请回复R"));
    EXPECT_EQ(HoursText(bad.hoursFrom, bad.hoursTo), "08:00-21:00");

    for (auto [sig, ok] : {std::pair{"【星河】", true},
                           {"【星】", false},
                           {"【一二三四五六七八九十一二】", true},
                           {"【一二三四五六七八九十一二三】", false},
                           {"【a【b】", false},
                           {"星河", false}})
        EXPECT_EQ(IsValidSignature(G(sig)), ok) << sig;
    EXPECT_TRUE(WithinHours(23 * 60, 22 * 60, 6 * 60));  // past midnight
    EXPECT_FALSE(WithinHours(21 * 60, 8 * 60, 21 * 60));
}

TEST(ComplianceLists, CreatedFromTheDefaultsNeverOverwrittenBadFilesFallBack) {
    TempFolder folder;
    ComplianceLists lists = LoadComplianceLists(folder.path());
    EXPECT_TRUE(lists.problems.empty());
    EXPECT_GT(lists.words.size(), 10u);
    const std::string words = folder.file("Compliance/Words.txt");
    struct stat st {};
    ASSERT_EQ(::stat(words.c_str(), &st), 0);

    // The user's own list is read (GBK or behind a UTF-8 mark) and kept as it is.
    folder.writeFile("Compliance/Words.txt", G("# 注释\r\n  秘方  \r\n\r\n"));
    folder.writeFile("Compliance/ShortLinks.txt",
                     "\xEF\xBB\xBF"
                     "Sho.RT\r\nnot a host\r\n");
    lists = LoadComplianceLists(folder.path());
    EXPECT_EQ(lists.words.size(), 1u);
    EXPECT_EQ(lists.shortLinkHosts, std::vector<std::string>{"sho.rt"});
    EXPECT_EQ(rulesOf(CheckSmsGbk(G("祖传秘方 sho.rt/1"), ctx(configured()), lists)),
              "signature-missing:E sensitive-word:E short-link:E");

    // A folder where the list should be, or a list past the limit: the defaults, said once.
    TempFolder other;
    ::mkdir((other.path() + "Compliance").c_str(), 0700);
    ::mkdir((other.path() + kWordsFile).c_str(), 0700);
    other.writeFile("Compliance/ShortLinks.txt", std::string(kMaxListFileBytes + 1, 'a'));
    lists = LoadComplianceLists(other.path());
    EXPECT_EQ(lists.problems.size(), 2u);
    EXPECT_GT(lists.words.size(), 10u);
    EXPECT_FALSE(lists.shortLinkHosts.empty());
}
