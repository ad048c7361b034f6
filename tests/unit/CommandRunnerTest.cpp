#include "runner/CommandRunner.h"

#include "support/Eventually.h"
#include "support/Sandbox.h"
#include "support/TestMainQueue.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tarnwick {
namespace {
namespace fs = std::filesystem;

// The login shell gets our environment: its start-up files come from a sandbox.
const fs::path home = [] {
    static const test::Sandbox sandbox;
    ::setenv("HOME", sandbox.home().c_str(), 1);
    ::setenv("ZDOTDIR", sandbox.home().c_str(), 1);
    return sandbox.home();
}();

TEST(CommandRunner, OkOnlyForExitStatusZeroWithTheOutputTrimmed) {
    const std::pair<const char*, CommandResult> runs[] = {
        {"echo out; echo err >&2", {true, "out\nerr"}},
        {"echo partial; exit 3", {false, "partial"}},
        {"echo before; kill -9 $$", {false, "before"}},
        // A login shell, with the command unchanged as its only argument.
        {R"([[ -o login ]] && printf '%s|' $0 $# "100% \"done\" %d")",
         {true, R"(/bin/zsh|0|100% "done" %d|)"}},
        // U+3000 and U+00A0 untrimmed would break the command.
        {"\u3000\t\n printf '[%s]' end\u00a0\u2029\r\n", {true, "[end]"}},
        // U+3000 as octal bytes: printf needs no UTF-8 locale for those.
        {R"(printf '  \n  lead\n\nmiddle\343\200\200\n\n\n')", {true, "lead\n\nmiddle"}},
        {R"(printf 'ok\377')", {true, ""}},
        // A background child that still holds the pipe is waited for.
        {"(sleep 1; echo late) & echo early", {true, "early\nlate"}},
        // Only the first 64 KiB is kept, also of what a child left running
        // prints after the shell has gone; the rest is read and dropped.
        {R"(echo first; head -c 100000000 /dev/zero | tr '\0' x)",
         {true, "first\n" + std::string(65530, 'x')}},
        {R"(echo early; (sleep 0.2; head -c 1000000 /dev/zero | tr '\0' x) &)",
         {true, "early\n" + std::string(65530, 'x')}},
        // A character the cut splits is left out, or nothing would decode.
        {R"(head -c 65534 /dev/zero | tr '\0' x; printf '\342\202\254 and on')",
         {true, std::string(65534, 'x')}}};
    for (const auto& [command, expected] : runs) {
        EXPECT_EQ(CommandRunner::run(command), expected) << command;
    }
    EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "a child is left";
}

TEST(CommandRunner, BlankOrNulCommandsAreRejectedWithoutALaunch) {
    for (const char* blank : {"", "   ", "\t\n\r\v\f", "\u3000\u00a0 \u2028\u2029\u0085"}) {
        // A launch would have reported the missing shell instead.
        EXPECT_EQ(CommandRunner::runWithShell("/nonexistent/zsh", blank),
                  (CommandResult{false, "empty command"}));
    }
    // Cut at the NUL, the command would touch the file.
    const std::string touched = (home / "touched").string();
    EXPECT_EQ(CommandRunner::run("touch '" + touched + "'" + '\0' + "x"),
              (CommandResult{false, "launch error: the command contains a NUL character"}));
    EXPECT_FALSE(fs::exists(touched));
    EXPECT_EQ(CommandRunner::runWithShell("/nonexistent/zsh", "echo hi"),
              (CommandResult{false, "launch error: No such file or directory"}));
}

TEST(CommandRunner, ChildStartsCleanInASessionOfItsOwn) {
    // None of this may reach the child.
    const int leaky = ::open("/dev/null", O_RDONLY);
    sigset_t all, previousMask;
    sigfillset(&all);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &all, &previousMask), 0);
    const auto previousInt = std::signal(SIGINT, SIG_IGN);
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    // Whether the shell got our descriptor; then, exec keeping them, what the
    // command blocks and ignores (of signals 1-16: glibc ignores its own
    // above) and whether it leads its session.
    const CommandResult result = CommandRunner::run(
        "[ -e /proc/$$/fd/" + std::to_string(leaky) +
        " ] && echo leaked; exec awk "
        "'/^SigBlk/ {print $2} /^SigIgn/ {print substr($2, 13)} /^(Pid|NSsid)/ {id[$1] = $2} "
        "END {print id[\"Pid:\"] == id[\"NSsid:\"] ? \"leader\" : \"member\"}' /proc/self/status");
    std::signal(SIGPIPE, previousPipe);
    std::signal(SIGINT, previousInt);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::close(leaky);
    EXPECT_EQ(result.output, "0000000000000000\n0000\nleader");
}

TEST(CommandRunnerAsync, RunsGoSideBySideAndCompleteOnTheMainQueueIfAsked) {
    // Never destroyed: a run may post its completion after the test has ended.
    static auto& mainQueue = *new test::TestMainQueue;
    // All but the last wait for the last: one at a time, none would finish.
    const std::string gate = (home / "gate").string();
    constexpr int runs = 8;
    std::map<int, CommandResult> results;
    const auto testThread = std::this_thread::get_id();
    for (int i = 0; i < runs; ++i) {
        const std::string echo = "echo run-" + std::to_string(i);
        CommandRunner::runAsync(i + 1 < runs
                                    ? "for n in {1..3000}; do [[ -e '" + gate + "' ]] && " + echo +
                                          " && exit; sleep 0.01; done; exit 1"
                                    : "touch '" + gate + "'; " + echo,
                                mainQueue, [&results, i, testThread](const CommandResult& result) {
                                    EXPECT_EQ(std::this_thread::get_id(), testThread);
                                    results[i] = result;
                                });
    }
    ASSERT_TRUE(mainQueue.runUntil(runs));
    for (int i = 0; i < runs; ++i) {
        EXPECT_EQ(results[i], (CommandResult{true, "run-" + std::to_string(i)}));
    }
    // Without a completion the command still runs, and nothing is posted.
    CommandRunner::runAsync("touch '" + (home / "ran").string() + "'", mainQueue);
    EXPECT_TRUE(test::eventually([&] {
        return fs::exists(home / "ran") &&
               std::distance(fs::directory_iterator("/proc/self/task"), {}) == 1;
    }));
    EXPECT_EQ(mainQueue.pending(), 0u);
}

} // namespace
} // namespace tarnwick
