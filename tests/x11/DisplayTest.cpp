#include "Pump.h"

#include "platform/x11/Compositor.h"
#include "platform/x11/EventListener.h"

#include <cstdlib>

namespace tarnwick::x11 {
namespace {

using namespace test;
using DisplayTest = XSession;

TEST(DisplayOpenTest, NoServerIsAnErrorToLogNotACrash) {
    // Nobody serves :4092 or :4093; nothing else here reads DISPLAY.
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {":4092", ":4093", "cannot connect to X display :4093"},
        {":4093", "", "cannot connect to X display :4093"},
        {"", "", "no X display: DISPLAY is not set"},
        {nullptr, "", "no X display: DISPLAY is not set"}};
    for (const auto& [variable, name, error] : cases) {
        variable != nullptr ? ::setenv("DISPLAY", variable, 1) : ::unsetenv("DISPLAY");
        EXPECT_EQ(Display::open(name).error, error) << (variable != nullptr ? variable : "unset");
    }
}

struct CountingListener final : EventListener {
    void handleEvent(const xcb_generic_event_t&) override { ++events; }
    void endOfBatch() override { ++batches == 1 ? afterFirstBatch() : void(); }
    int events = 0, batches = 0;
    std::function<void()> afterFirstBatch;
};

TEST_F(DisplayTest, EachDrainIsOneBatchAndAHoldOffDefersTheNext) {
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

    display->holdOffReading(100ms);
    move(4);
    display->processEvents();
    EXPECT_EQ(listener.events, 3);
    ASSERT_TRUE(pump([&] { return listener.events == 4; }));
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

} // namespace
} // namespace tarnwick::x11
