// What a run costs over a bare spawn of the same shell (target: within 5%),
// how long a quick command takes while 200 slow ones are still running
// (target: under 50 ms), and how far a run that prints 100 MB raises the
// resident peak above a quiet one (target: under 5 MB).
#include "runner/CommandRunner.h"

#include "support/TestMainQueue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

// Never destroyed: runs left over from an iteration may still post into it.
test::TestMainQueue& benchQueue() {
    static auto* queue = new test::TestMainQueue;
    return *queue;
}

// The shell run the way the runner runs it, minus pipe, output and attributes.
bool spawnAndWait(const char* shell, const char* command) {
    std::string shellArgument = shell;
    std::string flags = "-lc";
    std::string commandArgument = command;
    std::array<char*, 4> argv{shellArgument.data(), flags.data(), commandArgument.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, shell, nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_BarePosixSpawn(benchmark::State& state) {
    for (auto _ : state) {
        if (!spawnAndWait(CommandRunner::shellPath, "true")) {
            state.SkipWithError("bare spawn of the shell failed");
            break;
        }
    }
}
BENCHMARK(BM_BarePosixSpawn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

void BM_RunnerRun(benchmark::State& state) {
    for (auto _ : state) {
        CommandResult result = CommandRunner::run("true");
        if (!result.ok) {
            state.SkipWithError("run of the shell failed");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_RunnerRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

constexpr std::size_t slowRuns = 200;
constexpr auto generousTimeout = std::chrono::seconds(60);

// Runs queued completions until done() holds; false on timeout.
template <typename Done> bool serveQueueUntil(Done done) {
    while (!done()) {
        if (!benchQueue().runUntil(1, generousTimeout)) {
            return false;
        }
    }
    return true;
}

// Shared with the completions, which may outlive an iteration that gave up.
struct Progress {
    std::size_t slowDone = 0;
    bool quickDone = false;
    bool quickOk = false;
    Clock::time_point quickFinished;
};

// Our children that have become `sleep` (zsh execs a lone command in place).
std::size_t runningSleeps() {
    const std::string parent = std::to_string(getpid());
    std::size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto nameEnd = line.rfind(')');
        if (nameEnd == std::string::npos || line.find("(sleep)") == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(nameEnd + 1));
        std::string processState;
        std::string parentPid;
        fields >> processState >> parentPid;
        count += parentPid == parent ? 1u : 0u;
    }
    return count;
}

bool waitForRunningSleeps(std::size_t count) {
    const auto deadline = Clock::now() + generousTimeout;
    while (runningSleeps() < count) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// just started: the quick run competes with 200 shells still starting up.
// all running: the 200 are asleep, so only the runner itself is measured.
void BM_QuickRunBehind200Sleeps(benchmark::State& state, bool waitUntilAllRunning) {
    auto& queue = benchQueue();
    for (auto _ : state) {
        const auto progress = std::make_shared<Progress>();
        for (std::size_t i = 0; i < slowRuns; ++i) {
            CommandRunner::runAsync("sleep 2", queue,
                                    [progress](const CommandResult&) { ++progress->slowDone; });
        }
        if (waitUntilAllRunning && !waitForRunningSleeps(slowRuns)) {
            state.SkipWithError("the sleeps did not all start");
        }

        const Clock::time_point quickStarted = Clock::now();
        CommandRunner::runAsync("echo hi", queue, [progress](const CommandResult& result) {
            progress->quickFinished = Clock::now();
            progress->quickOk = result == CommandResult{true, "hi"};
            progress->quickDone = true;
        });
        // The slow runs must be over before the next iteration starts 200 more.
        const bool served = serveQueueUntil([&] { return progress->quickDone; }) &&
                            serveQueueUntil([&] { return progress->slowDone == slowRuns; });
        if (state.error_occurred()) {
            break;
        }
        if (!served || !progress->quickOk) {
            state.SkipWithError("a run did not complete as expected");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(progress->quickFinished - quickStarted).count());
    }
}
BENCHMARK_CAPTURE(BM_QuickRunBehind200Sleeps, just_started, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_QuickRunBehind200Sleeps, all_running, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// This process's resident peak (VmHWM) in KiB, or -1.
long residentPeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// How far the resident peak rises while command runs, in KiB, or -1. The peak
// is process-wide and never falls, so each run gets a forked child to itself:
// the child's peak starts at its size when forked.
long peakGrowthOfARunKiB(const char* command) {
    std::array<int, 2> ends{};
    if (pipe(ends.data()) != 0) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        const long before = residentPeakKiB();
        const bool ok = CommandRunner::run(command).ok;
        const long growth = ok && before >= 0 ? residentPeakKiB() - before : -1;
        const bool sent = write(ends[1], &growth, sizeof growth) == sizeof growth;
        _exit(sent ? 0 : 1);
    }
    close(ends[1]);
    long growth = -1;
    if (pid < 0 || read(ends[0], &growth, sizeof growth) != sizeof growth) {
        growth = -1;
    }
    close(ends[0]);
    while (pid > 0 && waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return growth;
}

// quiet: the reference, a run with no output at all.
// background: the shell is gone before the 100 MB starts to arrive.
void BM_PeakMemoryOfARun(benchmark::State& state, const char* command) {
    long worstKiB = 0;
    for (auto _ : state) {
        const long growth = peakGrowthOfARunKiB(command);
        if (growth < 0) {
            state.SkipWithError("the run in a child of its own failed");
            break;
        }
        worstKiB = std::max(worstKiB, growth);
    }
    state.counters["peak_growth_MiB"] = static_cast<double>(worstKiB) / 1024.0;
}
BENCHMARK_CAPTURE(BM_PeakMemoryOfARun, quiet, "true")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_PeakMemoryOfARun, printed_100MB, "head -c 100000000 /dev/zero | tr '\\0' x")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_PeakMemoryOfARun, background_child_printed_100MB,
                  "(sleep 0.2; head -c 100000000 /dev/zero | tr '\\0' x) &")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
} // namespace tarnwick
