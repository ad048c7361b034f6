#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarnwick::test {

// The whole file as bytes; empty when it is missing or unreadable.
inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace tarnwick::test
