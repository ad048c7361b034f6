#pragma once

#include "services/MainQueue.h"

namespace tarnwick {

// The Qt event loop as the main queue: work posted from any thread runs on
// the thread of the application object, in a later turn of its loop.
class QtMainQueue final : public MainQueue {
public:
    void post(std::function<void()> fn) override;
};

} // namespace tarnwick
