#include "platform/x11/Display.h"
#include "platform/x11/X11PointerSource.h"
#include "triggers/HotCornerMonitor.h"

#include "TestClient.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tarnwick::x11 {
namespace {

using namespace std::chrono_literals;
using test::pumpFor;
using test::pumpUntil;

class PointerSourceTest : public ::testing::Test {
protected:
    void SetUp() override { startOn(test::XServer::startXvfb("1280x800x24")); }

    void startOn(std::unique_ptr<test::XServer> server) {
        m_server = std::move(server);
        ASSERT_NE(m_server, nullptr);
        auto opened = Display::open(m_server->display());
        ASSERT_NE(opened.display, nullptr) << opened.error;
        display = std::move(opened.display);
        source = std::make_unique<X11PointerSource>(*display);
        ASSERT_TRUE(source->available()) << source->unavailableReason();
        client = test::TestClient::connect(m_server->display());
        ASSERT_NE(client, nullptr);
        handler = source->addPointerMovedHandler([this] {
            ++runs;
            seen.push_back(source->pointerLocation());
        });
        ASSERT_TRUE(handler.has_value());
    }

    // Processes events until a pause after motion is over and the source
    // listens for motion again.
    void letRest() {
        ASSERT_TRUE(pumpUntil(*display, [&] { return !display->readingHeldUntil(); }));
    }

    // Moves through the client and waits until a handler run has seen it.
    bool moveAndSee(int x, int y) {
        const auto before = runs;
        client->moveTo(x, y);
        client->sync();
        return pumpUntil(*display, [&] { return runs > before; });
    }

    std::unique_ptr<test::XServer> m_server;
    std::unique_ptr<Display> display;
    std::unique_ptr<X11PointerSource> source;
    std::unique_ptr<test::TestClient> client;
    std::optional<PointerSource::HandlerId> handler;
    int runs = 0;
    std::vector<std::optional<Point>> seen;
};

TEST_F(PointerSourceTest, PositionsReachTheHandlerOverAWindowThatSelectsMotion) {
    client->coverScreenWithMotionWindow();
    ASSERT_TRUE(moveAndSee(100, 100));
    ASSERT_TRUE(seen.back().has_value());
    EXPECT_EQ(seen.back()->x, 100.0);
    EXPECT_EQ(seen.back()->y, 699.0); // 800 rows, y up from the bottom row

    // Another client's pointer grab does not hide the motion either.
    ASSERT_TRUE(client->grabPointer());
    ASSERT_TRUE(moveAndSee(640, 400));
    EXPECT_EQ(seen.back()->x, 640.0);
    EXPECT_EQ(seen.back()->y, 399.0);

    const auto frames = source->screenFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].x, 0.0);
    EXPECT_EQ(frames[0].y, 0.0);
}

TEST_F(PointerSourceTest, TheFourCornerPixelsFireTheirCornersOnce) {
    HotCornerMonitor monitor(*source);
    std::vector<ScreenCorner> fired;
    monitor.onCorner = [&](ScreenCorner c) { fired.push_back(c); };
    monitor.sensitivity = 2;
    monitor.start();

    const struct {
        int x, y;
        ScreenCorner corner;
    } corners[] = {{0, 0, ScreenCorner::topLeft},
                   {1279, 0, ScreenCorner::topRight},
                   {0, 799, ScreenCorner::bottomLeft},
                   {1279, 799, ScreenCorner::bottomRight}};
    for (const auto& c : corners) {
        ASSERT_TRUE(moveAndSee(640, 400));
        ASSERT_TRUE(moveAndSee(c.x, c.y));
        // Staying in the corner fires nothing more.
        ASSERT_TRUE(moveAndSee(c.x == 0 ? 1 : c.x - 1, c.y));
    }
    EXPECT_EQ(fired,
              (std::vector<ScreenCorner>{ScreenCorner::topLeft, ScreenCorner::topRight,
                                         ScreenCorner::bottomLeft, ScreenCorner::bottomRight}));
}

TEST_F(PointerSourceTest, DragsRunNoHandler) {
    ASSERT_TRUE(moveAndSee(300, 300));
    client->button(1, true);
    client->moveTo(310, 310);
    client->moveTo(320, 320);
    client->sync();
    const auto runsBefore = runs;
    pumpUntil(*display, [&] { return source->stats().dragsSkipped > 0; });
    EXPECT_EQ(runs, runsBefore);
    EXPECT_GT(source->stats().dragsSkipped, 0u);

    client->button(1, false);
    ASSERT_TRUE(moveAndSee(330, 330));
    EXPECT_EQ(seen.back()->x, 330.0);
}

TEST_F(PointerSourceTest, OneQueryAndOneRunPerBatch) {
    ASSERT_TRUE(moveAndSee(10, 10));
    letRest();
    const auto before = source->stats();
    const auto runsBefore = runs;
    for (int i = 0; i < 50; ++i) {
        client->moveTo(200 + i, 300);
    }
    client->sync();
    // Every event has reached our socket before the one drain.
    std::this_thread::sleep_for(100ms);
    display->processEvents();
    const auto after = source->stats();
    EXPECT_EQ(after.rawMotionEvents - before.rawMotionEvents, 50u);
    EXPECT_EQ(after.pointerQueries - before.pointerQueries, 1u);
    EXPECT_EQ(runs - runsBefore, 1);
    EXPECT_EQ(seen.back()->x, 249.0);
}

TEST_F(PointerSourceTest, MotionDuringAPauseCostsOneQueryAndEndsWhereThePointerDid) {
    ASSERT_TRUE(moveAndSee(600, 400));
    ASSERT_TRUE(display->readingHeldUntil().has_value());
    // The server has stopped sending motion before the client moves.
    display->sync();
    const auto before = source->stats();
    const auto runsBefore = runs;
    for (int i = 0; i < 200; ++i) {
        client->moveTo(600 + i, 400);
    }
    client->sync();
    letRest();
    const auto after = source->stats();
    // Nothing was sent while the pause lasted; its end found the pointer moved.
    EXPECT_EQ(after.rawMotionEvents, before.rawMotionEvents);
    EXPECT_EQ(runs - runsBefore, 1);
    EXPECT_EQ(seen.back()->x, 799.0);
    // One query ends the pause, two more confirm the rest around listening again.
    EXPECT_LE(after.pointerQueries - before.pointerQueries, 3u);
    EXPECT_FALSE(display->readingHeldUntil().has_value());

    // Listening again: the next move is seen at once.
    ASSERT_TRUE(moveAndSee(900, 400));
    EXPECT_GT(source->stats().rawMotionEvents, after.rawMotionEvents);
}

TEST_F(PointerSourceTest, WarpsFireNothing) {
    ASSERT_TRUE(moveAndSee(500, 500));
    letRest();
    const auto before = source->stats();
    ASSERT_EQ(m_server->run("xdotool mousemove 0 0"), 0);
    pumpFor(*display, 200ms);
    EXPECT_EQ(source->stats().rawMotionEvents, before.rawMotionEvents);
    EXPECT_EQ(source->stats().handlerRuns, before.handlerRuns);
}

TEST_F(PointerSourceTest, RemovedHandlersStopAndScreensAreNotQueriedPerEvent) {
    ASSERT_TRUE(moveAndSee(50, 50));
    const auto refreshes = source->stats().screenRefreshes;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(moveAndSee(60 + i, 50));
    }
    EXPECT_EQ(source->stats().screenRefreshes, refreshes);

    source->removePointerMovedHandler(*handler);
    source->removePointerMovedHandler(*handler); // twice is harmless
    const auto runsBefore = runs;
    client->moveTo(70, 70);
    client->sync();
    pumpFor(*display, 100ms);
    EXPECT_EQ(runs, runsBefore);
}

class NestedServerTest : public PointerSourceTest {
protected:
    void SetUp() override {
        m_host = test::XServer::startXvfb("1280x1024x24");
        ASSERT_NE(m_host, nullptr);
    }
    std::unique_ptr<test::XServer> m_host;
};

TEST_F(NestedServerTest, AResizeIsPickedUpWithoutARestart) {
    startOn(test::XServer::startXephyr(*m_host, {"-screen", "1024x768", "-resizeable"}));
    ASSERT_NEAR(source->screenFrames()[0].width, 1024.0, 1.0);

    ASSERT_TRUE(moveAndSee(100, 100));
    letRest();
    EXPECT_EQ(source->pointerLocation()->y, 667.0);

    ASSERT_EQ(m_server->run("xrandr -s 800x600 2>/dev/null"), 0);
    ASSERT_TRUE(pumpUntil(*display,
                          [&] { return std::abs(source->screenFrames()[0].width - 800.0) < 1.0; }));
    EXPECT_NEAR(source->screenFrames()[0].height, 600.0, 1.0);
    // The same pixel, measured from the new bottom row.
    EXPECT_EQ(source->pointerLocation()->y, 499.0);

    // The new top-right corner pixel is inside the new frame and hits.
    ASSERT_TRUE(moveAndSee(799, 0));
    ASSERT_TRUE(seen.back().has_value());
    EXPECT_TRUE(source->screenFrames()[0].contains(*seen.back()));
    EXPECT_EQ(HotCornerMonitor::corner(*seen.back(), source->screenFrames()[0], 2.0),
              ScreenCorner::topRight);
}

TEST_F(NestedServerTest, XineramaHeadsAreScreensWhenRandrSeesFewer) {
    startOn(test::XServer::startXephyr(*m_host,
                                       {"-screen", "640x480", "-screen", "400x300", "+xinerama"}));
    const auto frames = source->screenFrames();
    ASSERT_EQ(frames.size(), 2u);
    // Root rows 0..479; the first head's bottom row is the origin.
    EXPECT_EQ(frames[1].x, 640.0);
    EXPECT_EQ(frames[1].minY(), 480.0 - 300.0);

    HotCornerMonitor monitor(*source);
    std::vector<ScreenCorner> fired;
    monitor.onCorner = [&](ScreenCorner c) { fired.push_back(c); };
    monitor.sensitivity = 2;
    monitor.start();
    // Xephyr keeps XTest motion on the head the pointer is on: warp across
    // (which fires nothing), then move there.
    ASSERT_EQ(m_server->run("xdotool mousemove 800 150"), 0);
    ASSERT_TRUE(moveAndSee(800, 140));
    EXPECT_EQ(seen.back()->x, 800.0);
    EXPECT_TRUE(fired.empty());
    // The second head's bottom-left pixel: tested against the second head.
    ASSERT_TRUE(moveAndSee(640, 299));
    EXPECT_EQ(seen.back()->x, 640.0);
    EXPECT_EQ(fired, std::vector<ScreenCorner>{ScreenCorner::bottomLeft});
}

} // namespace
} // namespace tarnwick::x11
