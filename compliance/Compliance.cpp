#include "compliance/Compliance.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

namespace smsc {

namespace {
std::optional<int> g_fixedMinuteOfDay;
}  // namespace

int LocalMinuteOfDay() {
    if (g_fixedMinuteOfDay)
        return *g_fixedMinuteOfDay;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 60 + local.tm_min;
}

void SetLocalMinuteOfDayForTests(std::optional<int> minute) { g_fixedMinuteOfDay = minute; }
namespace {

constexpr const char* kEmpty = "empty";
constexpr const char* kUnsendable = "unsendable";
constexpr const char* kSignatureUnset = "signature-unset";
constexpr const char* kSignatureMissing = "signature-missing";
constexpr const char* kSecondSignature = "second-signature";
constexpr const char* kUnsubscribeMissing = "unsubscribe-missing";
constexpr const char* kUnsubscribeInNotice = "unsubscribe-in-notice";
constexpr const char* kMarketingHours = "marketing-hours";
constexpr const char* kSensitiveWord = "sensitive-word";
constexpr const char* kSymbol = "symbol";
constexpr const char* kShortLink = "short-link";

// Symbols the platforms refuse in a message (UTF-8); those GBK cannot hold are caught as
// unsendable before.
constexpr const char* kRefusedSymbols[] = {
    "★", "☆", "※", "￥", "■",  "□", "◆", "◇", "●", "○", "◎", "▲", "△", "▼", "▽", "♀", "♂", "⊙",
    "◢", "◣", "◤", "◥",  "〓", "№", "§", "→", "←", "↑", "↓", "♠", "♣", "♥", "♦", "♡", "♪"};

const char* const kDefaultWords[] = {
    "代开发票", "增值税发票代开", "无抵押贷款", "信用卡套现", "套现",     "网络赌博", "博彩",
    "六合彩",   "办证",           "刻章",       "刷单",       "兼职刷单", "裸聊",     "私服",
    "外挂",     "代孕",           "枪支",       "迷药",       "窃听器",   "高利贷",   "洗钱"};

const char* const kDefaultShortLinks[] = {"t.cn",   "url.cn", "dwz.cn",      "suo.im",    "suo.nz",
                                          "mrw.so", "bit.ly", "tinyurl.com", "goo.gl",    "is.gd",
                                          "ow.ly",  "t.co",   "cutt.ly",     "rebrand.ly"};

std::string utf8Of(std::string_view gbk) {
    return GbkToUtf8(gbk);
}

// Length of the well-formed UTF-8 sequence at text[i] (no overlong forms, no surrogates), or
// 0 when malformed.
size_t utf8SequenceLength(std::string_view text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80)
        return 1;
    size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high)
        return 0;
    for (size_t k = 2; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

bool isBlankCode(unsigned char b) {
    return b == ' ' || b == '\t' || b == '\r' || b == '\n';
}

void addFinding(ComplianceReport& report, const char* rule, FindingLevel level, std::string message,
                std::vector<std::string> items = {}) {
    report.findings.push_back({rule, level, std::move(message), std::move(items)});
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty())
            out += separator;
        out += item;
    }
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Whether a character of the GBK text starts at pos (a trail byte may look like a lead).
bool isCharStart(std::string_view text, size_t pos) {
    size_t i = 0;
    while (i < pos)
        i += static_cast<size_t>(GbkCharBytes(text, i));
    return i == pos;
}

// The first occurrence of the GBK needle that starts and ends on characters.
size_t findCharacters(std::string_view text, std::string_view needle, size_t from = 0) {
    for (size_t i = 0; i < text.size(); i += static_cast<size_t>(GbkCharBytes(text, i)))
        if (i >= from && text.substr(i, needle.size()) == needle &&
            isCharStart(text, i + needle.size()))
            return i;
    return std::string_view::npos;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix &&
           isCharStart(text, text.size() - suffix.size());
}

// Leading or trailing blanks, line breaks and full-width spaces left out.
std::string_view trimmedText(std::string_view gbk) {
    static const std::string wide = G("　");
    for (;;) {
        const std::string_view before = gbk;
        gbk = TrimmedView(gbk);
        if (startsWith(gbk, wide))
            gbk.remove_prefix(wide.size());
        if (endsWith(gbk, wide))
            gbk.remove_suffix(wide.size());
        if (gbk == before)
            return gbk;
    }
}

// The signature at the head of the text ("【…】" with 2 to 12 characters), or empty.
std::string headSignature(std::string_view gbk) {
    static const std::string open = G("【"), close = G("】");
    const std::string_view text = trimmedText(gbk);
    if (!startsWith(text, open))
        return {};
    const size_t end = findCharacters(text, close, open.size());
    if (end == std::string_view::npos)
        return {};
    const std::string_view sig = text.substr(0, end + close.size());
    return IsValidSignature(sig) ? std::string(sig) : std::string();
}

size_t countOf(std::string_view gbk, std::string_view what) {
    size_t count = 0;
    for (size_t i = 0; i < gbk.size(); i += static_cast<size_t>(GbkCharBytes(gbk, i)))
        if (gbk.substr(i, what.size()) == what)
            ++count;
    return count;
}

const std::unordered_set<uint32_t>& refusedSymbolCodes() {
    static const std::unordered_set<uint32_t> codes = [] {
        std::unordered_set<uint32_t> set;
        for (const char* symbol : kRefusedSymbols) {
            const std::string gbk = G(symbol);
            if (gbk != "?" && gbk.size() == 2)
                set.insert(GbkCharacterCodes(gbk).front());
        }
        return set;
    }();
    return codes;
}

std::vector<std::string> refusedSymbols(std::string_view gbk) {
    const auto& refused = refusedSymbolCodes();
    std::vector<std::string> found;
    std::unordered_set<uint32_t> seen;
    for (size_t i = 0; i < gbk.size();) {
        const int n = GbkCharBytes(gbk, i);
        if (n == 2) {
            const uint32_t code = static_cast<uint32_t>(static_cast<unsigned char>(gbk[i])) << 8 |
                                  static_cast<unsigned char>(gbk[i + 1]);
            if (refused.count(code) && seen.insert(code).second)
                found.push_back(utf8Of(gbk.substr(i, 2)));
        }
        i += static_cast<size_t>(n);
    }
    return found;
}

bool hostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

std::vector<std::string> shortLinks(std::string_view gbk, const std::vector<std::string>& hosts) {
    // Lower-case ASCII with every two-byte character blanked: positions stay, and a trail
    // byte never reads as a letter.
    std::string view(gbk);
    for (size_t i = 0; i < view.size();) {
        const int n = GbkCharBytes(view, i);
        if (n == 2) {
            view[i] = view[i + 1] = ' ';
        } else if (view[i] >= 'A' && view[i] <= 'Z') {
            view[i] = static_cast<char>(view[i] - 'A' + 'a');
        }
        i += static_cast<size_t>(n);
    }
    std::vector<std::string> found;
    for (const std::string& host : hosts) {
        for (size_t pos = view.find(host); pos != std::string::npos;
             pos = view.find(host, pos + 1)) {
            const size_t end = pos + host.size();
            if (pos > 0 && hostCharacter(view[pos - 1]))
                continue;
            if (end < view.size() &&
                (hostCharacter(view[end]) ||
                 (view[end] == '.' && end + 1 < view.size() && hostCharacter(view[end + 1]))))
                continue;
            found.push_back(host);
            break;
        }
    }
    return found;
}

// Creates the list file from its default when missing; reads it otherwise.
std::optional<std::vector<std::string>> listFile(const std::string& path,
                                                 const std::string& defaultBytes,
                                                 bool createMissing,
                                                 std::vector<std::string>& problems) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
        if (!createMissing)
            return ParseListFile(defaultBytes);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        WriteFileAtomically(path, defaultBytes);  // best effort: the default is used anyway
        return ParseListFile(defaultBytes);
    }
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<size_t>(st.st_size) > kMaxListFileBytes) {
        problems.push_back("列表文件过大，已改用内置列表：" + path);
        return std::nullopt;
    }
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes || bytes->size() > kMaxListFileBytes) {
        problems.push_back("无法读取列表文件，已改用内置列表：" + path);
        return std::nullopt;
    }
    return ParseListFile(std::move(*bytes));
}

std::string defaultFile(const char* header, const char* const* lines, size_t count) {
    std::string out = G(header) + "\r\n";
    for (size_t i = 0; i < count; ++i)
        out += G(lines[i]) + "\r\n";
    return out;
}

// Without [Compliance] only the always-on findings block.
void settle(ComplianceReport& report, const ComplianceSettings& settings) {
    if (settings.configured)
        return;
    for (Finding& f : report.findings)
        if (f.rule != kEmpty && f.rule != kUnsendable)
            f.level = FindingLevel::Warning;
}

// The rules shared by SMS texts and MMS titles, on the text as it goes out.
void contentRules(ComplianceReport& report, std::string_view gbk, const CheckContext& context,
                  const ComplianceLists& lists) {
    const ComplianceSettings& s = context.settings;
    if (context.kind == MessageKind::Marketing && context.minuteOfDay &&
        !WithinHours(*context.minuteOfDay, s.hoursFrom, s.hoursTo))
        addFinding(
            report, kMarketingHours, FindingLevel::Warning,
            "营销短信只能在" + HoursText(s.hoursFrom, s.hoursTo) + "发送，发送时间不在此时段内");
    std::vector<std::string> words = lists.words.findIn(gbk);
    if (!words.empty()) {
        for (std::string& w : words)
            w = utf8Of(w);
        addFinding(report, kSensitiveWord, FindingLevel::Error,
                   "含有敏感词：" + joined(words, "、"), words);
    }
    if (std::vector<std::string> symbols = refusedSymbols(gbk); !symbols.empty())
        addFinding(report, kSymbol, FindingLevel::Error,
                   "含有平台拒收的符号：" + joined(symbols, " "), symbols);
    if (std::vector<std::string> links = shortLinks(gbk, lists.shortLinkHosts); !links.empty())
        addFinding(report, kShortLink, FindingLevel::Error,
                   "含有短链接（平台拒收跳转网址）：" + joined(links, "、"), links);
}

}  // namespace

const std::vector<ComplianceRule>& ComplianceRules() {
    static const std::vector<ComplianceRule> rules = {
        {kEmpty, FindingLevel::Error, "内容只有空格、制表符或换行", "",
         "始终检查：空白短信照样按号码扣费"},
        {kUnsendable, FindingLevel::Error, "含有GBK编码无法表示的字符（如表情符号、€）", "",
         "始终检查：服务按GBK收字，这些字符会变成“?”"},
        {kSignatureUnset, FindingLevel::Warning, "未设置短信签名，短信开头也没有签名", "Signature",
         "各平台：短信须以【签名】开头"},
        {kSignatureMissing, FindingLevel::Error, "短信开头没有设置的签名",
         "Signature, Auto_Signature", "各平台：短信须以报备的【签名】开头"},
        {kSecondSignature, FindingLevel::Error, "短信中有第二个【】", "",
         "各平台：一条短信只能有一个签名"},
        {kUnsubscribeMissing, FindingLevel::Error, "营销短信末尾没有退订语",
         "Unsubscribe_Text, Auto_Unsubscribe", "营销短信须以退订方式结尾（通行“拒收请回复R”）"},
        {kUnsubscribeInNotice, FindingLevel::Warning, "通知短信含有退订语", "Default_Kind",
         "平台把带退订语的短信按营销短信审核"},
        {kMarketingHours, FindingLevel::Warning, "营销短信不在允许的发送时段", "Marketing_Hours",
         "营销短信限时段发送（最严的平台为08:00-21:00）"},
        {kSensitiveWord, FindingLevel::Error, "含有敏感词", "Compliance/Words.txt",
         "平台敏感词审核（服务以状态9拒收）"},
        {kSymbol, FindingLevel::Error, "含有平台拒收的符号（★ ¥ ※ 等）", "", "平台拒收特殊符号"},
        {kShortLink, FindingLevel::Error, "含有短链接", "Compliance/ShortLinks.txt",
         "平台拒收经短链接服务跳转的网址"},
    };
    return rules;
}

const ComplianceRule* FindComplianceRule(std::string_view id) {
    for (const ComplianceRule& rule : ComplianceRules())
        if (id == rule.id)
            return &rule;
    return nullptr;
}

const char* FindingLevelText(FindingLevel level) {
    return level == FindingLevel::Error ? "错误" : "提醒";
}

bool ComplianceReport::blocks() const {
    return errors() > 0;
}
int ComplianceReport::errors() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.level == FindingLevel::Error;
    }));
}
int ComplianceReport::warnings() const {
    return static_cast<int>(findings.size()) - errors();
}

std::vector<std::string> ParseListFile(std::string bytes) {
    const std::string text = TextFileBytesAsGbk(std::move(bytes));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line =
            std::string(trimmedText(std::string_view(text).substr(start, end - start)));
        if (!line.empty() && line[0] != '#')
            lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string DefaultWordsFile() {
    return defaultFile("# 敏感词，每行一个；以#开头的行不算", kDefaultWords,
                       std::size(kDefaultWords));
}
std::string DefaultShortLinksFile() {
    return defaultFile("# 短链接网址，每行一个；以#开头的行不算", kDefaultShortLinks,
                       std::size(kDefaultShortLinks));
}

ComplianceLists LoadComplianceLists(const std::string& dataDir, bool createMissing) {
    std::string dir = dataDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    ComplianceLists lists;
    std::optional<std::vector<std::string>> words =
        listFile(dir + kWordsFile, DefaultWordsFile(), createMissing, lists.problems);
    lists.words = WordMatcher(words ? *words : ParseListFile(DefaultWordsFile()));
    std::optional<std::vector<std::string>> hosts =
        listFile(dir + kShortLinksFile, DefaultShortLinksFile(), createMissing, lists.problems);
    for (const std::string& host : hosts ? *hosts : ParseListFile(DefaultShortLinksFile())) {
        std::string lower;
        for (char c : host)
            lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-_") == std::string::npos)
            lists.shortLinkHosts.push_back(lower);
    }
    return lists;
}

bool IsBlankText(std::string_view text) {
    static const std::string wideGbk = G("　");
    static const std::string wideUtf8 = "\xE3\x80\x80";
    for (size_t i = 0; i < text.size();) {
        if (isBlankCode(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else if (text.substr(i, 2) == wideGbk) {
            i += 2;
        } else if (text.substr(i, 3) == wideUtf8) {
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<std::string> UnsendableCharacters(std::string_view utf8) {
    std::vector<std::string> found;
    const std::string gbk = Utf8ToGbk(utf8);
    if (gbk.find('\x80') == std::string::npos && GbkToUtf8(gbk) == utf8)
        return found;
    std::unordered_set<std::string> seen;
    for (size_t i = 0; i < utf8.size();) {
        const size_t n = utf8SequenceLength(utf8, i);
        std::string ch = n == 0 ? std::string("\xEF\xBF\xBD") : std::string(utf8.substr(i, n));
        bool bad = n == 0;
        if (!bad) {
            const std::string one = Utf8ToGbk(ch);
            bad = one == "\x80" || GbkToUtf8(one) != ch;
        }
        if (bad && seen.insert(ch).second)
            found.push_back(ch);
        i += n == 0 ? 1 : n;
    }
    return found;
}

std::vector<std::string> UnsendableGbkBytes(std::string_view gbk) {
    std::vector<std::string> found;
    bool euro = false, broken = false;
    for (size_t i = 0; i < gbk.size();) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        const int n = GbkCharBytes(gbk, i);
        if (b >= 0x80 && n == 1) {
            if (b == 0x80 && !euro) {
                euro = true;
                found.push_back("€");
            } else if (b != 0x80 && !broken) {
                broken = true;
                found.push_back("\xEF\xBF\xBD");
            }
        }
        i += static_cast<size_t>(n);
    }
    return found;
}

std::string UnsendableMessage(std::string_view subject, const std::vector<std::string>& chars) {
    return std::string(subject) + "含有无法发送的字符：" + joined(chars, " ");
}

ComplianceReport CheckSmsGbk(std::string_view gbk, const CheckContext& context,
                             const ComplianceLists& lists) {
    ComplianceReport report;
    if (IsBlankText(gbk)) {
        addFinding(report, kEmpty, FindingLevel::Error, "要发送的短信内容不能为空");
        return report;
    }
    if (std::vector<std::string> chars = UnsendableGbkBytes(gbk); !chars.empty()) {
        addFinding(report, kUnsendable, FindingLevel::Error, UnsendableMessage("短信内容", chars),
                   chars);
        return report;
    }
    const ComplianceSettings& s = context.settings;
    std::string out(gbk);
    const std::string head = headSignature(out);
    if (s.signature.empty()) {
        if (head.empty())
            addFinding(report, kSignatureUnset, FindingLevel::Warning,
                       "未设置短信签名，短信开头也没有【签名】（可在“发送前检查设置”中设置）");
    } else if (head != s.signature) {
        if (s.autoSignature && head.empty()) {
            out = s.signature + out;
            report.addedSignature = true;
        } else if (head.empty()) {
            addFinding(report, kSignatureMissing, FindingLevel::Error,
                       "短信开头没有签名" + utf8Of(s.signature), {utf8Of(s.signature)});
        } else {
            addFinding(
                report, kSignatureMissing, FindingLevel::Error,
                "短信开头的签名" + utf8Of(head) + "与设置的签名" + utf8Of(s.signature) + "不同",
                {utf8Of(head)});
        }
    }
    const bool hasLine =
        !s.unsubscribeText.empty() && endsWith(trimmedText(out), s.unsubscribeText);
    if (context.kind == MessageKind::Marketing && !hasLine) {
        if (s.autoUnsubscribe) {
            out += s.unsubscribeText;
            report.addedUnsubscribe = true;
        } else {
            addFinding(report, kUnsubscribeMissing, FindingLevel::Error,
                       "营销短信末尾没有退订语“" + utf8Of(s.unsubscribeText) + "”",
                       {utf8Of(s.unsubscribeText)});
        }
    } else if (context.kind == MessageKind::Notice &&
               findCharacters(out, s.unsubscribeText) != std::string_view::npos) {
        addFinding(report, kUnsubscribeInNotice, FindingLevel::Warning,
                   "通知短信含有退订语“" + utf8Of(s.unsubscribeText) + "”，平台会按营销短信审核",
                   {utf8Of(s.unsubscribeText)});
    }
    if (countOf(out, G("【")) > 1 || countOf(out, G("】")) > 1)
        addFinding(report, kSecondSignature, FindingLevel::Error,
                   "短信中有第二个【】，平台只认开头的一个签名", {"【】"});
    contentRules(report, out, context, lists);
    settle(report, s);
    report.outgoing = std::move(out);
    return report;
}

ComplianceReport CheckSmsText(std::string_view utf8, const CheckContext& context,
                              const ComplianceLists& lists) {
    if (!IsBlankText(utf8)) {
        if (std::vector<std::string> chars = UnsendableCharacters(utf8); !chars.empty()) {
            ComplianceReport report;
            addFinding(report, kUnsendable, FindingLevel::Error,
                       UnsendableMessage("短信内容", chars), chars);
            return report;
        }
    }
    return CheckSmsGbk(Utf8ToGbk(utf8), context, lists);
}

ComplianceReport CheckMmsTitle(std::string_view utf8, const CheckContext& context,
                               const ComplianceLists& lists) {
    ComplianceReport report;
    if (IsBlankText(utf8)) {
        addFinding(report, kEmpty, FindingLevel::Error, "彩信标题内容不能为空");
        return report;
    }
    if (std::vector<std::string> chars = UnsendableCharacters(utf8); !chars.empty()) {
        addFinding(report, kUnsendable, FindingLevel::Error, UnsendableMessage("彩信标题", chars),
                   chars);
        return report;
    }
    report.outgoing = Utf8ToGbk(utf8);
    contentRules(report, report.outgoing, context, lists);
    settle(report, context.settings);
    return report;
}

std::string FindingsSummary(const ComplianceReport& report) {
    if (report.findings.empty())
        return "发送前检查：未发现问题";
    std::string out = "发送前检查：";
    if (report.errors() > 0)
        out += std::to_string(report.errors()) + "个错误";
    if (report.warnings() > 0) {
        if (report.errors() > 0)
            out += "，";
        out += std::to_string(report.warnings()) + "个提醒";
    }
    return out;
}

}  // namespace smsc
