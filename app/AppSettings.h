#pragma once
// Company_Info.ini as the login window reads it: the caption, the contact block and the
// settings block run every time the login window is shown (link, skin, line). Plain logic on
// GBK text; the windows apply the results.

#include <optional>
#include <string>
#include <vector>

namespace smsc {

class IniFile;

inline constexpr const char* kCompanyInfoFile = "Company_Info.ini";
inline constexpr const char* kNoticeInfoFile = "Notice_info.ini";

// The contact block: one value per line with an empty line between two values, 15 pixels a
// line, at most 120 pixels high (more lines scroll). The login window moves up by the
// unused part of the 120 pixels.
inline constexpr int kContactLineHeight = 15;
inline constexpr int kContactMaxHeight = 120;

struct ContactBlock {
    std::vector<std::string> lines;  // 2n - 1 lines for n values
    int height = 0;                  // pixels
    int shift = 0;                   // unused part of the 120 pixels
};
ContactBlock LayoutContactBlock(const std::vector<std::string>& values);

// A whole decimal integer (sign allowed, surrounding blanks ignored); nullopt otherwise.
std::optional<int> ParseSettingInt(const std::string& text);

// The settings block of the login window's show: the first step that fails (missing section
// or entry, a value that is not an integer, a negative skin other than -1) leaves the rest
// unset.
struct ShowSettings {
    bool showLinkLabel = false;           // "网址：" shown with the link
    std::string linkText;                 // first value of Contact_Url
    std::optional<int> skinIndex;         // first value of Create_Skin, -1 read as 0
    std::optional<int> lineIndex;         // first value of Create_Line, -1 read as 0
    std::optional<std::string> lineName;  // second value of Create_Line
};
ShowSettings ReadShowSettings(const IniFile& companyInfo);

// First value of Create_Form_Caption; nullopt when the section is missing or the value empty.
std::optional<std::string> ReadFormCaption(const IniFile& companyInfo);

// Stores the chosen line (line_index, line_name in Create_Line); false when the save failed.
bool StoreLineChoice(IniFile& companyInfo, int index, const std::string& name);

}  // namespace smsc
