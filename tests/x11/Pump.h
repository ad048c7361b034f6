#pragma once

#include "platform/x11/Display.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace tarnwick::test {

using namespace std::chrono_literals;

inline std::int32_t statusOf(const HotkeyRegistration& registration) {
    const auto* refusal = std::get_if<HotkeyRefusal>(&registration);
    return refusal != nullptr ? refusal->status : 0;
}

// An Xvfb of the test's own, our Display on it, and another client.
class XSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startOn(XServer::startXvfb())); }
    void startOn(std::unique_ptr<XServer> started) {
        server = std::move(started);
        ASSERT_NE(server, nullptr);
        display = x11::Display::open(server->display()).display;
        client = TestClient::connect(server->display());
        ASSERT_TRUE(display && client);
        ASSERT_NO_FATAL_FAILURE(connected());
    }
    virtual void connected() {} // what a fixture adds on each server started
    // Runs the display as the application's loop would until done() holds; whether it did in time.
    bool pump(const std::function<bool()>& done, std::chrono::milliseconds deadline = 5s) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        for (display->processEvents(); !done() && std::chrono::steady_clock::now() < until;
             display->processEvents()) {
            std::this_thread::sleep_for(2ms);
        }
        return done();
    }
    void pumpFor(std::chrono::milliseconds duration) {
        pump([] { return false; }, duration);
    }
    void sh(const std::string& line) { ASSERT_EQ(server->run(line), 0) << line; }

    std::unique_ptr<XServer> host; // when server is nested in it
    std::unique_ptr<XServer> server;
    std::unique_ptr<x11::Display> display;
    std::unique_ptr<TestClient> client;
};

} // namespace tarnwick::test
