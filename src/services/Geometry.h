#pragma once

#include <algorithm>

namespace tarnwick {

// Global screen space, in points: origin at the bottom-left of the primary
// screen, y growing upward.
struct Point {
    double x = 0;
    double y = 0;
};

// A rectangle by origin and size; the edge accessors normalise a negative
// width or height first, as Core Graphics does.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return std::min(x, x + width); }
    double maxX() const { return std::max(x, x + width); }
    double minY() const { return std::min(y, y + height); }
    double maxY() const { return std::max(y, y + height); }

    // Inside, or on the minimum-x or minimum-y edge; never on the maximum
    // edges. NaN never lies inside.
    bool contains(Point p) const {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
};

} // namespace tarnwick
