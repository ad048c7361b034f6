#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::test {

// A scratch directory that stands in for the user's home, configuration,
// cache and runtime directories; removed with everything in it.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path home() const { return m_root / "home"; }
    std::filesystem::path configDirectory() const { return m_root / "config" / "Tarnwick"; }
    std::filesystem::path configFile() const { return configDirectory() / "config.json"; }
    std::filesystem::path runtimeDirectory() const { return m_root / "runtime"; }

    void writeConfig(const std::string& text) const;
    // PATH and the directories above, nothing else of the machine's (no
    // locale, time zone, terminal or session), then extra.
    std::vector<std::string> environment(const std::map<std::string, std::string>& extra = {}) const;

private:
    std::filesystem::path m_root;
};

// The whole file as bytes; empty when it is missing or unreadable.
std::string readWholeFile(const std::filesystem::path& path);

} // namespace tarnwick::test
