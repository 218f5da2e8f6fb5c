#pragma once
// Text helpers on GBK byte strings, shared by every subsystem: line breaks, the character
// count the service uses, message pieces, the length caption, literal and pattern splits,
// and a few file and process helpers. Stateless and thread-safe.

#include <string>
#include <string_view>
#include <vector>

#include "platform/Processes.h"  // KillProcessesByName belongs to this set of helpers

namespace smsc {

// Every CR and every LF removed.
std::string StripLineBreaks(const std::string& text);
// Every line end (CR LF, a lone LF, a lone CR) made one CR, so that a text saved on any system
// splits at CR into the lines it shows. A CR LF text splits as it did before.
std::string LineEndsAsCr(std::string text);
// The text with every leading and trailing byte of code 0..32 (blanks and control
// characters) removed: the program's "trim".
std::string_view TrimmedView(std::string_view text);
std::string TrimBlanks(std::string_view text);
// Character count of StripLineBreaks(text): UTF-16 units of the text converted from GBK.
int TextLength(const std::string& text);
// Whether the text, with bytes 0..32 trimmed at both ends and line breaks removed, has at
// most 70 characters: one SMS.
bool FitsOneMessage(const std::string& text);
// Pieces of exactly n counted characters cut from the front; the rest (1..n) last.
std::vector<std::string> SplitByLength(const std::string& text, int n);
// "当前长度为" + character count of the text as given + "字".
std::string LengthCaption(const std::string& text);
// Literal split; an empty text gives no item; the part after the last separator is
// always the last item.
std::vector<std::string> SplitBySeparator(const std::string& text, const std::string& separator);
// Split at every match of the PCRE pattern; no match gives the whole text as one item.
std::vector<std::string> RegexSplit(const std::string& text, const std::string& pattern);
// Every "[" and "]" removed.
std::string RemoveBrackets(const std::string& text);
// Whether the ASCII character occurs as a character of the text: a trail byte of a two-byte
// character (the '|' = 0x7C of 東, 96 7C) is not one.
bool ContainsCharacter(const std::string& text, char c);
// Size of the file in bytes; 0 when it does not exist.
long long FileSizeOf(const std::string& path);
// Appends the line and CR LF to the file (created when missing); throws on failure.
void AppendLineToFile(const std::string& path, const std::string& line);

}  // namespace smsc
