#include "config/ConfigStore.h"

#include "config/ConfigJson.h"
#include "config/FileOps.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace fs = std::filesystem;
namespace {

constexpr const char* directoryName = "Tarnwick";
constexpr const char* fileName = "config.json";

// An environment variable that names an absolute path; relative ones are
// invalid for XDG and ignored.
std::optional<fs::path> absolutePathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return fs::path(value);
}

std::optional<fs::path> passwdHome() {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return std::nullopt;
    }
    return fs::path(found->pw_dir);
}

} // namespace

ConfigStore& ConfigStore::shared() {
    static ConfigStore store;
    return store;
}

ConfigStore::ConfigStore(fs::path directory) : m_fixedDirectory(std::move(directory)) {}

std::optional<fs::path> ConfigStore::defaultDirectory() {
    if (auto base = absolutePathFromEnvironment("XDG_CONFIG_HOME")) {
        return *base / directoryName;
    }
    auto home = absolutePathFromEnvironment("HOME");
    if (!home) {
        home = passwdHome();
    }
    if (!home) {
        return std::nullopt;
    }
    return *home / ".config" / directoryName;
}

std::optional<fs::path> ConfigStore::directory() const {
    return m_fixedDirectory ? m_fixedDirectory : defaultDirectory();
}

std::optional<fs::path> ConfigStore::ensuredFile() const {
    auto dir = directory();
    if (!dir) {
        return std::nullopt;
    }
    // A failure here shows up in the read or write that follows.
    fileops::makeDirectories(*dir);
    return *dir / fileName;
}

std::string ConfigStore::fileLocation() const {
    const auto file = ensuredFile();
    return file ? file->string() : std::string(fileName);
}

void ConfigStore::load() {
    const auto file = ensuredFile();
    if (file) {
        auto read = fileops::readSmallFile(*file, maximumFileSize);
        if (read.status == fileops::ReadStatus::ok) {
            if (auto decoded = decodeConfig(read.bytes)) {
                config = std::move(*decoded);
                return;
            }
        }
        config = seed();
        // Never write the seed over a file that could not be kept aside.
        if (read.status == fileops::ReadStatus::missing || fileops::setAside(*file)) {
            save();
        }
        return;
    }
    config = seed();
}

bool ConfigStore::save() {
    const auto bytes = encodeConfig(config, JsonLayout::pretty);
    if (!bytes) {
        return false;
    }
    const auto file = ensuredFile();
    return file && fileops::replaceAtomically(*file, *bytes);
}

AppConfig ConfigStore::seed() {
    AppConfig seeded;
    seeded.bindings.emplace_back("Sleep display",
                                 Trigger{TriggerKind::corner, ScreenCorner::topLeft},
                                 "xset dpms force off");
    seeded.bindings.emplace_back(
        "Open Terminal",
        Trigger{TriggerKind::hotkey, std::nullopt,
                HotkeyCombo{17, modifier::command | modifier::option, "\u2318\u2325T"}},
        "x-terminal-emulator");
    return seeded;
}

} // namespace tarnwick
