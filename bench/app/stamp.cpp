// Appends the CLOCK_REALTIME instant it started at, in nanoseconds, as a line
// to the file named by its argument. The clock is read first, so that the
// figure is the command's first instant and not its file handling.
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // system_clock is CLOCK_REALTIME here, as in the benchmark.
    const auto now = std::chrono::system_clock::now();
    if (argc < 2) {
        return 2;
    }
    const int fd = ::open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return 1;
    }
    char line[32];
    const long long ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    const int length = std::snprintf(line, sizeof line, "%lld\n", ns);
    // One write with O_APPEND keeps lines whole.
    const bool written =
        length > 0 && ::write(fd, line, static_cast<std::size_t>(length)) == length;
    ::close(fd);
    return written ? 0 : 1;
}
