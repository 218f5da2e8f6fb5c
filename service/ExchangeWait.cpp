#include "service/ExchangeWait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "service/ServiceClient.h"

namespace smsc {
namespace {

constexpr char kHoldProperty[] = "smscHoldWhileExchanging";

// Transfers run in the order they were asked for, one at a time.
class TransferTurns {
public:
    std::uint64_t take() {
        std::lock_guard lock(m_mutex);
        return m_next++;
    }
    void wait(std::uint64_t ticket) {
        std::unique_lock lock(m_mutex);
        m_turn.wait(lock, [&] { return m_serving == ticket; });
    }
    void done() {
        {
            std::lock_guard lock(m_mutex);
            ++m_serving;
        }
        m_turn.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_turn;
    std::uint64_t m_next = 0;
    std::uint64_t m_serving = 0;
};

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
            return true;
        default:
            return false;
    }
}

// Lives on the window thread. While a wait runs it filters every event of the program. The
// windows that were open when the outermost wait began ignore input while a transfer runs,
// and their closes, like the ticks of marked timers, are held. A window opened meanwhile (a
// box shown by a timer or by a queued call) is left alone: it takes its own input and
// closes, and the wait's own answer follows once it has gone. What was held comes again
// once the caller has handled its answer: when no wait runs and the event loop is back at
// the depth the wait began from (so never inside the answer's own box).
class ExchangeGate final : public QObject {
public:
    explicit ExchangeGate(QObject* parent) : QObject(parent) {
        m_release.setInterval(10);
        connect(&m_release, &QTimer::timeout, this, &ExchangeGate::releaseWhenBack);
    }
    ~ExchangeGate() override;

    TransferTurns turns;

    void beginWait() {
        if (m_waits++ > 0)
            return;
        m_open.clear();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                m_open.emplace_back(window);
        const int depth = QThread::currentThread()->loopLevel();
        m_depth = holding() ? std::min(m_depth, depth) : depth;
        m_release.stop();
        filter(true);
    }
    void endWait() {
        if (--m_waits > 0)
            return;
        m_open.clear();
        if (!holding()) {
            filter(false);
            return;
        }
        // Usually the caller is done at the next turn of the event loop; if it has opened a
        // box, the timer looks again until the box has gone. Until then the filter holds
        // the ticks of marked timers that come due again meanwhile; input and closes pass.
        QMetaObject::invokeMethod(this, &ExchangeGate::releaseWhenBack, Qt::QueuedConnection);
        m_release.start();
    }
    void beginTransfer() { ++m_transfers; }
    void endTransfer() { --m_transfers; }
    bool waiting() const { return m_waits > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct HeldTick {
        QPointer<QTimer> timer;
        int id;
    };
    bool holding() const { return !m_closes.empty() || !m_ticks.empty(); }
    void filter(bool on) {
        if (on != m_filtering) {
            if (on)
                QCoreApplication::instance()->installEventFilter(this);
            else
                QCoreApplication::instance()->removeEventFilter(this);
        }
        m_filtering = on;
    }
    // Whether the object belongs to a window that was open when the wait began.
    bool inOpenWindow(QObject* watched) const;
    void releaseWhenBack();

    int m_waits = 0;
    int m_transfers = 0;
    int m_depth = 0;  // event loop depth the outermost wait began from
    bool m_filtering = false;
    std::vector<QPointer<QWidget>> m_open;
    std::vector<HeldTick> m_ticks;
    std::vector<QPointer<QWidget>> m_closes;
    QTimer m_release;  // runs while something is held and no wait runs
};

ExchangeGate* g_gate = nullptr;

ExchangeGate::~ExchangeGate() {
    g_gate = nullptr;
    SetExchangeRunner(nullptr);
}

bool ExchangeGate::inOpenWindow(QObject* watched) const {
    QWidget* window = nullptr;
    if (watched->isWidgetType()) {
        window = static_cast<QWidget*>(watched)->window();
    } else if (watched->isWindowType()) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->windowHandle() == watched)
                window = top;
        if (!window)
            return true;  // a window of no widget: the program's own
    } else {
        return true;  // shortcuts and actions: the program's windows'
    }
    return std::find(m_open.begin(), m_open.end(), window) != m_open.end();
}

bool ExchangeGate::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (IsUserInput(type))
        return m_transfers > 0 && inOpenWindow(watched);
    if (type == QEvent::Timer) {
        auto* timer = qobject_cast<QTimer*>(watched);
        if (!timer || !timer->property(kHoldProperty).toBool())
            return false;
        // A one-shot timer stays armed until its tick is taken, so it comes due again
        // meanwhile: one held tick is enough.
        if (std::none_of(m_ticks.begin(), m_ticks.end(),
                         [&](const HeldTick& held) { return held.timer == timer; }))
            m_ticks.push_back({timer, static_cast<QTimerEvent*>(event)->timerId()});
        return true;
    }
    if (type == QEvent::Close && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && inOpenWindow(watched)) {
        auto* window = static_cast<QWidget*>(watched);
        event->ignore();  // the window stays open for now
        if (std::find(m_closes.begin(), m_closes.end(), window) == m_closes.end())
            m_closes.emplace_back(window);
        return true;
    }
    return false;
}

void ExchangeGate::releaseWhenBack() {
    if (waiting() || QThread::currentThread()->loopLevel() > m_depth)
        return;  // a wait, or a box of the answer, is still running
    if (!m_closes.empty()) {
        // A window the answer has hidden meanwhile is not closed again. A close may ask its
        // question; the held ticks follow once that is answered.
        const std::vector<QPointer<QWidget>> closes = std::exchange(m_closes, {});
        for (const QPointer<QWidget>& window : closes)
            if (window && window->isVisible())
                window->close();
        if (!waiting()) {
            if (holding()) {
                m_release.start();
            } else {
                m_release.stop();
                filter(false);
            }
        }
        return;
    }
    m_release.stop();
    filter(false);
    // A timer stopped or armed anew meanwhile has lost that tick.
    for (const HeldTick& tick : std::exchange(m_ticks, {}))
        if (tick.timer && tick.timer->isActive() && tick.timer->timerId() == tick.id)
            QCoreApplication::postEvent(tick.timer, new QTimerEvent(tick.id));
}

void RunWhileWaiting(const std::function<void()>& transfer) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!g_gate || !app || QThread::currentThread() != app->thread()) {
        transfer();
        return;
    }
    ExchangeGate* gate = g_gate;
    struct Flight {
        bool done = false;  // window thread only
        QEventLoop* loop = nullptr;
        std::exception_ptr failure;
    };
    auto flight = std::make_shared<Flight>();
    QEventLoop loop;
    flight->loop = &loop;
    const std::uint64_t ticket = gate->turns.take();

    std::thread worker;
    try {
        worker = std::thread([gate, flight, ticket, &transfer] {
            gate->turns.wait(ticket);
            try {
                transfer();
            } catch (...) {
                flight->failure = std::current_exception();
            }
            gate->turns.done();
            QMetaObject::invokeMethod(
                gate,
                [gate, flight] {
                    flight->done = true;
                    gate->endTransfer();
                    if (flight->loop)
                        flight->loop->quit();
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the transfer runs here, after those before it.
        gate->turns.wait(ticket);
        try {
            transfer();
        } catch (...) {
            gate->turns.done();
            throw;
        }
        gate->turns.done();
        return;
    }

    gate->beginWait();
    gate->beginTransfer();
    // Returns when the completion above has run; earlier only when the program is ending,
    // and then the transfer is simply waited for.
    loop.exec();
    worker.join();
    flight->loop = nullptr;
    gate->endWait();
    if (flight->failure)
        std::rethrow_exception(flight->failure);
}

}  // namespace

void InstallExchangeWait() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    if (!g_gate)
        g_gate = new ExchangeGate(app);
    SetExchangeRunner(&RunWhileWaiting);
}

void HoldWhileExchanging(QTimer* timer) {
    timer->setProperty(kHoldProperty, true);
    InstallExchangeWait();
}

bool ExchangeInFlight() {
    return g_gate && g_gate->waiting();
}

}  // namespace smsc
