#pragma once
// The campaigns of the data folder as `smsclient-cli campaign list` and the window "定时任务"
// list them: name, kind, time, window, progress and state, and the user's pause, go on and
// cancel. Going on only lifts a pause: the campaign is sent when it is due (by run-due, or by
// the client's own runner while it runs). No Qt.

#include <optional>
#include <string>
#include <vector>

#include "campaign/CampaignSchedule.h"

namespace smsc::campaign {

enum class ListedState { Running, Waiting, Due, Paused, Cancelled, Done, Damaged };

struct ScheduledCampaign {
    std::string name;  // UTF-8, the journal's file name
    bool mms = false;
    CampaignSchedule schedule;
    long long done = 0;  // requests accepted or skipped
    long long total = 0;
    long long numbers = 0;
    ListedState state = ListedState::Damaged;
    std::string waiting;  // GBK: what it waits for (WaitingText), empty when nothing
};

// Every journal, sorted by name; one that cannot be read is listed as Damaged. Due: one that
// may be sent now (for a campaign started without a time or a window: resumed).
std::vector<ScheduledCampaign> ListCampaigns(const std::string& dataDir, long long now);
// Those started with a time or a window, and the damaged ones.
std::vector<ScheduledCampaign> ListScheduledCampaigns(const std::string& dataDir, long long now);

// "running", "waiting", "open", "paused", "cancelled", "done", "damaged"
const char* ListedStateName(ListedState state);

// "发送中", "等待", "待发送", "已暂停", "已取消", "已完成", "已损坏" (GBK)
std::string ListedStateText(ListedState state);

// Writes the state (Active lifts a pause and its reason); a cancelled campaign stays
// cancelled. A run holding the campaign sees it before its next request. False with *error
// (UTF-8) when refused or not written.
bool SetScheduledState(const std::string& dataDir, const std::string& name, ScheduleState state,
                       std::string* error);

}  // namespace smsc::campaign
