#include "recipients/uThreadPool/uThreadPool.h"

#include <cxxabi.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "platform/Gbk.h"

namespace smsc {
namespace {

// Chinese log texts as GBK, converted once.
struct Texts {
    std::string poolCreated = G("创建线程池");
    std::string poolDestroyed = G("线程池销毁");
    std::string semaphoreReleased = G("释放一个同步信号量)");
    std::string taskAdded = G("增加一个任务(");
    std::string belowMin = G("工作线程数小于最小线程数");
    std::string belowMax = G("工作线程数小于最大线程数 and 线程池平均等待时间 < 100ms");
    std::string takingTask = G("申请任务");
    std::string threadCreated = G("创建工作线程");
    std::string threadRunning = G("工作线程进常运行");
    std::string threadDestroyed = G("工作线程销毁");
};

const Texts& T() {
    static const Texts texts;
    return texts;
}

struct SinkSlot {
    std::mutex mutex;
    std::shared_ptr<const PoolLogSink> sink;
    std::atomic<bool> installed{false};
};

// Never destroyed: a worker may still log while static destructors run at exit.
SinkSlot& Sink() {
    static SinkSlot* slot = new SinkSlot;
    return *slot;
}

bool LogEnabled() {
    return Sink().installed.load(std::memory_order_acquire);
}

uint32_t Smooth(uint32_t average, uint32_t sample) {
    return static_cast<uint32_t>((2 * static_cast<uint64_t>(average) + sample) / 3);
}

std::string ClassName(const std::exception& e) {
    const char* mangled = typeid(e).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    return name;
}

std::string ExceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

}  // namespace

void SetPoolLogSink(PoolLogSink sink) {
    SinkSlot& slot = Sink();
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (sink) {
        slot.sink = std::make_shared<const PoolLogSink>(std::move(sink));
        slot.installed.store(true, std::memory_order_release);
    } else {
        slot.sink.reset();
        slot.installed.store(false, std::memory_order_release);
    }
}

void PoolLog(const std::string& text, uint32_t threadId, int level) {
    if (!LogEnabled())
        return;
    std::shared_ptr<const PoolLogSink> sink;
    {
        SinkSlot& slot = Sink();
        std::lock_guard<std::mutex> lock(slot.mutex);
        sink = slot.sink;
    }
    if (sink)
        (*sink)(text, threadId, level);
}

// ---- TProcessorThread -------------------------------------------------------------------

TProcessorThread::TProcessorThread(TThreadsPool& pool) : m_pool(pool) {
    m_initializedEvent = std::make_unique<Event>(EventReset::Manual);
    // Created suspended, so the system id is known for every line below.
    m_thread = std::make_unique<Thread>([this] { Execute(); }, true);
    m_threadId.store(m_thread->Id());
    Log(T().threadCreated, 5);
    Log("TProcessorThread.Create::Resume", 3);
    m_thread->Resume();
    m_initializedEvent->Wait();
    m_initializedEvent.reset();
    if (m_initFailed) {
        // The body has returned right after its initialization; the members go with it.
        m_thread.reset();
        throw EThreadInitError(m_initError);
    }
    Log("TProcessorThread.Create::Finished", 3);
}

TProcessorThread::~TProcessorThread() {
    Log(T().threadDestroyed, 5);
    // A worker never told to stop would wait for ever.
    m_terminated.store(true);
    m_terminateEvent.Set();
    // The thread ends before its lock and events go away: a hung handler may still come
    // back and use them.
    m_thread.reset();
}

void TProcessorThread::Log(const std::string& text, int level) const {
    if (LogEnabled())
        PoolLog(text, ThreadId(), level);
}

uint32_t TProcessorThread::AverageWaitTime() const {
    const TThreadState state = m_state.load();
    const uint32_t stored = m_averageWait.load();
    if (state == tcsWaiting || state == tcsCheckingDown)
        return Smooth(stored, TickDiff(TickCount(), m_waitStart.load()));
    return stored;
}

uint32_t TProcessorThread::AverageProcessTime() const {
    const uint32_t stored = m_averageProcess.load();
    if (m_state.load() == tcsProcessing)
        return Smooth(stored, TickDiff(TickCount(), m_processingStart.load()));
    return stored;
}

bool TProcessorThread::IsDead() const {
    bool dead = m_terminated.load();
    if (!dead) {
        const uint32_t timeout = m_pool.ThreadDeadTimeout();
        dead = timeout != 0 && m_state.load() == tcsProcessing &&
               TickDiff(TickCount(), m_processingStart.load()) > timeout;
    }
    if (dead)
        Log("Thread dead", 5);
    return dead;
}

bool TProcessorThread::IsIdle() const {
    const TThreadState state = m_state.load();
    if (state != tcsWaiting && state != tcsCheckingDown)
        return false;
    const uint32_t wait = AverageWaitTime();
    return wait > 100 && AverageProcessTime() < 2 * static_cast<uint64_t>(wait);
}

void TProcessorThread::Terminate() {
    Log("TProcessorThread.Terminate", 5);
    m_terminated.store(true);
    m_terminateEvent.Set();
}

bool TProcessorThread::CurrentItemMatches(const TWorkItem& item) {
    std::lock_guard<CriticalSection> lock(m_itemLock);
    return m_currentItem && item.MatchesRequest(*m_currentItem);
}

TWorkItem* TProcessorThread::AdoptCurrentItem(std::unique_ptr<TWorkItem> item) {
    std::lock_guard<CriticalSection> lock(m_itemLock);
    m_currentItem = std::move(item);
    return m_currentItem.get();
}

void TProcessorThread::DestroyCurrentItem() {
    std::lock_guard<CriticalSection> lock(m_itemLock);
    m_currentItem.reset();
}

void TProcessorThread::Execute() {
    Log(T().threadRunning, 3);
    m_state.store(tcsInitializing);
    try {
        m_pool.DoThreadInitializing(*this);
    } catch (...) {
        m_initFailed = true;
        m_initError = ExceptionMessage(std::current_exception());
        if (m_initError.empty())
            m_initError = "exception";
    }
    m_initializedEvent->Set();
    Log("TProcessorThread.Execute::Initialized", 3);
    // A failed thread is not added; its creator waits for it to end here.
    if (m_initFailed)
        return;

    m_waitStart.store(TickCount());
    DestroyCurrentItem();
    while (!m_terminated.load()) {
        m_state.store(tcsWaiting);
        const int signalled =
            WaitForAny({&m_terminateEvent, &m_pool.m_requestSemaphore, &m_pool.m_poolDownTimer});
        if (signalled == 0) {
            Log("TProcessorThread.Execute:: Terminate event signaled ", 5);
            m_state.store(tcsTerminating);
            break;
        }
        if (signalled == 1) {
            Log("TProcessorThread.Execute:: Request semaphore signaled ", 3);
            const uint32_t waited = TickDiff(TickCount(), m_waitStart.load());
            m_averageWait.store(Smooth(m_averageWait.load(), waited));
            m_state.store(tcsGetting);
            // Work arrives faster than threads come free.
            if (waited < 5)
                m_pool.GrowIfNeeded();
            if (TWorkItem* item = m_pool.TakeRequest(*this)) {
                m_processingStart.store(TickCount());
                m_state.store(tcsProcessing);
                if (LogEnabled())
                    Log("Processing: " + item->LogText(), 2);
                try {
                    m_pool.DoProcessRequest(*item, *this);
                } catch (...) {
                    const std::string message = ExceptionMessage(std::current_exception());
                    Log("OnProcessRequest for " + item->LogText() +
                            "\r\nraise Exception: " + message,
                        8);
                }
                DestroyCurrentItem();
                m_averageProcess.store(Smooth(m_averageProcess.load(),
                                              TickDiff(TickCount(), m_processingStart.load())));
                m_state.store(tcsProcessed);
                m_pool.CheckAllDone();
            }
            m_waitStart.store(TickCount());
        } else if (signalled == 2) {
            Log("TProcessorThread.Execute:: CheckPoolDown timer signaled ", 4);
            m_state.store(tcsCheckingDown);
            m_pool.CheckPoolDown();
        }
    }
    m_state.store(tcsTerminating);
    try {
        m_pool.DoThreadFinalizing(*this);
    } catch (...) {
        Log("OnThreadFinalizing raise Exception: " + ExceptionMessage(std::current_exception()), 8);
    }
}

// ---- TThreadsPool -----------------------------------------------------------------------

TThreadsPool::TThreadsPool(void* owner, std::chrono::milliseconds poolDownPeriod)
    : m_owner(owner), m_poolDownTimer(std::chrono::nanoseconds(100), poolDownPeriod) {
    Log(T().poolCreated, 5);
}

TThreadsPool::~TThreadsPool() {
    Shutdown();
}

void TThreadsPool::Log(const std::string& text, int level) const {
    if (LogEnabled())
        PoolLog(text, 0, level);
}

void TThreadsPool::SetPoolDownPeriod(std::chrono::milliseconds period) {
    m_poolDownTimer.Arm(period, period);
}

bool TThreadsPool::IsOwnWorkerThread() {
    std::lock_guard<CriticalSection> lock(m_threadsLock);
    for (const auto* list : {&m_threads, &m_stoppingThreads})
        for (const auto& thread : *list)
            if (thread && thread->m_thread && thread->m_thread->IsCurrent())
                return true;
    return false;
}

int TThreadsPool::QueueIndex() {
    std::lock_guard<CriticalSection> lock(m_queueLock);
    return static_cast<int>(m_queueIndex);
}

int TThreadsPool::QueueSlotCount() {
    std::lock_guard<CriticalSection> lock(m_queueLock);
    return static_cast<int>(m_queue.size());
}

int TThreadsPool::ThreadCount() {
    std::lock_guard<CriticalSection> lock(m_threadsLock);
    return LiveThreadCountLocked();
}

int TThreadsPool::StoppingThreadCount() {
    std::lock_guard<CriticalSection> lock(m_threadsLock);
    return static_cast<int>(m_stoppingThreads.size());
}

int TThreadsPool::LiveThreadCountLocked() const {
    return static_cast<int>(std::count_if(m_threads.begin(), m_threads.end(),
                                          [](const auto& thread) { return thread != nullptr; }));
}

void TThreadsPool::DoProcessRequest(TWorkItem& item, TProcessorThread& thread) {
    if (OnProcessRequest)
        OnProcessRequest(*this, item, thread);
}

void TThreadsPool::DoQueueEmpty(TEmptyKind kind) {
    if (OnQueueEmpty)
        OnQueueEmpty(*this, kind);
}

void TThreadsPool::DoThreadFinalizing(TProcessorThread& thread) {
    if (OnThreadFinalizing)
        OnThreadFinalizing(*this, thread);
}

void TThreadsPool::DoThreadInitializing(TProcessorThread& thread) {
    if (OnThreadInitializing)
        OnThreadInitializing(*this, thread);
}

void TThreadsPool::RaiseQueueEmpty(TEmptyKind kind) {
    try {
        DoQueueEmpty(kind);
    } catch (...) {
        Log("OnQueueEmpty raise Exception: " + ExceptionMessage(std::current_exception()), 8);
    }
}

bool TThreadsPool::AddRequest(std::unique_ptr<TWorkItem>& item, bool checkForDuplicates) {
    if (!item)
        return false;
    const std::string logText = item->LogText();
    Log("AddRequest(" + logText + ")", 2);
    {
        std::lock_guard<CriticalSection> queueLock(m_queueLock);
        if (checkForDuplicates) {
            for (const auto& slot : m_queue)
                if (slot && item->MatchesRequest(*slot))
                    return false;
        }
        {
            std::lock_guard<CriticalSection> threadsLock(m_threadsLock);
            GrowIfNeeded();
            if (checkForDuplicates) {
                for (const auto& thread : m_threads)
                    if (thread && thread->CurrentItemMatches(*item))
                        return false;
            }
        }
        m_queue.push_back(std::move(item));
        if (!m_requestSemaphore.Release(1)) {
            // Only with two thousand million items waiting; the caller keeps this one.
            item = std::move(m_queue.back());
            m_queue.pop_back();
            return false;
        }
        Log(T().semaphoreReleased, 1);
    }
    if (LogEnabled())
        Log(T().taskAdded + logText + ")", 1);
    return true;
}

std::unique_ptr<TProcessorThread> TThreadsPool::CreateThread() {
    try {
        return std::unique_ptr<TProcessorThread>(new TProcessorThread(*this));
    } catch (const std::exception& e) {
        Log("TProcessorThread.Create raise: " + ClassName(e) + "\r\n\tMessage: " + e.what(), 9);
    }
    return nullptr;
}

void TThreadsPool::AddThreadLocked(std::unique_ptr<TProcessorThread> thread) {
    if (!thread)
        return;
    // A slot left empty by a failed replacement is filled first.
    for (auto& slot : m_threads) {
        if (!slot) {
            slot = std::move(thread);
            return;
        }
    }
    m_threads.push_back(std::move(thread));
}

void TThreadsPool::GrowIfNeeded() {
    std::lock_guard<CriticalSection> lock(m_threadsLock);
    if (m_destroying)
        return;
    ReplaceDeadThreads();
    const int count = LiveThreadCountLocked();
    const int threadsMin = ThreadsMin();
    const int threadsMax = ThreadsMax();
    if (count < threadsMin) {
        Log(T().belowMin, 4);
        for (int i = count; i < threadsMin; ++i)
            AddThreadLocked(CreateThread());
    } else if (count < threadsMax) {
        Log(T().belowMax, 3);
        const uint32_t averageWait = PoolAverageWait();
        if (LogEnabled()) {
            char line[96];
            std::snprintf(line, sizeof line, "FThreads.Count (%d)<FThreadsMax(%d), AvgWait=%d",
                          count, threadsMax, static_cast<int>(averageWait));
            Log(line, 4);
        }
        if (averageWait < 100)
            AddThreadLocked(CreateThread());
    }
}

uint32_t TThreadsPool::PoolAverageWait() {
    std::lock_guard<CriticalSection> lock(m_threadsLock);
    uint64_t sum = 0;
    uint64_t count = 0;
    for (const auto& thread : m_threads) {
        if (!thread)
            continue;
        sum += thread->AverageWaitTime();
        ++count;
    }
    return count == 0 ? 1 : static_cast<uint32_t>(sum / count);
}

TWorkItem* TThreadsPool::TakeRequest(TProcessorThread& taker) {
    Log(T().takingTask, 2);
    std::lock_guard<CriticalSection> lock(m_queueLock);
    while (m_queueIndex < m_queue.size() && !m_queue[m_queueIndex])
        ++m_queueIndex;
    // Every semaphore unit has its queued item.
    assert(m_queueIndex < m_queue.size());
    if (m_queueIndex >= m_queue.size()) {
        Log("TakeRequest: QueueIndex past the end of FQueue", 9);
        return nullptr;
    }
    if (m_queue.size() > 127 && m_queueIndex >= m_queue.size() * 3 / 4) {
        Log("FQueue.Pack", 1);
        std::erase_if(m_queue, [](const auto& slot) { return slot == nullptr; });
        m_queueIndex = 0;
    }
    // The taker holds the item as its current one before the queue lock is released, so a
    // duplicate check never misses it.
    TWorkItem* item = taker.AdoptCurrentItem(std::move(m_queue[m_queueIndex]));
    ++m_queueIndex;
    if (m_queueIndex == m_queue.size()) {
        RaiseQueueEmpty(ekQueueEmpty);
        m_queue.clear();
        m_queueIndex = 0;
    }
    return item;
}

void TThreadsPool::CheckAllDone() {
    {
        std::lock_guard<CriticalSection> lock(m_queueLock);
        if (m_queueIndex < m_queue.size())
            return;
    }
    {
        std::lock_guard<CriticalSection> lock(m_threadsLock);
        for (const auto& thread : m_threads)
            if (thread && thread->State() == tcsProcessing)
                return;
    }
    RaiseQueueEmpty(ekProcessingFinished);
}

void TThreadsPool::ReplaceDeadThreads() {
    std::unique_lock<CriticalSection> lock(m_threadsLock, std::try_to_lock);
    if (!lock.owns_lock() || m_destroying)
        return;
    for (auto& slot : m_threads) {
        if (!slot || !slot->IsDead())
            continue;
        slot->Terminate();
        m_stoppingThreads.push_back(std::move(slot));
        slot = CreateThread();  // stays empty when the creation failed
    }
}

void TThreadsPool::FreeStoppedThreads() {
    std::unique_lock<CriticalSection> lock(m_threadsLock, std::try_to_lock);
    if (!lock.owns_lock() || m_destroying)
        return;
    for (size_t i = m_stoppingThreads.size(); i-- > 0;) {
        if (m_stoppingThreads[i]->m_thread->HasEnded())
            m_stoppingThreads.erase(m_stoppingThreads.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void TThreadsPool::CheckPoolDown() {
    Log("TThreadsPool.CheckPoolDown", 1);
    std::lock_guard<CriticalSection> lock(m_threadsLock);
    Log(std::string(), 2);  // the pool's information text
    if (m_destroying)
        return;
    ReplaceDeadThreads();
    FreeStoppedThreads();
    const int threadsMin = std::max(ThreadsMin(), 0);
    for (int i = static_cast<int>(m_threads.size()) - 1; i >= threadsMin; --i) {
        auto& slot = m_threads[static_cast<size_t>(i)];
        if (!slot || !slot->IsIdle())
            continue;
        slot->Terminate();
        m_stoppingThreads.push_back(std::move(slot));
        m_threads.erase(m_threads.begin() + i);
        break;
    }
}

void TThreadsPool::Shutdown() {
    if (m_shutDown)
        return;
    if (IsOwnWorkerThread()) {
        std::fputs("TThreadsPool destroyed on one of its own worker threads\n", stderr);
        std::abort();
    }
    m_shutDown = true;
    Log(T().poolDestroyed, 5);

    // Tell every worker to stop; from here on no worker is created or freed but here.
    std::vector<Thread*> handles;
    {
        std::lock_guard<CriticalSection> lock(m_threadsLock);
        m_destroying = true;
        for (const auto& thread : m_threads) {
            if (!thread)
                continue;
            thread->Terminate();
            handles.push_back(thread->m_thread.get());
        }
        for (const auto& thread : m_stoppingThreads)
            handles.push_back(thread->m_thread.get());
    }

    const uint32_t start = TickCount();
    for (Thread* handle : handles) {
        const uint32_t elapsed = TickDiff(TickCount(), start);
        if (elapsed >= kDestroyWaitMs)
            break;
        handle->WaitFor(kDestroyWaitMs - elapsed);
    }

    // Destroyed outside the threads lock: a late worker coming back from its handler takes
    // that lock in CheckAllDone, while each destruction waits for its worker to end.
    std::vector<std::unique_ptr<TProcessorThread>> doomed;
    {
        std::lock_guard<CriticalSection> lock(m_threadsLock);
        for (auto* list : {&m_threads, &m_stoppingThreads}) {
            for (auto& thread : *list)
                if (thread)
                    doomed.push_back(std::move(thread));
            list->clear();
        }
    }
    for (auto& thread : doomed)
        thread.reset();

    std::lock_guard<CriticalSection> lock(m_queueLock);
    for (size_t i = m_queue.size(); i-- > 0;)
        m_queue[i].reset();
    m_queue.clear();
    m_queueIndex = 0;
}

}  // namespace smsc
