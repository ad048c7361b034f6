#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// The file operations the store needs, each reporting failure as a value.
namespace tarnwick::fileops {

// Creates path and any missing parents with mode 0700; true if it is a
// directory afterwards.
bool makeDirectories(const std::filesystem::path& path);

enum class ReadStatus { ok, missing, unusable };

struct ReadResult {
    ReadStatus status;
    std::string bytes;
    // Why the file is unusable, for the user ("it is not a regular file").
    std::string reason;
};

// Reads a regular file of at most maximumSize bytes. missing only when
// nothing at all (not even a dangling link) is at path.
ReadResult readSmallFile(const std::filesystem::path& path, std::size_t maximumSize);

// "16 MiB", or the exact count when it is not a whole number of MiB.
std::string sizeText(std::size_t bytes);

// Replaces path with bytes through a synced temporary file in the same
// directory and a rename, mode 0600. A symbolic link at path is written
// through. The error of the step that failed (and path untouched), or an
// empty code.
std::error_code replaceAtomically(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files replaceAtomically(path) leaves when the
// process dies mid-write. Only that exact naming; nothing else is touched.
void removeStaleTemporaries(const std::filesystem::path& path);

// Renames path to path + ".rejected-<UTC time stamp>" in the same directory,
// never replacing an earlier one. The new path, or nothing on failure.
std::optional<std::filesystem::path> setAside(const std::filesystem::path& path);

} // namespace tarnwick::fileops
