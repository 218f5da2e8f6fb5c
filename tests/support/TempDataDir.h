#pragma once
// A temporary copy of the program's data folder, installed as the data folder for the
// life of the object, so no test touches the build's own files.

#include <string>

namespace smsc::test {

class TempDataDir final {
public:
    // copyShippedData: start from a copy of the source tree's data/ (else an empty folder).
    explicit TempDataDir(bool copyShippedData = true);
    ~TempDataDir();
    TempDataDir(const TempDataDir&) = delete;
    TempDataDir& operator=(const TempDataDir&) = delete;

    // Folder path ending in '/'.
    const std::string& path() const { return m_path; }
    std::string file(const std::string& relative) const { return m_path + relative; }

    void writeFile(const std::string& relative, const std::string& bytes) const;
    std::string readFile(const std::string& relative) const;  // empty when missing
    bool exists(const std::string& relative) const;

private:
    std::string m_path;
    std::string m_previous;
};

// A fresh empty temporary folder, removed with the object (not installed anywhere).
class TempFolder final {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }  // ends in '/'
    std::string file(const std::string& name) const { return m_path + name; }
    void writeFile(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

}  // namespace smsc::test
