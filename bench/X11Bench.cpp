// The X11 services on an Xvfb of the benchmark's own. Input comes from a
// second client on another thread, so that the figures are those of the
// receiving side alone (its thread's CPU time), as in the application.
#include "platform/x11/Display.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"
#include "triggers/HotCornerMonitor.h"

#include "support/TestClient.h"
#include "support/XServer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace tarnwick::x11 {
namespace {

using Clock = std::chrono::steady_clock;

test::XServer& server() {
    static const auto instance = test::XServer::startXvfb("1280x800x24");
    if (!instance) {
        std::abort();
    }
    return *instance;
}

Display& openOrDie(std::unique_ptr<Display>& holder) {
    auto opened = Display::open(server().display());
    if (!opened.display) {
        std::fprintf(stderr, "%s\n", opened.error.c_str());
        std::abort();
    }
    holder = std::move(opened.display);
    return *holder;
}

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The application's loop in miniature: wait for the socket, process.
// Returns how many times it woke.
std::uint64_t serveUntil(Display& display, const std::function<bool()>& done,
                         std::chrono::milliseconds limit,
                         std::chrono::milliseconds recheck = std::chrono::hours(1)) {
    std::uint64_t wakeups = 0;
    const auto deadline = Clock::now() + limit;
    display.processEvents();
    while (!done() && Clock::now() < deadline) {
        pollfd p{display.fileDescriptor(), POLLIN, 0};
        // Look at done() now and then: the sender's flag wakes nobody.
        const auto wakeAt = std::min(Clock::now() + recheck, deadline);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now());
        if (::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) > 0) {
            ++wakeups;
        }
        display.processEvents();
    }
    return wakeups;
}

// 1,000 raw motion events away from the corners, sent at the given pace
// (0: as fast as the sender can).
void motionRun(benchmark::State& state, std::chrono::microseconds pace) {
    std::unique_ptr<Display> holder;
    Display& display = openOrDie(holder);
    X11PointerSource source(display);
    HotCornerMonitor monitor(source);
    int corners = 0;
    monitor.onCorner = [&](ScreenCorner) { ++corners; };
    monitor.start();
    auto sender = test::TestClient::connect(server().display());

    double cpu = 0;
    std::uint64_t queries = 0;
    std::uint64_t events = 0;
    std::uint64_t wakeups = 0;
    std::uint64_t refreshes = 0;
    for (auto _ : state) {
        const auto before = source.stats();
        std::atomic<bool> sent{false};
        std::thread send([&] {
            for (int i = 0; i < 1000; ++i) {
                sender->moveTo(400 + (i % 400), 300 + (i % 200));
                if (pace.count() > 0) {
                    std::this_thread::sleep_for(pace);
                }
            }
            sender->sync();
            sent = true;
        });
        const double start = threadCpuSeconds();
        // Until every move was made and the source has come to rest.
        wakeups += serveUntil(
            display, [&] { return sent && source.listening(); }, std::chrono::seconds(10),
            std::chrono::milliseconds(50));
        cpu += threadCpuSeconds() - start;
        send.join();
        queries += source.stats().pointerQueries - before.pointerQueries;
        events += source.stats().rawMotionEvents - before.rawMotionEvents;
        refreshes += source.stats().screenRefreshes - before.screenRefreshes;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_1000"] = cpu * 1000 / n;
    state.counters["queries_per_1000"] = static_cast<double>(queries) / n;
    state.counters["wakeups_per_1000"] = static_cast<double>(wakeups) / n;
    state.counters["raw_events_read_per_1000"] = static_cast<double>(events) / n;
    // The screens are re-read only when the server says they changed: 0.
    state.counters["screen_refreshes_per_1000"] = static_cast<double>(refreshes) / n;
    state.counters["corners"] = corners;
}

void BM_RawMotionBurst(benchmark::State& state) {
    motionRun(state, std::chrono::microseconds(0));
}
void BM_RawMotionAt1kHz(benchmark::State& state) {
    motionRun(state, std::chrono::microseconds(1000));
}
BENCHMARK(BM_RawMotionBurst)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_RawMotionAt1kHz)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// Until the source's pause after motion is over and it listens again.
void letRest(Display& display, const X11PointerSource& source) {
    do {
        display.processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (!source.listening());
}

// One burst of 50 moves, all on our socket before a single drain, then 200
// more made while the source pauses after it. The burst should cost one
// pointer query and one handler run; the pause no raw event read, and a
// query or three around listening again.
void BM_BurstThenPause(benchmark::State& state) {
    std::unique_ptr<Display> holder;
    Display& display = openOrDie(holder);
    X11PointerSource source(display);
    std::uint64_t runs = 0;
    source.addPointerMovedHandler([&] { ++runs; });
    auto sender = test::TestClient::connect(server().display());

    X11PointerSource::Stats burst{};
    X11PointerSource::Stats paused{};
    std::uint64_t burstRuns = 0;
    int y = 300;
    for (auto _ : state) {
        letRest(display, source);
        y = y == 300 ? 310 : 300;
        const auto before = source.stats();
        const auto runsBefore = runs;
        for (int i = 0; i < 50; ++i) {
            sender->moveTo(200 + i, y);
        }
        sender->sync();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        display.processEvents();
        const auto afterBurst = source.stats();
        burstRuns += runs - runsBefore;
        // The server has stopped sending motion before the next moves.
        display.sync();
        for (int i = 0; i < 200; ++i) {
            sender->moveTo(600 + i, y);
        }
        sender->sync();
        letRest(display, source);
        const auto after = source.stats();
        burst.rawMotionEvents += afterBurst.rawMotionEvents - before.rawMotionEvents;
        burst.pointerQueries += afterBurst.pointerQueries - before.pointerQueries;
        paused.rawMotionEvents += after.rawMotionEvents - afterBurst.rawMotionEvents;
        paused.pointerQueries += after.pointerQueries - afterBurst.pointerQueries;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["burst_raw_events"] = static_cast<double>(burst.rawMotionEvents) / n;
    state.counters["burst_queries"] = static_cast<double>(burst.pointerQueries) / n;
    state.counters["burst_handler_runs"] = static_cast<double>(burstRuns) / n;
    state.counters["pause_raw_events_read"] = static_cast<double>(paused.rawMotionEvents) / n;
    state.counters["pause_queries"] = static_cast<double>(paused.pointerQueries) / n;
}
BENCHMARK(BM_BurstThenPause)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// From an XTest key press sent by another client to the press handler.
void BM_KeyPressToHandler(benchmark::State& state) {
    std::unique_ptr<Display> holder;
    Display& display = openOrDie(holder);
    KeyTranslator keys(display);
    X11HotkeyService service(display, keys);
    std::atomic<int> presses{0};
    Clock::time_point received;
    service.installPressHandler([&](std::uint32_t) {
        received = Clock::now();
        presses.fetch_add(1);
    });
    service.registerHotkey(17, 0x0900, 1);
    auto sender = test::TestClient::connect(server().display());
    const std::uint8_t t = *keys.keycodeFor(17);

    std::vector<double> micros;
    for (auto _ : state) {
        const int before = presses.load();
        sender->key(133, true);
        sender->key(64, true);
        sender->sync();
        display.processEvents();
        const auto sent = Clock::now();
        sender->key(t, true);
        serveUntil(
            display, [&] { return presses.load() > before; }, std::chrono::seconds(2));
        micros.push_back(std::chrono::duration<double, std::micro>(received - sent).count());
        sender->key(t, false);
        sender->key(64, false);
        sender->key(133, false);
        sender->sync();
        display.processEvents();
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p90_us"] = micros[micros.size() * 9 / 10];
}
BENCHMARK(BM_KeyPressToHandler)->Iterations(200)->UseRealTime();

// Both services idle on a quiet server: wakeups and CPU over a stretch.
// TARNWICK_IDLE_SECONDS sets its length (60 by default).
void BM_Idle(benchmark::State& state) {
    const char* env = std::getenv("TARNWICK_IDLE_SECONDS");
    const int seconds = env != nullptr ? std::atoi(env) : 60;
    std::unique_ptr<Display> holder;
    Display& display = openOrDie(holder);
    X11PointerSource source(display);
    HotCornerMonitor monitor(source);
    monitor.start();
    KeyTranslator keys(display);
    X11HotkeyService service(display, keys);
    service.registerHotkey(17, 0x0900, 1);
    display.processEvents();
    for (auto _ : state) {
        rusage before{};
        getrusage(RUSAGE_THREAD, &before);
        const auto wakeups = serveUntil(
            display, [] { return false; }, std::chrono::seconds(seconds));
        rusage after{};
        getrusage(RUSAGE_THREAD, &after);
        const auto usec = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec);
        };
        state.counters["wakeups"] = static_cast<double>(wakeups);
        state.counters["cpu_ms"] = (usec(after.ru_utime) + usec(after.ru_stime) -
                                    usec(before.ru_utime) - usec(before.ru_stime)) /
                                   1000;
        state.counters["seconds"] = seconds;
    }
}
BENCHMARK(BM_Idle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
} // namespace tarnwick::x11
