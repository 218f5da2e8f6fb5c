#pragma once
// The check before a message goes out (发送前检查): what the platforms refuse or penalise,
// found before anything is sent. No Qt: the send pages, the reply dialog and smsclient-cli
// share it.
//
// Two findings always block, whatever the settings: a text of only blanks, tabs and line
// breaks (it would be charged to every number), and characters GBK cannot carry (the
// conversion would send "?" in their place). The other rules come from the section
// [Compliance] of Company_Info.ini (ComplianceSettings.h); without it they only warn.
//
//   ComplianceSettings settings = LoadComplianceSettings(companyInfoPath);
//   ComplianceLists lists = LoadComplianceLists(dataDir);        // Compliance/*.txt
//   ComplianceReport report = CheckSmsText(utf8Text, {settings, kind, minuteOfDay}, lists);
//   report.blocks() ... report.outgoing (GBK: signature and unsubscription line added)
//
// Findings are display texts in UTF-8: they name characters that GBK cannot hold.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compliance/ComplianceSettings.h"
#include "compliance/WordMatcher.h"

namespace smsc {

enum class FindingLevel {
    Error,    // 错误: the send is refused
    Warning,  // 提醒: the user may send after seeing it
};

struct Finding {
    std::string rule;  // the rule's id ("signature-missing", ...)
    FindingLevel level = FindingLevel::Warning;
    std::string message;             // UTF-8, one sentence
    std::vector<std::string> items;  // UTF-8: the offending characters or words, if any
};

// One rule of the check, for the settings dialog, the README and `check --rules`.
struct ComplianceRule {
    const char* id;
    FindingLevel level;  // with [Compliance] set; without it every rule but the two
                         // always-on ones only warns
    const char* what;    // UTF-8
    const char* key;     // the setting it reads, "" for none
    const char* source;  // UTF-8: where the rule comes from
};
const std::vector<ComplianceRule>& ComplianceRules();
// The rule of an id; null for an unknown one.
const ComplianceRule* FindComplianceRule(std::string_view id);

// "错误" / "提醒" (UTF-8).
const char* FindingLevelText(FindingLevel level);

// The user's editable lists of the data folder, each created from its shipped default when
// missing and never overwritten: sensitive words and short-link hosts.
inline constexpr const char* kWordsFile = "Compliance/Words.txt";
inline constexpr const char* kShortLinksFile = "Compliance/ShortLinks.txt";
// A list larger than this is not read (the defaults take its place, with a warning).
inline constexpr size_t kMaxListFileBytes = 4u * 1024 * 1024;

struct ComplianceLists {
    WordMatcher words;
    std::vector<std::string> shortLinkHosts;  // lower-case ASCII
    std::vector<std::string> problems;        // UTF-8: a list that could not be read
};
// Reads the lists of the folder (a trailing '/' is optional); a missing list is created from
// its default when createMissing, else only its default is used.
ComplianceLists LoadComplianceLists(const std::string& dataDir, bool createMissing = true);
// The lines of a list file: GBK (or text behind a UTF-16/UTF-8 mark), blanks trimmed, empty
// lines and lines starting with "#" left out.
std::vector<std::string> ParseListFile(std::string bytes);
// The shipped defaults (GBK lines, CR LF).
std::string DefaultWordsFile();
std::string DefaultShortLinksFile();

struct CheckContext {
    ComplianceSettings settings;
    MessageKind kind = MessageKind::Notice;
    std::optional<int> minuteOfDay;  // local time of the send (0..1439); none: not checked
};

struct ComplianceReport {
    std::vector<Finding> findings;
    // GBK: the text as it goes out, signature and unsubscription line added when the
    // settings add them; empty when the text cannot be sent at all (blank, unsendable).
    std::string outgoing;
    bool addedSignature = false;
    bool addedUnsubscribe = false;

    bool blocks() const;
    int errors() const;
    int warnings() const;
};

// Whether the text (GBK or UTF-8) holds nothing but blanks (half- and full-width), tabs and
// line breaks.
bool IsBlankText(std::string_view text);

// The distinct characters of a UTF-8 text that GBK cannot carry, in order of appearance
// (UTF-8 each): those the conversion has no code for, the euro sign (its single byte 0x80 is
// no GBK character), and malformed bytes (as U+FFFD).
std::vector<std::string> UnsendableCharacters(std::string_view utf8);
// The same for GBK bytes: single bytes 0x80 and above that start no valid character.
std::vector<std::string> UnsendableGbkBytes(std::string_view gbk);

// What is refused; the subject names the field: "短信内容" or "彩信标题".
std::string UnsendableMessage(std::string_view subject, const std::vector<std::string>& chars);

// The whole check of an SMS text (UTF-8, as typed).
ComplianceReport CheckSmsText(std::string_view utf8, const CheckContext& context,
                              const ComplianceLists& lists);
// The same for a GBK text read from a file (or the window's GBK).
// The local time of day in minutes (0..1439): what the marketing hours are checked against
// when a message goes out now.
int LocalMinuteOfDay();
// Tests fix the time of day so that the hours rule does not follow the wall clock
// (nullopt: the clock again).
void SetLocalMinuteOfDayForTests(std::optional<int> minute);

ComplianceReport CheckSmsGbk(std::string_view gbk, const CheckContext& context,
                             const ComplianceLists& lists);
// An MMS title: the two always-on findings, sensitive words, symbols, short links and the
// hours (the content is an opaque file, so the signature and unsubscription rules do not
// apply). The outgoing text is the title unchanged.
ComplianceReport CheckMmsTitle(std::string_view utf8, const CheckContext& context,
                               const ComplianceLists& lists);

// "发送前检查：未发现问题" or "发送前检查：N个错误，M个提醒" (UTF-8).
std::string FindingsSummary(const ComplianceReport& report);

}  // namespace smsc
