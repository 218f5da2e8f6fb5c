#pragma once
// Code page 936 (GBK) text, the encoding of every text the service, the files and the
// core code handle. Bytes 0x00..0x80 are single-byte characters (0x80 is the euro sign);
// a byte 0x81..0xFE starts a two-byte character. Nothing here throws.

#include <string>
#include <string_view>

namespace smsc {

// Whether the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no cut-off sequence. The one check of every reader that tells UTF-8 from GBK.
bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// GBK bytes to UTF-8. A byte that does not start a valid character becomes U+FFFD and
// only that byte is consumed.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK bytes. A character GBK cannot hold becomes '?'; malformed UTF-8 bytes too.
std::string Utf8ToGbk(std::string_view utf8);

// UTF-16 text (no byte-order mark) as UTF-8; an unpaired surrogate becomes U+FFFD and an odd
// last byte is dropped.
std::string Utf16ToUtf8(std::string_view utf16, bool littleEndian);

// Whether the bytes start with a UTF-16 byte-order mark (FF FE or FE FF).
bool HasUtf16Mark(std::string_view bytes);

// A text file's bytes as GBK, the way Windows programs save text: behind a UTF-16 mark
// ("Unicode" in Notepad, "Unicode 文本" in Excel) or a UTF-8 mark the text is converted and the
// mark dropped; any other bytes are taken as GBK already and come back unchanged.
std::string TextFileBytesAsGbk(std::string bytes);

// Number of UTF-16 units of the text converted from GBK: one per ASCII character, one per
// two-byte character, one per malformed byte (its replacement character).
int GbkCharCount(std::string_view gbk);

// Length in bytes of the character starting at gbk[pos] (1 or 2), by the same rules as the
// conversion above (a lead byte without a valid trail byte is one byte).
int GbkCharBytes(std::string_view gbk, size_t pos);

// Shorthand for string constants written in UTF-8 source: GBK bytes of a UTF-8 literal.
inline std::string G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

}  // namespace smsc
