// Our display connection and hotkey service on an Xvfb of their own.
#include "Pump.h"

#include "platform/x11/Compositor.h"
#include "platform/x11/EventListener.h"

#include <cstdlib>

namespace tarnwick::x11 {
namespace {

using namespace test;
using DisplayTest = XSession;

TEST(DisplayOpenTest, NoServerIsAnErrorToLogNotACrash) {
    // Nobody serves :4093; nothing else here reads DISPLAY. A -display name
    // winning, and DISPLAY unset, are shown with the program itself.
    ::setenv("DISPLAY", ":4093", 1);
    EXPECT_EQ(Display::open("").error, "cannot connect to X display :4093");
    ::setenv("DISPLAY", "", 1);
    EXPECT_EQ(Display::open("").error, "no X display: DISPLAY is not set");
}

struct CountingListener final : EventListener {
    void handleEvent(const xcb_generic_event_t&) override { ++events; }
    void endOfBatch() override { ++batches == 1 ? afterFirstBatch() : void(); }
    int events = 0, batches = 0;
    std::function<void()> afterFirstBatch;
};

TEST_F(DisplayTest, EachDrainIsOneBatchQueuedOrRead) {
    const std::uint32_t mask = XCB_EVENT_MASK_POINTER_MOTION;
    xcb_change_window_attributes(display->connection(), display->rootWindow(), XCB_CW_EVENT_MASK,
                                 &mask);
    display->sync();
    const auto move = [&](int x) {
        client->moveTo(x, 1);
        client->sync();
        display->sync();
    };
    CountingListener listener;
    display->addListener(listener);
    // Each move comes to us as one event, queued by our round trip. A batch's own round trip
    // queues events the socket does not show: the same call drains them as another batch.
    listener.afterFirstBatch = [&] { move(1); };
    move(2);
    move(3);
    display->processEvents();
    EXPECT_EQ(std::pair(listener.events, listener.batches), std::pair(3, 2));
    // What the loop drains before it blocks: what a round trip queued, and the end of a batch.
    move(4);
    display->processQueued();
    EXPECT_EQ(std::pair(listener.events, listener.batches), std::pair(4, 3));
}

TEST_F(DisplayTest, ACompositorIsSeenByItsSelectionAndAskedForBlur) {
    EXPECT_FALSE(compositorRunning(*display));
    // We play the compositor: _NET_WM_CM_S0 is ours, until we let it go.
    xcb_connection_t* c = display->connection();
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 13, "_NET_WM_CM_S0"), nullptr);
    ASSERT_NE(atom, nullptr);
    xcb_set_selection_owner(c, display->rootWindow(), atom->atom, XCB_CURRENT_TIME);
    EXPECT_TRUE(compositorRunning(*display));
    askForBlurBehind(*display, display->rootWindow());
    sh("xprop -root _KDE_NET_WM_BLUR_BEHIND_REGION | grep -q '(CARDINAL)'");
    xcb_set_selection_owner(c, XCB_NONE, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    EXPECT_FALSE(compositorRunning(*display));
}

constexpr std::uint32_t kT = 17; // virtual key code of T
constexpr std::uint32_t kCommandOption = carbon::command | carbon::option;
constexpr std::uint8_t t = 28; // its X keycode on this server
// Super+Alt there (Mod4 | Mod1) under no lock, Caps Lock, Num Lock and both.
constexpr std::uint16_t kSuperAltUnderLocks[] = {0x48, 0x4a, 0x58, 0x5a};
constexpr std::int32_t kNoSuchKey = X11HotkeyService::statusNoSuchKey;

class HotkeyServiceTest : public XSession {
protected:
    void connected() override {
        keys = std::make_unique<KeyTranslator>(*display);
        service = std::make_unique<X11HotkeyService>(*display, *keys);
        ASSERT_TRUE(service->available()) << service->unavailableReason();
        service->installPressHandler([this](std::uint32_t id) { pressed.push_back(id); });
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
    ASSERT_TRUE(pump([&] { return keys->modifiers().scrollLock == 0x20; }));
    // Caps and Num Lock lit in all four ways, first without, then with Scroll Lock held.
    for (std::size_t step = 0; step < 8; ++step) {
        const std::string toggle = step == 0 ? "" : step % 2 ? "key Caps_Lock " : "key Num_Lock ";
        sh("xdotool " + toggle +
           (step < 4 ? "key super+alt+t"
                     : "keydown Scroll_Lock key super+alt+t keyup Scroll_Lock"));
        ASSERT_TRUE(pump([&] { return pressed.size() > step; })) << "step " << step;
    }
    // Only its own modifiers count. Held, it fires once till its own release, not another's.
    sh("xdotool key super+alt+shift+t key ctrl+super+alt+t key super+t key alt+t key t "
       "keydown super+alt+t sleep 0.5 key shift sleep 0.5 keyup t keyup alt keyup super "
       "key super+alt+t");
    pumpFor(300ms);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>(10, 7));
    EXPECT_GT(service->stats().repeatsIgnored, 0u) << "the key did not repeat";
}

TEST_F(HotkeyServiceTest, NoGrabOutlivesARefusalItsLastRegistrationOrTheService) {
    ASSERT_EQ(client->grabKey(t, kSuperAltUnderLocks[1]), 0); // the Caps Lock variant alone
    EXPECT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 1)), 10); // BadAccess
    EXPECT_TRUE(othersCanGrabT());
    EXPECT_EQ(statusOf(service->registerHotkey(0x0A, 0, 2)), kNoSuchKey); // ISO section key
    EXPECT_EQ(statusOf(service->registerHotkey(0xFFFF, 0, 3)), kNoSuchKey);

    const auto first = service->registerHotkey(kT, kCommandOption, 1);
    const auto second = service->registerHotkey(kT, kCommandOption, 2);
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(pump([&] { return pressed.size() == 2; }));
    service->unregisterHotkey(std::get<HotkeyHandle>(first));
    service->unregisterHotkey(std::get<HotkeyHandle>(first)); // stale: ignored
    EXPECT_FALSE(othersCanGrabT());
    // An empty handler stops the delivery, not the grab.
    service->installPressHandler({});
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(pump([&] { return service->stats().presses == 2; }));
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{1, 2}));
    service->unregisterHotkey(std::get<HotkeyHandle>(second));
    EXPECT_TRUE(othersCanGrabT());
    ASSERT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 3)), 0);
    service.reset();
    EXPECT_TRUE(othersCanGrabT());
}

TEST_F(HotkeyServiceTest, KeysFoundByNameThenEvdevCodeFollowKeymapAndModifiersTillServerGoes) {
    EXPECT_FALSE(keys->virtualKeyFor(50).has_value()); // Shift_L
    const ModifierMasks& m = keys->modifiers();
    EXPECT_EQ(std::vector<int>({m.capsLock, m.control, m.alt, m.numLock, m.super, m.scrollLock}),
              std::vector<int>({0x02, 0x04, 0x08, 0x10, 0x40, 0}));

    ASSERT_EQ(statusOf(service->registerHotkey(0x10, kCommandOption, 1)), 0); // Y, at 29
    // Swap Y and U (AD06 = 29, AD07 = 30) and rename T's key (AD05 = 28).
    sh("xkbcomp -xkb $DISPLAY - 2>/dev/null | sed -e 's/<AD06> = 29;/<AD06> = 30;/' "
       "-e 's/<AD07> = 30;/<AD07> = 29;/' -e 's/<AD05>/<ZZ05>/g' | xkbcomp - $DISPLAY 2>/dev/null");
    ASSERT_TRUE(pump([&] { return keys->keycodeFor(0x10) == 30; }));
    EXPECT_EQ(keys->virtualKeyFor(29), 0x20u); // U
    // A name the keymap lacks: found by evdev code.
    EXPECT_EQ(keys->keycodeFor(kT), t);
    EXPECT_EQ(keys->virtualKeyFor(t), kT);
    client->chord({133, 64}, 30); // Super_L, Alt_L, and Y where it is now
    ASSERT_TRUE(pump([&] { return pressed.size() == 1; }));
    ASSERT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 2)), 0);
    sh("xmodmap -e 'remove mod4 = Super_L Super_R'");
    ASSERT_TRUE(pump([&] { return keys->modifiers().super == 0; }));
    EXPECT_EQ(statusOf(service->registerHotkey(kT, carbon::command, 3)), kNoSuchKey);
    const auto optionT = service->registerHotkey(kT, carbon::option, 4);
    EXPECT_EQ(statusOf(optionT), 0);
    // Super back on another modifier: the lapsed hotkeys are grabbed there.
    sh("xmodmap -e 'add mod3 = Super_L Super_R'");
    ASSERT_TRUE(pump([&] { return keys->modifiers().super == 0x20; }));
    sh("xdotool key super+alt+t");
    ASSERT_TRUE(pump([&] { return pressed.size() == 2; }));
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{1, 2}));

    // The services outlive their server quietly.
    X11PointerSource pointer(*display);
    ASSERT_TRUE(pointer.pointerLocation().has_value());
    server.reset();
    pumpFor(100ms);
    EXPECT_TRUE(display->connectionLost());
    EXPECT_FALSE(pointer.pointerLocation().has_value());
    service->unregisterHotkey(std::get<HotkeyHandle>(optionT));
    EXPECT_EQ(statusOf(service->registerHotkey(kT, kCommandOption, 5)),
              X11HotkeyService::statusUnavailable);
}

} // namespace
} // namespace tarnwick::x11
