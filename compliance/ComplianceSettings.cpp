#include "compliance/ComplianceSettings.h"

#include <cstdio>

#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

bool flagOf(const std::optional<std::string>& value, bool fallback) {
    if (!value)
        return fallback;
    const std::string v = TrimBlanks(*value);
    if (v == "1")
        return true;
    if (v == "0")
        return false;
    return fallback;
}

std::optional<int> minutesOf(std::string_view hhmm) {
    if (hhmm.size() == 4)  // "8:00"
        return minutesOf(std::string("0") + std::string(hhmm));
    if (hhmm.size() != 5 || hhmm[2] != ':')
        return std::nullopt;
    for (size_t i : {0, 1, 3, 4})
        if (hhmm[i] < '0' || hhmm[i] > '9')
            return std::nullopt;
    const int h = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
    const int m = (hhmm[3] - '0') * 10 + (hhmm[4] - '0');
    if (m > 59 || h > 24 || (h == 24 && m != 0))
        return std::nullopt;
    return h * 60 + m;
}

}  // namespace

std::optional<MessageKind> MessageKindFromName(std::string_view name) {
    if (name == "notice")
        return MessageKind::Notice;
    if (name == "marketing")
        return MessageKind::Marketing;
    return std::nullopt;
}

const char* MessageKindName(MessageKind kind) {
    return kind == MessageKind::Marketing ? "marketing" : "notice";
}

ComplianceSettings::ComplianceSettings() : unsubscribeText(G("拒收请回复R")) {}

bool IsValidSignature(std::string_view gbk) {
    static const std::string open = G("【"), close = G("】");
    if (gbk.size() < open.size() + close.size() || gbk.substr(0, open.size()) != open ||
        gbk.substr(gbk.size() - close.size()) != close)
        return false;
    const std::string_view inside =
        gbk.substr(open.size(), gbk.size() - open.size() - close.size());
    if (inside.find(open) != std::string_view::npos || inside.find(close) != std::string_view::npos)
        return false;
    for (char c : inside)
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    const int count = GbkCharCount(inside);
    return count >= 2 && count <= 12;
}

std::optional<std::pair<int, int>> ParseHours(std::string_view text) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::string from = TrimBlanks(text.substr(0, dash));
    const std::string to = TrimBlanks(text.substr(dash + 1));
    const std::optional<int> a = minutesOf(from), b = minutesOf(to);
    if (!a || !b || *a == *b)
        return std::nullopt;
    return std::make_pair(*a, *b);
}

std::string HoursText(int from, int to) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d-%02d:%02d", from / 60, from % 60, to / 60,
                  to % 60);
    return buffer;
}

bool WithinHours(int minute, int from, int to) {
    return from < to ? minute >= from && minute < to : minute >= from || minute < to;
}

ComplianceSettings LoadComplianceSettings(const std::string& companyInfoPath) {
    ComplianceSettings s;
    IniFile ini(companyInfoPath);
    ini.reload();
    if (!ini.hasSection(kComplianceSection))
        return s;
    s.configured = true;
    auto value = [&](const char* key) { return ini.value(kComplianceSection, key); };
    if (const auto sig = value("Signature"); sig && IsValidSignature(TrimBlanks(*sig)))
        s.signature = TrimBlanks(*sig);
    s.autoSignature = flagOf(value("Auto_Signature"), false);
    if (const auto kind = value("Default_Kind"))
        s.defaultKind = MessageKindFromName(TrimBlanks(*kind)).value_or(MessageKind::Notice);
    if (const auto text = value("Unsubscribe_Text"); text && !TrimBlanks(*text).empty())
        s.unsubscribeText = TrimBlanks(*text);
    s.autoUnsubscribe = flagOf(value("Auto_Unsubscribe"), false);
    if (const auto hours = value("Marketing_Hours"))
        if (const auto parsed = ParseHours(*hours)) {
            s.hoursFrom = parsed->first;
            s.hoursTo = parsed->second;
        }
    if (const auto cap = value("Max_Per_Number_Per_Day")) {
        const std::string text = TrimBlanks(*cap);
        if (!text.empty() && text.size() <= 6 &&
            text.find_first_not_of("0123456789") == std::string::npos)
            s.maxPerNumberPerDay = std::stoi(text);
    }
    return s;
}

bool SaveComplianceSettings(const std::string& companyInfoPath,
                            const ComplianceSettings& settings) {
    IniFile ini(companyInfoPath);
    return ini.write(kComplianceSection,
                     {{"Signature", settings.signature},
                      {"Auto_Signature", settings.autoSignature ? "1" : "0"},
                      {"Default_Kind", MessageKindName(settings.defaultKind)},
                      {"Unsubscribe_Text", settings.unsubscribeText},
                      {"Auto_Unsubscribe", settings.autoUnsubscribe ? "1" : "0"},
                      {"Marketing_Hours", HoursText(settings.hoursFrom, settings.hoursTo)},
                      {"Max_Per_Number_Per_Day", std::to_string(settings.maxPerNumberPerDay)}});
}

}  // namespace smsc
