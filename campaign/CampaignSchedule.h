#pragma once
// When a campaign may send: not before its time, only inside its daily window, not while
// paused, never once cancelled. A campaign started with a time or a window is scheduled:
// `smsclient-cli campaign run-due` (every minute, from a systemd user timer) sends it when it
// is due. The schedule lives in the campaign's journal; journals written before it was kept
// read as not scheduled, active, at any time. Times are seconds since the epoch; the window
// is in minutes of the local day. No Qt.

#include <optional>
#include <string>

namespace smsc::campaign {

enum class ScheduleState { Active, Paused, Cancelled };

struct CampaignSchedule {
    bool scheduled = false;  // started with a time or a window: run-due sends it
    long long at = 0;        // not before this time; 0: at once
    int windowFrom = -1;     // minutes of the day, from… (-1: any time of day)
    int windowTo = -1;       // …until (exclusive; a window past midnight wraps)
    ScheduleState state = ScheduleState::Active;
    std::string reason;  // GBK: why a run paused it (empty: the user did)

    bool hasWindow() const { return windowFrom >= 0 && windowTo >= 0; }
};

// What a campaign waits for at a given time.
enum class Waiting { Nothing, Time, Window, Paused, Cancelled };

struct Due {
    Waiting waiting = Waiting::Nothing;
    long long next = 0;  // Time, Window: when it may go on
};

Due WhenDue(const CampaignSchedule& schedule, long long now);

// "active", "paused", "cancelled"; none for anything else.
const char* ScheduleStateName(ScheduleState state);
std::optional<ScheduleState> ScheduleStateFromName(const std::string& name);
// "nothing", "time", "window", "paused", "cancelled".
const char* WaitingName(Waiting waiting);

// "YYYY-MM-DD HH:MM" in local time ↔ seconds since the epoch; none when malformed or no
// such day (2026-02-30).
std::optional<long long> ParseLocalTime(const std::string& text);
std::string LocalTimeText(long long time);

// What a user is told a campaign waits for (GBK), e.g. "等待发送时间 2026-12-10 09:00".
std::string WaitingText(const CampaignSchedule& schedule, const Due& due);

}  // namespace smsc::campaign
