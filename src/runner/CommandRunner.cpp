#include "runner/CommandRunner.h"

#include "posix/UniqueFd.h"
#include "text/Utf8.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace tarnwick {

std::string runLogLine(std::string_view trigger, std::string_view command, bool ok) {
    std::string line = "Tarnwick: ";
    line.append(trigger).append(" ran \"").append(command).append("\" ok=");
    line += ok ? "true" : "false";
    return line;
}
namespace {

// Picks the text out of whichever strerror_r the C library provides.
[[maybe_unused]] const char* errorText(int rc, const char* buffer) {
    return rc == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* errorText(const char* gnuResult, const char*) {
    return gnuResult;
}

std::string describeError(int error) {
    std::array<char, 256> buffer{};
    return errorText(strerror_r(error, buffer.data(), buffer.size()), buffer.data());
}

CommandResult launchError(const std::string& description) {
    return {false, "launch error: " + description};
}

class SpawnFileActions {
public:
    SpawnFileActions() { m_error = posix_spawn_file_actions_init(&m_actions); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    ~SpawnFileActions() {
        if (m_error == 0) {
            posix_spawn_file_actions_destroy(&m_actions);
        }
    }

    // stdout and stderr go to outputFd; nothing else we hold leaks into the
    // child, not even descriptors opened without O_CLOEXEC by other code.
    int captureOutputInto(int outputFd) {
        if (m_error != 0) {
            return m_error;
        }
        int error = posix_spawn_file_actions_adddup2(&m_actions, outputFd, STDOUT_FILENO);
        if (error == 0) {
            error = posix_spawn_file_actions_adddup2(&m_actions, outputFd, STDERR_FILENO);
        }
        if (error == 0) {
            error = posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1);
        }
        return error;
    }

    const posix_spawn_file_actions_t* get() const { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions{};
    int m_error = 0;
};

class SpawnAttributes {
public:
    SpawnAttributes() { m_error = posix_spawnattr_init(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() {
        if (m_error == 0) {
            posix_spawnattr_destroy(&m_attributes);
        }
    }

    // The user's command must not inherit our ignored or blocked signals,
    // and lives in its own session so that a signal sent to our process
    // group (Ctrl+C in a terminal, a session logout) leaves it alone.
    int detachSignalsAndSession() {
        if (m_error != 0) {
            return m_error;
        }
        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        int error = posix_spawnattr_setsigdefault(&m_attributes, &all);
        if (error == 0) {
            error = posix_spawnattr_setsigmask(&m_attributes, &none);
        }
        if (error == 0) {
            const auto flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID;
            error = posix_spawnattr_setflags(&m_attributes, static_cast<short>(flags));
        }
        return error;
    }

    const posix_spawnattr_t* get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes{};
    int m_error = 0;
};

struct Launch {
    pid_t pid = -1;
    UniqueFd output;
    int error = 0;
};

Launch launchShell(const char* shell, std::string command) {
    std::array<int, 2> ends{};
    if (pipe2(ends.data(), O_CLOEXEC) != 0) {
        return {-1, UniqueFd{}, errno};
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    SpawnFileActions actions;
    SpawnAttributes attributes;
    int error = actions.captureOutputInto(writeEnd.get());
    if (error == 0) {
        error = attributes.detachSignalsAndSession();
    }
    if (error != 0) {
        return {-1, UniqueFd{}, error};
    }

    std::string shellArgument = shell;
    std::string flags = "-lc";
    std::array<char*, 4> argv{shellArgument.data(), flags.data(), command.data(), nullptr};
    pid_t pid = -1;
    error = posix_spawn(&pid, shell, actions.get(), attributes.get(), argv.data(), environ);
    // Only the child may hold the write end, or the read below never sees end of file.
    writeEnd.reset();
    if (error != 0) {
        return {-1, UniqueFd{}, error};
    }
    return {pid, std::move(readEnd), 0};
}

// Callers only need the exit status, and the self-test reads short outputs;
// but a command such as `yes &` prints without end.
constexpr std::size_t keptOutputLimit = std::size_t{64} * 1024;

struct Output {
    std::string kept;
    bool truncated = false;
    bool readInFull = false;
};

// Reads fd to end of file, keeping the first keptOutputLimit bytes and
// dropping the rest, so memory stays flat however much arrives. On a read
// error, what was kept stays.
Output readAll(int fd) {
    Output output;
    std::array<char, std::size_t{64} * 1024> chunk;
    for (;;) {
        const ssize_t count = ::read(fd, chunk.data(), chunk.size());
        if (count > 0) {
            const auto received = static_cast<std::size_t>(count);
            const std::size_t room = keptOutputLimit - output.kept.size();
            output.kept.append(chunk.data(), std::min(room, received));
            output.truncated = output.truncated || received > room;
        } else if (count == 0) {
            output.readInFull = true;
            return output;
        } else if (errno != EINTR) {
            return output;
        }
    }
}

// bytes without a last character that the limit cut short, so that a long
// non-ASCII output still decodes. Anything else ill-formed is left alone.
std::string_view withoutCutCharacter(std::string_view bytes) {
    const auto isContinuation = [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
    };
    std::size_t continuations = 0;
    while (continuations < 3 && continuations < bytes.size() &&
           isContinuation(bytes[bytes.size() - 1 - continuations])) {
        ++continuations;
    }
    if (continuations == bytes.size()) {
        return bytes;
    }
    const std::size_t lead = bytes.size() - 1 - continuations;
    const auto first = static_cast<unsigned char>(bytes[lead]);
    const std::size_t length = first >= 0xF8   ? 1
                               : first >= 0xF0 ? 4
                               : first >= 0xE0 ? 3
                               : first >= 0xC0 ? 2
                                               : 1;
    return continuations + 1 < length ? bytes.substr(0, lead) : bytes;
}

// Only what was kept is decoded and trimmed: a truncated output is the
// trimmed first part, and white space just before the cut goes as well.
std::string decodedAndTrimmed(const Output& output) {
    const std::string_view bytes =
        output.truncated ? withoutCutCharacter(output.kept) : std::string_view(output.kept);
    if (!utf8::isValid(bytes)) {
        return {};
    }
    return std::string(utf8::trimmed(bytes));
}

// True when the child exited normally with status 0.
bool reap(pid_t pid) {
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The shell started for a command, or why none was.
struct Started {
    Launch launch;
    std::optional<CommandResult> failure;
};

Started start(const char* shell, std::string_view command) {
    const std::string_view text = utf8::trimmed(command);
    if (text.empty()) {
        return {{}, CommandResult{false, "empty command"}};
    }
    // As an argument the command would end at the NUL: the shell would run
    // less than the command shown, `rm -rf ~/` for `rm -rf ~/\0.cache`.
    if (text.find('\0') != std::string_view::npos) {
        return {{}, launchError("the command contains a NUL character")};
    }
    Launch launch = launchShell(shell, std::string(text));
    if (launch.error != 0) {
        return {{}, launchError(describeError(launch.error))};
    }
    return {std::move(launch), std::nullopt};
}

// Reads the shell's output to its end, then reaps it.
CommandResult finish(Launch launch) {
    const Output output = readAll(launch.output.get());
    // Closing first means a child still writing after a read error gets
    // EPIPE instead of blocking us in waitpid forever.
    launch.output.reset();
    const bool exitedCleanly = reap(launch.pid);
    return {output.readInFull && exitedCleanly, decodedAndTrimmed(output)};
}

void deliver(CommandResult result, MainQueue& mainQueue, CommandRunner::Completion completion) {
    if (!completion) {
        return;
    }
    mainQueue.post(
        [completion = std::move(completion), result = std::move(result)] { completion(result); });
}

} // namespace

CommandResult CommandRunner::run(std::string_view command) {
    return runWithShell(shellPath, command);
}

CommandResult CommandRunner::runWithShell(const char* shell, std::string_view command) {
    Started started = start(shell, command);
    return started.failure ? *started.failure : finish(std::move(started.launch));
}

void CommandRunner::runAsync(std::string command, MainQueue& mainQueue, Completion completion) {
    struct Job {
        Started started;
        Completion completion;
    };
    // The shell starts here, on the caller's thread (posix_spawn returns in
    // about 0.2 ms): a new thread may first wait for a CPU, which on a busy
    // machine delayed the start by 2 to 3 ms. The thread only reads and reaps.
    // Shared so that the completion survives a thread that never started.
    auto job = std::make_shared<Job>(Job{start(shellPath, command), std::move(completion)});
    if (job->started.failure) {
        deliver(*job->started.failure, mainQueue, std::move(job->completion));
        return;
    }
    try {
        std::thread([job, &mainQueue] {
            deliver(finish(std::move(job->started.launch)), mainQueue, std::move(job->completion));
        }).detach();
    } catch (const std::system_error& error) {
        // Nothing would read or reap it: the shell, in a session of its own, is stopped.
        ::kill(-job->started.launch.pid, SIGKILL);
        job->started.launch.output.reset();
        reap(job->started.launch.pid);
        deliver(launchError(error.code().message()), mainQueue, std::move(job->completion));
    }
}

} // namespace tarnwick
