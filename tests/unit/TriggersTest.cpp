#include "triggers/HotCornerMonitor.h"
#include "triggers/HotkeyManager.h"

#include "support/FakeHotkeyService.h"
#include "support/FakePointerSource.h"
#include "support/RecordingLogSink.h"
#include "support/TestMainQueue.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <tuple>

namespace tarnwick {
namespace {
using enum ScreenCorner;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr Rect screen{0, 0, 1000, 800};

// Squares of side 2t around the corner points, bounds included; bottom before
// top and left before right where they overlap; NaN and negative t never hit.
TEST(CornerHitTest, PointsNearAndFarFromCorners) {
    const Rect flipped{1000, 800, -1000, -800};
    const Rect tiny{0, 0, 10, 10};
    const std::tuple<Point, Rect, double, std::optional<ScreenCorner>> cases[] = {
        {{6, 794}, screen, 6, topLeft},      {{7, 794}, screen, 6, std::nullopt},
        {{6, 793}, screen, 6, std::nullopt}, {{-6, -6}, screen, 6, bottomLeft},
        {{1006, 806}, screen, 6, topRight},  {{-7, 0}, screen, 6, std::nullopt},
        {{1, 400}, screen, 6, std::nullopt}, {{500, 1}, screen, 6, std::nullopt},
        {{2, 798}, flipped, 6, topLeft},     {{999, 2}, flipped, 6, bottomRight},
        {{5, 5}, tiny, 6, bottomLeft},       {{5, 9}, tiny, 6, topLeft},
        {{9, 5}, tiny, 6, bottomRight},      {{0, 0}, screen, 0, bottomLeft},
        {{1000, 800}, screen, 0, topRight},  {{0.001, 0}, screen, 0, std::nullopt},
        {{0, 0}, screen, -1, std::nullopt},  {{0, 0}, screen, nan, std::nullopt},
        {{nan, 0}, screen, 6, std::nullopt}, {{0, nan}, screen, 1e9, std::nullopt}};
    for (const auto& [p, r, t, expected] : cases) {
        SCOPED_TRACE(testing::Message() << "(" << p.x << ", " << p.y << ") t=" << t);
        EXPECT_EQ(HotCornerMonitor::corner(p, r, t), expected);
    }
}

class HotCornerMonitorTest : public testing::Test {
protected:
    HotCornerMonitorTest() {
        source.screens = {screen};
        monitor.onCorner = record;
        monitor.start();
    }
    void moveThrough(std::initializer_list<Point> points) {
        for (const Point p : points) {
            source.moveTo(p);
        }
    }

    test::FakePointerSource source;
    HotCornerMonitor monitor{source};
    std::vector<ScreenCorner> calls;
    std::function<void(ScreenCorner)> record = [this](ScreenCorner c) { calls.push_back(c); };
};

TEST_F(HotCornerMonitorTest, FiresOncePerEntryAndRearmsOnlyWhenSeenOutside) {
    moveThrough({{2, 798}, {3, 797}, {0, 799}, {500, 400}, {2, 798}});
    moveThrough({{998, 799}, {2, 798}, {500, 400}, {15, 785}});
    monitor.sensitivity = 20; // the sensitivity of the moment counts
    source.moveTo({15, 785});
    // While disabled, leaving does not rearm and entering does not disarm.
    monitor.enabled = false;
    moveThrough({{500, 400}, {2, 798}});
    monitor.enabled = true;
    source.moveTo({3, 797});
    monitor.enabled = false;
    source.moveTo({998, 799});
    monitor.enabled = true;
    source.moveTo({997, 798});
    // Dragged out of a corner: not re-armed. Dragged into one: spent, no call.
    source.buttonHeld = true;
    source.moveTo({500, 400});
    source.buttonHeld = false;
    source.moveTo({996, 797});
    source.buttonHeld = true;
    moveThrough({{500, 400}, {2, 798}});
    source.buttonHeld = false;
    moveThrough({{3, 797}, {500, 400}});
    // Max edges lie on no screen, nor does an unknown position: arming stays.
    moveThrough({{2, 798}, {1000, 400}, {500, 800}, {-3, -3}, {2, 798}});
    source.position.reset();
    source.notify();
    moveThrough({{2, 798}, {0, 400}, {2, 798}, {500, 0}, {2, 798}});
    // The shared edge belongs to the right-hand screen, where it is no corner.
    source.screens = {screen, {1000, 0, 1280, 1024}};
    moveThrough({{1002, 2}, {1000, 799}, {999, 2}});
    source.screens = {screen, {0, 0, 500, 400}};
    source.moveTo({498, 398});
    EXPECT_EQ(calls, (std::vector{topLeft, topLeft, topRight, topLeft, topLeft, topRight, topLeft,
                                  topLeft, topLeft, bottomLeft, bottomRight}));
}

TEST_F(HotCornerMonitorTest, SpentBeforeTheCallbackRunsOrWithoutOneAndOneHandlerWhileStarted) {
    // A callback that causes another pointer event must not fire again.
    monitor.onCorner = [this](ScreenCorner c) {
        calls.push_back(c);
        if (calls.size() == 1) {
            source.notify();
        }
    };
    source.moveTo({2, 798});
    monitor.onCorner = nullptr;
    moveThrough({{500, 400}, {998, 799}});
    monitor.onCorner = record;
    source.moveTo({997, 798});
    // Started again it has still one handler, stopped or gone none.
    monitor.start();
    EXPECT_EQ(source.liveHandlers(), 1u);
    monitor.stop();
    source.moveTo({2, 798});
    EXPECT_EQ(calls, std::vector{topLeft});
    HotCornerMonitor{source}.start();
    EXPECT_EQ(source.liveHandlers(), 0u);
}

class HotkeyManagerTest : public testing::Test {
protected:
    // Registers keyCode with Control-Command; a press appends tag to runs.
    void add(std::uint32_t keyCode, char tag, std::string display = "⌃⌘T") {
        manager->registerHotkey(
            {keyCode, modifier::control | modifier::command, std::move(display)},
            [this, tag] { runs += tag; });
    }
    void press(std::initializer_list<std::uint32_t> ids) {
        for (const std::uint32_t id : ids) {
            EXPECT_EQ(service.press(id), manager.has_value());
        }
    }

    test::FakeHotkeyService service;
    test::TestMainQueue queue;
    test::RecordingLogSink log;
    std::optional<HotkeyManager> manager{std::in_place, service, queue, log};
    std::string runs;
};

TEST_F(HotkeyManagerTest, AttemptsTakeIdsRefusalsAreLoggedPressesQueuedHandlesReleasedOnce) {
    service.heldElsewhere = {{2, 10}, {3, -3}};
    add(1, 'a');
    add(2, 'b', "100% \"sure\" %s ⌘⌥B");
    add(3, 'c', "F3");
    add(4, 'd');
    manager->registerHotkey({5, 0, "x"}, nullptr);
    EXPECT_EQ(service.registerCalls.front(),
              (test::FakeHotkeyService::RegisterCall{1, modifier::control | modifier::command, 1}));
    EXPECT_EQ(service.registerCalls.back().id, 5u);
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{
                  "Tarnwick: hotkey register failed for 100% \"sure\" %s ⌘⌥B (status 10)",
                  "Tarnwick: hotkey register failed for F3 (status -3)"}));
    EXPECT_EQ(manager->registeredCount(), 3u);
    press({4, 1, 2, 3, 0, 5, 99, 4});
    EXPECT_EQ(queue.pending(), 3u);
    // What a press found still runs when the registrations are gone by then.
    manager->clearAll();
    queue.drain();
    EXPECT_EQ(runs, "dad");
    // Each handle is released once; ids start again at 1.
    manager->clearAll();
    EXPECT_EQ(service.unregistered, service.issued);
    add(6, 'e');
    EXPECT_EQ(service.registerCalls.back().id, 1u);
    press({3, 1});
    queue.drain();
    EXPECT_EQ(runs, "dade");
    // Going away releases the rest, and later presses reach no manager.
    add(7, 'f');
    manager.reset();
    EXPECT_EQ(service.unregistered, service.issued);
    EXPECT_EQ(service.issued.size(), 5u);
    press({1, 2});
}

} // namespace
} // namespace tarnwick
