#include "platform/x11/ScreenLayout.h"

#include <algorithm>

namespace tarnwick::x11 {

ScreenLayout::ScreenLayout(std::span<const Monitor> monitors) {
    std::vector<Monitor> ordered;
    std::copy_if(monitors.begin(), monitors.end(), std::back_inserter(ordered),
                 [](const Monitor& m) { return m.width > 0 && m.height > 0; });
    if (ordered.empty()) {
        return;
    }
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const Monitor& m) { return m.primary; });

    const Monitor& primary = ordered.front();
    m_originX = primary.x;
    m_bottomRow = std::int64_t{primary.y} + primary.height - 1;
    m_frames.reserve(ordered.size());
    for (const Monitor& m : ordered) {
        const Point bottomLeft =
            toGlobal(m.x, static_cast<std::int32_t>(m.y + std::int64_t{m.height} - 1));
        m_frames.push_back(Rect{bottomLeft.x, bottomLeft.y,
                                static_cast<double>(m.width) - 1 + sliver,
                                static_cast<double>(m.height) - 1 + sliver});
    }
}

Point ScreenLayout::toGlobal(std::int32_t rootX, std::int32_t rootY) const {
    return Point{static_cast<double>(std::int64_t{rootX} - m_originX),
                 static_cast<double>(m_bottomRow - rootY)};
}

} // namespace tarnwick::x11
