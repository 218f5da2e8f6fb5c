#include "tools/cli/CliPassword.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Gbk.h"
#include "platform/IniFile.h"

namespace smsc::cli {
namespace {

constexpr size_t kMaxPasswordFile = 4096;

std::string firstLine(std::string text) {
    const size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos)
        text.resize(end);
    return text;
}

// The first line of a file only its owner may read and write; none with *problem.
std::optional<std::string> readPrivateFile(const std::string& path, std::string* problem) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        *problem = "无法打开密码文件（不存在、不可读或是符号链接）：" + path;
        return std::nullopt;
    }
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *problem = "密码文件不是普通文件：" + path;
    } else if ((st.st_mode & 077) != 0) {
        *problem = "密码文件其他用户也能读写，请先执行 chmod 600 " + path;
    } else if (st.st_uid != ::geteuid()) {
        *problem = "密码文件不属于当前用户：" + path;
    } else {
        char buffer[kMaxPasswordFile];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes.assign(buffer, static_cast<size_t>(n));
        else
            *problem = "密码文件是空的或无法读取：" + path;
    }
    ::close(fd);
    if (!problem->empty())
        return std::nullopt;
    std::string line = firstLine(bytes);
    if (line.empty()) {
        *problem = "密码文件的第一行是空的：" + path;
        return std::nullopt;
    }
    return line;
}

std::string defaultLoginStore() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return std::string(config) + "/smsclient/login.ini";
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/.config/smsclient/login.ini" : std::string();
}

// A value the client's settings store kept as it is (no quoting or escapes).
bool plainValue(const std::string& value) {
    return !value.empty() && value.front() != '"' && value.front() != '@' &&
           value.find('\\') == std::string::npos;
}

}  // namespace

StoredPassword FindStoredPassword(const std::string& userUtf8, const std::string& dataDir,
                                  const std::string& loginStore) {
    StoredPassword found;
    IniFile settings(dataDir + "Company_Info.ini");
    settings.reload();
    if (const std::optional<std::string> file = settings.value("Campaign", "Password_File");
        file && !file->empty()) {
        found.password = readPrivateFile(GbkToUtf8(*file), &found.problem);
        return found;
    }
    const std::string storePath = loginStore.empty() ? defaultLoginStore() : loginStore;
    if (storePath.empty())
        return found;
    IniFile store(storePath);
    // The store is read only when it, too, is private to its owner.
    struct stat st {};
    if (::stat(storePath.c_str(), &st) != 0 || (st.st_mode & 077) != 0 || !store.reload())
        return found;
    const auto value = [&](const char* key) { return store.value("User", key).value_or(""); };
    if (value("User_Boo") == "yes" && value("User_Name") == userUtf8 &&
        plainValue(value("User_Pass")))
        found.password = value("User_Pass");
    return found;
}

}  // namespace smsc::cli
