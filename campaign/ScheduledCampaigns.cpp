#include "campaign/ScheduledCampaigns.h"

#include <memory>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignLock.h"
#include "platform/Gbk.h"

namespace smsc::campaign {

std::vector<ScheduledCampaign> ListCampaigns(const std::string& dataDir, long long now) {
    std::vector<ScheduledCampaign> rows;
    for (const std::string& name : CampaignNames(dataDir)) {
        const std::string path = JournalPath(dataDir, name);
        // Asked before the journal is opened (see CampaignLock::IsHeld).
        const bool running = CampaignLock::IsHeld(path);
        std::string error;
        const std::unique_ptr<CampaignJournal> journal =
            CampaignJournal::Open(path, &error, CampaignJournal::Access::Read);
        ScheduledCampaign row;
        row.name = name;
        if (!journal) {
            rows.push_back(std::move(row));
            continue;
        }
        row.mms = journal->settings().kind == CampaignKind::Mms;
        row.schedule = journal->schedule();
        row.numbers = journal->numberCount();
        row.total = static_cast<long long>(journal->requests().size());
        for (const CampaignRequest& r : journal->requests())
            row.done += r.state == RequestState::Accepted || r.state == RequestState::Skipped;
        const Due due = WhenDue(row.schedule, now);
        if (due.waiting != Waiting::Nothing && due.waiting != Waiting::Cancelled)
            row.waiting = WaitingText(row.schedule, due);
        const bool waits = row.schedule.scheduled && due.waiting != Waiting::Nothing;
        row.state = running                             ? ListedState::Running
                    : due.waiting == Waiting::Cancelled ? ListedState::Cancelled
                    : row.done == row.total             ? ListedState::Done
                    : due.waiting == Waiting::Paused    ? ListedState::Paused
                    : waits                             ? ListedState::Waiting
                                                        : ListedState::Due;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ScheduledCampaign> ListScheduledCampaigns(const std::string& dataDir, long long now) {
    std::vector<ScheduledCampaign> rows = ListCampaigns(dataDir, now);
    std::erase_if(rows, [](const ScheduledCampaign& row) {
        return row.state != ListedState::Damaged && !row.schedule.scheduled;
    });
    return rows;
}

const char* ListedStateName(ListedState state) {
    switch (state) {
        case ListedState::Running:
            return "running";
        case ListedState::Waiting:
            return "waiting";
        case ListedState::Due:
            return "open";
        case ListedState::Paused:
            return "paused";
        case ListedState::Cancelled:
            return "cancelled";
        case ListedState::Done:
            return "done";
        case ListedState::Damaged:
            break;
    }
    return "damaged";
}

std::string ListedStateText(ListedState state) {
    switch (state) {
        case ListedState::Running:
            return G("发送中");
        case ListedState::Waiting:
            return G("等待");
        case ListedState::Due:
            return G("待发送");
        case ListedState::Paused:
            return G("已暂停");
        case ListedState::Cancelled:
            return G("已取消");
        case ListedState::Done:
            return G("已完成");
        case ListedState::Damaged:
            break;
    }
    return G("已损坏");
}

bool SetScheduledState(const std::string& dataDir, const std::string& name, ScheduleState state,
                       std::string* error) {
    if (!IsValidCampaignName(name)) {
        *error = "活动名称无效";
        return false;
    }
    std::string openError;
    const std::unique_ptr<CampaignJournal> journal =
        CampaignJournal::Open(JournalPath(dataDir, name), &openError);
    if (!journal) {
        *error = openError;
        return false;
    }
    CampaignSchedule schedule = journal->schedule();
    if (schedule.state == ScheduleState::Cancelled) {
        *error = "活动“" + name + "”已取消。";
        return false;
    }
    schedule.state = state;
    schedule.reason.clear();
    if (!journal->setSchedule(schedule, &openError)) {
        *error = openError;
        return false;
    }
    return true;
}

}  // namespace smsc::campaign
