#pragma once

#include "config/AppConfig.h"
#include "config/FileOps.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick {

// Something the user should hear about the settings file, worded for one log
// line and one desktop notification.
struct StoreProblem {
    enum class Kind {
        // config.json could not be used; the seed is in use instead.
        rejectedFile,
        // The settings in use are not on disk and will be gone at the next start.
        saveFailed,
    };
    Kind kind;
    std::string message;
    // rejectedFile: the name the file is kept under; nothing when it could
    // not be moved and is still config.json.
    std::optional<std::filesystem::path> keptAs;
};

// What save() did: true when the file was written, else the reason it was not.
struct SaveResult {
    std::string reason;
    explicit operator bool() const { return reason.empty(); }
};

// Owns the current configuration and its file, config.json. A file that
// cannot be used gives way to the seed, and the rejected file is kept beside
// it under a new name; one that cannot be kept is never overwritten.
class ConfigStore {
public:
    // Files larger than this are rejected unread.
    static constexpr std::size_t maximumFileSize = 16 * 1024 * 1024;

    // The store of the running program, at the default location.
    static ConfigStore& shared();

    // A store whose directory is resolved from the environment on every use:
    // $XDG_CONFIG_HOME/Tarnwick, else $HOME/.config/Tarnwick, else the
    // passwd entry's home.
    ConfigStore() = default;
    // A store kept in the given directory.
    explicit ConfigStore(std::filesystem::path directory);

    // Reads config.json into config, or makes config the seed and writes it.
    // Removes temporary files that an interrupted save left. Nothing when
    // all went well, else the one thing to tell the user.
    std::optional<StoreProblem> load();

    // Writes config to config.json atomically. Fails, leaving the file
    // unchanged, when encoding or a file operation fails, when the file would
    // be larger than load() reads, and while a rejected file that could not
    // be set aside is still in the way (every save tries again to move it).
    SaveResult save();

    // The example configuration: one corner and one hotkey binding.
    static AppConfig seed();

    // Full path of config.json; creates the directory when it is missing.
    std::string fileLocation() const;

    // The default directory from the environment, or nothing when neither
    // the environment nor the passwd entry names a home.
    static std::optional<std::filesystem::path> defaultDirectory();

    AppConfig config;

    // Moves a rejected file out of the way. Replaceable because tests run as
    // root, and root can rename in any directory.
    std::optional<std::filesystem::path> (*setAside)(const std::filesystem::path&) =
        fileops::setAside;

private:
    std::optional<std::filesystem::path> directory() const;
    std::optional<std::filesystem::path> ensuredFile() const;

    std::optional<std::filesystem::path> m_fixedDirectory;
    // A rejected config.json is still at its place: no save may replace it.
    bool m_rejectedInPlace = false;
};

} // namespace tarnwick
