#pragma once

#include <xcb/xcb.h>

namespace tarnwick::x11 {

// A service that reads its events from a Display's connection.
class EventListener {
public:
    virtual ~EventListener() = default;
    // Every event, whoever it is for; the listener picks its own.
    virtual void handleEvent(const xcb_generic_event_t& event) = 0;
    // The queue is empty for now: work that should happen once per burst
    // of events goes here, and a look for replies awaited without blocking.
    virtual void endOfBatch() {}
};

} // namespace tarnwick::x11
