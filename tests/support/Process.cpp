#include "support/Process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tarnwick::test {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace

std::unique_ptr<Process> Process::spawn(std::vector<std::string> argv,
                                        std::vector<std::string> environment,
                                        const fs::path& stderrFile) {
    auto args = pointers(argv);
    auto envp = pointers(environment);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return nullptr;
    }
    const int err = stderrFile.empty() ? -1
                                       : ::open(stderrFile.c_str(),
                                                O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err >= 0 ? err : out[1], STDERR_FILENO);
        // Looked up in our own PATH, which the sandboxes pass on unchanged.
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (err >= 0) {
        ::close(err);
    }
    if (pid < 0) {
        std::fprintf(stderr, "cannot fork for %s\n", argv[0].c_str());
        ::close(out[0]);
        return nullptr;
    }
    ::setpgid(pid, pid); // also here, so a kill of the group cannot come first
    return std::unique_ptr<Process>(new Process(pid, out[0]));
}

Process::~Process() {
    if (!waitForExit(std::chrono::milliseconds(0))) {
        ::kill(-m_pid, SIGTERM);
        if (!waitForExit(std::chrono::seconds(10))) {
            ::kill(-m_pid, SIGKILL);
            waitForExit(std::chrono::seconds(10));
        }
    }
    // What the program left behind in its group goes too.
    ::kill(-m_pid, SIGKILL);
    ::close(m_out);
}

std::optional<int> Process::waitForExit(std::chrono::milliseconds deadline) {
    const auto until = Clock::now() + deadline;
    while (!m_exit) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        } else if ((done < 0 && errno != EINTR) || Clock::now() >= until) {
            return std::nullopt;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return m_exit;
}

// Reads what is there (waiting until the deadline for something); false at
// the end of output or the deadline.
bool Process::fill(Clock::time_point until) {
    pollfd p{m_out, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (::poll(&p, 1, static_cast<int>(std::max<long>(0, left.count()))) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t n = ::read(m_out, chunk, sizeof chunk);
    if (n <= 0) {
        return false;
    }
    m_buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> Process::readLine(std::chrono::milliseconds deadline,
                                             const std::string& prefix) {
    const auto until = Clock::now() + deadline;
    for (;;) {
        const auto newline = m_buffer.find('\n');
        if (newline == std::string::npos) {
            if (!fill(until)) {
                return std::nullopt;
            }
            continue;
        }
        std::string line = m_buffer.substr(0, newline);
        m_buffer.erase(0, newline + 1);
        if (line.starts_with(prefix)) {
            return line;
        }
    }
}

Finished Process::runToEnd(std::vector<std::string> argv, std::vector<std::string> environment,
                           std::chrono::milliseconds deadline) {
    Finished result;
    if (auto process = spawn(std::move(argv), std::move(environment))) {
        const auto until = Clock::now() + deadline;
        while (process->fill(until)) {
        }
        result.output = process->m_buffer;
        result.exitCode = process->waitForExit(deadline).value_or(-1);
    }
    return result;
}

} // namespace tarnwick::test
