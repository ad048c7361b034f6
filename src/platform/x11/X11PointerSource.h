#pragma once

#include "services/PointerSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick::x11 {

class Display;

// The pointer as XInput 2 raw motion sees it: every move on the desktop,
// whichever window is under the pointer and whoever holds a grab. Each burst
// of motion costs one pointer query and one run of the handlers; warps run
// none. Button presses and releases are always followed, so that a move
// made with a button held is known as a drag. Screens come from RandR (or
// Xinerama) and are re-read only when the server says they changed.
//
// A 1 kHz mouse would wake us 1,000 times a second. So away from the
// corners, once the pointer moves, motion is not listened to: the server
// answers where the pointer is after each pause (XSync's Await on its own
// clock), 2 to 15 ms by the distance to the nearest corner and how late the
// answers have lately come; one wakeup per pause. At rest, and within reach
// of a corner, every motion is followed.
// The server holds the Display's later requests back until a pause ends:
// give the source a Display of its own.
class X11PointerSource final : public PointerSource {
public:
    struct Stats {
        std::uint64_t rawMotionEvents = 0;
        std::uint64_t pointerQueries = 0;
        std::uint64_t handlerRuns = 0;
        std::uint64_t drags = 0;
        std::uint64_t screenRefreshes = 0;
        std::uint64_t pauses = 0;
    };

    explicit X11PointerSource(Display& display);
    ~X11PointerSource() override;
    X11PointerSource(const X11PointerSource&) = delete;
    X11PointerSource& operator=(const X11PointerSource&) = delete;

    // False when the server lacks XInput 2.2; handlers are then declined.
    bool available() const;
    // Why it is unavailable, for the log.
    std::string unavailableReason() const;

    std::optional<HandlerId> addPointerMovedHandler(std::function<void()> handler) override;
    void removePointerMovedHandler(HandlerId id) override;
    std::optional<Point> pointerLocation() override;
    bool dragging() override;
    std::span<const Rect> screenFrames() override;

    Stats stats() const;
    // Whether every motion is followed now, rather than a pause's end awaited.
    bool listening() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarnwick::x11
