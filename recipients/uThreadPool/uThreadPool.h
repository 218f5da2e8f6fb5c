#pragma once
// A small general-purpose pool of worker threads. Clients queue work items with AddRequest;
// workers take them one at a time and hand each to OnProcessRequest. The pool reports
// through OnQueueEmpty when the last queued item has been taken (ekQueueEmpty) and when
// nothing is queued and no worker is processing (ekProcessingFinished). It grows between
// ThreadsMin and ThreadsMax by the workers' measured waiting, shrinks by one idle worker
// per pool-down period (30 s) and replaces workers that stay in processing longer than
// ThreadDeadTimeout. Every step writes a line to a process-wide log sink (SetPoolLogSink),
// which does nothing unless one is installed.
//
// Ownership and lifetime:
// - The owner given to the constructor is only remembered. Whoever creates the pool keeps
//   it (a std::unique_ptr beside the owner is simplest) and destroys it at the latest when
//   the owner itself is destroyed.
// - AddRequest takes the item only when it accepts it; a refused item stays with the
//   caller. Accepted items belong to the pool: the worker that processed one destroys it,
//   and the pool destroys the ones still queued when it is destroyed.
// - The pool must be destroyed on a thread that is not one of its workers (destruction
//   waits for all of them). A completion handler therefore posts the destruction to another
//   thread. Destroying it on a worker is a programming error and aborts with a message.
// - Destruction tells every worker to stop, waits at most 30000 ms in total for them, then
//   destroys them anyway, each destruction waiting for its thread to end: a handler that
//   never returns keeps the destructor waiting, but nothing is freed under a running
//   worker.
//
// Events and settings are set before the first AddRequest; the events run on worker
// threads (ekQueueEmpty while the queue lock is held). Text is GBK.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Sync.h"

namespace smsc {

class TThreadsPool;
class TProcessorThread;

class TWorkItem {
public:
    TWorkItem() = default;
    explicit TWorkItem(std::string payload) : Payload(std::move(payload)) {}
    virtual ~TWorkItem() = default;

    // Whether this request is the same as the other one (duplicate check of AddRequest).
    virtual bool MatchesRequest(const TWorkItem& other) const {
        (void)other;
        return false;
    }
    // How log lines name the request.
    virtual std::string LogText() const { return "Request"; }

    // The client's data: a file name or the clipboard text for the imports.
    std::string Payload;
};

enum TThreadState : int {
    tcsInitializing = 0,
    tcsWaiting = 1,
    tcsGetting = 2,
    tcsProcessing = 3,
    tcsProcessed = 4,
    tcsTerminating = 5,
    tcsCheckingDown = 6,
};

enum TEmptyKind : int {
    ekQueueEmpty = 0,          // the last queued item has just been taken
    ekProcessingFinished = 1,  // nothing is queued and no worker is processing
};

// The log sink: (text, thread id, level). Thread id 0 for the pool's own lines, the
// worker's system thread id for worker lines; levels 1 (most detailed) to 9 (errors).
using PoolLogSink = std::function<void(const std::string& text, uint32_t threadId, int level)>;
// Installs the process-wide sink; an empty function restores the default, which does
// nothing. The sink is called from any thread, sometimes with pool locks held.
void SetPoolLogSink(PoolLogSink sink);
void PoolLog(const std::string& text, uint32_t threadId, int level);

// Raised by a worker's construction when OnThreadInitializing threw; carries its message.
class EThreadInitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TProcessorThread final {
public:
    ~TProcessorThread();
    TProcessorThread(const TProcessorThread&) = delete;
    TProcessorThread& operator=(const TProcessorThread&) = delete;

    TThreadsPool& Pool() const { return m_pool; }
    TThreadState State() const { return m_state.load(); }
    uint32_t ThreadId() const { return m_threadId.load(); }

    // Smoothed wait / processing time in ms, counting the wait or processing under way.
    uint32_t AverageWaitTime() const;
    uint32_t AverageProcessTime() const;
    // Told to terminate, or processing longer than the pool's ThreadDeadTimeout (when not 0).
    bool IsDead() const;
    // Waiting, waiting long on average, and processing briefly compared with that.
    bool IsIdle() const;

    void Terminate();
    bool Terminated() const { return m_terminated.load(); }

private:
    friend class TThreadsPool;
    explicit TProcessorThread(TThreadsPool& pool);

    void Execute();
    void Log(const std::string& text, int level) const;
    // Under the item lock.
    bool CurrentItemMatches(const TWorkItem& item);
    TWorkItem* AdoptCurrentItem(std::unique_ptr<TWorkItem> item);
    void DestroyCurrentItem();

    TThreadsPool& m_pool;
    std::atomic<TThreadState> m_state{tcsInitializing};
    std::atomic<uint32_t> m_averageWait{1000};
    std::atomic<uint32_t> m_averageProcess{5000};
    std::atomic<uint32_t> m_waitStart{0};
    std::atomic<uint32_t> m_processingStart{0};
    std::atomic<bool> m_terminated{false};
    std::atomic<uint32_t> m_threadId{0};
    CriticalSection m_itemLock;
    std::unique_ptr<TWorkItem> m_currentItem;  // guarded by m_itemLock
    Event m_terminateEvent{EventReset::Manual};
    std::unique_ptr<Event> m_initializedEvent;  // only during construction
    bool m_initFailed = false;
    std::string m_initError;
    // Last: the thread is waited for before anything above goes away.
    std::unique_ptr<Thread> m_thread;
};

class TThreadsPool {
public:
    static constexpr std::chrono::milliseconds kPoolDownPeriod{30000};
    static constexpr uint32_t kDestroyWaitMs = 30000;

    // `poolDownPeriod` is how often one worker checks for idle threads (tests shorten it).
    explicit TThreadsPool(void* owner, std::chrono::milliseconds poolDownPeriod = kPoolDownPeriod);
    virtual ~TThreadsPool();
    TThreadsPool(const TThreadsPool&) = delete;
    TThreadsPool& operator=(const TThreadsPool&) = delete;

    // Queues the item unless `checkForDuplicates` is set and an equal request (by the new
    // item's MatchesRequest) is queued or being processed. True: queued, `item` is now
    // empty and belongs to the pool. False: `item` is untouched and stays the caller's.
    bool AddRequest(std::unique_ptr<TWorkItem>& item, bool checkForDuplicates);
    template <class T>
    bool AddRequest(std::unique_ptr<T>& item, bool checkForDuplicates) {
        std::unique_ptr<TWorkItem> base(item.release());
        const bool accepted = AddRequest(base, checkForDuplicates);
        if (!accepted)
            item.reset(static_cast<T*>(base.release()));
        return accepted;
    }

    int ThreadsMin() const { return m_threadsMin.load(); }
    void SetThreadsMin(int value) { m_threadsMin.store(value); }
    int ThreadsMax() const { return m_threadsMax.load(); }
    void SetThreadsMax(int value) { m_threadsMax.store(value); }
    uint32_t ThreadDeadTimeout() const { return m_threadDeadTimeout.load(); }
    void SetThreadDeadTimeout(uint32_t ms) { m_threadDeadTimeout.store(ms); }
    // Re-arms the pool-down timer: first check after one period, then every period.
    void SetPoolDownPeriod(std::chrono::milliseconds period);

    void* Owner() const { return m_owner; }
    // Whether the caller runs on one of this pool's workers (live or stopping).
    bool IsOwnWorkerThread();

    // Read-only views for monitoring.
    int QueueIndex();
    int QueueSlotCount();  // slots of FQueue, holes included
    int ThreadCount();     // live workers in FThreads
    int StoppingThreadCount();

    std::function<void(TThreadsPool& sender, TWorkItem& item, TProcessorThread& thread)>
        OnProcessRequest;
    std::function<void(TThreadsPool& sender, TEmptyKind kind)> OnQueueEmpty;
    std::function<void(TThreadsPool& sender, TProcessorThread& thread)> OnThreadInitializing;
    std::function<void(TThreadsPool& sender, TProcessorThread& thread)> OnThreadFinalizing;

protected:
    // Raise the events; a subclass may override them. A subclass that does should call
    // Shutdown() in its own destructor, so no worker calls an override of a half-destroyed
    // object.
    virtual void DoProcessRequest(TWorkItem& item, TProcessorThread& thread);
    virtual void DoQueueEmpty(TEmptyKind kind);
    virtual void DoThreadFinalizing(TProcessorThread& thread);
    virtual void DoThreadInitializing(TProcessorThread& thread);

    // Stops and destroys every worker and every queued item (the destruction steps);
    // runs once, later calls do nothing.
    void Shutdown();

private:
    friend class TProcessorThread;

    void Log(const std::string& text, int level) const;
    void GrowIfNeeded();
    uint32_t PoolAverageWait();
    TWorkItem* TakeRequest(TProcessorThread& taker);
    void CheckAllDone();
    void ReplaceDeadThreads();
    void FreeStoppedThreads();
    void CheckPoolDown();
    std::unique_ptr<TProcessorThread> CreateThread();
    void AddThreadLocked(std::unique_ptr<TProcessorThread> thread);
    int LiveThreadCountLocked() const;
    void RaiseQueueEmpty(TEmptyKind kind);

    void* const m_owner;

    CriticalSection m_queueLock;
    std::vector<std::unique_ptr<TWorkItem>> m_queue;  // FQueue; taken slots are empty
    size_t m_queueIndex = 0;                          // QueueIndex

    CriticalSection m_threadsLock;
    std::vector<std::unique_ptr<TProcessorThread>> m_threads;          // FThreads
    std::vector<std::unique_ptr<TProcessorThread>> m_stoppingThreads;  // StoppingThreads
    bool m_destroying = false;  // guarded by m_threadsLock: no thread is created or freed
    bool m_shutDown = false;

    std::atomic<int> m_threadsMin{0};
    std::atomic<int> m_threadsMax{1};
    std::atomic<uint32_t> m_threadDeadTimeout{0};

    Semaphore m_requestSemaphore{0, Semaphore::kMaxCount};
    PeriodicTimer m_poolDownTimer;
};

}  // namespace smsc
