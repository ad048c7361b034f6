// The real tarnwick binary on an Xvfb of its own: trigger latency, resident
// memory and idle CPU. Figures, not pass/fail. Run:
//   build/ci/bench/app/tarnwick_app_bench   (TARNWICK_IDLE_SECONDS shortens the idle run)
#include "support/Eventually.h"
#include "support/Process.h"
#include "support/Sandbox.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using tarnwick::test::Process;
using tarnwick::test::Sandbox;
using tarnwick::test::TestClient;
using tarnwick::test::XServer;

void sleepFor(milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

constexpr int kEvents = 100;
constexpr std::uint8_t kSuperL = 133;
constexpr std::uint8_t kAltL = 64;
constexpr std::uint8_t kT = 28;

// One X server for the whole run; each benchmark starts its own app.
struct Shared {
    std::unique_ptr<XServer> server;
    std::unique_ptr<TestClient> client;
};
Shared& shared() {
    static Shared instance;
    return instance;
}

// Exact figures for the closing summary; the console prints counters with SI prefixes.
std::map<std::string, double>& summary() {
    static std::map<std::string, double> figures;
    return figures;
}

void report(benchmark::State& state, const std::string& name, double value) {
    state.counters[name] = value;
    summary()[name] = value;
}

std::int64_t realtimeNs() {
    // CLOCK_REALTIME, the clock of the stamp helper.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string stampCommand(const fs::path& file) {
    return quoted(STAMP_HELPER) + " " + quoted(file);
}

std::vector<std::int64_t> stamps(const fs::path& file) {
    std::vector<std::int64_t> values;
    std::istringstream lines(tarnwick::test::readWholeFile(file));
    for (std::string line; std::getline(lines, line);) {
        values.push_back(std::stoll(line));
    }
    return values;
}

// The newest stamp once the file holds count of them; nothing on timeout.
std::optional<std::int64_t> waitForStamp(const fs::path& file, std::size_t count) {
    if (!tarnwick::test::eventually([&] { return stamps(file).size() >= count; },
                                    std::chrono::seconds(5))) {
        return std::nullopt;
    }
    return stamps(file).at(count - 1);
}

std::unique_ptr<Process> startTarnwick(const Sandbox& sandbox, const fs::path& stderrFile) {
    return Process::spawn({TARNWICK_BINARY},
                          sandbox.environment({{"DISPLAY", shared().server->display()}}),
                          stderrFile);
}

// The instance lock appears once the app has claimed its display; its
// triggers follow from the event loop a moment later.
bool waitUntilReady(const Sandbox& sandbox) {
    const bool locked = tarnwick::test::eventually([&] {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(sandbox.runtimeDirectory(), error)) {
            if (entry.path().extension() == ".lock") {
                return true;
            }
        }
        return false;
    });
    sleepFor(milliseconds(300));
    return locked;
}

double quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    if (q == 0.5 && values.size() % 2 == 0) {
        return (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
    }
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

std::string config(const std::string& hotkeyCommand, const std::string& cornerCommand) {
    // Super+Alt+T and the top-left corner, as the settings window writes them.
    return R"({"bindings":[)"
           R"({"command":")" +
           hotkeyCommand +
           R"(","enabled":true,"id":"11111111-2222-4333-8444-555555555551","name":"Hotkey",)"
           R"("trigger":{"hotkey":{"display":"\u2318\u2325T","keyCode":17,"modifiers":2304},"kind":"hotkey"}},)"
           R"({"command":")" +
           cornerCommand +
           R"(","enabled":true,"id":"11111111-2222-4333-8444-555555555552","name":"Corner",)"
           R"("trigger":{"corner":"topLeft","kind":"corner"}}],)"
           R"("cornerSensitivity":6,"globalEnabled":true})";
}

// A started app in a fresh sandbox, stopped when the object goes.
struct RunningApp {
    Sandbox sandbox;
    std::unique_ptr<Process> app;
    fs::path hotkeyStamps = sandbox.root() / "hotkey.stamps";
    fs::path cornerStamps = sandbox.root() / "corner.stamps";
    fs::path shellStamps = sandbox.root() / "shell.stamps";

    bool start() {
        if (!shared().server) {
            return false;
        }
        sandbox.writeConfig(config(stampCommand(hotkeyStamps), stampCommand(cornerStamps)));
        app = startTarnwick(sandbox, sandbox.root() / "tarnwick.stderr");
        return app && waitUntilReady(sandbox);
    }

    // The bare shell, started the way the app starts commands, from here.
    std::optional<std::int64_t> bareShellLatency(std::size_t count) {
        std::vector<std::string> argv{"/bin/zsh", "-lc", stampCommand(shellStamps)};
        auto envStrings = sandbox.environment({{"DISPLAY", shared().server->display()}});
        std::vector<char*> args;
        for (auto& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        std::vector<char*> env;
        for (auto& entry : envStrings) {
            env.push_back(entry.data());
        }
        env.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const std::int64_t sent = realtimeNs();
        const int rc =
            ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            return std::nullopt;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        const auto stamp = waitForStamp(shellStamps, count);
        if (!stamp) {
            return std::nullopt;
        }
        return *stamp - sent;
    }
};

double toMs(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

// Runs kEvents triggers, each followed by a bare shell start, and reports both.
template <typename Trigger>
void measureLatency(benchmark::State& state, const std::string& name, Trigger trigger,
                    fs::path RunningApp::*stampFile) {
    RunningApp running;
    if (!running.start()) {
        state.SkipWithError("tarnwick did not start");
        return;
    }
    std::vector<double> latencies;
    std::vector<double> shells;
    for (auto _ : state) {
        for (int i = 1; i <= kEvents; ++i) {
            const std::int64_t sent = trigger();
            const auto stamp = waitForStamp(running.*stampFile, static_cast<std::size_t>(i));
            if (!stamp) {
                state.SkipWithError((name + ": the command did not run").c_str());
                return;
            }
            latencies.push_back(toMs(*stamp - sent));
            const auto shell = running.bareShellLatency(static_cast<std::size_t>(i));
            if (!shell) {
                state.SkipWithError("the bare shell did not run");
                return;
            }
            shells.push_back(toMs(*shell));
            // Lets the app reap its command and settle before the next event.
            sleepFor(milliseconds(30));
        }
    }
    const double median = quantile(latencies, 0.5);
    const double p90 = quantile(latencies, 0.9);
    const double shellMedian = quantile(shells, 0.5);
    const double shellP90 = quantile(shells, 0.9);
    report(state, name + "_median_ms", median);
    report(state, name + "_p90_ms", p90);
    report(state, name + "_shell_median_ms", shellMedian);
    report(state, name + "_shell_p90_ms", shellP90);
    report(state, name + "_over_shell_median_ms", median - shellMedian);
    report(state, name + "_over_shell_p90_ms", p90 - shellP90);
}

void BM_HotkeyLatency(benchmark::State& state) {
    TestClient& client = *shared().client;
    measureLatency(
        state, "hotkey",
        [&client] {
            client.key(kSuperL, true);
            client.key(kAltL, true);
            client.sync();
            // The grab fires on the key press: that is the event.
            const std::int64_t sent = realtimeNs();
            client.key(kT, true);
            client.key(kT, false);
            client.key(kAltL, false);
            client.key(kSuperL, false);
            client.sync();
            return sent;
        },
        &RunningApp::hotkeyStamps);
}

void BM_CornerLatency(benchmark::State& state) {
    TestClient& client = *shared().client;
    measureLatency(
        state, "corner",
        [&client] {
            // Out of the corner first, and past the app's listening pause.
            client.moveTo(640, 400);
            client.sync();
            sleepFor(milliseconds(250));
            const std::int64_t sent = realtimeNs();
            client.moveTo(0, 0);
            client.sync();
            return sent;
        },
        &RunningApp::cornerStamps);
}

// One field of /proc/<pid>/status in kB; negative when missing.
double statusKb(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stod(line.substr(field.size() + 1));
        }
    }
    return -1;
}

void BM_ResidentMemory(benchmark::State& state) {
    RunningApp running;
    if (!running.start()) {
        state.SkipWithError("tarnwick did not start");
        return;
    }
    for (auto _ : state) {
        // Whatever the first seconds allocate lazily is counted too.
        sleepFor(milliseconds(2000));
    }
    report(state, "rss_MB", statusKb(running.app->pid(), "VmRSS") / 1024);
    report(state, "peak_rss_MB", statusKb(running.app->pid(), "VmHWM") / 1024);
}

// utime + stime of the whole process, in seconds.
double cpuSeconds(pid_t pid) {
    const std::string text = tarnwick::test::readWholeFile("/proc/" + std::to_string(pid) + "/stat");
    if (text.rfind(')') == std::string::npos) {
        return -1;
    }
    // The name in parentheses may hold spaces; fields are counted after it.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::vector<std::string> values;
    for (std::string v; fields >> v;) {
        values.push_back(v);
    }
    if (values.size() < 13) {
        return -1;
    }
    // Fields 14 and 15 of stat; values[0] is field 3.
    const double ticks = std::stod(values[11]) + std::stod(values[12]);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int idleSeconds() {
    const char* text = std::getenv("TARNWICK_IDLE_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 60;
    return seconds > 0 ? seconds : 60;
}

// The settings window opened once, by a second start, as a user would.
void BM_ResidentMemoryWithSettingsOpen(benchmark::State& state) {
    RunningApp running;
    if (!running.start()) {
        state.SkipWithError("tarnwick did not start");
        return;
    }
    auto second = startTarnwick(running.sandbox, running.sandbox.root() / "second.stderr");
    if (!second || second->waitForExit(std::chrono::seconds(10)) != 0) {
        state.SkipWithError("the second start did not hand over");
        return;
    }
    for (auto _ : state) {
        sleepFor(milliseconds(2000));
    }
    report(state, "rss_settings_open_MB", statusKb(running.app->pid(), "VmRSS") / 1024);
}

void BM_IdleCpu(benchmark::State& state) {
    RunningApp running;
    if (!running.start()) {
        state.SkipWithError("tarnwick did not start");
        return;
    }
    sleepFor(milliseconds(1000));
    const pid_t pid = running.app->pid();
    const int seconds = idleSeconds();
    double used = 0;
    for (auto _ : state) {
        const double before = cpuSeconds(pid);
        sleepFor(std::chrono::seconds(seconds));
        used = cpuSeconds(pid) - before;
    }
    report(state, "idle_seconds", seconds);
    report(state, "idle_cpu_ms", used * 1000);
    report(state, "idle_cpu_percent", used * 100 / seconds);
}

std::size_t openDescriptors(pid_t pid) {
    std::error_code error;
    const fs::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(fds, fs::directory_iterator()));
}

// Children of pid that have ended and were not reaped.
std::size_t zombiesOf(pid_t pid) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = tarnwick::test::readWholeFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        char state = 0;
        long parent = 0;
        std::istringstream(stat.substr(close + 2)) >> state >> parent;
        count += state == 'Z' && parent == pid ? 1 : 0;
    }
    return count;
}

// 1,000 presses in bursts of 50: as many runs and log lines as presses, and
// no descriptors, threads, zombies or memory left behind.
void BM_HotkeyBursts(benchmark::State& state) {
    RunningApp running;
    if (!running.start()) {
        state.SkipWithError("tarnwick did not start");
        return;
    }
    const pid_t pid = running.app->pid();
    const std::size_t fds = openDescriptors(pid);
    const double threads = statusKb(pid, "Threads");
    const double rss = statusKb(pid, "VmRSS");
    TestClient& client = *shared().client;
    for (auto _ : state) {
        for (int burst = 0; burst < 20; ++burst) {
            for (int press = 0; press < 50; ++press) {
                client.chord({kSuperL, kAltL}, kT);
            }
            client.sync();
            sleepFor(milliseconds(300));
        }
    }
    tarnwick::test::eventually([&] { return stamps(running.hotkeyStamps).size() >= 1000; },
                               std::chrono::seconds(30));
    sleepFor(milliseconds(1000));
    const std::string log = tarnwick::test::readWholeFile(running.sandbox.root() / "tarnwick.stderr");
    std::size_t lines = 0;
    for (auto at = log.find("Tarnwick: hotkey ran"); at != std::string::npos;
         at = log.find("Tarnwick: hotkey ran", at + 1)) {
        ++lines;
    }
    report(state, "bursts_runs", static_cast<double>(stamps(running.hotkeyStamps).size()));
    report(state, "bursts_log_lines", static_cast<double>(lines));
    report(state, "bursts_zombies", static_cast<double>(zombiesOf(pid)));
    report(state, "bursts_fds_added", static_cast<double>(openDescriptors(pid)) - static_cast<double>(fds));
    report(state, "bursts_threads_added", statusKb(pid, "Threads") - threads);
    report(state, "bursts_rss_added_MB", (statusKb(pid, "VmRSS") - rss) / 1024);
}

BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HotkeyBursts)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResidentMemoryWithSettingsOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HotkeyLatency)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CornerLatency)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    shared().server = XServer::startXvfb();
    if (shared().server) {
        shared().client = TestClient::connect(shared().server->display());
    }
    if (!shared().client) {
        std::fprintf(stderr, "no Xvfb to run on\n");
        shared().server.reset();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nSummary (targets: trigger under 1 ms median over the bare shell, rss under "
                "35 MB)\n");
    for (const auto& [name, value] : summary()) {
        std::printf("  %-30s %10.3f\n", name.c_str(), value);
    }
    shared().client.reset();
    shared().server.reset();
    return 0;
}
