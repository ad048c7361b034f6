#pragma once

#include "services/MainQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tarnwick::test {

// A main queue that the test thread drains by hand.
class TestMainQueue final : public MainQueue {
public:
    void post(std::function<void()> fn) override {
        // Notified under the lock: once a waiter has run this item the queue
        // may be destroyed, and the poster must be out of it by then.
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(fn));
        m_ready.notify_all();
    }

    // Runs everything queued so far, and what those items queue.
    void drain() {
        while (runUntil(1, std::chrono::milliseconds(0))) {
        }
    }

    // Waits until at least count items have been run by this call, or timeout.
    bool runUntil(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (std::size_t ran = 0; ran < count; ++ran) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_mutex);
                if (!m_ready.wait_until(lock, deadline, [this] { return !m_items.empty(); })) {
                    return false;
                }
                fn = std::move(m_items.front());
                m_items.pop_front();
            }
            fn();
        }
        return true;
    }

    std::size_t pending() const {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_items;
};

} // namespace tarnwick::test
