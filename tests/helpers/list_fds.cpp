// Prints the open file descriptors of this process, one per line, and the
// signal state that matters to the runner: the blocked mask and SIGINT's
// and SIGPIPE's dispositions, and whether it leads its own session.
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <unistd.h>

int main() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return 1;
    }
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        int fd = 0;
        if (std::sscanf(entry->d_name, "%d", &fd) == 1 && fd != own) {
            std::printf("fd %d\n", fd);
        }
    }
    closedir(dir);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    int blockedCount = 0;
    for (int sig = 1; sig < NSIG; ++sig) {
        blockedCount += sigismember(&blocked, sig) == 1 ? 1 : 0;
    }
    std::printf("blocked %d\n", blockedCount);
    struct sigaction action {};
    sigaction(SIGINT, nullptr, &action);
    std::printf("sigint %s\n", action.sa_handler == SIG_DFL ? "default" : "changed");
    sigaction(SIGPIPE, nullptr, &action);
    std::printf("sigpipe %s\n", action.sa_handler == SIG_DFL ? "default" : "changed");
    std::printf("session-leader %s\n", getsid(0) == getpid() ? "yes" : "no");
    return 0;
}
