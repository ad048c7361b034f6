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
constexpr const char* cannotSave = "Settings could not be saved: ";
constexpr const char* noHome = "no home directory is known";

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

std::optional<StoreProblem> ConfigStore::load() {
    m_rejectedInPlace = false;
    config = seed();
    const auto file = ensuredFile();
    if (!file) {
        return StoreProblem{StoreProblem::Kind::saveFailed, std::string(cannotSave) + noHome, {}};
    }
    fileops::removeStaleTemporaries(*file);
    auto read = fileops::readSmallFile(*file, maximumFileSize);
    if (read.status == fileops::ReadStatus::ok) {
        if (auto decoded = decodeConfig(read.bytes)) {
            config = std::move(*decoded);
            return std::nullopt;
        }
        read.reason = read.bytes.empty() ? "it is empty" : "it is not valid JSON for this program";
    }
    if (read.status == fileops::ReadStatus::missing) {
        if (auto saved = save(); !saved) {
            return StoreProblem{
                StoreProblem::Kind::saveFailed, std::string(cannotSave) + saved.reason, {}};
        }
        return std::nullopt;
    }
    std::string message = file->string() + " could not be used: " + read.reason + ". ";
    auto keptAs = setAside(*file);
    if (!keptAs) {
        m_rejectedInPlace = true;
        message += "It could not be renamed out of the way either, so the example settings are "
                   "in use and will not be saved until it can be.";
        return StoreProblem{StoreProblem::Kind::rejectedFile, std::move(message), std::nullopt};
    }
    message +=
        "It was kept as " + keptAs->filename().string() + ", and the example settings are in use.";
    if (auto saved = save(); !saved) {
        message += " They could not be saved: " + saved.reason + ".";
    }
    return StoreProblem{StoreProblem::Kind::rejectedFile, std::move(message), std::move(keptAs)};
}

SaveResult ConfigStore::save() {
    const auto bytes = encodeConfig(config, JsonLayout::pretty);
    if (!bytes) {
        return {"the corner sensitivity is not a finite number"};
    }
    // load() would set such a file aside, losing every setting in it.
    if (bytes->size() > maximumFileSize) {
        return {"they would take more than " + fileops::sizeText(maximumFileSize) +
                ", the most the program reads back"};
    }
    const auto file = ensuredFile();
    if (!file) {
        return {noHome};
    }
    if (m_rejectedInPlace) {
        // Tried on every save: the directory may have become writable since.
        std::error_code ignored;
        if (!setAside(*file) &&
            fs::symlink_status(*file, ignored).type() != fs::file_type::not_found) {
            return {file->string() +
                    " could not be used and cannot be renamed out of the way, so it is "
                    "not overwritten"};
        }
        m_rejectedInPlace = false;
    }
    if (const std::error_code error = fileops::replaceAtomically(*file, *bytes)) {
        return {"cannot write " + file->string() + ": " + error.message()};
    }
    return {};
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
