#include "campaign/DueCampaigns.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "compliance/ComplianceSettings.h"
#include "platform/Gbk.h"
#include "sending/SmsSend.h"

namespace smsc::campaign {

CampaignSchedule StartSchedule(std::optional<long long> at,
                               std::optional<std::pair<int, int>> window, bool marketing,
                               const ComplianceSettings& compliance) {
    CampaignSchedule schedule;
    schedule.scheduled = at || window;
    if (at)
        schedule.at = *at;
    if (window) {
        schedule.windowFrom = window->first;
        schedule.windowTo = window->second;
    } else if (at && marketing) {
        schedule.windowFrom = compliance.hoursFrom;
        schedule.windowTo = compliance.hoursTo;
    }
    return schedule;
}

bool CampaignNameTaken(const std::string& dataDir, const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(JournalPath(dataDir, name), ec));
}

StartedJournal CreateLockedJournal(const std::string& dataDir, const std::string& name,
                                   const std::function<bool(std::string* error)>& create,
                                   const CampaignSchedule& schedule) {
    StartedJournal started;
    const std::string folder = CampaignFolder(dataDir);
    const std::string path = JournalPath(dataDir, name);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::unique_ptr<CampaignLock> folderLock = CampaignLock::LockFolder(folder);
    if (!folderLock) {
        started.error = "无法创建或锁定活动目录：" + folder;
        return started;
    }
    if (CampaignNameTaken(dataDir, name)) {
        started.result = StartedJournal::Result::Taken;
        return started;
    }
    if (!create(&started.error))
        return started;
    started.held = CampaignLock::Acquire(path, &started.lock);
    if (!started.held) {
        started.result = StartedJournal::Result::NotLocked;
        return started;
    }
    folderLock.reset();
    started.journal = CampaignJournal::Open(path, &started.error);
    if (!started.journal)
        return started;
    if (schedule.scheduled && !started.journal->setSchedule(schedule, &started.error)) {
        started.journal.reset();
        return started;
    }
    started.result = StartedJournal::Result::Started;
    return started;
}

StartedJournal StartSmsCampaign(const std::string& dataDir, const std::string& name,
                                const CampaignSettings& settings,
                                const std::vector<std::string>& numbers,
                                const CampaignSchedule& schedule) {
    const std::vector<std::string> pieces = PlanSmsPieces(settings.text).texts;
    const std::string path = JournalPath(dataDir, name);
    return CreateLockedJournal(
        dataDir, name,
        [&](std::string* error) {
            return CampaignJournal::WriteNew(path, settings, numbers, pieces, error);
        },
        schedule);
}

bool IsFinished(const CampaignJournal& journal) {
    return std::all_of(
        journal.requests().begin(), journal.requests().end(), [](const CampaignRequest& r) {
            return r.state == RequestState::Accepted || r.state == RequestState::Skipped;
        });
}

namespace {

bool isDue(const CampaignJournal& journal, long long now) {
    return journal.schedule().scheduled && !IsFinished(journal) &&
           WhenDue(journal.schedule(), now).waiting == Waiting::Nothing;
}

}  // namespace

DueLook OpenDueCampaign(const std::string& dataDir, const std::string& name,
                        const std::function<long long()>& now, LockedJournal* out,
                        std::string* error) {
    const std::string path = JournalPath(dataDir, name);
    if (CampaignLock::IsHeld(path))
        return DueLook::NotDue;
    {
        // A first look without the lock, closed again before the lock is taken. It reads the
        // schedule and the requests only: a finished campaign of a million numbers costs
        // next to nothing each minute, and a due one is checked whole under the lock.
        const std::unique_ptr<CampaignJournal> journal =
            CampaignJournal::Open(path, error, CampaignJournal::Access::Glance);
        if (!journal)
            return DueLook::Failed;
        if (!isDue(*journal, now()))
            return DueLook::NotDue;
    }
    std::unique_ptr<CampaignLock> folderLock = CampaignLock::LockFolder(CampaignFolder(dataDir));
    CampaignLock::Result result;
    std::unique_ptr<CampaignLock> held = CampaignLock::Acquire(path, &result);
    folderLock.reset();
    if (!held) {
        if (result != CampaignLock::Result::Failed)
            return DueLook::NotDue;  // another run has it, or it has gone
        *error = "无法锁定活动“" + name + "”：" + path;
        return DueLook::Failed;
    }
    std::unique_ptr<CampaignJournal> journal = CampaignJournal::Open(path, error);
    if (!journal)
        return DueLook::Failed;
    // Looked at again under the lock: a run that just ended may have finished it.
    if (!isDue(*journal, now()))
        return DueLook::NotDue;
    out->held = std::move(held);
    out->journal = std::move(journal);
    return DueLook::Opened;
}

bool PauseAfterDueRun(CampaignJournal& journal, RunEnd end, std::string* error) {
    if (end != RunEnd::Refused && end != RunEnd::Undecided)
        return true;
    CampaignSchedule schedule = journal.schedule();
    schedule.state = ScheduleState::Paused;
    schedule.reason =
        G(end == RunEnd::Refused ? "服务器拒绝了请求，排除原因后用 campaign resume 继续"
                                 : "有请求无法确定是否已送达，核对后用 campaign resume 继续");
    return journal.setSchedule(schedule, error);
}

}  // namespace smsc::campaign
