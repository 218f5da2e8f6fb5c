#pragma once
// The settings of the check, section [Compliance] of Company_Info.ini (GBK). Writing them
// changes only the keys of that section. No Qt.
//   Signature=【公司名】    the account's signature, 2 to 12 characters inside the brackets
//   Auto_Signature=0|1      put the signature at the head of a text that lacks it
//   Default_Kind=notice|marketing
//   Unsubscribe_Text=拒收请回复R
//   Auto_Unsubscribe=0|1    end a marketing text with the unsubscription line
//   Marketing_Hours=08:00-21:00
//   Max_Per_Number_Per_Day=0  messages one number may get a day (0: no limit); numbers at
//                             the limit are left out of sends and campaigns (SendHistory.h)

#include <optional>
#include <string>
#include <string_view>

namespace smsc {

inline constexpr const char* kComplianceSection = "Compliance";

enum class MessageKind { Notice, Marketing };

// "notice" / "marketing"; none for anything else.
std::optional<MessageKind> MessageKindFromName(std::string_view name);
const char* MessageKindName(MessageKind kind);

struct ComplianceSettings {
    bool configured = false;  // the section exists
    std::string signature;    // GBK, "【…】", or empty
    bool autoSignature = false;
    MessageKind defaultKind = MessageKind::Notice;
    std::string unsubscribeText;  // GBK
    bool autoUnsubscribe = false;
    int hoursFrom = 8 * 60;      // minutes of the day, marketing allowed from…
    int hoursTo = 21 * 60;       // …until (exclusive)
    int maxPerNumberPerDay = 0;  // 0: no limit

    ComplianceSettings();
};

// Reads the section; a missing file or section gives the defaults with configured false.
// A value that does not parse keeps its default.
ComplianceSettings LoadComplianceSettings(const std::string& companyInfoPath);
// Writes every key of the section (GBK) and saves the file at once; false on failure.
bool SaveComplianceSettings(const std::string& companyInfoPath, const ComplianceSettings& settings);

// Whether a GBK text is a signature: "【" + 2 to 12 characters without brackets + "】".
bool IsValidSignature(std::string_view gbk);
// "HH:MM-HH:MM" → minutes; none when malformed or empty.
std::optional<std::pair<int, int>> ParseHours(std::string_view text);
std::string HoursText(int from, int to);
// Whether a minute of the day lies within the hours (a range past midnight wraps).
bool WithinHours(int minute, int from, int to);

}  // namespace smsc
