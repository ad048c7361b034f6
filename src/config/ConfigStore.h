#pragma once

#include "config/AppConfig.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick {

// Owns the current configuration and its file, config.json. Never reports a
// failure: a file that cannot be used gives way to the seed, and the
// rejected file is kept beside it under a new name.
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
    void load();

    // Writes config to config.json atomically. False when nothing was
    // written (encoding or any file operation failed); the file is then
    // unchanged.
    bool save();

    // The example configuration: one corner and one hotkey binding.
    static AppConfig seed();

    // Full path of config.json; creates the directory when it is missing.
    std::string fileLocation() const;

    // The default directory from the environment, or nothing when neither
    // the environment nor the passwd entry names a home.
    static std::optional<std::filesystem::path> defaultDirectory();

    AppConfig config;

private:
    std::optional<std::filesystem::path> directory() const;
    std::optional<std::filesystem::path> ensuredFile() const;

    std::optional<std::filesystem::path> m_fixedDirectory;
};

} // namespace tarnwick
