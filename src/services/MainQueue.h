#pragma once

#include <functional>

namespace tarnwick {

// Work queued onto the thread that holds all state (the UI thread).
class MainQueue {
public:
    virtual ~MainQueue() = default;

    // Queues fn to run later on the main thread, never inside this call.
    // Safe to call from any thread.
    virtual void post(std::function<void()> fn) = 0;
};

} // namespace tarnwick
