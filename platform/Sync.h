#pragma once
// Wait primitives the worker pool is built on, in the shape the pool expects from its
// platform: a counting semaphore, manual- and auto-reset events, a periodic waitable timer,
// a wait on several of these with a fixed priority, a recursive critical section with
// try-enter, a millisecond uptime tick and a thread handle that can be waited on.
//
// Every waitable object reports its state changes to one process-wide "wait hub" (a mutex
// and a condition variable). A waiter checks its objects under the hub's mutex, in the
// order it was given, and sleeps on the condition variable until something changes or the
// nearest timer falls due; nothing spins. The hub is shared by all objects, which is cheap
// for the handful of threads this program runs and keeps a multi-object wait atomic: the
// winner is consumed in the same step that finds it signalled.
//
// An object must outlive every wait that names it. No Qt here.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <span>
#include <thread>

namespace smsc {

// Wait without a time limit.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
// WaitForAny's answer when the time limit passed with nothing signalled.
inline constexpr int kWaitTimeout = -1;

// Milliseconds since an arbitrary fixed point (CLOCK_MONOTONIC), cut to 32 bits: it wraps
// after about 49.7 days, so take differences with TickDiff, never compare ticks directly.
uint32_t TickCount();
// Milliseconds from `earlier` to `later`, correct across one wrap-around.
constexpr uint32_t TickDiff(uint32_t later, uint32_t earlier) {
    return later - earlier;
}

// The calling thread's system id (the id `ps -L` shows).
uint32_t CurrentThreadId();

class Waitable {
public:
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;
    virtual ~Waitable() = default;

    // Waits for this object alone; true when it was signalled (and consumed) in time.
    bool Wait(uint32_t timeoutMs = kInfinite);

protected:
    using Clock = std::chrono::steady_clock;
    Waitable() = default;

    // State changes: take the hub lock, change the state, release, then WakeWaiters().
    static std::mutex& HubMutex();
    static void WakeWaiters();

private:
    friend int WaitForAny(std::span<Waitable* const> objects, uint32_t timeoutMs);
    // The three below run with the hub mutex held.
    virtual bool IsSignalledLocked(Clock::time_point now) = 0;
    // Takes what a successful wait takes: one unit, or the signal of an auto-reset object.
    virtual void ConsumeLocked() = 0;
    // When the object will become signalled by itself (timers), if it will.
    virtual bool NextDueLocked(Clock::time_point& due) const {
        (void)due;
        return false;
    }
};

// Waits until one of the objects is signalled and returns its index. When several are
// signalled, the first in the given order wins and only it is consumed. Returns
// kWaitTimeout when the time limit passes first (a limit of 0 just tests).
int WaitForAny(std::span<Waitable* const> objects, uint32_t timeoutMs = kInfinite);
inline int WaitForAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs = kInfinite) {
    return WaitForAny(std::span<Waitable* const>(objects.begin(), objects.size()), timeoutMs);
}

// Counting semaphore: signalled while its count is above 0; a wait takes one unit.
class Semaphore final : public Waitable {
public:
    static constexpr int32_t kMaxCount = 2147483647;
    explicit Semaphore(int32_t initialCount = 0, int32_t maximumCount = kMaxCount);

    // Adds `count` units. Refuses (false, count unchanged) a count below 1 or one that would
    // pass the maximum. `previous`, when given, receives the count before the call.
    bool Release(int32_t count = 1, int32_t* previous = nullptr);
    int32_t Count() const;

private:
    bool IsSignalledLocked(Clock::time_point now) override;
    void ConsumeLocked() override;

    int32_t m_count;
    const int32_t m_max;
};

enum class EventReset { Manual, Auto };

// Manual-reset: stays set until Reset, every waiter passes. Auto-reset: a successful wait
// resets it, so one Set lets exactly one waiter through.
class Event final : public Waitable {
public:
    explicit Event(EventReset mode, bool initiallySet = false);
    void Set();
    void Reset();
    bool IsSet() const;

private:
    bool IsSignalledLocked(Clock::time_point now) override;
    void ConsumeLocked() override;

    const EventReset m_mode;
    bool m_set;
};

// Auto-reset waitable timer: signalled first after `firstDue`, then again every `period`
// (a period of 0 makes it one-shot). Periods that pass while it is still signalled do not
// add up: one wait consumes the signal, however late it comes. Created disarmed unless
// given times.
class PeriodicTimer final : public Waitable {
public:
    PeriodicTimer() = default;
    PeriodicTimer(std::chrono::nanoseconds firstDue, std::chrono::milliseconds period);

    // (Re)arms the timer relative to now and clears a pending signal.
    void Arm(std::chrono::nanoseconds firstDue, std::chrono::milliseconds period);
    void Cancel();

private:
    bool IsSignalledLocked(Clock::time_point now) override;
    void ConsumeLocked() override;
    bool NextDueLocked(Clock::time_point& due) const override;

    bool m_armed = false;
    bool m_signalled = false;
    Clock::time_point m_due{};
    Clock::duration m_period{};
};

// Recursive lock with try-enter, like a Windows critical section: the owner may enter again
// and must leave as often as it entered. Usable with std::lock_guard / std::unique_lock.
class CriticalSection final {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    bool TryEnter() { return m_mutex.try_lock(); }

    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex m_mutex;
};

// A system thread with a handle that can be waited on. Created suspended, the body does not
// run until Resume(); the system id is known as soon as the constructor returns. The body
// must not throw. Destroying the handle waits for the thread to end (a never-resumed body
// is skipped); destroying it on its own thread is not allowed.
class Thread final {
public:
    // Throws std::system_error when the system cannot create the thread.
    explicit Thread(std::function<void()> body, bool suspended = false);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void Resume();
    uint32_t Id() const { return m_id.load(); }
    // True when the body has returned (a zero-time wait).
    bool HasEnded() { return WaitFor(0); }
    // Waits at most timeoutMs for the body to return; true when it has.
    bool WaitFor(uint32_t timeoutMs) { return m_ended.Wait(timeoutMs); }
    // Whether the caller runs on this thread.
    bool IsCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    std::function<void()> m_body;
    Event m_started{EventReset::Manual};
    Event m_resume{EventReset::Manual};
    Event m_ended{EventReset::Manual};
    std::atomic<bool> m_skipBody{false};
    std::atomic<uint32_t> m_id{0};
    std::thread m_thread;
};

}  // namespace smsc
