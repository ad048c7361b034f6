#pragma once

#include "config/AppConfig.h"
#include "services/Geometry.h"
#include "services/PointerSource.h"

#include <array>
#include <functional>
#include <optional>

namespace tarnwick {

// Turns pointer movement into corner entries: onCorner is told once per
// entry, and the same corner fires again only after the pointer was seen
// outside it. A drag into a corner spends it without firing; a drag out of
// one does not re-arm it.
class HotCornerMonitor {
public:
    explicit HotCornerMonitor(PointerSource& source);
    ~HotCornerMonitor();
    HotCornerMonitor(const HotCornerMonitor&) = delete;
    HotCornerMonitor& operator=(const HotCornerMonitor&) = delete;

    // The corner of r whose 2t-wide square around the corner point holds p,
    // tested bottom-left, bottom-right, top-left, top-right; inclusive bounds.
    // NaN and negative thresholds never hit.
    static std::optional<ScreenCorner> corner(Point p, const Rect& r, double threshold);

    // Installs the pointer handler; a second start() replaces the first.
    void start();
    // Removes the pointer handler.
    void stop();

    std::function<void(ScreenCorner)> onCorner;
    double sensitivity = AppConfig::defaultCornerSensitivity;
    bool enabled = true;

private:
    void evaluate();
    const Rect* screenContaining(Point p);
    void updateArming(std::optional<ScreenCorner> hit, bool dragging);

    PointerSource& m_source;
    std::optional<PointerSource::HandlerId> m_handler;
    std::array<bool, 4> m_armed{true, true, true, true};
};

} // namespace tarnwick
