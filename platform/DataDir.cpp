#include "platform/DataDir.h"

#include <unistd.h>

#include <mutex>

namespace smsc {
namespace {

std::mutex g_mutex;
std::string g_dataDir;

std::string executablePath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

}  // namespace

std::string DataDir() {
    std::lock_guard lock(g_mutex);
    if (g_dataDir.empty()) {
        const std::string exe = executablePath();
        const auto slash = exe.rfind('/');
        g_dataDir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    }
    return g_dataDir;
}

void SetDataDir(const std::string& folder) {
    std::lock_guard lock(g_mutex);
    g_dataDir = folder;
    if (g_dataDir.empty() || g_dataDir.back() != '/') g_dataDir += '/';
}

std::string DataPath(const std::string& relative) {
    std::string rel = relative;
    for (char& c : rel)
        if (c == '\\') c = '/';
    return DataDir() + rel;
}

std::string ExecutableFileName() {
    const std::string exe = executablePath();
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? exe : exe.substr(slash + 1);
}

}  // namespace smsc
