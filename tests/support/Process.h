#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick::test {

// What runToEnd() found of argv run to its end or the deadline: the exit
// code (as waitForExit) and all the output.
struct Finished {
    int exitCode = -1;
    std::string output;
};

// A program run beside the test, in a process group of its own, with exactly
// the environment given: stdout captured (stderr too, unless it goes to a
// file), stdin from /dev/null. Its whole group is ended (TERM, then KILL) when
// the object goes, and the program with the test process if that dies first.
class Process {
public:
    // Nothing when it could not be started; why goes to stderr.
    static std::unique_ptr<Process> spawn(std::vector<std::string> argv,
                                          std::vector<std::string> environment,
                                          const std::filesystem::path& stderrFile = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return m_pid; }
    // The next whole line of output that starts with prefix, without its
    // newline; nothing on end of output or at the deadline.
    std::optional<std::string> readLine(std::chrono::milliseconds deadline,
                                        const std::string& prefix = "");
    // The exit code, or -signal when a signal ended it; nothing while it runs
    // past the deadline.
    std::optional<int> waitForExit(std::chrono::milliseconds deadline);

    static Finished runToEnd(std::vector<std::string> argv, std::vector<std::string> environment,
                             std::chrono::milliseconds deadline = std::chrono::seconds(60));

private:
    Process(pid_t pid, int out) : m_pid(pid), m_out(out) {}
    bool fill(std::chrono::steady_clock::time_point until);

    pid_t m_pid;
    int m_out;
    std::string m_buffer;
    std::optional<int> m_exit;
};

} // namespace tarnwick::test
