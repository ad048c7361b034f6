#include "platform/x11/ScreenLayout.h"
#include "triggers/HotCornerMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick::x11 {
namespace {

struct CornerPixel {
    std::int32_t x;
    std::int32_t y;
    ScreenCorner corner;
};

std::vector<CornerPixel> cornerPixels(const Monitor& m) {
    const auto right = static_cast<std::int32_t>(m.x + static_cast<std::int32_t>(m.width) - 1);
    const auto bottom = static_cast<std::int32_t>(m.y + static_cast<std::int32_t>(m.height) - 1);
    return {{m.x, m.y, ScreenCorner::topLeft},
            {right, m.y, ScreenCorner::topRight},
            {m.x, bottom, ScreenCorner::bottomLeft},
            {right, bottom, ScreenCorner::bottomRight}};
}

// The index of the first frame holding p, as the monitor walks them.
std::optional<std::size_t> screenUnder(const ScreenLayout& layout, Point p) {
    const auto frames = layout.frames();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].contains(p)) {
            return i;
        }
    }
    return std::nullopt;
}

// Each monitor's corner pixels land in that monitor's own frame, and the
// hit-test names the right corner at the smallest corner size the window offers.
void expectCornersHit(const std::vector<Monitor>& monitors,
                      const std::vector<std::size_t>& frameOf) {
    const ScreenLayout layout(monitors);
    ASSERT_EQ(layout.frames().size(), monitors.size());
    for (std::size_t m = 0; m < monitors.size(); ++m) {
        for (const auto& pixel : cornerPixels(monitors[m])) {
            SCOPED_TRACE("monitor " + std::to_string(m) + " pixel " + std::to_string(pixel.x) +
                         "," + std::to_string(pixel.y));
            const Point p = layout.toGlobal(pixel.x, pixel.y);
            const auto screen = screenUnder(layout, p);
            ASSERT_TRUE(screen.has_value());
            EXPECT_EQ(*screen, frameOf[m]);
            EXPECT_EQ(HotCornerMonitor::corner(p, layout.frames()[*screen], 2.0), pixel.corner);
            EXPECT_EQ(HotCornerMonitor::corner(p, layout.frames()[*screen], ScreenLayout::sliver),
                      pixel.corner);
        }
    }
}

TEST(ScreenLayoutTest, EveryCornerPixelOfEveryMonitorHitsItsCorner) {
    {
        SCOPED_TRACE("one monitor");
        expectCornersHit({{0, 0, 1280, 800, false}}, {0});
    }
    {
        SCOPED_TRACE("two side by side, different sizes");
        expectCornersHit({{0, 0, 1920, 1080, true}, {1920, 0, 1280, 1024, false}}, {0, 1});
    }
    {
        SCOPED_TRACE("one above another");
        expectCornersHit({{0, 0, 1024, 768, false}, {0, 768, 1920, 1200, true}}, {1, 0});
    }
    {
        SCOPED_TRACE("primary not at the origin, third monitor left of it");
        expectCornersHit(
            {{0, 0, 800, 600, false}, {800, 200, 1920, 1080, true}, {2720, 0, 1080, 1920, false}},
            {1, 0, 2});
    }
}

TEST(ScreenLayoutTest, SpaceIsAnchoredAtThePrimaryBottomLeftWithYUp) {
    const std::vector<Monitor> monitors{{0, 0, 1024, 768, false}, {1024, 100, 1920, 1080, true}};
    const ScreenLayout layout(monitors);

    // Primary first; its bottom-left pixel is the origin.
    const Rect& primary = layout.frames()[0];
    EXPECT_EQ(primary.x, 0.0);
    EXPECT_EQ(primary.y, 0.0);
    const Point origin = layout.toGlobal(1024, 100 + 1080 - 1);
    EXPECT_EQ(origin.x, 0.0);
    EXPECT_EQ(origin.y, 0.0);
    // Up on the screen is up in global space.
    EXPECT_GT(layout.toGlobal(1500, 200).y, layout.toGlobal(1500, 900).y);

    // The other monitor lies left of the primary and reaches above it.
    const Rect& left = layout.frames()[1];
    EXPECT_EQ(left.x, -1024.0);
    EXPECT_EQ(left.maxY(), 1080.0 + 100 - 1 + ScreenLayout::sliver);
    EXPECT_EQ(left.minY(), 1080.0 + 100 - 768);

    // The bottom-left corner pixel is exactly the corner point: corner size 0 hits it.
    EXPECT_EQ(HotCornerMonitor::corner(origin, primary, 0.0), ScreenCorner::bottomLeft);
}

TEST(ScreenLayoutTest, EmptyAndDegenerateMonitorLists) {
    EXPECT_TRUE(ScreenLayout().empty());
    EXPECT_TRUE(ScreenLayout(std::vector<Monitor>{}).empty());
    // A monitor without area (an output switched off) is no screen.
    const ScreenLayout layout(std::vector<Monitor>{{0, 0, 0, 768, true}, {0, 0, 640, 480, false}});
    ASSERT_EQ(layout.frames().size(), 1u);
    EXPECT_EQ(layout.toGlobal(0, 479).y, 0.0);
    // Nothing is mistaken for a screen when there is none.
    const ScreenLayout none(std::vector<Monitor>{{10, 10, 0, 0, false}});
    EXPECT_TRUE(none.empty());
}

TEST(ScreenLayoutTest, TwoPrimariesKeepServerOrderAmongThemselves) {
    // Servers mark one primary; should two claim it, the first stays first.
    const ScreenLayout layout(std::vector<Monitor>{
        {0, 0, 100, 100, false}, {100, 0, 200, 100, true}, {300, 0, 300, 100, true}});
    ASSERT_EQ(layout.frames().size(), 3u);
    EXPECT_NEAR(layout.frames()[0].width, 199.0, 0.01);
    EXPECT_NEAR(layout.frames()[1].width, 299.0, 0.01);
    EXPECT_NEAR(layout.frames()[2].width, 99.0, 0.01);
}

} // namespace
} // namespace tarnwick::x11
