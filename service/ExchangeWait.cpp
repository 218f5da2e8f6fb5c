#include "service/ExchangeWait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <QWidget>

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

// Lives on the window thread. While a wait runs it filters every event of the program:
// input is dropped while a transfer runs; closes and the ticks of marked timers are held
// until the outermost wait has returned to its caller, and then posted again.
class ExchangeGate final : public QObject {
public:
    explicit ExchangeGate(QObject* parent) : QObject(parent) {}
    ~ExchangeGate() override;

    TransferTurns turns;

    void beginWait() {
        if (m_waits++ == 0)
            QCoreApplication::instance()->installEventFilter(this);
    }
    void endWait() {
        if (--m_waits > 0)
            return;
        QCoreApplication::instance()->removeEventFilter(this);
        release();
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
    void release();

    int m_waits = 0;
    int m_transfers = 0;
    std::vector<HeldTick> m_ticks;
    std::vector<QPointer<QWidget>> m_closes;
};

ExchangeGate* g_gate = nullptr;

ExchangeGate::~ExchangeGate() {
    g_gate = nullptr;
    SetExchangeRunner(nullptr);
}

bool ExchangeGate::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (IsUserInput(type))
        return m_transfers > 0;
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
        static_cast<QWidget*>(watched)->isWindow()) {
        auto* window = static_cast<QWidget*>(watched);
        event->ignore();  // the window stays open for now
        if (std::find(m_closes.begin(), m_closes.end(), window) == m_closes.end())
            m_closes.emplace_back(window);
        return true;
    }
    return false;
}

void ExchangeGate::release() {
    const std::vector<QPointer<QWidget>> closes = std::exchange(m_closes, {});
    const std::vector<HeldTick> ticks = std::exchange(m_ticks, {});
    // The caller handles its answer first; these come at the next turn of the event loop.
    // A window the answer has hidden meanwhile is not closed again.
    for (const QPointer<QWidget>& window : closes)
        if (window)
            QMetaObject::invokeMethod(
                window.data(),
                [window] {
                    if (window && window->isVisible())
                        window->close();
                },
                Qt::QueuedConnection);
    // A timer stopped or armed anew meanwhile has lost that tick.
    for (const HeldTick& tick : ticks)
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
