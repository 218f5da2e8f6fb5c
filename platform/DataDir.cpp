#include "platform/DataDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/AtomicFile.h"

namespace fs = std::filesystem;

namespace smsc {
namespace {

// The files and folders the user edits; everything else shipped is a read-only resource.
// OptOut.txt is never shipped: the program creates it, in the data folder.
constexpr const char* kUserFiles[] = {"Company_Info.ini", "Notice_info.ini", "OptOut.txt"};
constexpr const char* kUserFolders[] = {"LinkmanBook", "phrase"};

std::mutex g_mutex;
DataFolders g_folders;  // empty until decided or set

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string executablePath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string executableFolder() {
    const std::string exe = executablePath();
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

bool folderUsable(const std::string& folder) {
    std::error_code ec;
    return ::access(folder.c_str(), W_OK) == 0 && !fs::exists(folder + kInstalledMarker, ec);
}

const DataFolders& folders() {
    if (g_folders.data.empty()) {
        const std::string exeDir = executableFolder();
        const bool usable = folderUsable(exeDir);
        g_folders = ChooseDataFolders(exeDir, usable, usable ? std::string() : UserDataFolder());
    }
    return g_folders;
}

// A whole folder is copied under a temporary name and renamed into place, so a half-copied
// folder never looks like the user's own.
void seedFolder(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::is_directory(from, ec) || fs::exists(fs::symlink_status(to, ec))) return;
    const fs::path temp = to.parent_path() / ("." + to.filename().string() + ".seeding");
    fs::remove_all(temp, ec);
    fs::copy(from, temp, fs::copy_options::recursive, ec);
    if (!ec) fs::rename(temp, to, ec);
    if (ec) fs::remove_all(temp, ec);
}

}  // namespace

bool IsUserDataFile(const std::string& relative) {
    std::string rel = relative;
    for (char& c : rel)
        if (c == '\\') c = '/';
    while (rel.rfind("./", 0) == 0) rel.erase(0, 2);
    const std::string first = rel.substr(0, rel.find('/'));
    for (const char* name : kUserFiles)
        if (rel == name) return true;
    for (const char* name : kUserFolders)
        if (first == name) return true;
    return false;
}

DataFolders ChooseDataFolders(const std::string& exeDir, bool exeDirUsable,
                              const std::string& userDir) {
    DataFolders result{withSlash(exeDir), withSlash(exeDir)};
    if (!exeDirUsable && !userDir.empty()) {
        result.data = withSlash(userDir);
        SeedUserFolder(result.resources, result.data);
    }
    return result;
}

void SeedUserFolder(const std::string& defaultsDir, const std::string& userDir) {
    std::error_code ec;
    const fs::path defaults(defaultsDir), user(userDir);
    if (!fs::is_directory(user, ec)) {
        if (!fs::create_directories(user, ec)) return;
        fs::permissions(user, fs::perms::owner_all, ec);
    }
    for (const char* name : kUserFiles) {
        const fs::path target = user / name;
        if (fs::exists(fs::symlink_status(target, ec))) continue;
        if (const auto bytes = ReadWholeFile((defaults / name).string()))
            WriteFileAtomically(target.string(), *bytes);
    }
    for (const char* name : kUserFolders) seedFolder(defaults / name, user / name);
}

std::string UserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return withSlash(xdg) + "smsclient/";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return withSlash(home) + ".local/share/smsclient/";
}

std::string DataDir() {
    std::lock_guard lock(g_mutex);
    return folders().data;
}

std::string ResourceDir() {
    std::lock_guard lock(g_mutex);
    return folders().resources;
}

void SetDataDir(const std::string& folder) {
    std::lock_guard lock(g_mutex);
    g_folders.data = g_folders.resources = withSlash(folder);
}

void SetDataFolders(const DataFolders& folders) {
    std::lock_guard lock(g_mutex);
    g_folders = {withSlash(folders.data), withSlash(folders.resources)};
}

std::string DataPath(const std::string& relative) {
    std::string rel = relative;
    for (char& c : rel)
        if (c == '\\') c = '/';
    DataFolders current;
    {
        std::lock_guard lock(g_mutex);
        current = folders();
    }
    if (current.data == current.resources || IsUserDataFile(rel)) return current.data + rel;
    std::error_code ec;
    return fs::exists(current.resources + rel, ec) ? current.resources + rel : current.data + rel;
}

std::string ExecutablePath() {
    std::string path = executablePath();
    // A file replaced while the program runs (an update) reads "path (deleted)".
    static const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path;
}

std::string ExecutableFileName() {
    const std::string exe = executablePath();
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? exe : exe.substr(slash + 1);
}

}  // namespace smsc
