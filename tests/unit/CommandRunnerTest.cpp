#include "runner/CommandRunner.h"

#include "support/TestMainQueue.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Shared by every test and never destroyed: a run that a test does not wait
// for may still post its completion after that test has ended.
test::TestMainQueue& mainQueue() {
    static auto* queue = new test::TestMainQueue;
    return *queue;
}

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarnwick-runner-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

template <typename Condition>
bool eventually(Condition condition, std::chrono::seconds timeout = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Gone for good, not even a zombie waiting to be reaped.
bool reaped(pid_t pid) {
    return kill(pid, 0) == -1 && errno == ESRCH;
}

// list_fds prints "fd N" lines and "key value" lines.
struct ChildState {
    std::set<int> fds;
    std::map<std::string, std::string> values;
};

ChildState childState() {
    const CommandResult result = CommandRunner::run(std::string("exec ") + LIST_FDS_HELPER);
    EXPECT_TRUE(result.ok) << result.output;
    ChildState state;
    std::istringstream lines(result.output);
    std::string key;
    std::string value;
    while (lines >> key >> value) {
        if (key == "fd") {
            state.fds.insert(std::stoi(value));
        } else {
            state.values[key] = value;
        }
    }
    return state;
}

// --- Outcome ---------------------------------------------------------------

TEST(CommandRunnerOutcome, SuccessfulCommandGivesItsOutput) {
    EXPECT_EQ(CommandRunner::run("echo hello-cc"), (CommandResult{true, "hello-cc"}));
}

TEST(CommandRunnerOutcome, NonZeroExitFailsAndKeepsOutput) {
    EXPECT_FALSE(CommandRunner::run("exit 7").ok);
    EXPECT_EQ(CommandRunner::run("echo partial; exit 3"), (CommandResult{false, "partial"}));
}

TEST(CommandRunnerOutcome, SignalKilledShellFails) {
    EXPECT_EQ(CommandRunner::run("echo before; kill -9 $$"), (CommandResult{false, "before"}));
}

TEST(CommandRunnerOutcome, SilentCommandSucceedsWithNoOutput) {
    EXPECT_EQ(CommandRunner::run("true"), (CommandResult{true, ""}));
}

// --- Command text ----------------------------------------------------------

class CommandRunnerBlank : public testing::TestWithParam<const char*> {};

TEST_P(CommandRunnerBlank, IsRejectedWithoutLaunching) {
    const CommandResult empty{false, "empty command"};
    EXPECT_EQ(CommandRunner::run(GetParam()), empty);
    // A launch attempt would have reported the missing shell instead.
    EXPECT_EQ(CommandRunner::runWithShell("/nonexistent/zsh", GetParam()), empty);
}

INSTANTIATE_TEST_SUITE_P(Blanks, CommandRunnerBlank,
                         testing::Values("", "   ", "\t\n\r\v\f",
                                         "\u3000\u00a0 \u2028\u2029\u0085"));

TEST(CommandRunnerCommandText, SurroundingBlanksAreTrimmedBeforeRunning) {
    // Untrimmed, U+3000 would make the command name unknown and U+00A0 would
    // end up inside the brackets.
    EXPECT_EQ(CommandRunner::run("\u3000\t\n printf '[%s]' end\u00a0\u2029\r\n"),
              (CommandResult{true, "[end]"}));
}

TEST(CommandRunnerCommandText, PercentSignsAndQuotesPassUnchanged) {
    EXPECT_EQ(CommandRunner::run(R"(printf '%s\n' "100% \"done\" %d")"),
              (CommandResult{true, R"(100% "done" %d)"}));
}

TEST(CommandRunnerCommandText, ShellGetsTheCommandAndNothingElse) {
    EXPECT_EQ(CommandRunner::run("echo $#"), (CommandResult{true, "0"}));
}

// --- Output ----------------------------------------------------------------

TEST(CommandRunnerOutput, StderrIsCapturedWithStdout) {
    EXPECT_EQ(CommandRunner::run("echo out; echo err >&2"), (CommandResult{true, "out\nerr"}));
}

TEST(CommandRunnerOutput, IsTrimmedButKeepsInnerBlankLines) {
    EXPECT_EQ(CommandRunner::run(R"(printf '  \n  lead\n\nmiddle\u3000\n\n\n')"),
              (CommandResult{true, "lead\n\nmiddle"}));
}

TEST(CommandRunnerOutput, InvalidUtf8BecomesEmpty) {
    EXPECT_EQ(CommandRunner::run(R"(printf 'ok\xff')"), (CommandResult{true, ""}));
    EXPECT_EQ(CommandRunner::run(R"(printf 'ok\xff'; exit 2)"), (CommandResult{false, ""}));
}

TEST(CommandRunnerOutput, HundredMegabytesAreReadInFull) {
    const CommandResult result = CommandRunner::run("head -c 100000000 /dev/zero | tr '\\0' a");
    EXPECT_TRUE(result.ok);
    ASSERT_EQ(result.output.size(), 100'000'000u);
    EXPECT_TRUE(result.output == std::string(100'000'000u, 'a'));
}

TEST(CommandRunnerOutput, WaitsForBackgroundChildHoldingThePipe) {
    EXPECT_EQ(CommandRunner::run("(sleep 1; echo late) & echo early"),
              (CommandResult{true, "early\nlate"}));
}

// --- Launch errors ---------------------------------------------------------

TEST(CommandRunnerLaunch, MissingShellIsReported) {
    EXPECT_EQ(CommandRunner::runWithShell("/nonexistent/zsh", "echo hi"),
              (CommandResult{false, "launch error: No such file or directory"}));
}

TEST(CommandRunnerLaunch, NonExecutableShellIsReported) {
    TempDir dir;
    const auto notExecutable = (dir.path() / "shell").string();
    std::ofstream(notExecutable) << "not a program\n";
    EXPECT_EQ(CommandRunner::runWithShell(notExecutable.c_str(), "echo hi"),
              (CommandResult{false, "launch error: Permission denied"}));
}

// --- What the child inherits -----------------------------------------------

TEST(CommandRunnerChild, InheritsOnlyTheStandardDescriptors) {
    const int plain = open("/dev/null", O_RDONLY);
    const int high = fcntl(plain, F_DUPFD, 40);
    ASSERT_GE(plain, 0);
    ASSERT_GE(high, 40);
    ASSERT_EQ(fcntl(high, F_GETFD) & FD_CLOEXEC, 0);

    const ChildState child = childState();
    close(high);
    close(plain);

    EXPECT_TRUE(child.fds.count(1) == 1 && child.fds.count(2) == 1);
    for (const int fd : child.fds) {
        EXPECT_LE(fd, 2) << "descriptor " << fd << " leaked into the child";
    }
}

TEST(CommandRunnerChild, StartsWithDefaultSignalsAndNothingBlocked) {
    sigset_t intOnly;
    sigset_t previousMask;
    sigemptyset(&intOnly);
    sigaddset(&intOnly, SIGINT);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &intOnly, &previousMask), 0);
    const auto previousPipe = signal(SIGPIPE, SIG_IGN);

    const ChildState child = childState();

    signal(SIGPIPE, previousPipe);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    EXPECT_EQ(child.values.at("blocked"), "0");
    EXPECT_EQ(child.values.at("sigint"), "default");
    EXPECT_EQ(child.values.at("sigpipe"), "default");
}

TEST(CommandRunnerChild, LeadsItsOwnSession) {
    EXPECT_EQ(childState().values.at("session-leader"), "yes");
}

// --- Reaping ---------------------------------------------------------------

TEST(CommandRunnerReaping, EveryShellIsReapedWhateverItsEnd) {
    for (const char* command : {"echo $$", "echo $$; exit 4", "echo $$; kill -9 $$"}) {
        const pid_t shell =
            static_cast<pid_t>(std::atoi(CommandRunner::run(command).output.c_str()));
        ASSERT_GT(shell, 0) << command;
        EXPECT_TRUE(reaped(shell)) << command;
    }
}

TEST(CommandRunnerReaping, NoChildIsLeftBehind) {
    CommandRunner::run("true");
    CommandRunner::run("exit 1");
    CommandRunner::run("kill -9 $$");
    CommandRunner::runWithShell("/nonexistent/zsh", "true");
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// --- Running in the background ---------------------------------------------

class CommandRunnerAsync : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(mainQueue().pending(), 0u); }
    test::TestMainQueue& queue = mainQueue();
};

TEST_F(CommandRunnerAsync, CompletionArrivesThroughTheQueue) {
    std::vector<CommandResult> results;
    std::thread::id completedOn;
    CommandRunner::runAsync("echo async", queue, [&](const CommandResult& result) {
        results.push_back(result);
        completedOn = std::this_thread::get_id();
    });
    EXPECT_TRUE(results.empty());

    ASSERT_TRUE(queue.runUntil(1));
    EXPECT_EQ(results, (std::vector<CommandResult>{{true, "async"}}));
    EXPECT_EQ(completedOn, std::this_thread::get_id());
}

TEST_F(CommandRunnerAsync, BlankCommandAlsoCompletesThroughTheQueue) {
    std::vector<CommandResult> results;
    CommandRunner::runAsync(" \n", queue,
                            [&](const CommandResult& result) { results.push_back(result); });
    EXPECT_TRUE(results.empty());
    ASSERT_TRUE(queue.runUntil(1));
    EXPECT_EQ(results, (std::vector<CommandResult>{{false, "empty command"}}));
}

TEST_F(CommandRunnerAsync, RunsWithoutACompletion) {
    TempDir dir;
    const auto marker = dir.path() / "marker";
    CommandRunner::runAsync("echo $$ > '" + marker.string() + ".tmp' && mv '" + marker.string() +
                                ".tmp' '" + marker.string() + "'",
                            queue);

    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(marker); }));
    pid_t shell = 0;
    std::ifstream(marker) >> shell;
    ASSERT_GT(shell, 0);
    EXPECT_TRUE(eventually([&] { return reaped(shell); }));
    EXPECT_EQ(queue.pending(), 0u);
}

TEST_F(CommandRunnerAsync, QuickRunIsNotQueuedBehindLongOnes) {
    std::vector<std::string> finished;
    for (int i = 0; i < 5; ++i) {
        CommandRunner::runAsync("sleep 2", queue,
                                [&](const CommandResult&) { finished.push_back("sleep"); });
    }
    CommandRunner::runAsync("echo quick", queue, [&](const CommandResult& result) {
        finished.push_back(result.output);
    });

    ASSERT_TRUE(queue.runUntil(6));
    ASSERT_EQ(finished.size(), 6u);
    EXPECT_EQ(finished.front(), "quick");
}

TEST_F(CommandRunnerAsync, ConcurrentRunsKeepTheirOutputsApart) {
    constexpr int runs = 16;
    std::map<int, CommandResult> results;
    for (int i = 0; i < runs; ++i) {
        CommandRunner::runAsync(
            "sleep 0.$((RANDOM % 3)); echo run-" + std::to_string(i), queue,
            [&results, i](const CommandResult& result) { results[i] = result; });
    }
    ASSERT_TRUE(queue.runUntil(runs));
    for (int i = 0; i < runs; ++i) {
        EXPECT_EQ(results[i], (CommandResult{true, "run-" + std::to_string(i)}));
    }
}

} // namespace
} // namespace tarnwick
