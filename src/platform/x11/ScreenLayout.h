#pragma once

#include "services/Geometry.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick::x11 {

// A monitor as the X server reports it: pixels, origin at the top-left of the
// root window, y growing downward.
struct Monitor {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool primary = false;
};

// The monitors converted into global screen space: origin at the bottom-left
// of the primary monitor, y growing upward.
//
// A pixel maps to its integer position, and a frame spans its pixels plus a
// sliver, so that the topmost row and rightmost column still lie inside it
// (the containment test excludes the maximum edges) while their corner
// pixels sit next to the corner point: at any corner size from 1/1024 up,
// each corner fires on its own corner pixel.
class ScreenLayout {
public:
    static constexpr double sliver = 1.0 / 1024.0;

    ScreenLayout() = default;
    // The primary monitor goes first, the others keep the server's order.
    // Monitors without area are dropped; the first one stands in for a
    // primary when none is marked.
    explicit ScreenLayout(std::span<const Monitor> monitors);

    std::span<const Rect> frames() const { return m_frames; }
    bool empty() const { return m_frames.empty(); }

    // A root-window pixel position in global space.
    Point toGlobal(std::int32_t rootX, std::int32_t rootY) const;

private:
    std::vector<Rect> m_frames;
    std::int32_t m_originX = 0;
    // Root-window row of the primary monitor's bottom pixel row.
    std::int64_t m_bottomRow = 0;
};

} // namespace tarnwick::x11
