#pragma once

#include <chrono>
#include <thread>

namespace tarnwick::test {

using namespace std::chrono_literals;

// Polls condition until it holds or the deadline passes; whether it held.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds deadline = 15s) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace tarnwick::test
