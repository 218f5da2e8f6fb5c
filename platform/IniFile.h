#pragma once
// INI settings files (Company_Info.ini, Notice_info.ini): GBK bytes kept as they are.
// Keys and sections compare without regard to letter case, as on the desktop the files
// come from. Missing files, sections and keys are ordinary results, never exceptions.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace smsc {

class IniFile final {
public:
    explicit IniFile(std::string path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const std::string& path() const { return m_path; }

    // Reads the file again from disk; a missing or unreadable file reads as empty.
    // Returns whether the file could be read.
    bool reload();

    bool hasSection(const std::string& section) const;
    bool hasKey(const std::string& section, const std::string& key) const;
    std::optional<std::string> value(const std::string& section, const std::string& key) const;

    // The section's entries in file order (key, value), duplicates included.
    std::vector<std::pair<std::string, std::string>> entries(const std::string& section) const;
    // Values of the section in file order.
    std::vector<std::string> values(const std::string& section) const;
    // Value of the index-th entry (0 = first) of the section, whatever its key.
    std::optional<std::string> valueAt(const std::string& section, size_t index) const;

    // Reloads the file from disk, sets the given keys (other keys stay as they stand on
    // disk) and saves the file at once, atomically. Returns whether the save succeeded; a
    // file that exists but cannot be read is not saved over (false).
    bool write(const std::string& section, const std::string& key, const std::string& value);
    bool write(const std::string& section,
               const std::vector<std::pair<std::string, std::string>>& keyValues);

private:
    struct Impl;
    std::string m_path;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace smsc
