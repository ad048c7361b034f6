#include "AppTestFixture.h"

#include <cstdio>

namespace tarnwick::test {
namespace fs = std::filesystem;

void AppE2E::SetUp() {
    ASSERT_TRUE(m_sandbox.ok());
    m_server = XServer::startXvfb();
    ASSERT_TRUE(m_server) << "Xvfb did not start";
    m_client = TestClient::connect(m_server->display());
    ASSERT_TRUE(m_client);
    m_client->moveTo(kMiddle.x, kMiddle.y);
    m_client->sync();
}

void AppE2E::TearDown() {
    // Commands still running would write into the sandbox as it goes.
    sleepFor(std::chrono::milliseconds(100));
    m_app.reset();
    m_client.reset();
    m_server.reset();
}

AppE2E::Pixel AppE2E::cornerPixel(const std::string& corner) {
    const int right = 1279;
    const int bottom = 799;
    if (corner == "topLeft") {
        return {0, 0};
    }
    if (corner == "topRight") {
        return {right, 0};
    }
    if (corner == "bottomLeft") {
        return {0, bottom};
    }
    return {right, bottom};
}

AppE2E::Pixel AppE2E::insideCorner(const std::string& corner, int step) {
    const Pixel p = cornerPixel(corner);
    const int dx = p.x == 0 ? step : -step;
    const int dy = p.y == 0 ? 5 - step : step - 5;
    return {p.x + dx, p.y + dy};
}

fs::path AppE2E::marker(const std::string& name) const {
    return m_sandbox.root() / ("ran-" + name);
}

std::string AppE2E::appendCommand(const std::string& name) const {
    return "echo x >> '" + marker(name).string() + "'";
}

std::size_t AppE2E::runs(const std::string& name) const {
    return readLines(marker(name)).size();
}

std::size_t AppE2E::totalRuns() const {
    std::size_t total = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_sandbox.root(), error)) {
        if (entry.path().filename().string().rfind("ran-", 0) == 0) {
            total += readLines(entry.path()).size();
        }
    }
    return total;
}

namespace {
std::string idFor(int index) {
    char id[40];
    std::snprintf(id, sizeof id, "6A0C1F3E-2B4D-4E5F-8A9B-%012X", static_cast<unsigned>(index));
    return id;
}
} // namespace

nlohmann::json AppE2E::cornerBinding(int index, const std::string& corner,
                                     const std::string& command) {
    return {{"command", command},
            {"enabled", true},
            {"id", idFor(index)},
            {"name", "Corner " + corner},
            {"trigger", {{"corner", corner}, {"kind", "corner"}}}};
}

nlohmann::json AppE2E::hotkeyBinding(int index, const std::string& command) {
    return {{"command", command},
            {"enabled", true},
            {"id", idFor(index)},
            {"name", "Hotkey"},
            {"trigger",
             {{"hotkey", {{"display", "\u2318\u2325T"}, {"keyCode", 17}, {"modifiers", 2304}}},
              {"kind", "hotkey"}}}};
}

void AppE2E::writeConfig(const std::vector<nlohmann::json>& bindings, bool globalEnabled) const {
    const nlohmann::json config = {{"bindings", nlohmann::json(bindings)},
                                   {"cornerSensitivity", 6},
                                   {"globalEnabled", globalEnabled}};
    m_sandbox.writeConfig(config.dump(2));
}

void AppE2E::startApp(bool configMustBeAccepted) {
    m_app = AppProcess::spawn(TARNWICK_BINARY, m_sandbox, m_server->display(), stderrPath());
    ASSERT_TRUE(m_app) << "cannot spawn " << TARNWICK_BINARY;
    ASSERT_TRUE(m_app->waitUntilReady(m_sandbox)) << "not ready; stderr:\n"
                                                  << readWholeFile(stderrPath());
    if (configMustBeAccepted) {
        // A rejected file would silently put the seed in place of the test's bindings.
        for (const auto& entry : fs::directory_iterator(m_sandbox.configDirectory())) {
            ASSERT_EQ(entry.path().filename().string().find(".rejected-"), std::string::npos)
                << "the app rejected the test's config:\n"
                << readWholeFile(entry.path());
        }
    }
}

void AppE2E::moveTo(Pixel p) {
    m_client->moveTo(p.x, p.y);
    m_client->sync();
}

void AppE2E::settle() {
#if defined(__SANITIZE_ADDRESS__)
    // Under the sanitizers, and beside other tests, the app may be starved
    // for longer than its longest listening pause.
    sleepFor(std::chrono::milliseconds(1000));
#else
    sleepFor(std::chrono::milliseconds(300));
#endif
}

void AppE2E::pressHotkey() {
    m_client->chord({kSuperL, kAltL}, kT);
}

} // namespace tarnwick::test
