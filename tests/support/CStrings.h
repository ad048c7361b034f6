#pragma once

#include <string>
#include <vector>

namespace tarnwick::test {

// argv/envp for posix_spawn and exec: pointers into strings, then a null.
// The strings must outlive the result.
inline std::vector<char*> cStringPointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace tarnwick::test
