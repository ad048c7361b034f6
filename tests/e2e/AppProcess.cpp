#include "AppProcess.h"

#include "support/CStrings.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tarnwick::test {
namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool lockExists(const fs::path& directory) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (startsWith(name, "tarnwick-") && entry.path().extension() == ".lock") {
            return true;
        }
    }
    return false;
}

} // namespace

Sandbox::Sandbox() {
    char pattern[] = "/tmp/tarnwick-e2e-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return;
    }
    m_root = pattern;
    fs::create_directories(configDirectory());
    fs::create_directories(m_root / "home");
    fs::create_directories(runtimeDirectory());
    // Qt refuses a runtime directory that others can read.
    ::chmod(runtimeDirectory().c_str(), 0700);
}

Sandbox::~Sandbox() {
    if (!m_root.empty()) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

void Sandbox::writeConfig(const std::string& text) const {
    std::ofstream(configFile(), std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> Sandbox::environment(const std::string& display) const {
    static const char* const replaced[] = {
        "DISPLAY=", "HOME=", "XDG_", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=",
        // A session bus would put our icon into the user's real tray, and
        // without any address libdbus would autolaunch a bus on our Xvfb.
        "DBUS_SESSION_BUS_ADDRESS="};
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const char* prefix : replaced) {
            keep = keep && !startsWith(entry, prefix);
        }
        if (keep) {
            env.push_back(entry);
        }
    }
    const std::string root = m_root.string();
    env.push_back("DISPLAY=" + display);
    env.push_back("HOME=" + root + "/home");
    env.push_back("XDG_CONFIG_HOME=" + root + "/config");
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDirectory().string());
    env.push_back("XDG_CACHE_HOME=" + root + "/home/.cache");
    env.push_back("XDG_DATA_HOME=" + root + "/home/.local/share");
    env.push_back("XDG_STATE_HOME=" + root + "/home/.local/state");
    env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + root + "/no-bus");
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    return env;
}

std::unique_ptr<AppProcess> AppProcess::spawn(const std::string& binary, const Sandbox& sandbox,
                                              const std::string& display,
                                              const fs::path& stderrPath) {
    std::vector<std::string> argv{binary};
    auto envStrings = sandbox.environment(display);
    auto args = cStringPointers(argv);
    auto env = cStringPointers(envStrings);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, binary.c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return nullptr;
    }
    return std::unique_ptr<AppProcess>(new AppProcess(pid));
}

AppProcess::~AppProcess() {
    stop();
}

bool AppProcess::reap(int options) {
    if (m_reaped) {
        return true;
    }
    pid_t waited = -1;
    do {
        waited = ::waitpid(m_pid, &m_status, options);
    } while (waited < 0 && errno == EINTR);
    m_reaped = waited == m_pid;
    return m_reaped;
}

bool AppProcess::running() {
    return !reap(WNOHANG);
}

bool AppProcess::waitUntilReady(const Sandbox& sandbox, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!lockExists(sandbox.runtimeDirectory())) {
        if (!running() || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        sleepFor(std::chrono::milliseconds(10));
    }
    sleepFor(settleTime());
    return running();
}

std::optional<int> AppProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        sleepFor(std::chrono::milliseconds(5));
    }
    if (!WIFEXITED(m_status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(m_status);
}

void AppProcess::stop() {
    if (m_reaped) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    if (!waitForExit(std::chrono::seconds(5)) && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        reap(0);
    }
}

std::chrono::milliseconds settleTime() {
#if defined(__SANITIZE_ADDRESS__)
    return std::chrono::milliseconds(1500);
#else
    return std::chrono::milliseconds(300);
#endif
}

std::vector<std::string> readLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::istringstream in(readWholeFile(path));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool waitForLines(const fs::path& path, std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (readLines(path).size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        sleepFor(std::chrono::milliseconds(5));
    }
    return true;
}

void sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

} // namespace tarnwick::test
