#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Gbk.h"
#include "platform/Sync.h"
#include "recipients/uThreadPool/uThreadPool.h"

using namespace smsc;
using namespace std::chrono_literals;

namespace {

struct LogLine {
    std::string text;
    uint32_t threadId;
    int level;
};

// Installs itself as the pool's log sink for its lifetime.
class LogRecorder {
public:
    explicit LogRecorder(std::function<void(const LogLine&)> onLine = {})
        : m_onLine(std::move(onLine)) {
        SetPoolLogSink([this](const std::string& text, uint32_t threadId, int level) {
            LogLine line{text, threadId, level};
            if (m_onLine)
                m_onLine(line);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(std::move(line));
        });
    }
    ~LogRecorder() { SetPoolLogSink({}); }

    std::vector<LogLine> Lines() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    int Count(const std::string& text) {
        auto lines = Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                              [&](const LogLine& l) { return l.text == text; }));
    }
    std::vector<LogLine> ByThread(uint32_t threadId) {
        std::vector<LogLine> result;
        for (auto& line : Lines())
            if (line.threadId == threadId)
                result.push_back(line);
        return result;
    }

private:
    std::function<void(const LogLine&)> m_onLine;
    std::mutex m_mutex;
    std::vector<LogLine> m_lines;
};

std::atomic<int> g_itemsAlive{0};

// Named by its payload; equal payloads are the same request.
class NamedItem final : public TWorkItem {
public:
    explicit NamedItem(std::string name) : TWorkItem(std::move(name)) { ++g_itemsAlive; }
    ~NamedItem() override { --g_itemsAlive; }
    bool MatchesRequest(const TWorkItem& other) const override { return other.Payload == Payload; }
    std::string LogText() const override { return Payload; }
};

std::unique_ptr<TWorkItem> Item(const std::string& name) {
    return std::make_unique<NamedItem>(name);
}

template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// What the handlers saw, shared between worker threads and the test.
struct Observed {
    std::mutex mutex;
    std::vector<std::string> processed;
    std::vector<uint32_t> processedBy;
    std::vector<TEmptyKind> emptyKinds;
    std::vector<uint32_t> initialized;
    std::vector<uint32_t> finalized;

    void Attach(TThreadsPool& pool) {
        pool.OnQueueEmpty = [this](TThreadsPool&, TEmptyKind kind) {
            std::lock_guard<std::mutex> lock(mutex);
            emptyKinds.push_back(kind);
        };
        pool.OnThreadInitializing = [this](TThreadsPool&, TProcessorThread& t) {
            std::lock_guard<std::mutex> lock(mutex);
            initialized.push_back(t.ThreadId());
        };
        pool.OnThreadFinalizing = [this](TThreadsPool&, TProcessorThread& t) {
            std::lock_guard<std::mutex> lock(mutex);
            finalized.push_back(t.ThreadId());
        };
    }
    void Processed(const TWorkItem& item, const TProcessorThread& thread) {
        std::lock_guard<std::mutex> lock(mutex);
        processed.push_back(item.Payload);
        processedBy.push_back(thread.ThreadId());
    }
    size_t ProcessedCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return processed.size();
    }
    bool WasProcessed(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex);
        return std::find(processed.begin(), processed.end(), name) != processed.end();
    }
    template <class T>
    std::vector<T> Copy(const std::vector<T>& v) {
        std::lock_guard<std::mutex> lock(mutex);
        return v;
    }
};

class ThreadsPoolTest : public ::testing::Test {
protected:
    void SetUp() override { g_itemsAlive = 0; }
    void TearDown() override {
        // Every item, accepted or refused, is gone once the test's objects are.
        EXPECT_EQ(g_itemsAlive.load(), 0);
    }
};

}  // namespace

// ---- One item, the events and their order ----------------------------------------------

TEST_F(ThreadsPoolTest, OneItemMakesOneThreadAndQueueEmptyComesBeforeProcessingFinished) {
    Observed seen;
    {
        TThreadsPool pool(nullptr);
        pool.SetThreadsMin(1);
        pool.SetThreadsMax(5);
        seen.Attach(pool);
        std::atomic<int> aliveWhileProcessing{-1};
        pool.OnProcessRequest = [&](TThreadsPool& sender, TWorkItem& item, TProcessorThread& t) {
            EXPECT_EQ(&sender, &pool);
            EXPECT_EQ(t.State(), tcsProcessing);
            EXPECT_EQ(&t.Pool(), &pool);
            aliveWhileProcessing = g_itemsAlive.load();
            seen.Processed(item, t);
        };
        EXPECT_EQ(pool.ThreadCount(), 0);  // construction creates no thread

        auto item = Item("only");
        ASSERT_TRUE(pool.AddRequest(item, true));
        EXPECT_EQ(item, nullptr);  // the pool owns it now
        EXPECT_EQ(pool.ThreadCount(), 1);

        ASSERT_TRUE(WaitUntil([&] { return seen.Copy(seen.emptyKinds).size() >= 2; }));
        EXPECT_EQ(seen.Copy(seen.emptyKinds),
                  (std::vector<TEmptyKind>{ekQueueEmpty, ekProcessingFinished}));
        EXPECT_EQ(aliveWhileProcessing.load(), 1);
        EXPECT_EQ(g_itemsAlive.load(), 0);  // the worker destroyed it before finishing
        EXPECT_EQ(pool.ThreadCount(), 1);
        EXPECT_EQ(pool.QueueSlotCount(), 0);  // cleared when the last item was taken
        EXPECT_EQ(pool.QueueIndex(), 0);
        EXPECT_EQ(seen.Copy(seen.initialized).size(), 1u);
    }
    // Destruction stops the worker, which finalizes on its own thread.
    EXPECT_EQ(seen.Copy(seen.finalized), seen.Copy(seen.initialized));
}

TEST_F(ThreadsPoolTest, DefaultSettingsGrowToOneThreadAndBaseItemsAreNeverDuplicates) {
    TThreadsPool pool(nullptr);
    EXPECT_EQ(pool.ThreadsMin(), 0);
    EXPECT_EQ(pool.ThreadsMax(), 1);
    EXPECT_EQ(pool.ThreadDeadTimeout(), 0u);
    Observed seen;
    Event gate(EventReset::Manual);
    pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
        gate.Wait(5000);
        seen.Processed(item, t);
    };
    // The base MatchesRequest answers false, so equal payloads all go in, even while the
    // first one is being processed.
    for (int i = 0; i < 5; ++i) {
        auto item = std::make_unique<TWorkItem>("same");
        EXPECT_TRUE(pool.AddRequest(item, true));
        EXPECT_EQ(item, nullptr);
    }
    EXPECT_EQ(pool.ThreadCount(), 1);  // empty pool: average wait 1 ms, so one thread
    gate.Set();
    EXPECT_TRUE(WaitUntil([&] { return seen.ProcessedCount() == 5; }));
    EXPECT_EQ(pool.ThreadCount(), 1);  // ThreadsMax 1

    std::unique_ptr<TWorkItem> none;
    EXPECT_FALSE(pool.AddRequest(none, true));
}

// ---- Duplicates -------------------------------------------------------------------------

TEST_F(ThreadsPoolTest, DuplicateOfAQueuedOrProcessedItemIsRefusedAndStaysWithTheCaller) {
    TThreadsPool pool(nullptr);
    Observed seen;
    Event gate(EventReset::Manual);
    std::atomic<bool> aStarted{false};
    pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
        if (item.Payload == "A") {
            aStarted = true;
            gate.Wait(5000);
        }
        seen.Processed(item, t);
    };

    auto a = std::make_unique<NamedItem>("A");
    ASSERT_TRUE(pool.AddRequest(a, true));
    ASSERT_TRUE(WaitUntil([&] { return aStarted.load(); }));
    auto b = Item("B");
    ASSERT_TRUE(pool.AddRequest(b, true));  // queued: the only thread is busy with A

    auto dupA = std::make_unique<NamedItem>("A");  // A is being processed
    EXPECT_FALSE(pool.AddRequest(dupA, true));
    ASSERT_NE(dupA, nullptr);
    EXPECT_EQ(dupA->Payload, "A");

    auto dupB = Item("B");  // B is queued
    EXPECT_FALSE(pool.AddRequest(dupB, true));
    ASSERT_NE(dupB, nullptr);
    EXPECT_EQ(dupB->Payload, "B");
    EXPECT_EQ(g_itemsAlive.load(), 4);

    // Without the check the same item goes in.
    EXPECT_TRUE(pool.AddRequest(dupB, false));
    EXPECT_EQ(dupB, nullptr);

    gate.Set();
    ASSERT_TRUE(WaitUntil([&] { return seen.ProcessedCount() == 3; }));
    EXPECT_EQ(seen.Copy(seen.processed), (std::vector<std::string>{"A", "B", "B"}));
    // A finished item no longer blocks its twin.
    EXPECT_TRUE(pool.AddRequest(dupA, true));
    EXPECT_TRUE(WaitUntil([&] { return seen.ProcessedCount() == 4; }));
}

// ---- Handler failures -------------------------------------------------------------------

TEST_F(ThreadsPoolTest, ExceptionInTheHandlerIsLoggedAtLevel8AndTheNextItemStillRuns) {
    LogRecorder log;
    Observed seen;
    {
        TThreadsPool pool(nullptr);
        seen.Attach(pool);
        Event gate(EventReset::Manual);
        pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
            gate.Wait(5000);
            seen.Processed(item, t);
            if (item.Payload == "bad")
                throw std::runtime_error("boom");
            if (item.Payload == "odd")
                throw 42;
        };
        for (const char* name : {"bad", "odd", "good"}) {
            auto item = Item(name);
            ASSERT_TRUE(pool.AddRequest(item, true));
        }
        gate.Set();
        ASSERT_TRUE(WaitUntil([&] { return seen.WasProcessed("good"); }));
        ASSERT_TRUE(WaitUntil([&] {
            auto kinds = seen.Copy(seen.emptyKinds);
            return std::count(kinds.begin(), kinds.end(), ekProcessingFinished) > 0;
        }));
        EXPECT_EQ(seen.Copy(seen.processed), (std::vector<std::string>{"bad", "odd", "good"}));
        EXPECT_EQ(pool.ThreadCount(), 1);
    }
    const auto lines = log.Lines();
    auto failure = std::find_if(lines.begin(), lines.end(), [](const LogLine& l) {
        return l.text == "OnProcessRequest for bad\r\nraise Exception: boom";
    });
    ASSERT_NE(failure, lines.end());
    EXPECT_EQ(failure->level, 8);
    EXPECT_NE(failure->threadId, 0u);
    EXPECT_EQ(log.Count("OnProcessRequest for odd\r\nraise Exception: unknown exception"), 1);
}

TEST_F(ThreadsPoolTest, FailingThreadInitializationIsLoggedAndTheItemWaitsInTheQueue) {
    LogRecorder log;
    {
        TThreadsPool pool(nullptr);
        pool.OnThreadInitializing = [](TThreadsPool&, TProcessorThread&) {
            throw std::runtime_error("no init");
        };
        std::atomic<bool> ran{false};
        pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem&, TProcessorThread&) { ran = true; };
        auto item = Item("x");
        EXPECT_TRUE(pool.AddRequest(item, true));
        EXPECT_EQ(item, nullptr);
        EXPECT_EQ(pool.ThreadCount(), 0);
        EXPECT_EQ(pool.QueueSlotCount(), 1);
        std::this_thread::sleep_for(20ms);
        EXPECT_FALSE(ran.load());
    }  // the queued item goes with the pool
    const auto lines = log.Lines();
    auto raised = std::find_if(lines.begin(), lines.end(), [](const LogLine& l) {
        return l.text.rfind("TProcessorThread.Create raise: ", 0) == 0;
    });
    ASSERT_NE(raised, lines.end());
    EXPECT_EQ(raised->level, 9);
    EXPECT_EQ(raised->threadId, 0u);
    EXPECT_NE(raised->text.find("EThreadInitError\r\n\tMessage: no init"), std::string::npos);
    EXPECT_EQ(log.Count("TProcessorThread.Create::Finished"), 0);
}

// ---- The queue --------------------------------------------------------------------------

TEST_F(ThreadsPoolTest, QueueOf200IsPackedOnceOnThe151stTake) {
    struct Seen {
        int queueIndex;
        int slots;
    };
    std::mutex mutex;
    std::map<std::string, Seen> afterTake;
    std::vector<Seen> atPack;
    std::atomic<TThreadsPool*> poolForSink{nullptr};
    LogRecorder log([&](const LogLine& line) {
        // The sink runs on the worker that holds the queue lock, which is recursive.
        TThreadsPool* pool = poolForSink.load();
        if (line.text == "FQueue.Pack" && pool)
            atPack.push_back({pool->QueueIndex(), pool->QueueSlotCount()});
    });
    {
        TThreadsPool pool(nullptr);
        poolForSink = &pool;
        Event gate(EventReset::Manual);
        std::atomic<int> done{0};
        pool.OnProcessRequest = [&](TThreadsPool& p, TWorkItem& item, TProcessorThread&) {
            if (item.Payload == "hold")
                gate.Wait(5000);
            std::lock_guard<std::mutex> lock(mutex);
            afterTake[item.Payload] = {p.QueueIndex(), p.QueueSlotCount()};
            ++done;
        };
        auto hold = Item("hold");
        ASSERT_TRUE(pool.AddRequest(hold, true));
        ASSERT_TRUE(WaitUntil([&] { return pool.QueueSlotCount() == 0; }));  // taken
        for (int i = 0; i < 200; ++i) {
            auto item = Item(std::to_string(i));
            ASSERT_TRUE(pool.AddRequest(item, true));
        }
        EXPECT_EQ(pool.QueueSlotCount(), 200);
        EXPECT_EQ(pool.QueueIndex(), 0);
        gate.Set();
        ASSERT_TRUE(WaitUntil([&] { return done.load() == 201; }));
        poolForSink = nullptr;
    }
    EXPECT_EQ(log.Count("FQueue.Pack"), 1);
    ASSERT_EQ(atPack.size(), 1u);
    EXPECT_EQ(atPack[0].queueIndex, 150);  // 150 slots passed = 200 * 3 / 4
    EXPECT_EQ(atPack[0].slots, 200);

    std::lock_guard<std::mutex> lock(mutex);
    // Takes 1 to 150 leave holes behind.
    EXPECT_EQ(afterTake["0"].queueIndex, 1);
    EXPECT_EQ(afterTake["149"].queueIndex, 150);
    EXPECT_EQ(afterTake["149"].slots, 200);
    // The 151st take packs the 150 holes away and restarts at 0.
    EXPECT_EQ(afterTake["150"].queueIndex, 1);
    EXPECT_EQ(afterTake["150"].slots, 50);
    EXPECT_EQ(afterTake["198"].queueIndex, 49);
    // The last take clears the queue.
    EXPECT_EQ(afterTake["199"].queueIndex, 0);
    EXPECT_EQ(afterTake["199"].slots, 0);
}

// ---- Shrinking and dead threads ---------------------------------------------------------

namespace {

// Releases its waiters once `count` have arrived; gives up after a few seconds.
class Rendezvous {
public:
    explicit Rendezvous(int count) : m_count(count) {}
    bool ArriveAndWait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (++m_arrived >= m_count)
            m_all.notify_all();
        return m_all.wait_for(lock, 5s, [&] { return m_arrived >= m_count; });
    }

private:
    const int m_count;
    int m_arrived = 0;
    std::mutex m_mutex;
    std::condition_variable m_all;
};

}  // namespace

TEST_F(ThreadsPoolTest, IdleThreadsStopOnePerCheckDownToThreadsMin) {
    LogRecorder log;
    Observed seen;
    TThreadsPool pool(nullptr);
    pool.SetThreadsMin(4);
    pool.SetThreadsMax(4);
    seen.Attach(pool);
    constexpr int kWaves = 10;
    std::vector<std::unique_ptr<Rendezvous>> waves;
    for (int i = 0; i < kWaves; ++i)
        waves.push_back(std::make_unique<Rendezvous>(4));
    std::atomic<bool> allMet{true};
    pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
        // Every wave needs four workers at once, so each worker takes one item per wave.
        if (!waves[static_cast<size_t>(std::stoi(item.Payload))]->ArriveAndWait())
            allMet = false;
        seen.Processed(item, t);
    };
    // Quick waves bring each worker's average processing time down from 5000 ms.
    for (int wave = 0; wave < kWaves; ++wave) {
        for (int i = 0; i < 4; ++i) {
            auto item = Item(std::to_string(wave));
            ASSERT_TRUE(pool.AddRequest(item, false));
        }
        ASSERT_TRUE(WaitUntil([&] { return seen.ProcessedCount() == 4u * (wave + 1); }));
    }
    ASSERT_TRUE(allMet.load());
    EXPECT_EQ(pool.ThreadCount(), 4);
    const auto created = seen.Copy(seen.initialized);
    ASSERT_EQ(created.size(), 4u);

    // Half a second of waiting makes all four idle; then checks come every 25 ms instead
    // of every 30 s.
    pool.SetThreadsMin(2);
    std::this_thread::sleep_for(500ms);
    pool.SetPoolDownPeriod(25ms);
    ASSERT_TRUE(WaitUntil([&] { return pool.ThreadCount() == 2; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(pool.ThreadCount(), 2);  // the first ThreadsMin threads are never stopped
    ASSERT_TRUE(WaitUntil([&] { return seen.Copy(seen.finalized).size() == 2; }));
    // Stopped from the last slot down.
    EXPECT_EQ(seen.Copy(seen.finalized), (std::vector<uint32_t>{created[3], created[2]}));

    // One stop per check: a check line separates the two terminations.
    const auto lines = log.Lines();
    std::vector<size_t> terminations;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].text == "TProcessorThread.Terminate")
            terminations.push_back(i);
    ASSERT_EQ(terminations.size(), 2u);
    EXPECT_TRUE(
        std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(terminations[0]),
                    lines.begin() + static_cast<std::ptrdiff_t>(terminations[1]),
                    [](const LogLine& l) { return l.text == "TThreadsPool.CheckPoolDown"; }));
    // The stopped threads are freed by a later check once they have ended.
    EXPECT_TRUE(WaitUntil([&] { return pool.StoppingThreadCount() == 0; }));
}

TEST_F(ThreadsPoolTest, WithoutDeadTimeoutAHungThreadIsNeverReplaced) {
    LogRecorder log;
    Observed seen;
    TThreadsPool pool(nullptr, 20ms);
    Event gate(EventReset::Manual);
    std::atomic<bool> hung{false};
    pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
        if (item.Payload == "hang") {
            hung = true;
            gate.Wait(5000);
        }
        seen.Processed(item, t);
    };
    auto hang = Item("hang");
    ASSERT_TRUE(pool.AddRequest(hang, true));
    ASSERT_TRUE(WaitUntil([&] { return hung.load(); }));
    std::this_thread::sleep_for(80ms);  // several pool-down checks pass meanwhile
    auto next = Item("next");
    ASSERT_TRUE(pool.AddRequest(next, true));
    std::this_thread::sleep_for(80ms);
    EXPECT_FALSE(seen.WasProcessed("next"));
    EXPECT_EQ(pool.StoppingThreadCount(), 0);
    EXPECT_EQ(log.Count("Thread dead"), 0);
    gate.Set();
    EXPECT_TRUE(WaitUntil([&] { return seen.WasProcessed("next"); }));
    EXPECT_EQ(log.Count("Thread dead"), 0);
}

TEST_F(ThreadsPoolTest, AThreadHungLongerThanTheDeadTimeoutIsReplacedAndFreedWhenItEnds) {
    LogRecorder log;
    Observed seen;
    TThreadsPool pool(nullptr, 20ms);
    pool.SetThreadDeadTimeout(40);
    seen.Attach(pool);
    Event gate(EventReset::Manual);
    std::atomic<uint32_t> hungThread{0};
    pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
        if (item.Payload == "hang") {
            hungThread = t.ThreadId();
            gate.Wait(5000);
            EXPECT_TRUE(t.Terminated());  // told to stop while it hung
        }
        seen.Processed(item, t);
    };
    auto hang = Item("hang");
    ASSERT_TRUE(pool.AddRequest(hang, true));
    ASSERT_TRUE(WaitUntil([&] { return hungThread.load() != 0; }));
    std::this_thread::sleep_for(80ms);
    auto next = Item("next");
    ASSERT_TRUE(pool.AddRequest(next, true));
    // A fresh thread took the hung one's slot and runs the next item meanwhile.
    ASSERT_TRUE(WaitUntil([&] { return seen.WasProcessed("next"); }));
    EXPECT_FALSE(seen.WasProcessed("hang"));
    EXPECT_EQ(pool.ThreadCount(), 1);
    EXPECT_EQ(pool.StoppingThreadCount(), 1);
    EXPECT_NE(seen.Copy(seen.processedBy)[0], hungThread.load());

    const auto hungLines = log.ByThread(hungThread.load());
    auto dead = std::find_if(hungLines.begin(), hungLines.end(),
                             [](const LogLine& l) { return l.text == "Thread dead"; });
    ASSERT_NE(dead, hungLines.end());
    EXPECT_EQ(dead->level, 5);

    gate.Set();
    EXPECT_TRUE(WaitUntil([&] { return seen.WasProcessed("hang"); }));
    EXPECT_TRUE(WaitUntil([&] { return pool.StoppingThreadCount() == 0; }));
    const auto finalized = seen.Copy(seen.finalized);
    EXPECT_NE(std::find(finalized.begin(), finalized.end(), hungThread.load()), finalized.end());
}

// ---- Destruction ------------------------------------------------------------------------

TEST_F(ThreadsPoolTest, DestructionStopsWorkersAndDestroysItemsStillQueued) {
    LogRecorder log;
    Observed seen;
    std::thread opener;
    Event gate(EventReset::Manual);
    {
        TThreadsPool pool(nullptr);
        seen.Attach(pool);
        std::atomic<bool> started{false};
        pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
            started = true;
            gate.Wait(5000);
            seen.Processed(item, t);
        };
        for (int i = 0; i < 6; ++i) {
            auto item = Item("item" + std::to_string(i));
            ASSERT_TRUE(pool.AddRequest(item, true));
        }
        ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
        EXPECT_EQ(g_itemsAlive.load(), 6);
        // The worker is still inside its handler when destruction begins.
        opener = std::thread([&] {
            std::this_thread::sleep_for(60ms);
            gate.Set();
        });
    }
    opener.join();
    EXPECT_EQ(g_itemsAlive.load(), 0);
    // The busy item finished; the worker then saw it was told to stop.
    EXPECT_EQ(seen.Copy(seen.processed), (std::vector<std::string>{"item0"}));
    EXPECT_EQ(seen.Copy(seen.finalized).size(), 1u);
    EXPECT_EQ(log.Count(G("线程池销毁")), 1);
    EXPECT_EQ(log.Count(G("工作线程销毁")), 1);
}

TEST_F(ThreadsPoolTest, DestructionWaitsForAReplacedThreadStillInItsHandler) {
    Observed seen;
    Event gate(EventReset::Manual);
    std::thread opener;
    std::atomic<bool> hungReturned{false};
    {
        TThreadsPool pool(nullptr);
        pool.SetThreadDeadTimeout(20);
        seen.Attach(pool);
        std::atomic<bool> hung{false};
        pool.OnProcessRequest = [&](TThreadsPool&, TWorkItem& item, TProcessorThread& t) {
            if (item.Payload == "hang") {
                hung = true;
                gate.Wait(5000);
                hungReturned = true;
            }
            seen.Processed(item, t);
        };
        auto hang = Item("hang");
        ASSERT_TRUE(pool.AddRequest(hang, true));
        ASSERT_TRUE(WaitUntil([&] { return hung.load(); }));
        std::this_thread::sleep_for(50ms);
        auto next = Item("next");
        ASSERT_TRUE(pool.AddRequest(next, true));
        ASSERT_TRUE(WaitUntil([&] { return seen.WasProcessed("next"); }));
        ASSERT_EQ(pool.StoppingThreadCount(), 1);
        opener = std::thread([&] {
            std::this_thread::sleep_for(60ms);
            gate.Set();
        });
    }
    // Nothing was freed under the hung worker: it came back, destroyed its item and ended.
    EXPECT_TRUE(hungReturned.load());
    opener.join();
    EXPECT_EQ(seen.Copy(seen.finalized).size(), 2u);
}

TEST_F(ThreadsPoolTest, DestroyingThePoolOnItsOwnWorkerIsRefused) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto* pool = new TThreadsPool(nullptr);
            EXPECT_TRUE(pool->IsOwnWorkerThread() == false);
            pool->OnProcessRequest = [](TThreadsPool& p, TWorkItem&, TProcessorThread&) {
                delete &p;
            };
            auto item = Item("x");
            pool->AddRequest(item, true);
            std::this_thread::sleep_for(10s);
        },
        "own worker threads");
}

// ---- Log texts and levels ---------------------------------------------------------------

TEST_F(ThreadsPoolTest, NormalRunLogsTheFixedTextsAtTheirLevels) {
    // The Chinese texts are GBK bytes.
    EXPECT_EQ(G("创建线程池"), "\xB4\xB4\xBD\xA8\xCF\xDF\xB3\xCC\xB3\xD8");

    LogRecorder log;
    Observed seen;
    uint32_t worker = 0;
    {
        TThreadsPool pool(nullptr);
        pool.SetThreadsMin(1);
        pool.SetThreadsMax(5);
        seen.Attach(pool);
        auto item = std::make_unique<TWorkItem>("payload");
        ASSERT_TRUE(pool.AddRequest(item, true));
        ASSERT_TRUE(WaitUntil([&] { return seen.Copy(seen.emptyKinds).size() == 2; }));
        worker = seen.Copy(seen.initialized).at(0);
    }
    const auto lines = log.Lines();

    // Every line is one of the fixed texts, at its level.
    const std::map<std::string, int> exact = {
        {G("创建线程池"), 5},
        {"AddRequest(Request)", 2},
        {G("释放一个同步信号量)"), 1},
        {G("增加一个任务(") + "Request)", 1},
        {G("工作线程数小于最小线程数"), 4},
        {G("工作线程数小于最大线程数 and 线程池平均等待时间 < 100ms"), 3},
        {G("申请任务"), 2},
        {G("创建工作线程"), 5},
        {"TProcessorThread.Create::Resume", 3},
        {"TProcessorThread.Create::Finished", 3},
        {G("工作线程进常运行"), 3},
        {"TProcessorThread.Execute::Initialized", 3},
        {"TProcessorThread.Execute:: Terminate event signaled ", 5},
        {"TProcessorThread.Execute:: Request semaphore signaled ", 3},
        {"TProcessorThread.Execute:: CheckPoolDown timer signaled ", 4},
        {"Processing: Request", 2},
        {"TProcessorThread.Terminate", 5},
        {G("工作线程销毁"), 5},
        {"TThreadsPool.CheckPoolDown", 1},
        {"", 2},
        {G("线程池销毁"), 5},
    };
    for (const auto& line : lines) {
        if (line.text.rfind("FThreads.Count (", 0) == 0) {
            EXPECT_EQ(line.level, 4);
            EXPECT_EQ(line.text.rfind("FThreads.Count (1)<FThreadsMax(5), AvgWait=", 0), 0u);
            continue;
        }
        auto known = exact.find(line.text);
        ASSERT_NE(known, exact.end()) << "unexpected line: " << line.text;
        EXPECT_EQ(line.level, known->second) << line.text;
    }

    // The pool's own lines carry thread id 0, in this order.
    auto inOrder = [](const std::vector<LogLine>& got, const std::vector<std::string>& want) {
        size_t next = 0;
        for (const auto& line : got)
            if (next < want.size() && line.text == want[next])
                ++next;
        return next == want.size();
    };
    const auto poolLines = log.ByThread(0);
    EXPECT_TRUE(inOrder(
        poolLines, {G("创建线程池"), "AddRequest(Request)", G("工作线程数小于最小线程数"),
                    G("释放一个同步信号量)"), G("增加一个任务(") + "Request)", G("线程池销毁")}));
    // "申请任务" is logged by the worker, woken by the semaphore, before it takes the queue
    // lock: it may come before or after the adder's last two lines, but never before the
    // worker exists or after the pool is gone.
    EXPECT_TRUE(
        inOrder(poolLines, {G("工作线程数小于最小线程数"), G("申请任务"), G("线程池销毁")}));
    // The worker's lines carry its system thread id.
    ASSERT_NE(worker, 0u);
    const auto workerLines = log.ByThread(worker);
    EXPECT_TRUE(inOrder(
        workerLines, {G("创建工作线程"), "TProcessorThread.Create::Resume", G("工作线程进常运行"),
                      "TProcessorThread.Execute:: Request semaphore signaled ",
                      "Processing: Request", "TProcessorThread.Terminate",
                      "TProcessorThread.Execute:: Terminate event signaled ", G("工作线程销毁")}));
    EXPECT_TRUE(inOrder(workerLines, {"TProcessorThread.Execute::Initialized"}));
    EXPECT_TRUE(inOrder(workerLines, {"TProcessorThread.Create::Finished"}));
    // The timer is first due at once; its one check may lose to the stop of the worker.
    EXPECT_LE(log.Count("TThreadsPool.CheckPoolDown"), 1);
    for (const auto& line : lines)
        EXPECT_NE(line.text, "Thread dead");
}

TEST(PoolLogSink, DefaultSinkDoesNothingAndCanBeRestored) {
    // Without a sink a pool runs silently.
    {
        TThreadsPool pool(nullptr);
        auto item = std::make_unique<TWorkItem>();
        EXPECT_TRUE(pool.AddRequest(item, true));
    }
    int calls = 0;
    SetPoolLogSink([&](const std::string&, uint32_t, int) { ++calls; });
    PoolLog("x", 7, 1);
    SetPoolLogSink({});
    PoolLog("y", 7, 1);
    EXPECT_EQ(calls, 1);
}
