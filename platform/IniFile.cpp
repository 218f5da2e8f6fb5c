#include "platform/IniFile.h"

#include <SimpleIni.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "platform/AtomicFile.h"

namespace smsc {
namespace {

// Whether the parser takes in every byte of the file, so that saving it again loses
// nothing: no NUL byte (the parser stops there), no UTF-16/32 text, and every line empty, a
// comment, a section header or a key with "=". Anything else the parser skips or stops at,
// and a save would drop it.
bool parsesWhole(std::string_view data) {
    if (data.find('\0') != std::string_view::npos)
        return false;
    if (data.starts_with("\xFF\xFE") || data.starts_with("\xFE\xFF"))
        return false;
    if (data.starts_with("\xEF\xBB\xBF"))
        data.remove_prefix(3);
    while (!data.empty()) {
        const size_t end = data.find_first_of("\r\n");
        std::string_view line = data.substr(0, end);
        data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        line.remove_prefix(first);
        if (line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[' ? line.find(']') == std::string_view::npos
                           : line.find('=') == std::string_view::npos || line[0] == '=')
            return false;
    }
    return true;
}

}  // namespace

struct IniFile::Impl {
    // Bytes untouched, multi-key. Multi-line values stay off: a copied value starting with
    // "<<<" would otherwise swallow the lines after it when the file is read again.
    CSimpleIniA ini{false, true, false};
};

IniFile::IniFile(std::string path) : m_path(std::move(path)), m_impl(std::make_unique<Impl>()) {
    reload();
}

IniFile::~IniFile() = default;

bool IniFile::reload() {
    m_impl->ini.Reset();
    m_impl->ini.SetUnicode(false);
    m_impl->ini.SetMultiKey(true);
    m_impl->ini.SetMultiLine(false);
    m_impl->ini.SetSpaces(false);
    const auto data = ReadWholeFile(m_path);
    if (!data) return false;
    // What the parser did read stays readable; a file it does not read whole counts as
    // unreadable, so that no write replaces it.
    return m_impl->ini.LoadData(data->data(), data->size()) >= 0 && parsesWhole(*data);
}

bool IniFile::hasSection(const std::string& section) const {
    return m_impl->ini.GetSection(section.c_str()) != nullptr;
}

bool IniFile::hasKey(const std::string& section, const std::string& key) const {
    return m_impl->ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

std::optional<std::string> IniFile::value(const std::string& section,
                                          const std::string& key) const {
    const char* v = m_impl->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v) return std::nullopt;
    return std::string(v);
}

std::vector<std::pair<std::string, std::string>> IniFile::entries(
    const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> out;
    const CSimpleIniA::TKeyVal* kv = m_impl->ini.GetSection(section.c_str());
    if (!kv) return out;
    std::vector<std::pair<CSimpleIniA::Entry, const char*>> ordered(kv->begin(), kv->end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return a.first.nOrder < b.first.nOrder;
    });
    out.reserve(ordered.size());
    for (const auto& [entry, val] : ordered) out.emplace_back(entry.pItem, val ? val : "");
    return out;
}

std::vector<std::string> IniFile::values(const std::string& section) const {
    std::vector<std::string> out;
    for (auto& e : entries(section)) out.push_back(std::move(e.second));
    return out;
}

std::optional<std::string> IniFile::valueAt(const std::string& section, size_t index) const {
    auto all = entries(section);
    if (index >= all.size()) return std::nullopt;
    return all[index].second;
}

bool IniFile::write(const std::string& section, const std::string& key, const std::string& value) {
    return write(section, {{key, value}});
}

bool IniFile::write(const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& keyValues) {
    // A file that is there but cannot be read is never replaced by the few keys written
    // here: everything else in it would be lost.
    struct stat st {};
    if (!reload() && ::lstat(m_path.c_str(), &st) == 0) return false;
    for (const auto& [key, val] : keyValues)
        m_impl->ini.SetValue(section.c_str(), key.c_str(), val.c_str(), nullptr, true);
    std::string out;
    if (m_impl->ini.Save(out, false) < 0) return false;
    return WriteFileAtomically(m_path, out);
}

}  // namespace smsc
