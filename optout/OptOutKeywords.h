#pragma once
// Which received messages unsubscribe: the whole text, trimmed, full-width letters and digits
// folded to ASCII, letter case ignored and trailing punctuation removed, equals one of the
// keywords. The keywords come from Company_Info.ini, section [OptOut], key Keywords
// (comma-separated); without the section or the key they are the defaults below. Key AutoAdd
// of the same section: anything but "0" (or no key) means the 收到短信 page adds the senders
// of such replies to the list by itself. No Qt; texts are GBK.

#include <string>
#include <string_view>
#include <vector>

#include "records/RecordAnswers.h"

namespace smsc {

inline constexpr const char* kDefaultOptOutKeywordsUtf8 =
    "T,TD,N,R,退订,退订短信,取消,取消订阅,拒收,拒收短信,STOP,0000";

class OptOutKeywords {
public:
    // The defaults.
    OptOutKeywords();
    // A comma-separated list (GBK; "，" separates too); blank items are skipped.
    explicit OptOutKeywords(std::string_view gbkList);

    // Whether the received text (GBK) is one of the keywords.
    bool matches(std::string_view gbkText) const;
    // The keywords in their compared form (UTF-8), in the order given.
    const std::vector<std::string>& normalized() const { return m_keywords; }

private:
    std::vector<std::string> m_keywords;
};

// The text as it is compared (UTF-8): see the file comment.
std::string NormalizeReplyText(std::string_view gbkText);

struct OptOutSettings {
    OptOutKeywords keywords;
    bool autoAdd = true;
};
// Reads [OptOut] of the settings file; nothing else of the file is looked at or changed.
OptOutSettings ReadOptOutSettings(const std::string& companyInfoPath);

// The list number of a reply's sender: the trimmed number, 1 to 12 digits; a mobile number
// behind the country code ("+86" or "86" and 11 digits starting with 1) without it. Empty when
// the sender is no such number.
std::string OptOutNumberOfSender(std::string_view sender);

// Whether a record of the received-messages answer unsubscribes.
bool IsOptOutRecord(const ReceivedRecord& record, const OptOutKeywords& keywords);

// The list numbers of the records that unsubscribe, each once, in record order.
std::vector<std::string> OptOutNumbersOf(const std::vector<ReceivedRecord>& records,
                                         const OptOutKeywords& keywords);

}  // namespace smsc
