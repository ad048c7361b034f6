#pragma once

#include "support/Files.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tarnwick::test {

// A program the test runs beside itself: stdout readable line by line, stderr
// into a file for the failure message. Ended (TERM, then KILL) when the object
// goes, and by the kernel if the test process dies first.
class ChildProcess {
public:
    // Nothing when it could not be started; why goes to stderr.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                               const std::vector<std::string>& environment,
                                               const std::filesystem::path& stderrFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

    // The next whole line of stdout, without its newline; nothing on end of
    // output or timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Waits for a line that starts with prefix, skipping others.
    std::optional<std::string> readLineStartingWith(const std::string& prefix,
                                                    std::chrono::milliseconds timeout);

    // The wait status once it has ended within the timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running();

private:
    ChildProcess(pid_t pid, int out) : m_pid(pid), m_out(out) {}

    pid_t m_pid;
    int m_out;
    std::string m_buffer;
    std::optional<int> m_status;
};

// This process's environment with names set (or, for an empty value, removed).
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes);

// A fresh private directory under the system's temporary one, removed with
// its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace tarnwick::test
