// Hot corners through KWin below the program: what KWin's settings make of
// the corners, as the cards say it; which way corners reach the program in
// which session; the script for a set of corners; and its loader against a
// KWin of the test's own on a private bus: it says once why it cannot reach
// KWin, loads when KWin comes, writes the script privately, gives up on a
// name KWin keeps taken, reports KWin's errors, rereads KWin's settings when
// told to, and unloads when it goes.
#include "platform/kwin/KWinCorners.h"
#include "platform/kwin/KWinConfig.h"
#include "portal/PortalTestBus.h"
#include "support/RecordingLogSink.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>
#include <sys/stat.h>

namespace tarnwick::test {
namespace {

kwin::EdgeSettings settingsOf(const std::vector<std::string>& cascade) {
    kwin::KConfigGroups config;
    for (const std::string& file : cascade) {
        kwin::mergeKConfig(file, config);
    }
    return kwin::EdgeSettings::from(config);
}

TEST(KWinConfig, CornersHeldByKWinAndItsDelaysAsTheCardsSayThem) {
    struct Case {
        std::vector<std::string> cascade; // the user's file first
        kwin::EdgeSettings expected;
    };
    const std::vector<Case> cases{
        // Unset, the top-left corner is Present Windows'; "9" is none; a script off holds none.
        {{}, {150, 350, 1, {"Present Windows (all desktops)", "", "", ""}}},
        {{"[Effect-windowview]\nBorderActivateAll=9\n[Script-idle]\nBorderActivate=7\n"},
         {150, 350, 1, {}}},
        // Actions by any case, flags and comments; an unknown action is none.
        {{"# mine\n[ElectricBorders]\nTopLeft[$i]=showdesktop\n  TopRight = KRunner \n"
          "BottomLeft=Nonsense\n[Windows]\nElectricBorderDelay=300\n"},
         {300, 350, 1, {"Show Desktop", "KRunner", "", ""}}},
        // Effects by KWin's numbers (7 top-left, 1 top-right, 5 bottom-left,
        // 3 bottom-right), while they are on; the window switcher; scripts
        // only when switched on.
        {{"[Effect-overview]\nBorderActivate=9,3\n[Effect-windowview]\nBorderActivateAll=7\n"
          "[TabBox]\nBorderAlternativeActivate=1\n[Script-tiler]\nBorderActivate=5\n"
          "[Plugins]\ntilerEnabled=true\n"},
         {150,
          350,
          1,
          {"Present Windows (all desktops)", "the alternative window switcher", "the script tiler",
           "Overview"}}},
        {{"[Effect-desktopgrid]\nBorderActivate=7\n[Plugins]\ndesktopgridEnabled=false\n"
          "windowviewEnabled=false\n"},
         {150, 350, 1, {}}},
        // The user's file wins over the system's; nonsense numbers are KWin's defaults.
        {{"[Windows]\nElectricBorderCooldown=x\nElectricBorderPushbackPixels=0\n",
          "[Windows]\nElectricBorderPushbackPixels=5\nElectricBorderDelay=-4\n"
          "[ElectricBorders]\nBottomRight=LockScreen\n"},
         {0, 350, 0, {"Present Windows (all desktops)", "", "", "Lock Screen"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settingsOf(c.cascade), c.expected) << (c.cascade.empty() ? "" : c.cascade[0]);
    }

    const CornerNotes defaults = kwin::EdgeSettings{}.notes();
    EXPECT_EQ(defaults.behaviour,
              "KWin fires it after 150 ms of pushing, not again for 200 ms, and during drags too");
    EXPECT_EQ(defaults.size, "decided by KWin");
    const CornerNotes atOnce = kwin::EdgeSettings{400, 100, 0, {"", "Overview", "", ""}}.notes();
    EXPECT_EQ(atOnce.behaviour,
              "KWin fires it at first touch, not again for 50 ms, and during drags too");
    EXPECT_EQ(atOnce.heldBy[1], "KWin uses this corner for Overview");
}

TEST(KWinCorners, TheRouteOfCornersInEachSession) {
    struct Case {
        kwin::SessionFacts session;
        kwin::CornerRoute expected;
    };
    const std::vector<Case> cases{
        {{false, "KDE", true, false}, kwin::CornerRoute::pointer},
        {{false, "GNOME", false, false}, kwin::CornerRoute::pointer},
        {{true, "KDE", true, false}, kwin::CornerRoute::kwin},
        {{true, "ubuntu:kde", true, false}, kwin::CornerRoute::kwin},
        {{true, "KDE", false, false}, kwin::CornerRoute::none},
        {{true, "GNOME", true, false}, kwin::CornerRoute::none},
        {{true, "sway", false, false}, kwin::CornerRoute::none},
        {{false, "", false, true}, kwin::CornerRoute::kwin},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kwin::cornerRoute(c.session), c.expected)
            << c.session.currentDesktop.toStdString();
    }
}

TEST(KWinCorners, TheScriptRegistersExactlyTheCornersAskedFor) {
    const QString script =
        QString::fromUtf8(kwin::cornerScript({ScreenCorner::topRight, ScreenCorner::bottomLeft}));
    EXPECT_EQ(script.count(QStringLiteral("registerScreenEdge(")), 2);
    EXPECT_TRUE(script.contains(
        QStringLiteral("registerScreenEdge(KWin.ElectricTopRight, enter(\"topRight\"));\n"
                       "registerScreenEdge(KWin.ElectricBottomLeft, enter(\"bottomLeft\"));\n")));
    EXPECT_FALSE(script.contains(QLatin1Char('@')));
}

// KWin's scripting object, on a thread of its own so that blocking calls get answers.
class FakeScripting final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")
public:
    std::vector<std::string> calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::atomic<int> answer = 0; // loadScript's; -2: an error
    std::string script;          // the file as loadScript found it

public slots:
    int loadScript(const QString& path, const QString& name) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        record("load " + name.toStdString(), file.readAll().toStdString());
        if (answer == -2) {
            sendErrorReply(QStringLiteral("org.kde.Test.Error"), QStringLiteral("broken"));
        }
        return answer;
    }
    bool unloadScript(const QString& name) { return record("unload " + name.toStdString()), true; }
    void start() { record("start"); }

private:
    void record(std::string call, std::string text = {}) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        script = text.empty() ? script : std::move(text);
    }
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

class KWinCornersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_bus.address.empty());
        ::setenv("XDG_CONFIG_HOME", (m_sandbox.root() / "config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", m_sandbox.root().c_str(), 1);
        m_kwin.moveToThread(&m_thread);
        m_thread.start();
    }
    void TearDown() override {
        m_thread.quit();
        m_thread.wait();
    }
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(QString::fromStdString(m_bus.address), name);
    }
    // KWin takes its name, and answers at /Scripting; or goes.
    void kwinOnBus(bool on) {
        QDBusConnection kwin = connect(QStringLiteral("kwin"));
        if (on) {
            kwin.registerObject(QStringLiteral("/Scripting"), &m_kwin,
                                QDBusConnection::ExportAllSlots);
            kwin.registerService(QStringLiteral("org.kde.KWin"));
        } else {
            kwin.unregisterService(QStringLiteral("org.kde.KWin"));
            kwin.unregisterObject(QStringLiteral("/Scripting"));
        }
    }
    static bool until(const std::function<bool()>& condition) { return spinUntil(condition, 5s); }

    Sandbox m_sandbox;
    PrivateBus m_bus{m_sandbox};
    FakeScripting m_kwin;
    QThread m_thread;
};

TEST_F(KWinCornersTest, LoadsWhenKWinComesAndSaysOnceWhyNot) {
    RecordingLogSink log;
    const std::string dir = (m_sandbox.runtimeDirectory() / "tarnwick").string();
    const std::string unload = "unload io.github.tarnwick.Tarnwick.corners";
    const std::string load = "load io.github.tarnwick.Tarnwick.corners";
    std::vector<CornerNotes> notes;
    auto corners = std::make_unique<kwin::KWinCorners>(connect(QStringLiteral("app")), log,
                                                       QString::fromStdString(dir));
    corners->setNotesHandler([&](const CornerNotes& n) { notes.push_back(n); });
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].heldBy[0], "KWin uses this corner for Present Windows (all desktops)");

    // No KWin: said once, however often asked.
    corners->watch({ScreenCorner::topLeft, ScreenCorner::topRight, ScreenCorner::topLeft});
    ASSERT_TRUE(until([&] { return !log.lines.empty(); }));
    corners->watch({ScreenCorner::topRight, ScreenCorner::topLeft});
    spinFor(300ms);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(log.lines[0].starts_with(
        "Tarnwick: hot corners through KWin: cannot reach KWin's scripting: "))
        << log.lines[0];
    // KWin comes: away with what runs under our name, then ours, started.
    kwinOnBus(true);
    ASSERT_TRUE(until([&] { return m_kwin.calls().size() == 3; }));
    EXPECT_EQ(m_kwin.calls(), (std::vector<std::string>{unload, load, "start"}));
    EXPECT_EQ(m_kwin.script,
              kwin::cornerScript({ScreenCorner::topLeft, ScreenCorner::topRight}).toStdString());
    struct stat file {
    }, folder{};
    ASSERT_EQ(::stat((dir + "/kwin-corners.js").c_str(), &file) | ::stat(dir.c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    // A name KWin keeps taken, and a broken answer: said, not retried for ever.
    m_kwin.answer = -1;
    corners->watch({ScreenCorner::bottomLeft});
    ASSERT_TRUE(until([&] { return log.lines.size() == 2; }));
    EXPECT_EQ(log.lines[1],
              "Tarnwick: hot corners through KWin: KWin keeps another script under our name");
    m_kwin.answer = -2;
    corners->watch({ScreenCorner::bottomRight});
    ASSERT_TRUE(until([&] { return log.lines.size() == 3; }));
    EXPECT_EQ(log.lines[2], "Tarnwick: hot corners through KWin: broken");
    const std::size_t before = m_kwin.calls().size();
    spinFor(300ms);
    EXPECT_EQ(m_kwin.calls().size(), before);

    // KWin's settings changed, as System Settings announces it.
    std::ofstream(m_sandbox.root() / "config" / "kwinrc")
        << "[Effect-windowview]\nBorderActivateAll=9\n[Windows]\nElectricBorderDelay=300\n";
    auto signal = QDBusMessage::createSignal(
        QStringLiteral("/KWin"), QStringLiteral("org.kde.KWin"), QStringLiteral("reloadConfig"));
    connect(QStringLiteral("kwin")).send(signal);
    ASSERT_TRUE(until([&] { return notes.size() == 2; }));
    EXPECT_EQ(notes[1].heldBy[0], "");
    EXPECT_TRUE(notes[1].behaviour.starts_with("KWin fires it after 300 ms")) << notes[1].behaviour;

    // KWin restarts: it runs no script of ours, so ours is loaded anew; and
    // going, we unload it and take its file.
    m_kwin.answer = 0;
    corners->watch({ScreenCorner::topLeft});
    ASSERT_TRUE(until([&] { return m_kwin.calls().back() == "start"; }));
    kwinOnBus(false);
    kwinOnBus(true);
    const std::size_t restarted = m_kwin.calls().size();
    ASSERT_TRUE(until([&] { return m_kwin.calls().size() == restarted + 3; }));
    corners.reset();
    EXPECT_EQ(m_kwin.calls().back(), unload);
    EXPECT_FALSE(std::filesystem::exists(dir + "/kwin-corners.js"));
    EXPECT_EQ(log.lines.size(), 3u);
}

} // namespace
} // namespace tarnwick::test

#include "KWinCornersTest.moc"
