#include "triggers/HotCornerMonitor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tarnwick {

namespace {

struct CornerPoint {
    Point point;
    ScreenCorner corner;
};

// Written as abs(d) <= t so that a NaN anywhere makes the test fail.
bool isNear(Point p, Point k, double threshold) {
    return std::abs(p.x - k.x) <= threshold && std::abs(p.y - k.y) <= threshold;
}

std::size_t indexOf(ScreenCorner corner) {
    return static_cast<std::size_t>(corner);
}

} // namespace

HotCornerMonitor::HotCornerMonitor(PointerSource& source) : m_source(source) {}

HotCornerMonitor::~HotCornerMonitor() {
    stop();
}

std::optional<ScreenCorner> HotCornerMonitor::corner(Point p, const Rect& r, double threshold) {
    // Also rejects NaN; -0 behaves as 0.
    if (!(threshold >= 0)) {
        return std::nullopt;
    }
    // Bottom corners first: on a screen smaller than two squares the squares
    // overlap, and this order decides which corner wins.
    const CornerPoint candidates[] = {
        {{r.minX(), r.minY()}, ScreenCorner::bottomLeft},
        {{r.maxX(), r.minY()}, ScreenCorner::bottomRight},
        {{r.minX(), r.maxY()}, ScreenCorner::topLeft},
        {{r.maxX(), r.maxY()}, ScreenCorner::topRight},
    };
    for (const CornerPoint& candidate : candidates) {
        if (isNear(p, candidate.point, threshold)) {
            return candidate.corner;
        }
    }
    return std::nullopt;
}

void HotCornerMonitor::start() {
    // Replacing rather than adding keeps one evaluation per pointer event.
    stop();
    m_handler = m_source.addPointerMovedHandler([this] { evaluate(); });
}

void HotCornerMonitor::stop() {
    if (m_handler) {
        m_source.removePointerMovedHandler(*m_handler);
        m_handler.reset();
    }
}

void HotCornerMonitor::evaluate() {
    if (!enabled) {
        return;
    }
    const std::optional<Point> location = m_source.pointerLocation();
    if (!location) {
        return;
    }
    const Rect* screen = screenContaining(*location);
    if (screen == nullptr) {
        return;
    }
    updateArming(corner(*location, *screen, sensitivity), m_source.dragging());
}

const Rect* HotCornerMonitor::screenContaining(Point p) {
    const std::span<const Rect> screens = m_source.screenFrames();
    const auto found =
        std::ranges::find_if(screens, [p](const Rect& frame) { return frame.contains(p); });
    return found == screens.end() ? nullptr : &*found;
}

void HotCornerMonitor::updateArming(std::optional<ScreenCorner> hit, bool dragging) {
    if (dragging) {
        if (hit) {
            m_armed[indexOf(*hit)] = false;
        }
        return;
    }
    for (const ScreenCorner c : allScreenCorners) {
        bool& armed = m_armed[indexOf(c)];
        if (hit != c) {
            armed = true;
        } else if (armed) {
            // Disarm before calling out, so the callback sees the corner as spent.
            armed = false;
            if (onCorner) {
                onCorner(c);
            }
        }
    }
}

} // namespace tarnwick
