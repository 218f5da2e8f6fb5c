#pragma once
// Text files as Windows programs save them: "Unicode" (UTF-16 behind its byte-order mark).

#include <QString>
#include <string>
#include <string_view>

namespace smsc::test {

// The UTF-8 text as UTF-16 bytes, little- or big-endian, behind the matching mark.
inline std::string Utf16File(std::string_view utf8, bool littleEndian = true) {
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (const QChar c : text) {
        const auto lo = static_cast<char>(c.unicode() & 0xFF);
        const auto hi = static_cast<char>(c.unicode() >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

}  // namespace smsc::test
