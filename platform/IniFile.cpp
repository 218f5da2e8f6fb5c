#include "platform/IniFile.h"

#include <SimpleIni.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/AtomicFile.h"

namespace smsc {

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
    return m_impl->ini.LoadData(data->data(), data->size()) >= 0;
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
