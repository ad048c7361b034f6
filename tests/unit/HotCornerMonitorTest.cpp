#include "triggers/HotCornerMonitor.h"

#include "support/FakePointerSource.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <ostream>
#include <utility>
#include <vector>

namespace tarnwick {
// Readable failure messages.
inline void PrintTo(ScreenCorner corner, std::ostream* os) {
    *os << rawValue(corner);
}
} // namespace tarnwick

namespace tarnwick {
namespace {

using enum ScreenCorner;
using Hit = std::optional<ScreenCorner>;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr Rect screen{0, 0, 1000, 800};

struct HitCase {
    Point p;
    Rect r;
    double t;
    Hit expected;
};

TEST(CornerHitTest, PointsNearAndFarFromCorners) {
    const Rect flipped{1000, 800, -1000, -800};
    const Rect tiny{0, 0, 10, 10};
    const HitCase cases[] = {
        {{2, 798}, screen, 6, topLeft},
        {{998, 799}, screen, 6, topRight},
        {{1, 1}, screen, 6, bottomLeft},
        {{999, 2}, screen, 6, bottomRight},
        {{500, 400}, screen, 6, std::nullopt},
        {{10, 790}, screen, 6, std::nullopt},
        {{6, 794}, screen, 6, topLeft},
        {{7, 794}, screen, 6, std::nullopt},
        {{-3, -3}, screen, 6, bottomLeft},
        {{1004, 806}, screen, 6, topRight},
        {{2, 798}, flipped, 6, topLeft},
        {{999, 2}, flipped, 6, bottomRight},
        // Overlapping squares on a small screen: bottom corners win, left before right.
        {{5, 5}, tiny, 6, bottomLeft},
        {{5, 9}, tiny, 6, topLeft},
        {{9, 5}, tiny, 6, bottomRight},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.p.x << ", " << c.p.y << ")");
        EXPECT_EQ(HotCornerMonitor::corner(c.p, c.r, c.t), c.expected);
    }
}

TEST(CornerHitTest, DegenerateThresholdsAndCoordinates) {
    const HitCase cases[] = {
        {{0, 0}, screen, nan, std::nullopt},   {{nan, 0}, screen, 6, std::nullopt},
        {{0, nan}, screen, 1e9, std::nullopt}, {{0, 0}, screen, -1, std::nullopt},
        {{0, 0}, screen, 0, bottomLeft},       {{1000, 800}, screen, 0, topRight},
        {{0.001, 0}, screen, 0, std::nullopt},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.p.x << ", " << c.p.y << ") t=" << c.t);
        EXPECT_EQ(HotCornerMonitor::corner(c.p, c.r, c.t), c.expected);
    }
}

class HotCornerMonitorTest : public testing::Test {
protected:
    HotCornerMonitorTest() {
        source.screens = {screen};
        monitor.onCorner = [this](ScreenCorner c) { calls.push_back(c); };
        monitor.start();
    }

    void moveThrough(std::initializer_list<Point> points) {
        for (const Point p : points) {
            source.moveTo(p);
        }
    }

    static constexpr Point inTopLeft{2, 798};
    static constexpr Point inTopRight{998, 799};
    static constexpr Point middle{500, 400};

    test::FakePointerSource source;
    HotCornerMonitor monitor{source};
    std::vector<ScreenCorner> calls;
};

TEST_F(HotCornerMonitorTest, FiresOncePerEntry) {
    moveThrough({inTopLeft, {3, 797}, {0, 799}});
    EXPECT_EQ(calls, std::vector{topLeft});

    moveThrough({middle, inTopLeft});
    EXPECT_EQ(calls, (std::vector{topLeft, topLeft}));
}

TEST_F(HotCornerMonitorTest, JumpingToAnotherCornerRearmsTheFirst) {
    moveThrough({inTopLeft, inTopRight});
    EXPECT_EQ(calls, (std::vector{topLeft, topRight}));
    source.moveTo(inTopLeft);
    EXPECT_EQ(calls, (std::vector{topLeft, topRight, topLeft}));
}

TEST_F(HotCornerMonitorTest, CornerIsDisarmedBeforeTheCallbackRuns) {
    // A callback that causes another pointer event must not fire again.
    monitor.onCorner = [this](ScreenCorner c) {
        calls.push_back(c);
        if (calls.size() == 1) {
            source.notify();
        }
    };
    source.moveTo(inTopLeft);
    EXPECT_EQ(calls, std::vector{topLeft});
}

TEST_F(HotCornerMonitorTest, DisabledMonitorLeavesArmingAlone) {
    monitor.enabled = false;
    source.moveTo(inTopLeft);
    monitor.enabled = true;
    source.moveTo({3, 797});
    EXPECT_EQ(calls, std::vector{topLeft});

    // Leaving and returning while off is not seen: still disarmed.
    monitor.enabled = false;
    moveThrough({middle, inTopLeft});
    monitor.enabled = true;
    source.moveTo({3, 797});
    EXPECT_EQ(calls, std::vector{topLeft});
    moveThrough({middle, inTopLeft});
    EXPECT_EQ(calls, (std::vector{topLeft, topLeft}));
}

TEST_F(HotCornerMonitorTest, EntryWithoutCallbackStillDisarms) {
    auto callback = std::move(monitor.onCorner);
    monitor.onCorner = nullptr;
    source.moveTo(inTopLeft);
    monitor.onCorner = std::move(callback);
    source.moveTo({3, 797});
    EXPECT_TRUE(calls.empty());
    moveThrough({middle, inTopLeft});
    EXPECT_EQ(calls, std::vector{topLeft});
}

TEST_F(HotCornerMonitorTest, UsesTheCurrentSensitivity) {
    source.moveTo({15, 785});
    monitor.sensitivity = 20;
    source.moveTo({15, 785});
    EXPECT_EQ(calls, std::vector{topLeft});
}

TEST_F(HotCornerMonitorTest, PointerOffEveryScreenChangesNothing) {
    source.moveTo(inTopLeft);
    // Max edges belong to no screen here; were they treated as "no corner",
    // topLeft would be re-armed and fire again below.
    moveThrough({{1000, 400}, {500, 800}, {1000, 800}, {-3, -3}});
    source.position.reset();
    source.notify();
    source.screens.clear();
    source.moveTo(middle);
    source.screens = {screen};
    source.moveTo(inTopLeft);
    EXPECT_EQ(calls, std::vector{topLeft});
}

TEST_F(HotCornerMonitorTest, CornersAreOfTheFirstScreenHoldingThePointer) {
    source.screens = {screen, {1000, 0, 1280, 1024}};
    source.moveTo({1002, 2});
    // The shared edge belongs to the right screen, where it is no corner.
    source.moveTo({1000, 799});
    source.moveTo({999, 2});
    EXPECT_EQ(calls, (std::vector{bottomLeft, bottomRight}));

    calls.clear();
    source.screens = {screen, {0, 0, 500, 400}};
    source.moveTo({498, 2});
    EXPECT_TRUE(calls.empty());
}

TEST_F(HotCornerMonitorTest, HandlerLifetime) {
    monitor.start();
    EXPECT_EQ(source.liveHandlers(), 1U);
    source.moveTo(inTopLeft);
    EXPECT_EQ(calls.size(), 1U);

    monitor.stop();
    EXPECT_EQ(source.liveHandlers(), 0U);
    moveThrough({middle, inTopLeft});
    EXPECT_EQ(calls.size(), 1U);
    monitor.stop();

    {
        HotCornerMonitor other{source};
        other.start();
        EXPECT_EQ(source.liveHandlers(), 1U);
    }
    EXPECT_EQ(source.liveHandlers(), 0U);
    source.moveTo(middle);
}

TEST_F(HotCornerMonitorTest, DeclinedHandlerIsHarmless) {
    monitor.stop();
    const std::size_t removesBefore = source.removeCalls;
    source.declineHandlers = true;
    monitor.start();
    source.moveTo(inTopLeft);
    monitor.stop();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(source.removeCalls, removesBefore);
}

} // namespace
} // namespace tarnwick
