#include "campaign/CampaignLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace smsc::campaign {
namespace {

// The journal's own file, links followed; never blocks on a FIFO put in its place.
int openJournal(const std::string& path, CampaignLock::Result* result) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *result = errno == ENOENT ? CampaignLock::Result::Missing : CampaignLock::Result::Failed;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *result = CampaignLock::Result::Failed;
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<CampaignLock> CampaignLock::Acquire(const std::string& journalPath,
                                                    Result* result) {
    const int fd = openJournal(journalPath, result);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *result = errno == EWOULDBLOCK ? Result::Busy : Result::Failed;
        ::close(fd);
        return nullptr;
    }
    *result = Result::Acquired;
    return std::unique_ptr<CampaignLock>(new CampaignLock(fd));
}

bool CampaignLock::IsHeld(const std::string& journalPath) {
    Result result;
    const int fd = openJournal(journalPath, &result);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

std::unique_ptr<CampaignLock> CampaignLock::LockFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    int rc;
    while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<CampaignLock>(new CampaignLock(fd));
}

CampaignLock::~CampaignLock() {
    ::close(m_fd);
}

}  // namespace smsc::campaign
