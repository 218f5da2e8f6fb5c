#pragma once
// Two processes never run the same campaign at once: whoever starts or resumes it holds an
// exclusive lock on campaigns/NAME.lock for the whole run. The system releases the lock when
// the process ends, however it ends, so a killed run never leaves the campaign locked.

#include <memory>
#include <string>

namespace smsc::campaign {

class CampaignLock final {
public:
    enum class Result { Acquired, Busy, Failed };

    // Takes the lock of the journal at journalPath without waiting.
    static std::unique_ptr<CampaignLock> Acquire(const std::string& journalPath, Result* result);
    // Whether another process holds the lock now (a status probe; takes nothing).
    static bool IsHeld(const std::string& journalPath);

    ~CampaignLock();
    CampaignLock(const CampaignLock&) = delete;
    CampaignLock& operator=(const CampaignLock&) = delete;

private:
    explicit CampaignLock(int fd) : m_fd(fd) {}
    int m_fd;
};

// journalPath without ".sqlite", + ".lock".
std::string LockPath(const std::string& journalPath);

}  // namespace smsc::campaign
