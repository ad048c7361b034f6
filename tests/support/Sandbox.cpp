#include "support/Sandbox.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace tarnwick::test {
namespace fs = std::filesystem;

Sandbox::Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a sandbox directory");
    }
    m_root = pattern;
    fs::create_directories(configDirectory());
    fs::create_directories(home());
    fs::create_directories(runtimeDirectory());
    // Qt and D-Bus refuse a runtime directory that others can read.
    ::chmod(runtimeDirectory().c_str(), 0700);
}

Sandbox::~Sandbox() {
    std::error_code ignored;
    fs::permissions(configDirectory(), fs::perms::owner_all, ignored);
    fs::remove_all(m_root, ignored);
}

void Sandbox::writeConfig(const std::string& text) const {
    std::ofstream(configFile(), std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string>
Sandbox::environment(const std::map<std::string, std::string>& extra) const {
    const char* path = std::getenv("PATH");
    std::map<std::string, std::string> vars{
        {"PATH", path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin"},
        {"HOME", home().string()},
        {"XDG_CONFIG_HOME", (m_root / "config").string()},
        {"XDG_CACHE_HOME", (m_root / "cache").string()},
        {"XDG_DATA_HOME", (m_root / "data").string()},
        {"XDG_RUNTIME_DIR", runtimeDirectory().string()},
    };
    // Sanitizer settings of the run stay in force for the program under test.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            vars[name] = value;
        }
    }
    for (const auto& [name, value] : extra) {
        vars[name] = value;
    }
    std::vector<std::string> env;
    for (const auto& [name, value] : vars) {
        env.push_back(name + "=" + value);
    }
    return env;
}

std::string readWholeFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

} // namespace tarnwick::test
