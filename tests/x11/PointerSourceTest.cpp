#include "Pump.h"

#include <cmath>

namespace tarnwick::x11 {
namespace {

using namespace test;

class PointerSourceTest : public XSession {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(serve(XServer::startXvfb("1280x800x24"))); }
    // Our source on the server started, its one handler noting where it found the pointer.
    void serve(std::unique_ptr<XServer> started) {
        ASSERT_NO_FATAL_FAILURE(startOn(std::move(started)));
        source = std::make_unique<X11PointerSource>(*display);
        ASSERT_TRUE(source->available()) << source->unavailableReason();
        handler = source->addPointerMovedHandler([this] {
            seen.push_back(source->pointerLocation().value_or(Point{NAN, NAN}));
        });
    }
    // Xephyr inside our Xvfb, served instead of it.
    void serveNested(const std::vector<std::string>& xephyrArgs) {
        source.reset();
        host = std::move(server);
        ASSERT_NO_FATAL_FAILURE(serve(XServer::startXephyr(*host, xephyrArgs)));
    }
    // Moves through the other client: where the handler run that follows found the pointer.
    std::pair<double, double> moveAndSee(int x, int y) {
        const auto before = seen.size();
        client->moveTo(x, y);
        client->sync();
        const bool ran = pumpUntil(*display, [&] { return seen.size() > before; });
        return ran ? std::pair(seen.back().x, seen.back().y) : std::pair<double, double>(NAN, NAN);
    }
    // Until the pause after motion has ended and the source listens again.
    void letRest() {
        ASSERT_TRUE(pumpUntil(*display, [&] {
            const bool held = display->readingHeldUntil().has_value();
            display->processEvents();
            return !held && !display->readingHeldUntil();
        }));
    }
    Rect frame(std::size_t i) { return source->screenFrames()[i]; }

    std::unique_ptr<X11PointerSource> source;
    std::optional<PointerSource::HandlerId> handler;
    std::vector<Point> seen;
};

TEST_F(PointerSourceTest, MotionIsSeenOverAWindowThatSelectsItAndThroughAGrab) {
    ASSERT_EQ(source->screenFrames().size(), 1u);
    client->coverScreenWithMotionWindow();
    // Corner pixels {x, y, global y}: y counts up from the bottom row, x stays.
    const int corners[][3] = {{0, 0, 799}, {1279, 0, 799}, {0, 799, 0}, {1279, 799, 0}};
    for (const bool grabbed : {false, true}) {
        ASSERT_TRUE(!grabbed || client->grabPointer());
        for (const auto& c : corners) {
            SCOPED_TRACE(testing::Message() << c[0] << "," << c[1] << " grabbed " << grabbed);
            ASSERT_EQ(moveAndSee(c[0], c[1]), (std::pair<double, double>(c[0], c[2])));
            EXPECT_TRUE(frame(0).contains(seen.back()));
        }
    }
}

TEST_F(PointerSourceTest, PausesEndWhereThePointerWentWarpsDragsAndRemovedHandlersRunNothing) {
    ASSERT_EQ(moveAndSee(600, 400), std::pair(600.0, 399.0));
    ASSERT_TRUE(display->readingHeldUntil().has_value());
    // Made while we do not listen, the move is found when the pause ends.
    ASSERT_EQ(moveAndSee(800, 400), std::pair(800.0, 399.0));
    letRest();
    const auto runs = seen.size();
    sh("xdotool mousemove 0 0");
    pumpFor(*display, 200ms);
    EXPECT_EQ(seen.size(), runs) << "a warp";

    client->button(1, true);
    client->moveTo(320, 320);
    pumpUntil(*display, [&] { return source->stats().dragsSkipped > 0 || seen.size() > runs; });
    EXPECT_EQ(seen.size(), runs) << "a drag";
    client->button(1, false);
    EXPECT_EQ(moveAndSee(330, 330), std::pair(330.0, 469.0));

    source->removePointerMovedHandler(*handler);
    client->moveTo(70, 70);
    pumpFor(*display, 200ms);
    EXPECT_EQ(seen.size(), runs + 1);
}

TEST_F(PointerSourceTest, RandrMonitorsComePrimaryFirstAndAreFollowed) {
    // The upper right quarter becomes the primary monitor, beside the whole screen's.
    sh("xrandr --setmonitor '*right' 640/0x400/0+640+0 none");
    ASSERT_TRUE(pumpUntil(*display, [&] { return source->screenFrames().size() == 2; }));
    EXPECT_EQ(std::tuple(frame(0).x, frame(0).y, std::round(frame(0).maxY())),
              std::tuple(0.0, 0.0, 399.0));
    EXPECT_EQ(std::pair(frame(1).x, frame(1).y), std::pair(-640.0, -400.0));
    EXPECT_EQ(moveAndSee(100, 100), std::pair(-540.0, 299.0));
}

TEST_F(PointerSourceTest, AResizeIsFollowedWithoutARestart) {
    ASSERT_NO_FATAL_FAILURE(serveNested({"-screen", "1024x768", "-resizeable"}));
    ASSERT_EQ(moveAndSee(100, 100), std::pair(100.0, 667.0));
    sh("xrandr -s 800x600 2>/dev/null");
    ASSERT_TRUE(pumpUntil(*display, [&] { return std::round(frame(0).maxX()) == 799; }));
    // The same pixel, measured from the new bottom row.
    EXPECT_EQ(source->pointerLocation()->y, 499.0);
    EXPECT_EQ(moveAndSee(799, 0), std::pair(799.0, 599.0));
    EXPECT_TRUE(frame(0).contains(seen.back()));
}

TEST_F(PointerSourceTest, XineramaHeadsAreScreensWhenRandrSeesFewer) {
    ASSERT_NO_FATAL_FAILURE(serveNested({"-screen", "640x480", "-screen", "400x300", "+xinerama"}));
    ASSERT_EQ(source->screenFrames().size(), 2u);
    // Root rows 0..479; the first head's bottom row is the origin.
    EXPECT_EQ(std::pair(frame(1).x, frame(1).y), std::pair(640.0, 480.0 - 300.0));
    // Xephyr keeps XTest motion on the pointer's head: warp across first.
    sh("xdotool mousemove 800 150");
    ASSERT_EQ(moveAndSee(640, 299), std::pair(640.0, 180.0));
    EXPECT_TRUE(frame(1).contains(seen.back()));
}

} // namespace
} // namespace tarnwick::x11
