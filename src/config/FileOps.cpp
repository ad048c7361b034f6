#include "config/FileOps.h"

#include "posix/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick::fileops {
namespace fs = std::filesystem;
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool somethingAt(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The file that a write to path lands in: the target of a symbolic link
// (dotfile managers link config files), else path itself.
fs::path writeTarget(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            fs::path target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

void syncDirectory(const fs::path& directory) {
    UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        // Makes the rename itself durable; the data is already synced.
        ::fsync(fd.get());
    }
}

std::string utcTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// rename() that fails instead of replacing an existing file.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // WORKAROUND: some file systems lack RENAME_NOREPLACE; check first instead.
    if (somethingAt(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

bool makeDirectories(const fs::path& path) {
    fs::path prefix;
    for (const auto& part : path) {
        prefix /= part;
        // Errors are judged by the final check; EEXIST is the common case.
        ::mkdir(prefix.c_str(), 0700);
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

ReadResult readSmallFile(const fs::path& path, std::size_t maximumSize) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        const bool missing = errno == ENOENT && !somethingAt(path);
        return {missing ? ReadStatus::missing : ReadStatus::unusable, {}};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > maximumSize) {
        return {ReadStatus::unusable, {}};
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return {ReadStatus::unusable, {}};
        }
        if (count == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > maximumSize) {
            return {ReadStatus::unusable, {}};
        }
    }
    return {ReadStatus::ok, std::move(bytes)};
}

bool replaceAtomically(const fs::path& path, std::string_view bytes) {
    const fs::path target = writeTarget(path);
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX"));
    // mkostemp creates the file with mode 0600.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    const bool written = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.close();
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(target.parent_path());
    return true;
}

std::optional<fs::path> setAside(const fs::path& path) {
    const std::string base = path.string() + ".rejected-" + utcTimeStamp();
    constexpr int attempts = 100;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const fs::path candidate = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (renameNoReplace(path, candidate)) {
            return candidate;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace tarnwick::fileops
