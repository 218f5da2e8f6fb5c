#include "campaign/CampaignLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace smsc::campaign {

std::string LockPath(const std::string& journalPath) {
    static const std::string suffix = ".sqlite";
    std::string base = journalPath;
    if (base.size() >= suffix.size() &&
        base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0)
        base.resize(base.size() - suffix.size());
    return base + ".lock";
}

std::unique_ptr<CampaignLock> CampaignLock::Acquire(const std::string& journalPath,
                                                    Result* result) {
    const int fd =
        ::open(LockPath(journalPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *result = Result::Failed;
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *result = errno == EWOULDBLOCK ? Result::Busy : Result::Failed;
        ::close(fd);
        return nullptr;
    }
    *result = Result::Acquired;
    return std::unique_ptr<CampaignLock>(new CampaignLock(fd));
}

bool CampaignLock::IsHeld(const std::string& journalPath) {
    const int fd = ::open(LockPath(journalPath).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!held)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return held;
}

CampaignLock::~CampaignLock() {
    ::close(m_fd);
}

}  // namespace smsc::campaign
