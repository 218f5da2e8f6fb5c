#pragma once
// What counts as a phone number: six fixed patterns and a line splitter with a duplicate
// filter. Pure functions of their text; safe to call from any thread.

#include <string>
#include <vector>

namespace smsc {

bool IsDigits1To12(const std::string& text);
bool IsMobileNumber(const std::string& text);
bool IsSegmentChinaMobile(const std::string& text);
bool IsSegmentChinaUnicom(const std::string& text);
bool IsSegmentChinaTelecom(const std::string& text);
// A segment of China Broadnet (192), the fourth carrier.
bool IsSegmentChinaBroadnet(const std::string& text);
// Distinct 11-digit mobile numbers found in free text, in order of first appearance.
std::vector<std::string> ExtractMobileNumbers(const std::string& text);
// Lines of the text at the separator, blank and repeated lines dropped; the part after the
// last separator is always appended (empty when blank or repeated).
std::vector<std::string> SplitLinesUnique(const std::string& text, const std::string& separator);
// True when an 11-digit text is a number ExtractMobileNumbers finds (its 14x block differs
// from IsMobileNumber's).
bool IsMobileNumberInText(const std::string& digits);

}  // namespace smsc
