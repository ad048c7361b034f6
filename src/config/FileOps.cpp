#include "config/FileOps.h"

#include "posix/UniqueFd.h"

#include <algorithm>
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

std::string errorText(int error) {
    return std::generic_category().message(error);
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// replaceAtomically's temporary files are "." + name + "." and the six
// letters mkostemp picks from [A-Za-z0-9].
constexpr std::size_t temporaryLetters = 6;

std::string temporaryPrefix(const fs::path& target) {
    return "." + target.filename().string() + ".";
}

bool isTemporaryLetter(char c) {
    // Not isalnum: that follows the locale.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

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
    const auto unusable = [](std::string reason) {
        return ReadResult{ReadStatus::unusable, {}, std::move(reason)};
    };
    const auto tooLarge = [&] { return unusable("it is larger than " + sizeText(maximumSize)); };
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        const int error = errno;
        if (error != ENOENT) {
            return unusable("it cannot be opened: " + errorText(error));
        }
        if (somethingAt(path)) {
            return unusable("it is a symbolic link to a file that does not exist");
        }
        return {ReadStatus::missing, {}, {}};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return unusable("it cannot be examined: " + errorText(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return unusable("it is not a regular file");
    }
    if (static_cast<std::size_t>(info.st_size) > maximumSize) {
        return tooLarge();
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return unusable("it cannot be read: " + errorText(errno));
        }
        if (count == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > maximumSize) {
            return tooLarge();
        }
    }
    return {ReadStatus::ok, std::move(bytes), {}};
}

std::string sizeText(std::size_t bytes) {
    constexpr std::size_t mebibyte = 1024 * 1024;
    if (bytes >= mebibyte && bytes % mebibyte == 0) {
        return std::to_string(bytes / mebibyte) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}

std::error_code replaceAtomically(const fs::path& path, std::string_view bytes) {
    const fs::path target = writeTarget(path);
    std::string temporary =
        target.parent_path() / (temporaryPrefix(target) + std::string(temporaryLetters, 'X'));
    // mkostemp creates the file with mode 0600.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return lastError();
    }
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.close() ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        // Taken before unlink() can overwrite errno.
        const std::error_code error = lastError();
        ::unlink(temporary.c_str());
        return error;
    }
    syncDirectory(target.parent_path());
    return {};
}

void removeStaleTemporaries(const fs::path& path) {
    const fs::path target = writeTarget(path);
    const std::string prefix = temporaryPrefix(target);
    std::error_code error;
    for (fs::directory_iterator entry(target.parent_path(), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool ours = name.size() == prefix.size() + temporaryLetters &&
                          name.starts_with(prefix) &&
                          std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                                      name.end(), isTemporaryLetter);
        std::error_code ignored;
        // mkostemp only ever makes regular files.
        if (ours && entry->symlink_status(ignored).type() == fs::file_type::regular) {
            fs::remove(entry->path(), ignored);
        }
    }
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
