#include "Pump.h"

namespace tarnwick::x11 {
namespace {

using namespace test;

constexpr std::uint32_t kT = 17; // virtual key code of T
constexpr std::uint32_t kCommandOption = carbon::command | carbon::option;
constexpr std::uint8_t t = 28; // its X keycode on this server
// Super+Alt there (Mod4 | Mod1) under no lock, Caps Lock, Num Lock and both.
constexpr std::uint16_t kSuperAltUnderLocks[] = {0x48, 0x4a, 0x58, 0x5a};
constexpr std::int32_t kNoSuchKey = X11HotkeyService::statusNoSuchKey;

class HotkeyServiceTest : public XSession {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startOn(XServer::startXvfb()));
        keys = std::make_unique<KeyTranslator>(*display);
        service = std::make_unique<X11HotkeyService>(*display, *keys);
        ASSERT_TRUE(service->available()) << service->unavailableReason();
        service->installPressHandler([this](std::uint32_t id) { pressed.push_back(id); });
    }
    bool fired(std::size_t n) {
        return pumpUntil(*display, [&] { return pressed.size() >= n; });
    }
    // Whether another client can take Super+Alt+T under every lock; it lets go again.
    bool othersCanGrabT() {
        display->sync();
        bool all = true;
        for (const std::uint16_t modifiers : kSuperAltUnderLocks) {
            all = client->grabKey(t, modifiers) == 0 && all;
            client->ungrabKey(t, modifiers);
        }
        return all;
    }

    std::unique_ptr<KeyTranslator> keys;
    std::unique_ptr<X11HotkeyService> service;
    std::vector<std::uint32_t> pressed;
};

TEST_F(HotkeyServiceTest, FiresOncePerPressUnderEveryLockButOnlyWithItsOwnModifiers) {
    ASSERT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 7)), 0);
    // Scroll Lock counts as a lock once the map has it: the grabs are redone.
    sh("xmodmap -e 'add mod3 = Scroll_Lock'");
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->modifiers().scrollLock == 0x20; }));
    // Each step toggles Caps or Num Lock, so the four ways they can be lit come in turn: first
    // without, then with Scroll Lock held, which sets its modifier for sure.
    for (std::size_t step = 0; step < 8; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const std::string toggle = step == 0 ? "" : step % 2 ? "key Caps_Lock " : "key Num_Lock ";
        sh("xdotool " + toggle +
           (step < 4 ? "key super+alt+t"
                     : "keydown Scroll_Lock key super+alt+t keyup Scroll_Lock"));
        ASSERT_TRUE(fired(step + 1));
    }
    sh("xdotool key super+alt+shift+t key ctrl+super+alt+t key super+t key alt+t key t");
    // Held, it fires once: neither its repeats nor other keys' releases end the hold.
    sh("xdotool keydown super+alt+t");
    ASSERT_TRUE(fired(9));
    sh("xdotool keydown shift keyup shift");
    pumpFor(*display, 1s);
    sh("xdotool keyup t keyup alt keyup super");
    pumpFor(*display, 150ms);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>(9, 7));
    EXPECT_GT(service->stats().repeatsIgnored, 0u) << "the key did not repeat";
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(fired(10));
}

TEST_F(HotkeyServiceTest, RefusalsLeaveNoGrabBehindAndModifiersAreFollowed) {
    ASSERT_EQ(client->grabKey(t, kSuperAltUnderLocks[1]), 0); // the Caps Lock variant alone
    EXPECT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 1)), 10); // BadAccess
    EXPECT_TRUE(othersCanGrabT());
    EXPECT_EQ(statusOf(service->registerHotkey(0x0A, 0, 2)), kNoSuchKey); // ISO section key
    EXPECT_EQ(statusOf(service->registerHotkey(0xFFFF, 0, 3)), kNoSuchKey);

    ASSERT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 4)), 0);
    sh("xmodmap -e 'remove mod4 = Super_L Super_R'");
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->modifiers().super == 0; }));
    EXPECT_EQ(statusOf(service->registerHotkey(kT, carbon::command, 5)), kNoSuchKey);
    EXPECT_EQ(statusOf(service->registerHotkey(kT, carbon::option, 6)), 0);
    // Super back on another modifier: the lapsed hotkey is grabbed there.
    sh("xmodmap -e 'add mod3 = Super_L Super_R'");
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->modifiers().super == 0x20; }));
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(fired(1));
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{4});
}

TEST_F(HotkeyServiceTest, TheGrabGoesWithItsLastRegistrationOrTheService) {
    const auto first = service->registerHotkey(kT, kCommandOption, 1);
    const auto second = service->registerHotkey(kT, kCommandOption, 2);
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(fired(2));
    service->unregisterHotkey(std::get<HotkeyHandle>(first));
    service->unregisterHotkey(std::get<HotkeyHandle>(first)); // stale: ignored
    EXPECT_FALSE(othersCanGrabT());
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(fired(3));
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{1, 2, 2}));
    // An empty handler stops the delivery, not the grab.
    service->installPressHandler({});
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(pumpUntil(*display, [&] { return service->stats().presses == 3; }));
    EXPECT_EQ(pressed.size(), 3u);

    service->unregisterHotkey(std::get<HotkeyHandle>(second));
    EXPECT_TRUE(othersCanGrabT());
    ASSERT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 3)), 0);
    service.reset();
    EXPECT_TRUE(othersCanGrabT());
}

using KeyTranslatorTest = HotkeyServiceTest;

TEST_F(KeyTranslatorTest, PositionsBothWaysByNameBeforeEvdevCodeFollowingTheKeymap) {
    for (const auto& key : keyPositions()) {
        SCOPED_TRACE(std::string(key.xkbName));
        // On this evdev keymap every key sits at evdev + 8.
        EXPECT_EQ(keys->keycodeFor(key.virtualKey), key.evdevCode + 8);
        EXPECT_EQ(keys->virtualKeyFor(key.evdevCode + 8), key.virtualKey);
    }
    // Against the symbols the server itself reports.
    const std::pair<std::uint32_t, std::string> symbols[] = {
        {17, "t"}, {0x33, "BackSpace"}, {0x75, "Delete"}, {0x7E, "Up"}, {0x4C, "KP_Enter"}};
    for (const auto& [virtualKey, symbol] : symbols) {
        sh("xmodmap -pke | grep -Eq '^keycode +" +
           std::to_string(keys->keycodeFor(virtualKey).value_or(0)) + " = " + symbol + "( |$)'");
    }
    EXPECT_FALSE(keys->virtualKeyFor(50).has_value()); // Shift_L
    const ModifierMasks& m = keys->modifiers();
    EXPECT_EQ(std::vector<int>({m.capsLock, m.control, m.alt, m.numLock, m.super, m.scrollLock}),
              std::vector<int>({0x02, 0x04, 0x08, 0x10, 0x40, 0}));

    ASSERT_EQ(statusOf(service->registerHotkey(0x10, kCommandOption, 1)), 0); // Y, at 29
    // Swap Y and U (AD06 = 29, AD07 = 30) and rename T's key (AD05 = 28).
    sh("xkbcomp -xkb $DISPLAY - 2>/dev/null | sed -e 's/<AD06> = 29;/<AD06> = 30;/' "
       "-e 's/<AD07> = 30;/<AD07> = 29;/' -e 's/<AD05>/<ZZ05>/g' | xkbcomp - $DISPLAY 2>/dev/null");
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->keycodeFor(0x10) == 30; }));
    EXPECT_EQ(keys->virtualKeyFor(29), 0x20u); // U
    // A name the keymap lacks: found by evdev code.
    EXPECT_EQ(keys->keycodeFor(kT), t);
    EXPECT_EQ(keys->virtualKeyFor(t), kT);
    client->chord({133, 64}, 30); // Super_L, Alt_L, and Y where it is now
    ASSERT_TRUE(fired(1));
}

} // namespace
} // namespace tarnwick::x11
