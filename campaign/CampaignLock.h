#pragma once
// Two processes never run the same campaign at once: whoever starts or resumes it holds an
// exclusive lock on the journal file itself for the whole run. The lock belongs to the file,
// not to its name, so every name of one journal (a symbolic or hard link) finds it taken.
// The system releases it when the process ends, however it ends, so a killed run never
// leaves the campaign locked.

#include <memory>
#include <string>

namespace smsc::campaign {

class CampaignLock final {
public:
    enum class Result { Acquired, Busy, Missing, Failed };

    // Takes the lock of the journal at journalPath (links followed) without waiting.
    static std::unique_ptr<CampaignLock> Acquire(const std::string& journalPath, Result* result);
    // Whether another process holds the lock now (a status probe; takes nothing). Call it
    // before the journal is opened: closing another descriptor of the file would drop the
    // database's own locks in this process.
    static bool IsHeld(const std::string& journalPath);
    // The campaigns folder's lock, waited for and held only while a journal is created or
    // its lock taken, so that a start and a resume of one name cannot both run it.
    static std::unique_ptr<CampaignLock> LockFolder(const std::string& folder);

    ~CampaignLock();
    CampaignLock(const CampaignLock&) = delete;
    CampaignLock& operator=(const CampaignLock&) = delete;

private:
    explicit CampaignLock(int fd) : m_fd(fd) {}
    int m_fd;
};

}  // namespace smsc::campaign
