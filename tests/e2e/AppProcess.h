#pragma once

#include "support/Files.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick::test {

// A scratch directory standing in for the user's home, configuration and
// runtime directories, removed with everything in it when the object goes.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    bool ok() const { return !m_root.empty(); }
    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path configDirectory() const { return m_root / "config" / "Tarnwick"; }
    std::filesystem::path configFile() const { return configDirectory() / "config.json"; }
    std::filesystem::path runtimeDirectory() const { return m_root / "runtime"; }

    void writeConfig(const std::string& text) const;
    // The environment of ours with the display, home and XDG directories
    // pointed at this sandbox, and nothing that leads to the user's session.
    std::vector<std::string> environment(const std::string& display) const;
    // Added after the rest, e.g. to look like a Wayland session.
    std::vector<std::string> extraEnvironment;

private:
    std::filesystem::path m_root;
};

// One run of the tarnwick binary; SIGTERM and a wait when the object goes.
class AppProcess {
public:
    // Nothing when the spawn failed. stderr goes to stderrPath.
    static std::unique_ptr<AppProcess> spawn(const std::string& binary, const Sandbox& sandbox,
                                             const std::string& display,
                                             const std::filesystem::path& stderrPath);
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    pid_t pid() const { return m_pid; }
    bool running();

    // The lock appears when the instance has claimed its display; the
    // configuration and the triggers follow from the event loop a moment later.
    bool waitUntilReady(const Sandbox& sandbox,
                        std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // The exit status, or nothing when it still runs after the timeout or
    // ended by a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL if it lingers; reaps it.
    void stop();

private:
    explicit AppProcess(pid_t pid) : m_pid(pid) {}
    bool reap(int options);

    pid_t m_pid;
    bool m_reaped = false;
    int m_status = 0;
};

// The time given after the lock appears; sanitizer builds start slower.
std::chrono::milliseconds settleTime();

// Lines of a file; none when it does not exist.
std::vector<std::string> readLines(const std::filesystem::path& path);
// Polls until the file has at least count lines; whether it got there.
bool waitForLines(const std::filesystem::path& path, std::size_t count,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));
void sleepFor(std::chrono::milliseconds duration);

} // namespace tarnwick::test
