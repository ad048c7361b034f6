// The script's loader against a KWin of the test's own on a private bus: it
// says once why it cannot reach KWin, loads when KWin comes, writes the
// script privately, gives up on a name KWin keeps taken, reports KWin's
// errors, rereads KWin's settings when told to, and unloads when it goes.
#include "platform/kwin/KWinCorners.h"
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
