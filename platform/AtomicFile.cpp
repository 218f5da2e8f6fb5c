#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace smsc {
namespace {

constexpr int kMaxLinkHops = 40;  // the kernel's own limit for one path

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, p, left);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += put;
        left -= static_cast<size_t>(put);
    }
    return true;
}

// The name at the end of a chain of symbolic links whose last one names nothing yet
// (followed as the kernel would, relative targets from the folder of their link); the path
// itself when it is no link. nullopt for a loop, or a chain that ends somewhere existing.
std::optional<std::string> FollowDanglingLinks(std::string path) {
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
        if (!S_ISLNK(st.st_mode))
            return std::nullopt;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size())
            return std::nullopt;
        target.resize(static_cast<size_t>(length));
        path = target[0] == '/' ? target : FolderOf(path) + "/" + target;
    }
    return std::nullopt;
}

// A temporary name in the target's folder: the target's name plus ".tmp" and six random
// characters, or, when that would not fit in a folder entry, ".tmp" and the six alone.
std::string TemporaryName(const std::string& folder, const std::string& name) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter;
        for (size_t i = 0; i < sizeof random; ++i)
            random[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string suffix = ".tmp";
    for (unsigned char r : random)
        suffix += alphabet[r % (sizeof alphabet - 1)];
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    const bool fits = name.size() + suffix.size() <= static_cast<size_t>(nameMax);
    return folder + "/" + (fits ? name + suffix : suffix);
}

// Writes a new file next to the target and renames it over the target. `replaced` is the
// file being replaced (its mode and owner are kept), null for a new name.
bool ReplaceAtomically(const std::string& target, const struct stat* replaced,
                       std::string_view bytes) {
    const std::string folder = FolderOf(target);
    const std::string name = NameOf(target);
    if (name.empty() || name == "." || name == "..")
        return false;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryName(folder, name);
        // Mode 0666: the kernel applies the umask (and a folder's default ACL).
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = true;
    if (replaced) {
        if (replaced->st_uid != ::geteuid() || replaced->st_gid != ::getegid())
            (void)::fchown(fd, replaced->st_uid, replaced->st_gid);  // only root may
        ok = ::fchmod(fd, replaced->st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0)
        ok = false;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}

// A FIFO or a character device: opened without waiting (a FIFO without a reader fails at
// once), then written with ordinary blocking writes.
bool WriteDirectly(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
    const int flags = ok ? ::fcntl(fd, F_GETFL) : -1;
    ok = ok && flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
    ok = ok && WriteAll(fd, bytes);
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    // Non-blocking, so that opening a FIFO returns at once; it is then refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxWholeFileBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    if (st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        if (static_cast<long long>(data.size()) + got > kMaxWholeFileBytes) {
            ::close(fd);
            return std::nullopt;
        }
        data.append(buf, static_cast<size_t>(got));
    }
    ::close(fd);
    return data;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
            return WriteDirectly(path, bytes);
        if (!S_ISREG(st.st_mode))
            return false;
        // Through a link: the file it names is replaced, in that file's folder.
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            const std::unique_ptr<char, decltype(&std::free)> real(
                ::realpath(path.c_str(), nullptr), &std::free);
            return real && ReplaceAtomically(real.get(), &st, bytes);
        }
        return ReplaceAtomically(path, &st, bytes);
    }
    if (errno != ENOENT)
        return false;
    const std::optional<std::string> target = FollowDanglingLinks(path);
    return target && ReplaceAtomically(*target, nullptr, bytes);
}

}  // namespace smsc
