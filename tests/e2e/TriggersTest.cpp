// The real binary on an X server: corners and hotkeys reach their commands
// once per entry and press, the log says so line by line, a second start
// hands over to the first, and losing the server ends the program.
#include "e2e/AppTest.h"

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace tarnwick::test {
namespace {
namespace fs = std::filesystem;

TEST_F(AppTest, TriggersRunOncePerEntryAndPressAndTheLogSaysSo) {
    const std::vector<std::pair<std::string, std::string>> corners{{"topLeft", "Top-Left"},
                                                                   {"topRight", "Top-Right"},
                                                                   {"bottomRight", "Bottom-Right"},
                                                                   {"bottomLeft", "Bottom-Left"}};
    std::map<std::string, std::string> command;
    for (const auto& [name, label] : corners) {
        command[name] = appendTo(name);
    }
    // printf-style text, double quotes and UTF-8 reach the shell and the log as they are.
    command["topRight"] =
        "printf \"%s %d%%\\n\" \"\u00e9\" 5 >> '" + marker("topRight").string() + "'; : \"%n %s\"";
    command["bottomLeft"] += "; exit 3";
    command["bottomRight"] += "; env > '" + marker("env").string() + "'";
    std::vector<nlohmann::json> bindings;
    for (const auto& [name, label] : corners) {
        bindings.push_back(binding(corner(name), command[name]));
    }
    const std::string hotkeyRan = "Tarnwick: hotkey ran \"" + appendTo("hotkey") + "\" ok=true";
    bindings.push_back(binding(hotkey(), appendTo("hotkey")));
    // Ctrl+Alt+T is held by another program: refused, and the last word at start.
    bindings.push_back(binding(hotkey("\u2303\u2325T", 6144), "true"));
    ASSERT_EQ(m_client->grabKey(kT, kControl | kMod1), 0);
    writeConfig(bindings);
    // Without a runtime directory, names that another user took first in the
    // shared temporary directory stop nothing.
    const fs::path taken = "/tmp/tarnwick-" + std::to_string(::getuid()) + "-_" +
                           m_x->display().substr(1);
    const struct Foreign {
        explicit Foreign(const fs::path& base) : lock(base.string() + ".lock"),
                                                 socket(base.string() + ".socket") {
            fs::create_directory(lock);
            std::ofstream{socket};
            EXPECT_EQ(::chown(lock.c_str(), 65534, 65534) | ::chown(socket.c_str(), 65534, 65534), 0);
        }
        ~Foreign() { fs::remove(lock), fs::remove(socket); }
        fs::path lock, socket;
    } foreign(taken);
    // When the server goes, Qt calls exit() from deep inside its event handling
    // and leaves everything allocated: a leak check then finds only that.
    const char* asan = std::getenv("ASAN_OPTIONS");
    // The display on the command line wins over $DISPLAY, for Qt and for us.
    // (A Wayland session is the KWin tests': corners are KWin's there, or off.)
    const std::map<std::string, std::string> extra{
        {"XDG_RUNTIME_DIR", ""},
        {"DISPLAY", ":97"},
        {"ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":detect_leaks=0"}};
    m_app = start("tarnwick", extra, {TARNWICK_BINARY, "-display", m_x->display()});
    const auto startedWith = environment(extra);
    ASSERT_TRUE(m_app);
    std::vector<std::string> expected;
    expectLogged(expected, "Tarnwick: hotkey register failed for \u2303\u2325T (status 10)");
    ASSERT_FALSE(HasFailure());

    // Each corner twice, the way round; staying inside is no new entry.
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, label] : corners) {
            enter(name);
            expectLogged(expected, "Tarnwick: corner " + label + " ran \"" + command[name] +
                                       "\" ok=" + (name == "bottomLeft" ? "false" : "true"));
        }
    }
    pressHotkey();
    expectLogged(expected, hotkeyRan);

    // A second start shows the first one's settings window and exits.
    EXPECT_NE(m_x->run("xwininfo -name Tarnwick >/dev/null 2>&1"), 0);
    auto second = start("second", {{"XDG_RUNTIME_DIR", ""}});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->waitForExit(kDeadline), 0) << readWholeFile(errFile("second"));
    EXPECT_TRUE(eventually([&] { return m_x->run("xwininfo -name Tarnwick >/dev/null 2>&1") == 0; },
                           kDeadline));
    // Still one instance: everything runs once.
    pressHotkey();
    expectLogged(expected, hotkeyRan);
    enter("topLeft");
    expectLogged(expected, "Tarnwick: corner Top-Left ran \"" + command["topLeft"] + "\" ok=true");
    std::this_thread::sleep_for(kQuiet);

    // Losing the X server ends the program, with a line and status 1.
    m_client.reset();
    m_x.reset();
    EXPECT_EQ(m_app->waitForExit(kDeadline), 1) << log();
    expected.push_back("Tarnwick: lost the connection to the X server; quitting");
    EXPECT_EQ(logged(), expected) << log();
    // The shell got the bytes, and ran each entry and press once.
    EXPECT_EQ(readWholeFile(marker("topRight")), "\u00e9 5%\n\u00e9 5%\n");
    EXPECT_EQ(runs("topLeft"), 3u);
    EXPECT_EQ(runs("bottomRight"), 2u);
    EXPECT_EQ(runs("bottomLeft"), 2u);
    EXPECT_EQ(runs("hotkey"), 2u);
    // Commands see the environment we were started with, and what the shell adds.
    std::vector<std::string> seen;
    std::istringstream env(readWholeFile(marker("env")));
    for (std::string line; std::getline(env, line);) {
        if (!std::regex_match(line, std::regex("(LOGNAME|SHLVL|PWD|OLDPWD|_)=.*"))) {
            seen.push_back(line);
        }
    }
    std::ranges::sort(seen);
    EXPECT_EQ(seen, startedWith);
}

} // namespace
} // namespace tarnwick::test
