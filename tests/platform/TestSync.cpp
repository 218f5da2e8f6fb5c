#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Sync.h"

using namespace smsc;
using namespace std::chrono_literals;

namespace {

// Elapsed milliseconds of a callable, on the steady clock.
template <class F>
long long MillisecondsOf(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// Waits up to ten seconds for a condition: long enough for any loaded machine.
template <class F>
bool WaitUntil(F&& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(Semaphore, CountsUnitsAndRespectsItsMaximum) {
    Semaphore s;
    EXPECT_EQ(s.Count(), 0);
    EXPECT_FALSE(s.Wait(0));
    int32_t previous = -1;
    EXPECT_TRUE(s.Release(3, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_TRUE(s.Wait(0));
    EXPECT_TRUE(s.Wait(0));
    EXPECT_TRUE(s.Wait(0));
    EXPECT_FALSE(s.Wait(0));

    // The default maximum is the largest 32-bit count; a release past it changes nothing.
    Semaphore big(Semaphore::kMaxCount - 1);
    EXPECT_TRUE(big.Release(1));
    EXPECT_FALSE(big.Release(1));
    EXPECT_EQ(big.Count(), Semaphore::kMaxCount);

    Semaphore small(0, 2);
    EXPECT_FALSE(small.Release(3));
    EXPECT_EQ(small.Count(), 0);
    EXPECT_FALSE(small.Release(0));
    EXPECT_FALSE(small.Release(-1));
    EXPECT_TRUE(small.Release(2));
    EXPECT_FALSE(small.Release(1, &previous));
    EXPECT_EQ(previous, 2);
}

TEST(Semaphore, EveryUnitIsTakenExactlyOnceUnderContention) {
    Semaphore s;
    Event stop(EventReset::Manual);
    constexpr int kUnits = 4000;
    std::atomic<int> taken{0};
    std::vector<std::thread> consumers;
    for (int i = 0; i < 4; ++i) {
        consumers.emplace_back([&] {
            while (WaitForAny({&stop, &s}) == 1)
                taken.fetch_add(1);
        });
    }
    std::thread producer([&] {
        for (int i = 0; i < kUnits; ++i)
            s.Release(1);
    });
    producer.join();
    // Stop has priority, so it is only set once every unit is gone.
    while (s.Count() > 0)
        std::this_thread::sleep_for(1ms);
    stop.Set();
    for (auto& t : consumers)
        t.join();
    EXPECT_EQ(taken.load(), kUnits);
    EXPECT_EQ(s.Count(), 0);
}

TEST(Event, ManualResetStaysSetForEveryWaiterUntilReset) {
    Event e(EventReset::Manual);
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.IsSet());
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
    EXPECT_TRUE(Event(EventReset::Manual, true).Wait(0));
}

TEST(Event, AutoResetLetsOneWaiterThroughPerSet) {
    Event e(EventReset::Auto, true);
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));

    // Each set lets exactly one waiter through and is consumed by it, so the count can only
    // reach the number of sets.
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (e.Wait())
                passed.fetch_add(1);
        });
    for (int sets = 1; sets <= 2; ++sets) {
        e.Set();
        ASSERT_TRUE(WaitUntil([&] { return passed.load() >= sets; }));
        EXPECT_FALSE(e.IsSet());
        EXPECT_EQ(passed.load(), sets);
    }
    e.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(passed.load(), 3);
}

TEST(WaitForAny, FirstSignalledInOrderWinsAndOnlyItIsConsumed) {
    Event terminate(EventReset::Manual);
    Semaphore requests;
    PeriodicTimer timer(0ns, 10000ms);
    std::this_thread::sleep_for(1ms);
    terminate.Set();
    requests.Release(2);

    EXPECT_EQ(WaitForAny({&terminate, &requests, &timer}, 0), 0);
    EXPECT_EQ(WaitForAny({&terminate, &requests, &timer}, 0), 0);  // manual: still set
    EXPECT_EQ(requests.Count(), 2);
    terminate.Reset();
    EXPECT_EQ(WaitForAny({&terminate, &requests, &timer}, 0), 1);
    EXPECT_EQ(requests.Count(), 1);
    EXPECT_EQ(WaitForAny({&terminate, &requests, &timer}, 0), 1);
    EXPECT_EQ(WaitForAny({&terminate, &requests, &timer}, 0), 2);
    EXPECT_EQ(WaitForAny({&terminate, &requests, &timer}, 0), kWaitTimeout);

    // The order given decides, not the kind of object.
    Event autoEvent(EventReset::Auto, true);
    requests.Release(1);
    EXPECT_EQ(WaitForAny({&requests, &autoEvent}, 0), 0);
    EXPECT_TRUE(autoEvent.IsSet());
    EXPECT_EQ(WaitForAny({&requests, &autoEvent}, 0), 1);
    EXPECT_FALSE(autoEvent.IsSet());
}

TEST(WaitForAny, BlocksUntilSignalledOrTimedOut) {
    Event a(EventReset::Auto);
    Semaphore b;
    std::thread signaller([&] {
        std::this_thread::sleep_for(40ms);
        b.Release(1);
    });
    int result = kWaitTimeout;
    const long long waited = MillisecondsOf([&] { result = WaitForAny({&a, &b}); });
    signaller.join();
    EXPECT_EQ(result, 1);
    EXPECT_GE(waited, 30);

    const long long timedOut = MillisecondsOf([&] { result = WaitForAny({&a, &b}, 50); });
    EXPECT_EQ(result, kWaitTimeout);
    EXPECT_GE(timedOut, 49);
}

TEST(PeriodicTimer, FiresAfterFirstDueThenEveryPeriodAndAutoResets) {
    const auto armed = std::chrono::steady_clock::now();
    PeriodicTimer timer(60ms, 20ms);
    // Never before the first due time, however late this thread runs.
    const bool early = timer.Wait(30);
    EXPECT_TRUE(!early || std::chrono::steady_clock::now() - armed >= 59ms);
    EXPECT_TRUE(early || timer.Wait(10000));
    EXPECT_FALSE(timer.Wait(0));  // consumed

    int fired = 0;
    const long long elapsed = MillisecondsOf([&] {
        for (int i = 0; i < 5; ++i)
            fired += timer.Wait(2000) ? 1 : 0;
    });
    EXPECT_EQ(fired, 5);
    EXPECT_GE(elapsed, 5 * 20 - 25);  // the first may be nearly due already

    // Periods that pass unobserved do not pile up (a long period, so that no new one comes due
    // between the two checks).
    timer.Arm(1ms, 200ms);
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(timer.Wait(0));
    EXPECT_FALSE(timer.Wait(0));

    timer.Cancel();
    EXPECT_FALSE(timer.Wait(60));
    PeriodicTimer disarmed;
    EXPECT_FALSE(disarmed.Wait(30));
}

TEST(PeriodicTimer, RearmingWakesAWaiterSleepingTowardsTheOldDueTime) {
    PeriodicTimer timer(100000ms, 100000ms);
    std::atomic<bool> fired{false};
    std::thread waiter([&] { fired = timer.Wait(5000); });
    std::this_thread::sleep_for(20ms);
    timer.Arm(10ms, 10ms);
    waiter.join();
    EXPECT_TRUE(fired.load());
}

TEST(CriticalSection, TryEnterFailsOnlyForOtherThreadsAndIsRecursive) {
    CriticalSection cs;
    cs.Enter();
    EXPECT_TRUE(cs.TryEnter());  // the owner enters again
    bool otherGot = true;
    std::thread([&] { otherGot = cs.TryEnter(); }).join();
    EXPECT_FALSE(otherGot);
    cs.Leave();
    std::thread([&] { otherGot = cs.TryEnter(); }).join();
    EXPECT_FALSE(otherGot);  // still entered once
    cs.Leave();
    std::thread([&] {
        otherGot = cs.TryEnter();
        if (otherGot)
            cs.Leave();
    }).join();
    EXPECT_TRUE(otherGot);
}

TEST(Tick, DifferencesWrapAroundInThirtyTwoBits) {
    EXPECT_EQ(TickDiff(5u, 0xFFFFFFFBu), 10u);
    EXPECT_EQ(TickDiff(0u, 0xFFFFFFFFu), 1u);
    EXPECT_EQ(TickDiff(1000u, 400u), 600u);
    static_assert(TickDiff(3u, 3u) == 0u);

    // The tick count follows the steady clock.
    uint32_t diff = 0;
    const long long outside = MillisecondsOf([&] {
        const uint32_t before = TickCount();
        std::this_thread::sleep_for(30ms);
        diff = TickDiff(TickCount(), before);
    });
    EXPECT_GE(diff, 29u);
    EXPECT_LE(diff, static_cast<uint32_t>(outside) + 2u);
}

TEST(Thread, SuspendedBodyWaitsForResumeAndTimedJoinReportsTheEnd) {
    std::atomic<bool> ran{false};
    std::atomic<uint32_t> idInside{0};
    Event release(EventReset::Manual);
    Thread t(
        [&] {
            ran = true;
            idInside = CurrentThreadId();
            release.Wait();
        },
        true);
    EXPECT_NE(t.Id(), 0u);
    EXPECT_NE(t.Id(), CurrentThreadId());
    EXPECT_FALSE(t.IsCurrent());
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(t.HasEnded());

    t.Resume();
    EXPECT_FALSE(t.WaitFor(40));
    EXPECT_TRUE(WaitUntil([&] { return ran.load(); }));
    EXPECT_EQ(idInside.load(), t.Id());
    release.Set();
    EXPECT_TRUE(t.WaitFor(2000));
    EXPECT_TRUE(t.HasEnded());
}

TEST(Thread, DestroyingANeverResumedThreadSkipsItsBody) {
    std::atomic<bool> ran{false};
    {
        Thread t([&] { ran = true; }, true);
    }
    EXPECT_FALSE(ran.load());

    std::atomic<bool> ranToo{false};
    {
        Thread t([&] {
            std::this_thread::sleep_for(30ms);
            ranToo = true;
        });
    }  // waits for the end
    EXPECT_TRUE(ranToo.load());
}
