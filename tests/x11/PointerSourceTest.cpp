#include "Pump.h"

#include "triggers/HotCornerMonitor.h"

#include <atomic>
#include <cmath>

namespace tarnwick::x11 {
namespace {

using namespace test;

class PointerSourceTest : public XSession {
protected:
    void connected() override {
        source = std::make_unique<X11PointerSource>(*display);
        ASSERT_TRUE(source->available()) << source->unavailableReason();
        handler = source->addPointerMovedHandler([this] {
            seen.push_back(source->pointerLocation().value_or(Point{NAN, NAN}));
        });
    }
    void watchNested(const std::vector<std::string>& xephyrArgs) {
        source.reset();
        host = std::move(server);
        ASSERT_NO_FATAL_FAILURE(startOn(XServer::startXephyr(*host, xephyrArgs)));
    }
    // Moves through the other client: where the handler run that follows found the pointer.
    std::pair<double, double> moveAndSee(int x, int y) {
        const auto before = seen.size();
        client->moveTo(x, y);
        client->sync();
        const bool ran = pump([&] { return seen.size() > before; });
        return ran ? std::pair(seen.back().x, seen.back().y) : std::pair(-1.0, -1.0);
    }

    std::unique_ptr<X11PointerSource> source;
    std::optional<PointerSource::HandlerId> handler;
    std::vector<Point> seen;
};

TEST_F(PointerSourceTest, MotionUnderAnyWindowAndGrabRunsHandlersWarpsAndDragsDoNot) {
    client->coverScreenWithMotionWindow();
    ASSERT_EQ(moveAndSee(600, 400), std::pair(600.0, 399.0));
    ASSERT_FALSE(source->listening()) << "away from the corners, a move begins a pause";
    // Made while we do not listen, the move is found when the pause ends.
    ASSERT_EQ(moveAndSee(300, 200), std::pair(300.0, 599.0));
    pumpFor(300ms); // until the pauses have ended
    EXPECT_TRUE(source->listening()) << "at rest";
    const auto runs = seen.size();
    sh("xdotool mousemove 0 0");
    pumpFor(200ms);
    EXPECT_EQ(seen.size(), runs) << "a warp";
    ASSERT_TRUE(client->grabPointer());
    ASSERT_EQ(moveAndSee(1279, 799), std::pair(1279.0, 0.0));
    EXPECT_TRUE(source->listening()) << "within reach of a corner";

    client->button(1, true);
    EXPECT_EQ(moveAndSee(320, 320), std::pair(320.0, 479.0));
    EXPECT_TRUE(source->dragging());
    client->button(1, false);
    pumpFor(300ms);
    EXPECT_EQ(moveAndSee(330, 330), std::pair(330.0, 469.0));
    EXPECT_FALSE(source->dragging());

    source->removePointerMovedHandler(*handler);
    client->moveTo(70, 70);
    pumpFor(200ms);
    EXPECT_EQ(seen.size(), runs + 3);
}

// As the program runs it: the display read on a thread of its own, the
// input made meanwhile, released at once or just after reaching the corner.
TEST_F(PointerSourceTest, DragsEndingInACornerNeverFireIt) {
    source->removePointerMovedHandler(*handler);
    HotCornerMonitor monitor(*source);
    std::atomic<int> fired = 0;
    monitor.onCorner = [&](ScreenCorner) { ++fired; };
    monitor.start();
    std::jthread reader([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            display->processEvents();
            std::this_thread::sleep_for(1ms);
        }
    });
    const auto settle = [&] {
        client->sync();
        std::this_thread::sleep_for(120ms); // past the longest pause
    };
    for (const auto releaseAfter : {0ms, 5ms, 10ms, 20ms}) {
        for (int drag = 0; drag < 10; ++drag) {
            client->moveTo(640, 400);
            settle();
            client->button(1, true);
            for (int step = 1; step <= 10; ++step) {
                client->moveTo(640 + step * 639 / 10, 400 - step * 40);
                client->sync();
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(releaseAfter);
            client->button(1, false);
            settle();
        }
    }
    EXPECT_EQ(fired, 0);
    client->moveTo(640, 400);
    settle();
    client->moveTo(1279, 0);
    settle();
    EXPECT_EQ(fired, 1);
}

TEST_F(PointerSourceTest, RandrMonitorsComePrimaryFirstAndAreFollowed) {
    // The upper right quarter becomes the primary monitor, beside the whole screen's.
    sh("xrandr --setmonitor '*right' 640/0x400/0+640+0 none");
    ASSERT_TRUE(pump([&] { return source->screenFrames().size() == 2; }));
    EXPECT_EQ(moveAndSee(100, 100), std::pair(-540.0, 299.0));
}

TEST_F(PointerSourceTest, AResizeIsFollowedWithoutARestart) {
    ASSERT_NO_FATAL_FAILURE(watchNested({"-screen", "1024x768", "-resizeable"}));
    ASSERT_EQ(moveAndSee(100, 100), std::pair(100.0, 667.0));
    sh("xrandr -s 800x600 2>/dev/null");
    ASSERT_TRUE(pump([&] { return std::round(source->screenFrames()[0].maxX()) == 799; }));
    // The same pixel, measured from the new bottom row.
    EXPECT_EQ(source->pointerLocation()->y, 499.0);
    EXPECT_EQ(moveAndSee(799, 0), std::pair(799.0, 599.0));
}

TEST_F(PointerSourceTest, XineramaHeadsAreScreensWhenRandrSeesFewer) {
    ASSERT_NO_FATAL_FAILURE(watchNested({"-screen", "640x480", "-screen", "400x300", "+xinerama"}));
    ASSERT_EQ(source->screenFrames().size(), 2u);
    // Xephyr keeps XTest motion on the pointer's head: warp across first.
    sh("xdotool mousemove 800 150");
    ASSERT_EQ(moveAndSee(640, 299), std::pair(640.0, 180.0)); // up from the first head's bottom
}

} // namespace
} // namespace tarnwick::x11
