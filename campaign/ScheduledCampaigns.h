#pragma once
// The scheduled campaigns of the data folder as the window lists them: name, time, window,
// progress and state, and the user's pause, go on and cancel. Going on only lifts a pause:
// `smsclient-cli campaign run-due` (the systemd user timer) sends the campaign when it is due,
// so the window never runs an exchange of its own beside a page's. No Qt.

#include <optional>
#include <string>
#include <vector>

#include "campaign/CampaignSchedule.h"

namespace smsc::campaign {

enum class ListedState { Running, Waiting, Due, Paused, Cancelled, Done, Damaged };

struct ScheduledCampaign {
    std::string name;  // UTF-8, the journal's file name
    CampaignSchedule schedule;
    long long done = 0;  // requests accepted or skipped
    long long total = 0;
    long long numbers = 0;
    ListedState state = ListedState::Damaged;
    std::string waiting;  // GBK: what it waits for (WaitingText), empty when nothing
};

// Every journal that was started with a time or a window, sorted by name; one that cannot be
// read is listed as Damaged.
std::vector<ScheduledCampaign> ListScheduledCampaigns(const std::string& dataDir, long long now);

// "发送中", "等待", "待发送", "已暂停", "已取消", "已完成", "已损坏" (GBK)
std::string ListedStateText(ListedState state);

// Writes the state (Active lifts a pause and its reason); a cancelled campaign stays
// cancelled. A run holding the campaign sees it before its next request. False with *error
// (UTF-8) when refused or not written.
bool SetScheduledState(const std::string& dataDir, const std::string& name, ScheduleState state,
                       std::string* error);

}  // namespace smsc::campaign
