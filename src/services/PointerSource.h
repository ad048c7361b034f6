#pragma once

#include "services/Geometry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace tarnwick {

// The desktop's pointer: motion notifications, the position, the screens.
class PointerSource {
public:
    using HandlerId = std::uint64_t;

    virtual ~PointerSource() = default;

    // Calls handler on the main thread for pointer moves anywhere on the
    // desktop, drags included. Nothing when the platform declines.
    virtual std::optional<HandlerId> addPointerMovedHandler(std::function<void()> handler) = 0;

    // Removes a handler added above; unknown ids are ignored.
    virtual void removePointerMovedHandler(HandlerId id) = 0;

    // The current pointer position in global screen space, if known.
    virtual std::optional<Point> pointerLocation() = 0;

    // Whether a button was held during the move just notified: a drag.
    virtual bool dragging() = 0;

    // The screens' frames in the platform's order, primary first. Cheap:
    // no round trip to the display server and no allocation.
    virtual std::span<const Rect> screenFrames() = 0;
};

} // namespace tarnwick
