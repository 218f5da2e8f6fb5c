#include "platform/Processes.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace smsc {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string exePathOf(const std::string& pid) {
    char buf[4096];
    const std::string link = "/proc/" + pid + "/exe";
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string path(buf, static_cast<size_t>(n));
    // A replaced executable reads "path (deleted)"; it is still the same program.
    static const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path;
}

// The real user id from /proc/PID/status ("Uid:\treal\teffective\tsaved\tfs").
std::optional<uid_t> realUserOf(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Uid:", 0) != 0)
            continue;
        try {
            return static_cast<uid_t>(std::stoul(line.substr(4)));
        } catch (...) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Ends every process the predicate picks (never pid 1) and then, when it picks this process
// too, this process with _exit(0). Returns the result of the last kill, false when none.
bool endMatching(const std::function<bool(const std::string& pid, const std::string& exe)>& picks) {
    const pid_t self = ::getpid();
    std::vector<pid_t> matches;
    bool selfMatches = false;

    DIR* dir = ::opendir("/proc");
    if (!dir)
        return false;
    while (dirent* entry = ::readdir(dir)) {
        const std::string pidText = entry->d_name;
        if (pidText.empty() || !std::all_of(pidText.begin(), pidText.end(),
                                            [](unsigned char c) { return std::isdigit(c); }))
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(pidText));
        if (pid <= 1)
            continue;
        const std::string path = exePathOf(pidText);
        if (path.empty())
            continue;  // kernel thread, or not ours to look at
        if (!picks(pidText, path))
            continue;
        if (pid == self)
            selfMatches = true;
        else
            matches.push_back(pid);
    }
    ::closedir(dir);

    bool last = false;
    for (pid_t pid : matches)
        last = ::kill(pid, SIGKILL) == 0;
    // The program ends itself with exit code 0, as a clean end does, not by its own kill
    // (status 137). Exit has already told the event loop to end; nothing else is flushed or
    // torn down here, so no destructor or atexit handler runs behind this point.
    if (selfMatches)
        ::_exit(0);
    return last;
}

}  // namespace

bool KillProcessesByName(const std::string& name) {
    if (name.empty())
        return false;
    const std::string wanted = lower(name);
    return endMatching([&wanted](const std::string&, const std::string& path) {
        const auto slash = path.rfind('/');
        const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
        return lower(file) == wanted || lower(path) == wanted;
    });
}

bool EndOwnCopies(const std::string& executablePath) {
    if (executablePath.empty() || executablePath.front() != '/')
        return false;
    const uid_t me = ::getuid();
    return endMatching([&](const std::string& pid, const std::string& path) {
        return path == executablePath && realUserOf(pid) == me;
    });
}

}  // namespace smsc
