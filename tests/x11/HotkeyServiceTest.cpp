#include "platform/x11/Display.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"

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

constexpr std::uint32_t kT = 17; // virtual key code of T
constexpr std::uint32_t kCommandOption = carbon::command | carbon::option;
constexpr std::uint8_t kSuperL = 133;
constexpr std::uint8_t kAltL = 64;
constexpr std::uint16_t kSuperAlt = 0x40 | 0x08; // Mod4 | Mod1 on this server

class HotkeyServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = test::XServer::startXvfb();
        ASSERT_NE(server, nullptr);
        auto opened = Display::open(server->display());
        ASSERT_NE(opened.display, nullptr) << opened.error;
        display = std::move(opened.display);
        keys = std::make_unique<KeyTranslator>(*display);
        service = std::make_unique<X11HotkeyService>(*display, *keys);
        ASSERT_TRUE(service->available()) << service->unavailableReason();
        service->installPressHandler([this](std::uint32_t id) { pressed.push_back(id); });
        client = test::TestClient::connect(server->display());
        ASSERT_NE(client, nullptr);
    }

    // Runs xdotool and processes events until n presses in all were seen, or
    // for a while when none more are expected.
    void xdotool(const std::string& args) { ASSERT_EQ(server->run("xdotool " + args), 0); }
    bool waitForPresses(std::size_t n) {
        return pumpUntil(*display, [&] { return pressed.size() >= n; });
    }
    void settle() { pumpFor(*display, 150ms); }

    std::unique_ptr<test::XServer> server;
    std::unique_ptr<Display> display;
    std::unique_ptr<KeyTranslator> keys;
    std::unique_ptr<X11HotkeyService> service;
    std::unique_ptr<test::TestClient> client;
    std::vector<std::uint32_t> pressed;
};

TEST_F(HotkeyServiceTest, FiresOncePerPressWhateverLocksAreLit) {
    const auto registration = service->registerHotkey(kT, kCommandOption, 7);
    ASSERT_EQ(registration.status, 0);
    ASSERT_TRUE(registration.handle.has_value());

    xdotool("key super+alt+t");
    ASSERT_TRUE(waitForPresses(1));
    settle();
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{7});

    xdotool("key Num_Lock key super+alt+t");
    ASSERT_TRUE(waitForPresses(2));
    xdotool("key Num_Lock key Caps_Lock key super+alt+t");
    ASSERT_TRUE(waitForPresses(3));
    xdotool("key Num_Lock key super+alt+t key Num_Lock key Caps_Lock");
    ASSERT_TRUE(waitForPresses(4));
    settle();
    EXPECT_EQ(pressed.size(), 4u);

    // Other modifiers are another combination.
    xdotool("key super+alt+shift+t key super+t key alt+t key t");
    settle();
    EXPECT_EQ(pressed.size(), 4u);
}

TEST_F(HotkeyServiceTest, AHeldKeyFiresOnce) {
    ASSERT_EQ(service->registerHotkey(kT, kCommandOption, 1).status, 0);
    xdotool("keydown super+alt+t");
    ASSERT_TRUE(waitForPresses(1));
    std::this_thread::sleep_for(1s);
    xdotool("keyup t keyup alt keyup super");
    settle();
    EXPECT_EQ(pressed.size(), 1u);
    // The release ended the hold: the next press fires again.
    xdotool("key super+alt+t");
    ASSERT_TRUE(waitForPresses(2));
}

TEST_F(HotkeyServiceTest, ModifierReleasesDuringAHoldDoNotEndIt) {
    ASSERT_EQ(service->registerHotkey(kT, kCommandOption, 1).status, 0);
    xdotool("keydown super+alt+t");
    ASSERT_TRUE(waitForPresses(1));
    // The grab also delivers other keys' releases: only T's own ends the hold.
    xdotool("keydown shift keyup shift");
    pumpFor(*display, 1s);
    xdotool("keyup t keyup alt keyup super");
    settle();
    EXPECT_EQ(pressed.size(), 1u);
    EXPECT_GT(service->stats().repeatsIgnored, 0u);
}

TEST_F(HotkeyServiceTest, DestroyingTheServiceReleasesItsGrabs) {
    ASSERT_EQ(service->registerHotkey(kT, kCommandOption, 1).status, 0);
    const std::uint8_t t = *keys->keycodeFor(kT);
    const std::uint16_t locks = keys->modifiers().numLock | keys->modifiers().capsLock;
    service.reset();
    display->sync();
    EXPECT_EQ(client->grabKey(t, kSuperAlt), 0);
    EXPECT_EQ(client->grabKey(t, kSuperAlt | locks), 0);
}

TEST_F(HotkeyServiceTest, ACombinationHeldByAnotherClientIsRefusedWithoutHalfMadeGrabs) {
    const std::uint8_t t = *keys->keycodeFor(kT);
    const std::uint16_t capsLock = keys->modifiers().capsLock;
    // The other client holds only the Caps Lock variant.
    ASSERT_EQ(client->grabKey(t, kSuperAlt | capsLock), 0);

    const auto refused = service->registerHotkey(kT, kCommandOption, 1);
    EXPECT_EQ(refused.status, 10); // BadAccess
    EXPECT_FALSE(refused.handle.has_value());

    // Every other variant is free again: the other client can take them all.
    EXPECT_EQ(client->grabKey(t, kSuperAlt), 0);
    EXPECT_EQ(client->grabKey(t, kSuperAlt | keys->modifiers().numLock), 0);
}

TEST_F(HotkeyServiceTest, KeysAndModifiersThisKeyboardLacksAreRefused) {
    const auto unknown = service->registerHotkey(0x0A, kCommandOption, 1); // ISO section
    EXPECT_EQ(unknown.status, X11HotkeyService::statusNoSuchKey);
    EXPECT_FALSE(unknown.handle.has_value());
    EXPECT_EQ(service->registerHotkey(0xFFFF, 0, 2).status, X11HotkeyService::statusNoSuchKey);

    // With Super taken out of the modifier map, a Command hotkey cannot be grabbed.
    ASSERT_EQ(server->run("xmodmap -e 'clear mod4'"), 0);
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->modifiers().super == 0; }));
    const auto noSuper = service->registerHotkey(kT, carbon::command, 3);
    EXPECT_EQ(noSuper.status, X11HotkeyService::statusNoSuchKey);
    EXPECT_EQ(service->registerHotkey(kT, carbon::option, 4).status, 0);
}

TEST_F(HotkeyServiceTest, UnregisteringReleasesTheGrabButNotASharedOne) {
    const auto first = service->registerHotkey(kT, kCommandOption, 1);
    const auto second = service->registerHotkey(kT, kCommandOption, 2);
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(second.status, 0);
    xdotool("key super+alt+t");
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{1, 2}));

    service->unregisterHotkey(*first.handle);
    service->unregisterHotkey(*first.handle); // a stale handle is ignored
    xdotool("key super+alt+t");
    ASSERT_TRUE(waitForPresses(3));
    EXPECT_EQ(pressed.back(), 2u);

    service->unregisterHotkey(*second.handle);
    display->sync();
    const std::uint8_t t = *keys->keycodeFor(kT);
    EXPECT_EQ(client->grabKey(t, kSuperAlt), 0);
    EXPECT_EQ(client->grabKey(t, kSuperAlt | keys->modifiers().numLock), 0);
}

TEST_F(HotkeyServiceTest, AnEmptyHandlerStopsDelivery) {
    ASSERT_EQ(service->registerHotkey(kT, kCommandOption, 1).status, 0);
    service->installPressHandler({});
    xdotool("key super+alt+t");
    settle();
    EXPECT_EQ(service->stats().presses, 1u);
    EXPECT_TRUE(pressed.empty());
}

TEST_F(HotkeyServiceTest, AfterALayoutChangeTheSamePhysicalKeyStillFires) {
    constexpr std::uint32_t kQPosition = 0x0C; // AD01: Q on US, A on French
    ASSERT_EQ(service->registerHotkey(kQPosition, kCommandOption, 5).status, 0);
    const std::uint8_t ad01 = *keys->keycodeFor(kQPosition);

    ASSERT_EQ(server->run("setxkbmap fr"), 0);
    ASSERT_TRUE(pumpUntil(*display, [&] { return service->stats().keymapReloads > 0; }));
    EXPECT_EQ(keys->keycodeFor(kQPosition), ad01);
    client->chord({kSuperL, kAltL}, ad01);
    ASSERT_TRUE(waitForPresses(1));
    // French puts "a" on that key: xdotool finds it by its new symbol.
    xdotool("key super+alt+a");
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{5, 5}));
}

TEST_F(HotkeyServiceTest, ScrollLockCountsAsALockOnceTheMapHasIt) {
    ASSERT_EQ(service->registerHotkey(kT, kCommandOption, 4).status, 0);
    ASSERT_EQ(server->run("xmodmap -e 'add mod3 = Scroll_Lock'"), 0);
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->modifiers().scrollLock == 0x20; }));
    settle();
    EXPECT_GT(service->stats().regrabs, 0u);
    // Held, the key sets its modifier for sure, whether or not this map locks it.
    xdotool("keydown Scroll_Lock key super+alt+t keyup Scroll_Lock");
    ASSERT_TRUE(waitForPresses(1));
    xdotool("key Num_Lock key super+alt+t");
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{4, 4}));
}

TEST_F(HotkeyServiceTest, SuperMovedToAnotherModifierIsFollowed) {
    ASSERT_EQ(service->registerHotkey(kT, kCommandOption, 9).status, 0);
    ASSERT_EQ(
        server->run("xmodmap -e 'remove mod4 = Super_L Super_R' -e 'add mod3 = Super_L Super_R'"),
        0);
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->modifiers().super == 0x20; }));
    settle();
    xdotool("key super+alt+t");
    ASSERT_TRUE(waitForPresses(1));
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{9});
}

} // namespace
} // namespace tarnwick::x11
