#pragma once

#include "support/Eventually.h"
#include "support/Process.h"
#include "support/Sandbox.h"
#include "support/SessionBus.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

namespace tarnwick::test {

// The real binary on an Xvfb and in a sandbox of the test's own. Each
// binding's command appends a line to a marker file, so runs can be counted.
class AppTest : public ::testing::Test {
protected:
    // Waits end as soon as their condition holds; the bound is for sanitizer builds.
    static constexpr auto kDeadline = 30s;
    // Time for a run that must not happen to show up.
    static constexpr auto kQuiet = 800ms;
    static constexpr std::uint8_t kSuper = 133, kAlt = 64, kT = 28;
    static constexpr std::uint16_t kControl = 0x04, kMod1 = 0x08;

    void SetUp() override {
        m_x = XServer::startXvfb("1280x800x24");
        ASSERT_TRUE(m_x);
        m_client = TestClient::connect(m_x->display());
        ASSERT_TRUE(m_client);
        m_client->moveTo(640, 400);
        m_client->sync();
    }
    // The app first: a bus or KWin of a fixture's own outlives it.
    void TearDown() override { m_app.reset(); }

    std::filesystem::path marker(const std::string& name) const {
        return m_sandbox.root() / ("ran-" + name);
    }
    std::string appendTo(const std::string& name) const {
        return "echo x >> '" + marker(name).string() + "'";
    }
    std::size_t runs(const std::string& name) const {
        return static_cast<std::size_t>(std::ranges::count(readWholeFile(marker(name)), '\n'));
    }

    static nlohmann::json binding(const nlohmann::json& trigger, const std::string& command) {
        static int count = 0;
        char id[40];
        std::snprintf(id, sizeof id, "6A0C1F3E-2B4D-4E5F-8A9B-%012d", ++count);
        return {{"command", command},
                {"enabled", true},
                {"id", id},
                {"name", id},
                {"trigger", trigger}};
    }
    static nlohmann::json corner(const std::string& which) {
        return {{"kind", "corner"}, {"corner", which}};
    }
    // Super+Alt+T as the settings window records it, unless told otherwise.
    static nlohmann::json hotkey(const std::string& display = "\u2325\u2318T",
                                 int modifiers = 2304) {
        return {{"kind", "hotkey"},
                {"hotkey", {{"display", display}, {"keyCode", 17}, {"modifiers", modifiers}}}};
    }
    void writeConfig(const std::vector<nlohmann::json>& bindings, bool enabled = true) const {
        m_sandbox.writeConfig(nlohmann::json{
            {"bindings", bindings}, {"cornerSensitivity", 6}, {"globalEnabled", enabled}}
                                  .dump());
    }

    // Whether the file comes to keep the switch as given.
    bool savedSwitch(bool enabled) const {
        return eventually(
            [&] {
                const auto file =
                    nlohmann::json::parse(readWholeFile(m_sandbox.configFile()), nullptr, false);
                return file.is_object() && file["globalEnabled"] == enabled;
            },
            kDeadline);
    }

    std::filesystem::path errFile(const std::string& name) const {
        return m_sandbox.root() / (name + ".err");
    }
    // What tarnwick is started with: the sandbox, our display unless extra names one, extra.
    std::vector<std::string> environment(std::map<std::string, std::string> extra) const {
        extra.emplace("DISPLAY", m_x->display());
        // Unreachable: no tray, and no session bus autolaunched on our display.
        extra.emplace("DBUS_SESSION_BUS_ADDRESS",
                      "unix:path=" + m_sandbox.root().string() + "/none");
        return m_sandbox.environment(extra);
    }
    // tarnwick on our display, its stderr in a file of the given name.
    std::unique_ptr<Process> start(const std::string& name,
                                   const std::map<std::string, std::string>& extra = {},
                                   std::vector<std::string> argv = {TARNWICK_BINARY}) const {
        return Process::spawn(std::move(argv), environment(extra), errFile(name));
    }
    std::string log() const { return readWholeFile(errFile("tarnwick")); }
    // The app's log lines without their time stamps; a line without a
    // well-formed stamp is not one of them.
    std::vector<std::string> logged() const {
        static const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} (Tarnwick: .*))");
        std::vector<std::string> lines;
        std::istringstream in(log());
        std::smatch match;
        for (std::string line; std::getline(in, line);) {
            if (std::regex_match(line, match, stamped)) {
                lines.push_back(match[1]);
            }
        }
        return lines;
    }
    // Adds the line to those expected; once the log has as many, they must be the same.
    void expectLogged(std::vector<std::string>& expected, const std::string& line) const {
        expected.push_back(line);
        EXPECT_TRUE(eventually([&] { return logged().size() >= expected.size(); }, kDeadline))
            << "awaited: " << line << "\nstderr:\n"
            << log();
        EXPECT_EQ(logged(), expected);
    }

    void pressHotkey() const { m_client->chord({kSuper, kAlt}, kT); }
    // From mid-screen into the corner, then about inside it.
    void enter(const std::string& which) const {
        const int x = which.ends_with("Left") ? 0 : 1279;
        const int y = which.starts_with("top") ? 0 : 799;
        m_client->moveTo(640, 400);
        for (int step = 0; step < 5; ++step) {
            m_client->moveTo(x == 0 ? step : x - step, y == 0 ? 4 - step : y - 4 + step);
            m_client->sync();
            std::this_thread::sleep_for(30ms);
        }
    }

    // Stopped in reverse: the app before the server, everything before the sandbox.
    Sandbox m_sandbox;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<TestClient> m_client;
    std::unique_ptr<Process> m_app;
};

} // namespace tarnwick::test
