#include "app/AppSettings.h"

#include <charconv>

#include "platform/IniFile.h"
#include "platform/TextHelpers.h"

namespace smsc {

ContactBlock LayoutContactBlock(const std::vector<std::string>& values) {
    ContactBlock block;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            block.lines.emplace_back();
        block.lines.push_back(values[i]);
    }
    const int lines = static_cast<int>(block.lines.size());
    block.height = lines * kContactLineHeight;
    if (block.height > kContactMaxHeight)
        block.height = kContactMaxHeight;
    block.shift = kContactMaxHeight - block.height;
    return block;
}

std::optional<int> ParseSettingInt(const std::string& text) {
    std::string s = TrimBlanks(text);
    const bool plus = !s.empty() && s[0] == '+';
    if (plus)
        s.erase(0, 1);
    if (s.empty() || (plus && s[0] == '-'))
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

ShowSettings ReadShowSettings(const IniFile& ini) {
    ShowSettings out;

    // 1. The link: shown only when Url has a non-blank value.
    const auto url = ini.value("Contact_Url", "Url");
    if (url && !TrimBlanks(StripLineBreaks(*url)).empty()) {
        out.showLinkLabel = true;
        out.linkText = ini.valueAt("Contact_Url", 0).value_or(std::string());
    }

    // 2. The skin.
    const auto skinText = ini.valueAt("Create_Skin", 0);
    if (!skinText)
        return out;
    auto skin = ParseSettingInt(*skinText);
    if (!skin)
        return out;
    if (*skin == -1)
        skin = 0;
    if (*skin < 0)
        return out;
    out.skinIndex = skin;

    // 3. The line: the index is selected first, then the text is set.
    const auto lineText = ini.valueAt("Create_Line", 0);
    if (!lineText)
        return out;
    auto line = ParseSettingInt(*lineText);
    if (!line)
        return out;
    if (*line == -1)
        line = 0;
    out.lineIndex = line;
    out.lineName = ini.valueAt("Create_Line", 1);
    return out;
}

std::optional<std::string> ReadFormCaption(const IniFile& ini) {
    auto caption = ini.valueAt("Create_Form_Caption", 0);
    if (!caption || caption->empty())
        return std::nullopt;
    return caption;
}

bool StoreLineChoice(IniFile& ini, int index, const std::string& name) {
    return ini.write("Create_Line", {{"line_index", std::to_string(index)}, {"line_name", name}});
}

}  // namespace smsc
