#include "XServer.h"

#include "support/CStrings.h"

#include "platform/x11/Display.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnwick::test {
namespace {

constexpr int kDisplayFd = 3;

std::vector<std::string> environmentWithDisplay(const std::string& display) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    if (!display.empty()) {
        env.push_back("DISPLAY=" + display);
    }
    return env;
}

// The number the server writes to -displayfd once it accepts clients.
std::string readDisplayNumber(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        char buffer[32];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return {};
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return ":" + text.substr(0, text.find('\n'));
}

} // namespace

std::unique_ptr<XServer> XServer::start(const std::vector<std::string>& argvIn,
                                        const std::string& hostDisplay) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kDisplayFd);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv = argvIn;
    // -noreset: the server would otherwise restart when its last client leaves.
    argv.insert(argv.end(),
                {"-displayfd", std::to_string(kDisplayFd), "-nolisten", "tcp", "-noreset"});
    auto args = cStringPointers(argv);
    auto envStrings = environmentWithDisplay(hostDisplay);
    auto env = cStringPointers(envStrings);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        std::fprintf(stderr, "cannot start %s: errno %d\n", argv[0].c_str(), rc);
        return nullptr;
    }
    const std::string display = readDisplayNumber(fds[0]);
    ::close(fds[0]);
    std::unique_ptr<XServer> server(new XServer(pid, display));
    if (display.empty()) {
        std::fprintf(stderr, "%s did not report a display\n", argv[0].c_str());
        return nullptr;
    }
    return server;
}

std::unique_ptr<XServer> XServer::startXvfb(const std::string& screen) {
    return start({"Xvfb", "-screen", "0", screen}, {});
}

std::unique_ptr<XServer> XServer::startXephyr(const XServer& host,
                                              const std::vector<std::string>& args) {
    std::vector<std::string> argv{"Xephyr"};
    argv.insert(argv.end(), args.begin(), args.end());
    return start(argv, host.display());
}

XServer::~XServer() {
    ::kill(m_pid, SIGTERM);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

int XServer::run(const std::string& commandLine) const {
    const std::string line = "DISPLAY=" + m_display + " " + commandLine;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool pumpUntil(x11::Display& display, const std::function<bool()>& done,
               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        display.processEvents();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // While reading is held off, the socket is not watched.
        pollfd p{display.readingHeldUntil() ? -1 : display.fileDescriptor(), POLLIN, 0};
        ::poll(&p, 1, 5);
    }
}

void pumpFor(x11::Display& display, std::chrono::milliseconds duration) {
    pumpUntil(
        display, [] { return false; }, duration);
}

} // namespace tarnwick::test
