#pragma once

#include "AppProcess.h"
#include "TestClient.h"
#include "XServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace tarnwick::test {

// The real binary on an Xvfb and in a sandbox of the test's own; commands
// append a line to a marker file per binding, so runs can be counted.
class AppE2E : public ::testing::Test {
protected:
    struct Pixel {
        int x;
        int y;
    };
    // Xvfb's default 1280x800 screen.
    static constexpr Pixel kMiddle{640, 400};
    static constexpr std::uint8_t kSuperL = 133;
    static constexpr std::uint8_t kAltL = 64;
    static constexpr std::uint8_t kT = 28;
    static constexpr std::uint16_t kMod1 = 0x08;
    static constexpr std::uint16_t kMod4 = 0x40;
    static constexpr int kBadAccess = 10;
    static constexpr const char* kCorners[] = {"topLeft", "topRight", "bottomLeft", "bottomRight"};

    void SetUp() override;
    void TearDown() override;

    static Pixel cornerPixel(const std::string& corner);
    // A point still inside the corner's square (sensitivity 6) for steps 0 to 5.
    static Pixel insideCorner(const std::string& corner, int step);

    std::filesystem::path marker(const std::string& name) const;
    std::string appendCommand(const std::string& name) const;
    std::size_t runs(const std::string& name) const;
    std::size_t totalRuns() const;

    static nlohmann::json cornerBinding(int index, const std::string& corner,
                                        const std::string& command);
    // Super+Alt+T as the settings window records it.
    static nlohmann::json hotkeyBinding(int index, const std::string& command);
    void writeConfig(const std::vector<nlohmann::json>& bindings, bool globalEnabled = true) const;

    std::filesystem::path stderrPath() const { return m_sandbox.root() / "tarnwick.stderr"; }
    // Fails the test unless it starts; a written config must also be accepted.
    void startApp(bool configMustBeAccepted = true);

    void moveTo(Pixel p);
    // Long enough for the app's listening pause to end and its query to follow.
    static void settle();
    void pressHotkey();

    Sandbox m_sandbox;
    std::unique_ptr<XServer> m_server;
    std::unique_ptr<TestClient> m_client;
    std::unique_ptr<AppProcess> m_app;
};

} // namespace tarnwick::test
