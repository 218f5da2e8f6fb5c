#include "tests/support/TempDataDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/DataDir.h"

namespace fs = std::filesystem;

namespace smsc::test {
namespace {

std::string makeTempFolder() {
    std::string tmpl = (fs::temp_directory_path() / "smsc-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    return std::string(buf.data()) + "/";
}

void writeBytes(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

TempDataDir::TempDataDir(bool copyShippedData) : m_path(makeTempFolder()), m_previous(DataDir()) {
    if (copyShippedData && fs::exists(SMSC_SOURCE_DATA_DIR))
        fs::copy(SMSC_SOURCE_DATA_DIR, m_path, fs::copy_options::recursive);
    SetDataDir(m_path);
}

TempDataDir::~TempDataDir() {
    SetDataDir(m_previous);
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void TempDataDir::writeFile(const std::string& relative, const std::string& bytes) const {
    writeBytes(file(relative), bytes);
}

std::string TempDataDir::readFile(const std::string& relative) const {
    std::ifstream in(file(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDataDir::exists(const std::string& relative) const { return fs::exists(file(relative)); }

TempFolder::TempFolder() : m_path(makeTempFolder()) {}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void TempFolder::writeFile(const std::string& name, const std::string& bytes) const {
    writeBytes(file(name), bytes);
}

}  // namespace smsc::test
