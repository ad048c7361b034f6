// The real binary as a native Wayland client of a headless KDE Plasma 5.27
// desktop (KWin, kglobalaccel, xdg-desktop-portal and its KDE backend): its
// hotkeys bound through the GlobalShortcuts portal and fired through
// kglobalaccel as their keys would fire them.
#include "e2e/AppTest.h"
#include "portal/KdeChain.h"

namespace tarnwick::test {
namespace {
namespace fs = std::filesystem;

class WaylandAppTest : public AppTest {
protected:
    // No X server: the desktop is the chain's.
    void SetUp() override { ASSERT_TRUE(m_chain.ready()) << m_chain.logs(); }
    // The program goes before its desktop.
    void TearDown() override { m_app.reset(); }

    std::unique_ptr<Process> startApp() const {
        auto environment = m_chain.environment();
        environment["LSAN_OPTIONS"] = "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0";
        return Process::spawn({TARNWICK_BINARY}, m_sandbox.environment(environment),
                              errFile("tarnwick"));
    }
    Finished call(const std::string& destination, const std::string& path,
                  const std::string& method, const std::vector<std::string>& arguments) const {
        std::vector<std::string> argv{"gdbus", "call", "--address=" + m_chain.busAddress()};
        argv.insert(argv.end(), {"--dest=" + destination, "--object-path=" + path});
        argv.insert(argv.end(), {"--method=" + method, "--"});
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return Process::runToEnd(argv, m_sandbox.environment(), kDeadline);
    }
    // What a press of the shortcut's key does.
    void invoke(const std::string& id) const {
        EXPECT_EQ(call("org.kde.kglobalaccel", "/component/tarnwick",
                       "org.kde.kglobalaccel.Component.invokeShortcut", {id})
                      .exitCode,
                  0);
    }
    void setEnabled(bool enabled) const {
        EXPECT_EQ(call(kName, kPath, "org.freedesktop.DBus.Properties.Set",
                       {kName, "Enabled", enabled ? "<true>" : "<false>"})
                      .exitCode,
                  0);
    }
    void quit() {
        EXPECT_EQ(call(kName, kPath, kName + ".Quit", {}).exitCode, 0);
        EXPECT_EQ(m_app->waitForExit(kDeadline), 0) << log();
    }

    static inline const std::string kName = "io.github.tarnwick.Tarnwick";
    static inline const std::string kPath = "/io/github/tarnwick/Tarnwick";
    KdeChain m_chain{m_sandbox};
};

TEST_F(WaylandAppTest, HotkeysRunOncePerActivationRebindAndKeepTheUsersKey) {
    auto alpha = binding(hotkey(), appendTo("alpha"));
    // KWin holds Alt+F4: the desktop gives Beta no key, and says so, though
    // KDE's first answer names the key asked for.
    auto beta = binding(hotkey("\u2325F4", 0x0800), appendTo("beta"));
    beta["trigger"]["hotkey"]["keyCode"] = 118;
    auto gamma = binding(hotkey("\u2303\u21e7G", 0x1200), appendTo("gamma"));
    gamma["enabled"] = false;
    alpha["name"] = "Alpha", beta["name"] = "Beta", gamma["name"] = "Gamma";
    const auto topRight = binding(corner("topRight"), appendTo("corner"));
    writeConfig({alpha, beta, gamma, topRight});
    const std::string idAlpha = alpha["id"], idBeta = beta["id"], idGamma = gamma["id"];
    const std::string ranAlpha = "Tarnwick: hotkey ran \"" + appendTo("alpha") + "\" ok=true";
    const std::string ranBeta = "Tarnwick: hotkey ran \"" + appendTo("beta") + "\" ok=true";
    const std::string started[] = {
        "Tarnwick: hot corners come from KWin's screen edges",
        "Tarnwick: no systemd user manager to start us in a unit of our own (The name "
        "org.freedesktop.systemd1 was not provided by any .service files): the desktop portal "
        "will not know our application id"};

    m_app = startApp();
    ASSERT_TRUE(m_app);
    std::vector<std::string> expected(std::begin(started), std::end(started));
    expected.push_back("Tarnwick: the desktop assigned Meta+Alt+T to \"Alpha\"");
    expectLogged(expected, "Tarnwick: the desktop assigned no key to \"Beta\"");
    ASSERT_FALSE(HasFailure());

    // Each activation runs its command once; the disabled binding nothing.
    invoke(idAlpha);
    expectLogged(expected, ranAlpha);
    invoke(idGamma);
    invoke(idBeta);
    expectLogged(expected, ranBeta);
    invoke(idAlpha);
    expectLogged(expected, ranAlpha);

    // The switch off gives the keys back; on again binds them anew.
    setEnabled(false);
    invoke(idAlpha);
    setEnabled(true);
    expected.push_back("Tarnwick: the desktop assigned Meta+Alt+T to \"Alpha\"");
    expectLogged(expected, "Tarnwick: the desktop assigned no key to \"Beta\"");
    invoke(idAlpha);
    expectLogged(expected, ranAlpha);

    // The user gives Alpha Meta+F9 in the desktop's settings: said at once.
    constexpr int kMetaF9 = 0x10000000 | 0x01000038; // Qt's key codes, as kglobalaccel has them
    EXPECT_EQ(call("org.kde.kglobalaccel", "/kglobalaccel",
                   "org.kde.KGlobalAccel.setForeignShortcut",
                   {"['tarnwick','" + idAlpha + "','','']", "[" + std::to_string(kMetaF9) + "]"})
                  .exitCode,
              0);
    expectLogged(expected, "Tarnwick: the desktop assigned Meta+F9 to \"Alpha\"");
    quit();
    EXPECT_EQ(logged(), expected);

    // The next start, with Beta switched off meanwhile, keeps the user's key;
    // Beta's key, still the desktop's, runs nothing.
    fs::rename(errFile("tarnwick"), errFile("first"));
    beta["enabled"] = false;
    writeConfig({alpha, beta, gamma, topRight});
    m_app = startApp();
    ASSERT_TRUE(m_app);
    expected.assign(std::begin(started), std::end(started));
    expectLogged(expected, "Tarnwick: the desktop assigned Meta+F9 to \"Alpha\"");
    invoke(idBeta);
    invoke(idAlpha);
    expectLogged(expected, ranAlpha);
    std::this_thread::sleep_for(kQuiet);
    quit();
    EXPECT_EQ(logged(), expected);
    EXPECT_EQ(runs("alpha"), 4u);
    EXPECT_EQ(runs("beta"), 1u);
    EXPECT_EQ(runs("gamma"), 0u);
}

} // namespace
} // namespace tarnwick::test
