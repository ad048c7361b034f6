#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The file operations the store needs, each reporting failure as a value.
namespace tarnwick::fileops {

// Creates path and any missing parents with mode 0700; true if it is a
// directory afterwards.
bool makeDirectories(const std::filesystem::path& path);

enum class ReadStatus { ok, missing, unusable };

struct ReadResult {
    ReadStatus status;
    std::string bytes;
};

// Reads a regular file of at most maximumSize bytes. missing only when
// nothing at all (not even a dangling link) is at path.
ReadResult readSmallFile(const std::filesystem::path& path, std::size_t maximumSize);

// Replaces path with bytes through a synced temporary file in the same
// directory and a rename, mode 0600. A symbolic link at path is written
// through. False (and path untouched) on any failure.
bool replaceAtomically(const std::filesystem::path& path, std::string_view bytes);

// Renames path to path + ".rejected-<UTC time stamp>" in the same directory,
// never replacing an earlier one. The new path, or nothing on failure.
std::optional<std::filesystem::path> setAside(const std::filesystem::path& path);

} // namespace tarnwick::fileops
