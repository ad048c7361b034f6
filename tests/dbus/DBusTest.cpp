// Tarnwick's D-Bus object as other programs see it: the real binary on a
// private session bus, called with gdbus and through `tarnwick --run,
// --toggle, --settings`, its calls and signals watched with dbus-monitor.
#include "e2e/AppTest.h"

#include <fstream>

namespace tarnwick::test {
namespace {

const std::string kName = "io.github.tarnwick.Tarnwick";
const std::string kPath = "/io/github/tarnwick/Tarnwick";

class DBusTest : public AppTest {
protected:
    void startBus() {
        m_bus.emplace(m_sandbox);
        ASSERT_FALSE(m_bus->address.empty()) << readWholeFile(errFile("bus"));
        m_address = m_bus->address;
    }
    // A monitor on the bus, its output in a file.
    void watch() {
        m_monitor =
            Process::spawn({"sh", "-c", "exec dbus-monitor \"$@\" >&2", "sh", "--address",
                            m_address, "interface='" + kName + "'", "member='PropertiesChanged'"},
                           m_sandbox.environment(), errFile("monitor"));
        // A monitor loses the name it had: from then on it sees everything.
        ASSERT_TRUE(eventually([&] { return monitored().find("\nNameLost ") != std::string::npos; },
                               kDeadline));
    }

    std::map<std::string, std::string> onBus() const {
        return {{"DBUS_SESSION_BUS_ADDRESS", m_address}};
    }
    // gdbus on our object, in a UTF-8 locale so that hotkeys come out whole.
    Finished call(const std::string& method, const std::vector<std::string>& arguments = {}) const {
        return m_bus->call(kName, kPath, method, arguments);
    }
    // tarnwick with a request for the running instance, without a display.
    Finished remote(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), TARNWICK_BINARY);
        return Process::runToEnd(
            arguments, environment({{"DISPLAY", ""}, {"DBUS_SESSION_BUS_ADDRESS", m_address}}),
            kDeadline);
    }

    // What the monitor saw, a message a line: its member, then its arguments.
    std::string monitored() const {
        std::istringstream in(readWholeFile(errFile("monitor")));
        std::string messages;
        for (std::string line; std::getline(in, line);) {
            if (const auto member = line.find(" member="); member != std::string::npos) {
                messages += '\n' + line.substr(member + 8);
            } else {
                std::istringstream words(line);
                for (std::string word; words >> word;) {
                    messages += ' ' + word;
                }
            }
        }
        return messages + '\n';
    }
    std::size_t seen(const std::string& message) const {
        const std::string all = monitored();
        std::size_t count = 0;
        for (auto at = all.find('\n' + message + '\n'); at != std::string::npos;
             at = all.find('\n' + message + '\n', at + 1)) {
            ++count;
        }
        return count;
    }
    void expectSeen(const std::string& message, std::size_t times) const {
        EXPECT_TRUE(eventually([&] { return seen(message) >= times; }, kDeadline))
            << message << " in" << monitored();
        EXPECT_EQ(seen(message), times) << monitored();
    }

    std::optional<SessionBus> m_bus;
    std::unique_ptr<Process> m_monitor;
    std::string m_address;
};

TEST_F(DBusTest, EveryMethodThePropertyTheSignalAndTheCommandLine) {
    auto a = binding(corner("topLeft"), appendTo("a"));
    auto b = binding(hotkey(), appendTo("b"));
    b["name"] = "Say hi";
    auto off = binding(corner("bottomRight"), "true");
    off["enabled"] = false;
    writeConfig({a, b, off});
    const std::string idA = a["id"], idB = b["id"], idOff = off["id"];
    const std::string triggeredA = "Triggered string \"" + idA + "\"";
    const std::string triggeredB = "Triggered string \"" + idB + "\"";
    const auto dbusRan = [](const std::string& command) {
        return "Tarnwick: D-Bus ran \"" + command + "\" ok=true";
    };

    // No bus, then a bus without Tarnwick: every request fails and says why.
    auto done = Process::runToEnd({TARNWICK_BINARY, "--toggle"}, environment({}), kDeadline);
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_EQ(done.output,
              "tarnwick: no D-Bus session bus, so no running Tarnwick can be reached\n");
    startBus();
    ASSERT_FALSE(HasFatalFailure());
    for (const std::vector<std::string>& request :
         {std::vector<std::string>{"--run", idA}, {"--toggle"}, {"--settings"}}) {
        done = remote(request);
        EXPECT_EQ(done.exitCode, 1);
        EXPECT_EQ(done.output, "tarnwick: Tarnwick is not running\n");
    }
    watch();
    ASSERT_FALSE(HasFatalFailure());

    auto app = onBus();
    app["LSAN_OPTIONS"] = "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0";
    m_app = start("tarnwick", app);
    ASSERT_TRUE(eventually([&] { return call(kName + ".ListBindings").exitCode == 0; }, kDeadline))
        << log();
    EXPECT_EQ(call(kName + ".ListBindings").output,
              "([('" + idA + "', '" + idA + "', 'Top-Left'), ('" + idB +
                  "', 'Say hi', '\u2325\u2318T'), ('" + idOff + "', '" + idOff +
                  "', 'Bottom-Right')],)\n");

    // Run by id; an unknown id and a binding switched off are errors.
    std::vector<std::string> expected;
    EXPECT_EQ(call(kName + ".RunBinding", {idA}).output, "()\n");
    expectLogged(expected, dbusRan(appendTo("a")));
    expectSeen(triggeredA, 1);
    done = call(kName + ".RunBinding", {"nope"});
    EXPECT_NE(done.exitCode, 0);
    EXPECT_NE(done.output.find(kName + ".Error.UnknownBinding"), std::string::npos) << done.output;
    done = call(kName + ".RunBinding", {idOff});
    EXPECT_NE(done.output.find(kName + ".Error.Disabled"), std::string::npos) << done.output;
    // The desktop's corner reports are refused where our own watcher runs; no corner is nonsense.
    done = call(kName + ".CornerEntered", {"topLeft"});
    EXPECT_NE(done.output.find(kName + ".Error.NotAvailable"), std::string::npos) << done.output;
    done = call(kName + ".CornerEntered", {"middle"});
    EXPECT_NE(done.output.find("org.freedesktop.DBus.Error.InvalidArgs"), std::string::npos)
        << done.output;

    // Corners and hotkeys say Triggered too.
    enter("topLeft");
    expectLogged(expected, "Tarnwick: corner Top-Left ran \"" + appendTo("a") + "\" ok=true");
    expectSeen(triggeredA, 2);
    pressHotkey();
    expectLogged(expected, "Tarnwick: hotkey ran \"" + appendTo("b") + "\" ok=true");
    expectSeen(triggeredB, 1);

    // The command line: by name, an unknown one, the switch both ways.
    done = remote({"--run", "Say hi"});
    EXPECT_EQ(done.exitCode, 0) << done.output;
    expectLogged(expected, dbusRan(appendTo("b")));
    expectSeen(triggeredB, 2);
    done = remote({"--run", "nope"});
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_EQ(done.output, "tarnwick: no binding has the id or name \"nope\"\n");
    done = remote({"--toggle"});
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_EQ(done.output, "Triggers disabled\n");
    EXPECT_TRUE(savedSwitch(false));
    expectSeen("PropertiesChanged string \"" + kName +
                   "\" array [ dict entry( string \"Enabled\" variant boolean false ) ] array [ ]",
               1);
    EXPECT_EQ(call("org.freedesktop.DBus.Properties.Get", {kName, "Enabled"}).output,
              "(<false>,)\n");
    done = remote({"--run", idA});
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_EQ(done.output, "tarnwick: triggers are disabled\n");
    EXPECT_EQ(call("org.freedesktop.DBus.Properties.Set", {kName, "Enabled", "<true>"}).exitCode,
              0);
    EXPECT_TRUE(savedSwitch(true));

    // The settings window, asked for and by a second start, which then goes.
    EXPECT_EQ(remote({"--settings"}).exitCode, 0);
    expectSeen("ShowSettings", 1);
    EXPECT_TRUE(eventually([&] { return m_x->run("xwininfo -name Tarnwick >/dev/null 2>&1") == 0; },
                           kDeadline));
    auto second = start("second", onBus());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->waitForExit(kDeadline), 0) << readWholeFile(errFile("second"));
    expectSeen("ShowSettings", 2);

    EXPECT_EQ(call(kName + ".Quit").output, "()\n");
    EXPECT_EQ(m_app->waitForExit(kDeadline), 0) << log();
    EXPECT_EQ(logged(), expected) << log();
    EXPECT_EQ(runs("a"), 2u);
    EXPECT_EQ(runs("b"), 2u);
}

} // namespace
} // namespace tarnwick::test
