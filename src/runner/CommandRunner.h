#pragma once

#include "services/MainQueue.h"

#include <functional>
#include <string>
#include <string_view>

namespace tarnwick {

// The outcome of one command run.
struct CommandResult {
    // True only when the shell started and exited with status 0.
    bool ok = false;
    // Combined stdout and stderr, at most its first 64 KiB, trimmed; or
    // "empty command" / "launch error: ..." when no shell ran.
    std::string output;

    friend bool operator==(const CommandResult&, const CommandResult&) = default;
};

// The log line of a finished command, exactly as written:
// Tarnwick: <trigger> ran "<command>" ok=<true|false>
std::string runLogLine(std::string_view trigger, std::string_view command, bool ok);

// Runs the user's command lines through `/bin/zsh -lc`. The only place in the
// program that starts a process.
class CommandRunner {
public:
    using Completion = std::function<void(const CommandResult&)>;

    static constexpr const char* shellPath = "/bin/zsh";

    CommandRunner() = delete;

    // Runs command and blocks until the shell has exited and its output has
    // been read in full. Callable from any thread.
    static CommandResult run(std::string_view command);

    // Starts the shell for command and returns at once; a thread of its own
    // reads the output and waits for the end. completion, if given, is
    // posted to mainQueue with the result. mainQueue must outlive the run.
    static void runAsync(std::string command, MainQueue& mainQueue, Completion completion = {});

    // run() with another shell executable, for tests of launch failures and
    // for benchmarks.
    static CommandResult runWithShell(const char* shell, std::string_view command);
};

} // namespace tarnwick
