// How long the window thread goes without turning its event loop during a send to a service
// that accepts the connection and then stays silent until the 15 s read timeout. A 10 ms
// timer ticks on the window thread; the longest gap between two of its ticks is reported
// (max_gap_ms), once with the wait of the windows installed and once with the transfer run
// at once on the window thread, as the command-line sender runs it.
#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "service/ExchangeWait.h"
#include "service/ServiceClient.h"

namespace {

using Clock = std::chrono::steady_clock;

// Listens on 127.0.0.1 and never accepts: the kernel completes the connection, the request
// is taken into the socket buffer, and no answer ever comes.
class SilentServer {
public:
    SilentServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
    }
    ~SilentServer() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

void MeasureTickGap(benchmark::State& state, bool windowWait) {
    SilentServer server;
    if (server.port() == 0) {
        state.SkipWithError("cannot listen on 127.0.0.1");
        return;
    }
    smsc::ServiceContext ctx;
    ctx.endpoints.telecomUrl = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    ctx.lineIndex = 0;  // softweb/send1.asp: 15000 ms read timeout

    smsc::InstallExchangeWait();
    if (!windowWait)
        smsc::SetExchangeRunner(nullptr);

    double maxGapMs = 0;
    double seconds = 0;
    long ticks = 0;
    std::string answer;
    for (auto _ : state) {
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(10);
        Clock::time_point last = Clock::now();
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            maxGapMs =
                std::max(maxGapMs, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
            ++ticks;
        });
        ticker.start();
        const Clock::time_point start = Clock::now();
        last = start;
        answer = smsc::SendMessage(ctx, "user", "pass", "13800000000|", "hi");
        const Clock::time_point end = Clock::now();
        // The gap the exchange ends with counts too.
        maxGapMs =
            std::max(maxGapMs, std::chrono::duration<double, std::milli>(end - last).count());
        seconds = std::chrono::duration<double>(end - start).count();
    }
    if (answer != smsc::FailureAnswer())
        state.SkipWithError("the silent service answered");
    state.counters["max_gap_ms"] = maxGapMs;
    state.counters["ticks"] = static_cast<double>(ticks);
    state.counters["exchange_s"] = seconds;
}

void BM_TickGapDuringSilentSend_WindowWait(benchmark::State& state) {
    MeasureTickGap(state, true);
}
BENCHMARK(BM_TickGapDuringSilentSend_WindowWait)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TickGapDuringSilentSend_OnWindowThread(benchmark::State& state) {
    MeasureTickGap(state, false);
}
BENCHMARK(BM_TickGapDuringSilentSend_OnWindowThread)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
