// Deciding a request whose answer never came from listings whose clock is hours off the
// client's: the request is found by its content wherever it stands, an older send of the same
// message to the same numbers is passed over only when the service's own clock proves it
// older, and a full listing proves the request absent only when it reaches back past it.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "campaign/UnknownRequests.h"

using namespace smsc;
using namespace smsc::campaign;

namespace {

std::string timeText(long long t) {
    const std::time_t time = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&time, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

TEST(UnknownRequestDecision, ContentDecidesAndOnlyTheServicesClockDates) {
    constexpr long long kSent = 1700000000;  // on the service's clock, 13 h behind the client's
    const std::vector<std::string> ours{"13900000001", "13900000002"};
    CampaignRequest request;
    request.text = "hello";
    request.numbers = 2;
    request.started = kSent + 13 * 3600;  // the client's clock, never compared with the service's
    enum Kind { Ours, Other };
    struct Row {
        Kind kind;
        long long age;  // seconds before kSent
    };
    const struct {
        const char* name;
        std::vector<Row> rows;  // newest first
        size_t fill;            // other records appended, each `step` seconds older
        long long step;
        long long elapsed;  // since the request left, on the client's clock
        Verdict verdict;
    } cases[] = {
        {"ours, newest", {{Ours, -5}, {Other, 60}}, 0, 0, 120, Verdict::Sent},
        {"ours among 500", {{Other, -90}, {Ours, -5}}, 498, 1, 120, Verdict::Sent},
        {"an older send passed over", {{Other, -30}, {Ours, 7200}}, 0, 0, 60, Verdict::NotSent},
        {"an older send, age unknown", {{Other, -30}, {Ours, 7200}}, 0, 0, -60, Verdict::Sent},
        {"two alike", {{Ours, -5}, {Ours, 30}}, 0, 0, 60, Verdict::CannotTell},
        {"500 reaching back", {{Other, -30}}, 499, 60, 60, Verdict::NotSent},
        {"500 all newer", {{Other, -3000}}, 499, 1, 3100, Verdict::CannotTell},
    };
    for (const auto& c : cases) {
        SendRecordsAnswer records;
        records.status = RecordStatus::Listed;
        std::vector<std::vector<std::string>> numbersById;
        auto add = [&](Kind kind, long long time) {
            SendRecord r;
            r.id = std::to_string(records.records.size());
            r.count = "2";
            r.text = kind == Ours ? "hello" : "other";
            r.time = timeText(time);
            records.records.push_back(r);
            numbersById.push_back(kind == Ours ? ours : std::vector<std::string>{"1", "2"});
        };
        for (const Row& row : c.rows)
            add(row.kind, kSent - row.age);
        for (size_t i = 1; i <= c.fill; ++i)
            add(Other, kSent - c.rows.back().age - c.step * static_cast<long long>(i));
        const UnknownDecision decision = DecideUnknown(
            request, ours, {}, records,
            [&](const std::string& id) -> std::optional<std::vector<std::string>> {
                return numbersById[std::stoul(id)];
            },
            {}, EarliestArrival(records, c.elapsed));
        EXPECT_EQ(decision.verdict, c.verdict) << c.name;
    }
}

}  // namespace
