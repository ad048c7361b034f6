// Hot corners through a real KWin (kwin_x11 on the test's Xvfb, on a private
// bus) and the real binary: a push into a bound corner runs its command once
// through our script and CornerEntered; unbound, switched-off and KWin's own
// corners run nothing; the script replaces one left behind, goes when no
// corner is wanted or the program quits, and comes back when one is wanted.
// (An X11 session refuses the reports: the D-Bus test's.)
#include "e2e/AppTest.h"
#include "kwin/KWinSession.h"

namespace tarnwick::test {
namespace {
namespace fs = std::filesystem;

const std::string kName = "io.github.tarnwick.Tarnwick";
const std::string kPath = "/io/github/tarnwick/Tarnwick";

class KWinTest : public AppTest {
protected:
    // What KWin said, when something failed.
    void TearDown() override {
        AppTest::TearDown();
        if (HasFailure()) {
            std::fprintf(stderr, "KWin's output:\n%s\n",
                         readWholeFile(m_sandbox.root() / "kwin.err").c_str());
        }
    }

    // KWin pushes the pointer a pixel back at each contact: it fires only for
    // a pointer that keeps pushing, for its delay (150 ms).
    void push(const std::string& which) const {
        const int x = which.ends_with("Left") ? 0 : 1279;
        const int y = which.starts_with("top") ? 0 : 799;
        m_client->moveTo(640, 400);
        for (int step = 0; step < 20; ++step) {
            m_client->moveTo(x, y);
            m_client->sync();
            std::this_thread::sleep_for(20ms);
        }
        m_client->moveTo(640, 400);
        m_client->sync();
    }
    Finished call(const std::string& method, const std::vector<std::string>& arguments = {}) const {
        return m_kwin->call(kName, kPath, method, arguments);
    }
    fs::path script() const {
        return m_sandbox.runtimeDirectory() / "tarnwick" / "kwin-corners.js";
    }
    // Ours, loaded and read by KWin: loadScript came after the file.
    bool loaded() const {
        return eventually([&] { return fs::exists(script()) && m_kwin->scriptLoaded(); },
                          kDeadline);
    }

    std::unique_ptr<KWinSession> m_kwin;
};

TEST_F(KWinTest, CornersRunThroughKWinAndNowhereElseFromTheBus) {
    auto topLeft = binding(corner("topLeft"), appendTo("topLeft"));
    auto held = binding(corner("bottomLeft"), appendTo("bottomLeft"));
    auto off = binding(corner("topRight"), appendTo("topRight"));
    off["enabled"] = false;
    writeConfig({topLeft, held, off});
    const std::string ran = "Tarnwick: corner Top-Left ran \"" + appendTo("topLeft") + "\" ok=true";
    // The user's own action on a corner, set before KWin starts; the
    // top-left corner freed of Present Windows, KWin 5's default there.
    m_kwin = KWinSession::start(m_sandbox, m_x->display(),
                                "[ElectricBorders]\nBottomLeft=ShowDesktop\n"
                                "[Effect-windowview]\nBorderActivateAll=9\n");
    ASSERT_TRUE(m_kwin);
    // Left behind by a run that crashed: under our name, on the top-left
    // corner, and it reports the bottom-left one.
    const fs::path stale = m_sandbox.root() / "stale.js";
    std::ofstream(stale) << "registerScreenEdge(KWin.ElectricTopLeft, function () { callDBus(\""
                         << kName << "\", \"" << kPath << "\", \"" << kName
                         << "\", \"CornerEntered\", \"bottomLeft\"); return true; });\n";
    const auto id = m_kwin->scripting("loadScript", {stale.string(), KWinSession::kPlugin}).output;
    ASSERT_EQ(id, "(0,)\n");
    ASSERT_EQ(m_kwin->call("org.kde.KWin", "/0", "org.kde.kwin.Script.run").exitCode, 0);

    // KWin's corners, once the program is on KWin's bus.
    m_app = start("tarnwick",
                  {{"DBUS_SESSION_BUS_ADDRESS", m_kwin->address}, {"TARNWICK_KWIN_CORNERS", "1"}});
    ASSERT_TRUE(eventually([&] { return call(kName + ".ListBindings").exitCode == 0; }, kDeadline))
        << log();
    std::vector<std::string> expected;
    expectLogged(expected, "Tarnwick: hot corners come from KWin's screen edges");
    ASSERT_TRUE(loaded());
    std::this_thread::sleep_for(300ms);
    push("topLeft");
    expectLogged(expected, ran);
    for (const char* silent : {"topRight", "bottomRight", "bottomLeft"}) {
        push(silent);
    }
    // KWin's own action took its corner.
    EXPECT_EQ(m_kwin
                  ->call("org.kde.KWin", "/KWin", "org.freedesktop.DBus.Properties.Get",
                         {"org.kde.KWin", "showingDesktop"})
                  .output,
              "(<true>,)\n");

    // The switch off: no corner is wanted and the script goes; on, it is
    // back, though KWin 5 gives it the number, and so the object, of a script
    // loaded after ours.
    std::ofstream(m_sandbox.root() / "bystander.js") << "print('bystander');\n";
    m_kwin->scripting("loadScript", {(m_sandbox.root() / "bystander.js").string(), "bystander"});
    m_kwin->scripting("start", {});
    const auto setEnabled = [&](const char* value) {
        call("org.freedesktop.DBus.Properties.Set", {kName, "Enabled", value});
    };
    setEnabled("<false>");
    EXPECT_TRUE(eventually([&] { return !m_kwin->scriptLoaded(); }, kDeadline));
    setEnabled("<true>");
    ASSERT_TRUE(loaded());
    std::this_thread::sleep_for(300ms);
    push("topLeft");
    expectLogged(expected, ran);

    // Quitting takes the script and its file away.
    call(kName + ".Quit");
    EXPECT_EQ(m_app->waitForExit(kDeadline), 0);
    EXPECT_FALSE(m_kwin->scriptLoaded());
    EXPECT_FALSE(fs::exists(script()));
    EXPECT_EQ(logged(), expected);
    EXPECT_EQ(runs("topLeft"), 2u);
    EXPECT_EQ(runs("bottomLeft") + runs("topRight"), 0u);
}

} // namespace
} // namespace tarnwick::test
