#pragma once

#include "services/MainQueue.h"

#include <QObject>

#include <memory>
#include <mutex>

namespace tarnwick {

// The Qt event loop as the main queue: work posted from any thread runs on
// the thread that made the queue, in a later turn of its loop. Made and
// closed on that thread.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(std::function<void()> fn) override;

    // Drops work posted from now on and work posted but not yet run: for
    // the end of the event loop, when commands may still finish.
    void close();

private:
    std::mutex m_mutex;
    std::unique_ptr<QObject> m_receiver;
};

} // namespace tarnwick
