#include "campaign/CampaignSchedule.h"

#include <cstdio>
#include <ctime>

#include "compliance/ComplianceSettings.h"
#include "platform/Gbk.h"

namespace smsc::campaign {
namespace {

std::tm localTm(long long time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

Due WhenDue(const CampaignSchedule& schedule, long long now) {
    if (schedule.state == ScheduleState::Cancelled)
        return {Waiting::Cancelled, 0};
    if (schedule.state == ScheduleState::Paused)
        return {Waiting::Paused, 0};
    if (now < schedule.at)
        return {Waiting::Time, schedule.at};
    if (!schedule.hasWindow())
        return {};
    const std::tm tm = localTm(now);
    const int minute = tm.tm_hour * 60 + tm.tm_min;
    if (WithinHours(minute, schedule.windowFrom, schedule.windowTo))
        return {};
    const int ahead = (schedule.windowFrom - minute + 24 * 60) % (24 * 60);
    return {Waiting::Window, now - tm.tm_sec + ahead * 60LL};
}

const char* ScheduleStateName(ScheduleState state) {
    switch (state) {
        case ScheduleState::Active:
            return "active";
        case ScheduleState::Paused:
            return "paused";
        case ScheduleState::Cancelled:
            return "cancelled";
    }
    return "active";
}

std::optional<ScheduleState> ScheduleStateFromName(const std::string& name) {
    for (ScheduleState s : {ScheduleState::Active, ScheduleState::Paused, ScheduleState::Cancelled})
        if (name == ScheduleStateName(s))
            return s;
    return std::nullopt;
}

const char* WaitingName(Waiting waiting) {
    static const char* const names[] = {"nothing", "time", "window", "paused", "cancelled"};
    return names[static_cast<int>(waiting)];
}

std::optional<long long> ParseLocalTime(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char tail = 0;
    if (text.size() != 16 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day,
                                         &hour, &minute, &tail) != 5)
        return std::nullopt;
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    const std::time_t time = std::mktime(&tm);
    if (time == -1 || tm.tm_mday != day)
        return std::nullopt;
    return static_cast<long long>(time);
}

std::string LocalTimeText(long long time) {
    const std::tm tm = localTm(time);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
}

std::string WaitingText(const CampaignSchedule& schedule, const Due& due) {
    switch (due.waiting) {
        case Waiting::Nothing:
            return G("可以发送");
        case Waiting::Time:
            return G("等待发送时间 ") + LocalTimeText(due.next);
        case Waiting::Window:
            return G("不在发送时段 ") + HoursText(schedule.windowFrom, schedule.windowTo) +
                   G(" 内，") + LocalTimeText(due.next) + G(" 继续");
        case Waiting::Paused:
            return schedule.reason.empty() ? G("已暂停") : G("已暂停：") + schedule.reason;
        case Waiting::Cancelled:
            return G("已取消");
    }
    return {};
}

}  // namespace smsc::campaign
