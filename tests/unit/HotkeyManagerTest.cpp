#include "triggers/HotkeyManager.h"

#include "support/FakeHotkeyService.h"
#include "support/RecordingLogSink.h"
#include "support/TestMainQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

using RegisterCall = test::FakeHotkeyService::RegisterCall;

class HotkeyManagerTest : public testing::Test {
protected:
    static HotkeyCombo combo(std::uint32_t keyCode, std::string display = "⌘⌥T") {
        return {keyCode, modifier::command | modifier::option, std::move(display)};
    }

    // Registers an action that appends tag to runs.
    void registerTagged(std::uint32_t keyCode, char tag) {
        manager.registerHotkey(combo(keyCode), [this, tag] { runs += tag; });
    }

    std::vector<std::uint32_t> registeredIds() const {
        std::vector<std::uint32_t> ids;
        for (const RegisterCall& call : service.registerCalls) {
            ids.push_back(call.id);
        }
        return ids;
    }

    test::FakeHotkeyService service;
    test::TestMainQueue queue;
    test::RecordingLogSink log;
    HotkeyManager manager{service, queue, log};
    std::string runs;
};

TEST_F(HotkeyManagerTest, RegistrationsInstallTheHandlerOnceAndNumberFromOne) {
    manager.registerHotkey({17, modifier::command, "⌘T"}, [] {});
    manager.registerHotkey({3, modifier::shift | modifier::control, "⌃⇧F"}, [] {});
    EXPECT_EQ(service.installCalls, 1);
    EXPECT_EQ(service.registerCalls,
              (std::vector<RegisterCall>{{17, modifier::command, 1},
                                         {3, modifier::shift | modifier::control, 2}}));
    EXPECT_EQ(manager.registeredCount(), 2U);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(HotkeyManagerTest, RefusalIsLoggedOnceAndUsesUpItsId) {
    service.refuseKeyCode[2] = 10;
    registerTagged(1, 'a');
    manager.registerHotkey(combo(2, "⌃B"), [this] { runs += 'b'; });
    registerTagged(3, 'c');
    EXPECT_EQ(log.lines,
              std::vector<std::string>{"Tarnwick: hotkey register failed for ⌃B (status 10)"});
    EXPECT_EQ(registeredIds(), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(manager.registeredCount(), 2U);
    service.press(2);
    EXPECT_EQ(queue.drain(), 0U);
}

TEST_F(HotkeyManagerTest, LogLinesCarrySignedStatusAndLiteralDisplay) {
    service.refuseKeyCode[5] = -3;
    service.noHandleKeyCodes.insert(6);
    service.refuseKeyCode[7] = 2;
    service.handleEvenWhenRefused = true;
    manager.registerHotkey(combo(5, "100% \"sure\" %s ⌘⌥T"), [] {});
    manager.registerHotkey(combo(6, "F6"), [] {});
    manager.registerHotkey(combo(7, "F7"), [] {});
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{
                  "Tarnwick: hotkey register failed for 100% \"sure\" %s ⌘⌥T (status -3)",
                  "Tarnwick: hotkey register failed for F6 (status 0)",
                  "Tarnwick: hotkey register failed for F7 (status 2)"}));
    EXPECT_EQ(manager.registeredCount(), 0U);

    // Nothing to release, yet ids restart.
    manager.clearAll();
    EXPECT_TRUE(service.unregistered.empty());
    registerTagged(8, 'a');
    EXPECT_EQ(service.registerCalls.back().id, 1U);
}

TEST_F(HotkeyManagerTest, ClearAllUnregistersInOrderAndRestartsIds) {
    service.refuseKeyCode[2] = 10;
    registerTagged(1, 'a');
    registerTagged(2, 'b');
    registerTagged(3, 'c');
    manager.clearAll();
    manager.clearAll();
    EXPECT_EQ(service.unregistered, service.issued);
    EXPECT_EQ(manager.registeredCount(), 0U);

    registerTagged(4, 'd');
    EXPECT_EQ(service.registerCalls.back(), (RegisterCall{4, combo(4).modifiers, 1}));
    EXPECT_EQ(service.installCalls, 1);
    service.press(3);
    service.press(1);
    queue.drain();
    EXPECT_EQ(runs, "d");
}

TEST_F(HotkeyManagerTest, PressRunsTheActionLaterOnTheMainQueue) {
    registerTagged(1, 'a');
    ASSERT_TRUE(service.press(1));
    EXPECT_EQ(runs, "");
    // What was found at the press runs even if the registration is gone by then.
    manager.clearAll();
    EXPECT_EQ(queue.drain(), 1U);
    EXPECT_EQ(runs, "a");
    EXPECT_EQ(queue.drain(), 0U);
}

TEST_F(HotkeyManagerTest, PressesQueueInOrderAndUnknownIdsRunNothing) {
    registerTagged(1, 'a');
    registerTagged(2, 'b');
    manager.registerHotkey(combo(3), nullptr);
    for (const std::uint32_t id : {1U, 2U, 1U, 0U, 3U, 99U}) {
        service.press(id);
    }
    EXPECT_EQ(queue.pending(), 3U);
    queue.drain();
    EXPECT_EQ(runs, "aba");
}

TEST_F(HotkeyManagerTest, IdsWrapPastZeroAndSkipHeldIds) {
    registerTagged(1, 'a');
    registerTagged(2, 'b');
    manager.setNextIdForTesting(0xFFFFFFFF);
    registerTagged(3, 'c');
    registerTagged(4, 'd');
    EXPECT_EQ(registeredIds(), (std::vector<std::uint32_t>{1, 2, 0xFFFFFFFF, 3}));
    service.press(0xFFFFFFFF);
    service.press(3);
    queue.drain();
    EXPECT_EQ(runs, "cd");

    manager.clearAll();
    manager.setNextIdForTesting(0xFFFFFFFF);
    registerTagged(5, 'e');
    registerTagged(6, 'f');
    EXPECT_EQ(service.registerCalls.back().id, 1U);
}

} // namespace
} // namespace tarnwick

namespace tarnwick {
namespace {

TEST(HotkeyManagerLifetime, DestructionReleasesGrabsAndDetachesFromPresses) {
    test::FakeHotkeyService service;
    test::TestMainQueue queue;
    test::RecordingLogSink log;
    {
        HotkeyManager manager(service, queue, log);
        manager.registerHotkey({17, modifier::command, "T"}, [] {});
        manager.registerHotkey({18, modifier::command, "U"}, [] {});
    }
    EXPECT_EQ(service.unregistered, service.issued);
    // A late press from the platform reaches no dangling manager.
    EXPECT_FALSE(service.press(1));
    EXPECT_EQ(queue.pending(), 0U);
}

} // namespace
} // namespace tarnwick
