#include "platform/Sync.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>

namespace smsc {
namespace {

struct WaitHub {
    std::mutex mutex;
    std::condition_variable changed;
};

// Never destroyed: threads may still signal objects while static destructors run at exit.
WaitHub& Hub() {
    static WaitHub* hub = new WaitHub;
    return *hub;
}

}  // namespace

uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

// ---- Waitable and the hub ---------------------------------------------------------------

std::mutex& Waitable::HubMutex() {
    return Hub().mutex;
}

void Waitable::WakeWaiters() {
    Hub().changed.notify_all();
}

bool Waitable::Wait(uint32_t timeoutMs) {
    Waitable* self = this;
    return WaitForAny(std::span<Waitable* const>(&self, 1), timeoutMs) == 0;
}

int WaitForAny(std::span<Waitable* const> objects, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    WaitHub& hub = Hub();
    const bool limited = timeoutMs != kInfinite;
    const Clock::time_point deadline =
        limited ? Clock::now() + std::chrono::milliseconds(timeoutMs) : Clock::time_point::max();

    std::unique_lock<std::mutex> lock(hub.mutex);
    for (;;) {
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < objects.size(); ++i) {
            if (objects[i]->IsSignalledLocked(now)) {
                objects[i]->ConsumeLocked();
                return static_cast<int>(i);
            }
        }
        if (limited && now >= deadline)
            return kWaitTimeout;

        // Sleep until something changes, the limit passes or the nearest timer falls due.
        Clock::time_point wakeAt = deadline;
        for (Waitable* object : objects) {
            Clock::time_point due;
            if (object->NextDueLocked(due) && due < wakeAt)
                wakeAt = due;
        }
        if (wakeAt == Clock::time_point::max())
            hub.changed.wait(lock);
        else
            hub.changed.wait_until(lock, wakeAt);
    }
}

// ---- Semaphore --------------------------------------------------------------------------

Semaphore::Semaphore(int32_t initialCount, int32_t maximumCount)
    : m_count(initialCount < 0 ? 0 : initialCount), m_max(maximumCount < 1 ? 1 : maximumCount) {
    if (m_count > m_max)
        m_count = m_max;
}

bool Semaphore::Release(int32_t count, int32_t* previous) {
    {
        std::lock_guard<std::mutex> lock(HubMutex());
        if (previous)
            *previous = m_count;
        if (count < 1 || count > m_max - m_count)
            return false;
        m_count += count;
    }
    WakeWaiters();
    return true;
}

int32_t Semaphore::Count() const {
    std::lock_guard<std::mutex> lock(HubMutex());
    return m_count;
}

bool Semaphore::IsSignalledLocked(Clock::time_point) {
    return m_count > 0;
}

void Semaphore::ConsumeLocked() {
    --m_count;
}

// ---- Event ------------------------------------------------------------------------------

Event::Event(EventReset mode, bool initiallySet) : m_mode(mode), m_set(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(HubMutex());
        m_set = true;
    }
    // Only the hub is touched from here on: a waiter may already have destroyed the event.
    WakeWaiters();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(HubMutex());
    m_set = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(HubMutex());
    return m_set;
}

bool Event::IsSignalledLocked(Clock::time_point) {
    return m_set;
}

void Event::ConsumeLocked() {
    if (m_mode == EventReset::Auto)
        m_set = false;
}

// ---- PeriodicTimer ----------------------------------------------------------------------

PeriodicTimer::PeriodicTimer(std::chrono::nanoseconds firstDue, std::chrono::milliseconds period) {
    Arm(firstDue, period);
}

void PeriodicTimer::Arm(std::chrono::nanoseconds firstDue, std::chrono::milliseconds period) {
    {
        std::lock_guard<std::mutex> lock(HubMutex());
        m_armed = true;
        m_signalled = false;
        m_due = Clock::now() + std::chrono::duration_cast<Clock::duration>(firstDue);
        m_period = period.count() > 0 ? std::chrono::duration_cast<Clock::duration>(period)
                                      : Clock::duration::zero();
    }
    // Waiters sleeping towards the old due time must look again.
    WakeWaiters();
}

void PeriodicTimer::Cancel() {
    std::lock_guard<std::mutex> lock(HubMutex());
    m_armed = false;
    m_signalled = false;
}

bool PeriodicTimer::IsSignalledLocked(Clock::time_point now) {
    if (m_armed && now >= m_due) {
        m_signalled = true;
        if (m_period == Clock::duration::zero()) {
            m_armed = false;
        } else {
            // Skip whole periods that passed unobserved: they do not add up.
            const auto late = now - m_due;
            m_due += m_period * (late / m_period + 1);
        }
    }
    return m_signalled;
}

void PeriodicTimer::ConsumeLocked() {
    m_signalled = false;
}

bool PeriodicTimer::NextDueLocked(Clock::time_point& due) const {
    if (!m_armed)
        return false;
    due = m_due;
    return true;
}

// ---- Thread -----------------------------------------------------------------------------

Thread::Thread(std::function<void()> body, bool suspended) : m_body(std::move(body)) {
    m_thread = std::thread([this] {
        m_id.store(CurrentThreadId());
        m_started.Set();
        m_resume.Wait();
        if (!m_skipBody.load() && m_body)
            m_body();
        m_ended.Set();
    });
    m_started.Wait();
    if (!suspended)
        Resume();
}

Thread::~Thread() {
    if (!m_thread.joinable())
        return;
    if (IsCurrent()) {
        // The body still runs on this object: there is no safe way on.
        std::fputs("smsc::Thread destroyed on its own thread\n", stderr);
        std::abort();
    }
    if (!m_resume.IsSet()) {
        m_skipBody.store(true);
        m_resume.Set();
    }
    m_thread.join();
}

void Thread::Resume() {
    m_resume.Set();
}

}  // namespace smsc
