#include "Pump.h"

#include "platform/x11/Compositor.h"
#include "platform/x11/EventListener.h"

#include <cstdlib>

namespace tarnwick::x11 {
namespace {

using namespace test;
using DisplayTest = XSession;

TEST_F(DisplayTest, NoServerIsAnErrorToLogNotACrash) {
    // Nobody serves :4092 or :4093; nothing else here reads DISPLAY.
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {":4092", ":4093", "cannot connect to X display :4093"},
        {":4093", "", "cannot connect to X display :4093"},
        {"", "", "no X display: DISPLAY is not set"},
        {nullptr, "", "no X display: DISPLAY is not set"}};
    for (const auto& [variable, name, error] : cases) {
        SCOPED_TRACE(std::string("DISPLAY=") + (variable != nullptr ? variable : "(unset)"));
        variable != nullptr ? ::setenv("DISPLAY", variable, 1) : ::unsetenv("DISPLAY");
        EXPECT_EQ(Display::open(name).error, error);
    }
}

TEST_F(DisplayTest, ServicesOutliveTheirServerQuietly) {
    ASSERT_NO_FATAL_FAILURE(startOn(XServer::startXvfb()));
    X11PointerSource pointer(*display);
    KeyTranslator keys(*display);
    X11HotkeyService hotkeys(*display, keys);
    const auto registration = hotkeys.registerHotkey(17, carbon::command | carbon::option, 1);
    ASSERT_TRUE(pointer.pointerLocation().has_value());
    server.reset();
    pumpFor(*display, 100ms);
    EXPECT_TRUE(display->connectionLost());
    EXPECT_FALSE(pointer.pointerLocation().has_value());
    hotkeys.unregisterHotkey(std::get<HotkeyHandle>(registration));
    EXPECT_EQ(statusOf(hotkeys.registerHotkey(17, carbon::command, 2)),
              X11HotkeyService::statusUnavailable);
}

struct CountingListener final : EventListener {
    void handleEvent(const xcb_generic_event_t&) override { ++events; }
    void endOfBatch() override { onBatchEnd(++batches); }
    int events = 0, batches = 0;
    std::function<void(int)> onBatchEnd = [](int) {};
};

TEST_F(DisplayTest, EachDrainIsOneBatchAndAHoldOffDefersTheNext) {
    ASSERT_NO_FATAL_FAILURE(startOn(XServer::startXvfb()));
    xcb_connection_t* c = display->connection();
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, display->rootWindow(), XCB_CW_EVENT_MASK, &mask);
    // Each window we make comes back to us as one event, queued by the sync.
    const auto makeWindows = [&](int count) {
        for (int i = 0; i < count; ++i) {
            xcb_create_window(c, 0, xcb_generate_id(c), display->rootWindow(), 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_ONLY, 0, 0, nullptr);
        }
        display->sync();
    };
    CountingListener listener;
    display->addListener(listener);
    // A batch's own round trip queues events the socket does not show: the
    // same call drains them as another batch.
    listener.onBatchEnd = [&](int batch) { makeWindows(batch == 1 ? 2 : 0); };
    makeWindows(20);
    display->processEvents();
    EXPECT_EQ(std::pair(listener.events, listener.batches), std::pair(22, 2));

    display->holdOffReading(100ms);
    makeWindows(1);
    display->processEvents();
    EXPECT_EQ(listener.events, 22);
    ASSERT_TRUE(display->readingHeldUntil().has_value());
    ASSERT_TRUE(pumpUntil(*display, [&] { return listener.events == 23; }));
}

TEST_F(DisplayTest, ACompositorIsSeenByItsSelectionAndAskedForBlur) {
    ASSERT_NO_FATAL_FAILURE(startOn(XServer::startXvfb()));
    EXPECT_FALSE(compositorRunning(*display));
    // We play the compositor: _NET_WM_CM_S0 is ours.
    xcb_connection_t* c = display->connection();
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 13, "_NET_WM_CM_S0"), nullptr);
    ASSERT_NE(atom, nullptr);
    xcb_set_selection_owner(c, display->rootWindow(), atom->atom, XCB_CURRENT_TIME);
    EXPECT_TRUE(compositorRunning(*display));
    askForBlurBehind(*display, display->rootWindow());
    sh("xprop -root _KDE_NET_WM_BLUR_BEHIND_REGION | grep -q "
       "'^_KDE_NET_WM_BLUR_BEHIND_REGION(CARDINAL)'");
    // The compositor goes: so does translucency.
    xcb_set_selection_owner(c, XCB_NONE, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    EXPECT_FALSE(compositorRunning(*display));
}

} // namespace
} // namespace tarnwick::x11
