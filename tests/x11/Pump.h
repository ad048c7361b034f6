#pragma once

#include "platform/x11/Display.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <poll.h>
#include <tuple>
#include <utility>

namespace tarnwick::test {

using namespace std::chrono_literals;

// Calls display.processEvents() as the application's loop would, until done()
// holds or the deadline passes; whether done() held.
inline bool pumpUntil(x11::Display& display, const std::function<bool()>& done,
                      std::chrono::milliseconds deadline = 5s) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    for (display.processEvents(); !done(); display.processEvents()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        // While reading is held off, the socket is not watched.
        pollfd p{display.readingHeldUntil() ? -1 : display.fileDescriptor(), POLLIN, 0};
        ::poll(&p, 1, 5);
    }
    return true;
}
// For checks that nothing happens.
inline void pumpFor(x11::Display& display, std::chrono::milliseconds duration) {
    pumpUntil(
        display, [] { return false; }, duration);
}

// 0 for a handle, else the refusal's status.
inline std::int32_t statusOf(const HotkeyRegistration& registration) {
    const auto* refusal = std::get_if<HotkeyRefusal>(&registration);
    return refusal != nullptr ? refusal->status : 0;
}

// An X server of the test's own, our Display on it, and another client.
class XSession : public ::testing::Test {
protected:
    void startOn(std::unique_ptr<XServer> started) {
        server = std::move(started);
        ASSERT_NE(server, nullptr);
        auto opened = x11::Display::open(server->display());
        ASSERT_NE(opened.display, nullptr) << opened.error;
        display = std::move(opened.display);
        client = TestClient::connect(server->display());
        ASSERT_NE(client, nullptr);
    }
    void sh(const std::string& line) { ASSERT_EQ(server->run(line), 0) << line; }

    std::unique_ptr<XServer> host; // when server is nested in it
    std::unique_ptr<XServer> server;
    std::unique_ptr<x11::Display> display;
    std::unique_ptr<TestClient> client;
};

} // namespace tarnwick::test
