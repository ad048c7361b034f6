#include "platform/x11/Display.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"

#include "XServer.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

} // namespace
} // namespace tarnwick::x11
