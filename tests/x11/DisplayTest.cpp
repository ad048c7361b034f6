#include "platform/x11/Display.h"
#include "platform/x11/Compositor.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"

#include "platform/x11/EventListener.h"

#include "XServer.h"

#include <thread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace tarnwick::x11 {
namespace {

// Sets or clears DISPLAY for one test and puts it back afterwards.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value) {
        if (const char* old = std::getenv("DISPLAY")) {
            m_old = old;
        }
        if (value != nullptr) {
            ::setenv("DISPLAY", value, 1);
        } else {
            ::unsetenv("DISPLAY");
        }
    }
    ~DisplayVariable() {
        if (m_old) {
            ::setenv("DISPLAY", m_old->c_str(), 1);
        } else {
            ::unsetenv("DISPLAY");
        }
    }
    DisplayVariable(const DisplayVariable&) = delete;
    DisplayVariable& operator=(const DisplayVariable&) = delete;

private:
    std::optional<std::string> m_old;
};

TEST(DisplayTest, NoServerIsReportedNotFatal) {
    {
        const DisplayVariable unset(nullptr);
        const auto opened = Display::open();
        EXPECT_EQ(opened.display, nullptr);
        EXPECT_EQ(opened.error, "no X display: DISPLAY is not set");
    }
    {
        const DisplayVariable empty("");
        EXPECT_EQ(Display::open().display, nullptr);
    }
    {
        // A display number nobody serves.
        const DisplayVariable unreachable(":4093");
        const auto opened = Display::open();
        EXPECT_EQ(opened.display, nullptr);
        EXPECT_EQ(opened.error, "cannot connect to X display :4093");
    }
    const auto malformed = Display::open("not a display");
    EXPECT_EQ(malformed.display, nullptr);
    EXPECT_FALSE(malformed.error.empty());
}

TEST(DisplayTest, ServicesOnAConnectionWhoseServerWentAway) {
    auto server = test::XServer::startXvfb();
    ASSERT_NE(server, nullptr);
    auto opened = Display::open(server->display());
    ASSERT_NE(opened.display, nullptr) << opened.error;
    Display& display = *opened.display;
    X11PointerSource pointer(display);
    KeyTranslator keys(display);
    X11HotkeyService hotkeys(display, keys);
    ASSERT_TRUE(pointer.available());
    ASSERT_TRUE(hotkeys.available());
    const auto registration = hotkeys.registerHotkey(17, 0x0900, 1);
    ASSERT_EQ(registration.status, 0);

    server.reset();
    // The loop would see the socket close; every call after that is harmless.
    test::pumpFor(display, std::chrono::milliseconds(100));
    EXPECT_TRUE(display.connectionLost());
    EXPECT_FALSE(pointer.pointerLocation().has_value());
    hotkeys.unregisterHotkey(*registration.handle);
    const auto late = hotkeys.registerHotkey(17, 0x0900, 2);
    EXPECT_NE(late.status, 0);
    EXPECT_FALSE(late.handle.has_value());
}

class CountingListener final : public EventListener {
public:
    void handleEvent(const xcb_generic_event_t&) override { ++events; }
    void endOfBatch() override {
        ++batches;
        if (onBatchEnd) {
            auto once = std::move(onBatchEnd);
            onBatchEnd = nullptr;
            once();
        }
    }
    int events = 0;
    int batches = 0;
    std::function<void()> onBatchEnd;
};

// Another client makes windows; the root's substructure events tell us.
void createWindows(xcb_connection_t* c, int count) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    for (int i = 0; i < count; ++i) {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    }
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

TEST(DisplayTest, OneBatchPerDrainIncludingEventsThatRepliesQueued) {
    auto server = test::XServer::startXvfb();
    ASSERT_NE(server, nullptr);
    auto opened = Display::open(server->display());
    ASSERT_NE(opened.display, nullptr);
    Display& display = *opened.display;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(display.connection(), display.rootWindow(), XCB_CW_EVENT_MASK,
                                 &mask);
    display.sync();
    CountingListener listener;
    display.addListener(listener);
    xcb_connection_t* other = xcb_connect(server->display().c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);

    createWindows(other, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    display.processEvents();
    EXPECT_EQ(listener.events, 20);
    EXPECT_EQ(listener.batches, 1);

    // A batch's own round trip queues what arrived meanwhile, without the
    // socket showing it: the same call drains it as one more batch.
    listener.onBatchEnd = [&] {
        createWindows(other, 2);
        display.sync();
    };
    createWindows(other, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    display.processEvents();
    EXPECT_EQ(listener.events, 23);
    EXPECT_EQ(listener.batches, 3);
    display.removeListener(listener);
    xcb_disconnect(other);
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

TEST(DisplayTest, CompositorIsSeenByItsSelectionAndBlurIsAskedOnTheWindow) {
    auto server = test::XServer::startXvfb();
    ASSERT_NE(server, nullptr);
    auto opened = Display::open(server->display());
    ASSERT_NE(opened.display, nullptr);
    Display& display = *opened.display;
    EXPECT_FALSE(compositorRunning(display));

    // Another client plays compositor: it owns _NET_WM_CM_S0 through a window of its own.
    xcb_connection_t* other = xcb_connect(server->display().c_str(), nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(other)).data;
    const xcb_window_t owner = xcb_generate_id(other);
    xcb_create_window(other, XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    xcb_set_selection_owner(other, owner, internAtom(other, "_NET_WM_CM_S0"), XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    EXPECT_TRUE(compositorRunning(display));

    askForBlurBehind(display, owner);
    display.sync();
    xcb_get_property_reply_t* property = xcb_get_property_reply(
        other,
        xcb_get_property(other, 0, owner, internAtom(other, "_KDE_NET_WM_BLUR_BEHIND_REGION"),
                         XCB_ATOM_CARDINAL, 0, 16),
        nullptr);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(property->type, XCB_ATOM_CARDINAL);
    EXPECT_EQ(property->format, 32);
    std::free(property);

    // The compositor goes: so does translucency.
    xcb_disconnect(other);
    display.sync();
    EXPECT_FALSE(compositorRunning(display));
}

} // namespace
} // namespace tarnwick::x11
