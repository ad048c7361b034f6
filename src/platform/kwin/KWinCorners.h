#pragma once

#include "config/AppConfig.h"
#include "services/CornerNotes.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QDBusPendingCall;

namespace tarnwick {
class LogSink;
}

namespace tarnwick::kwin {

// The text of our KWin script for these corners: each registers a screen
// edge that calls CornerEntered on our D-Bus object.
QByteArray cornerScript(const std::vector<ScreenCorner>& corners);

// Hot corners on KWin: a Wayland client cannot see the pointer, but KWin's
// screen edges can, and KWin runs scripts. A script of ours, written for the
// corners asked for and loaded over KWin's scripting interface, calls us back
// on the session bus when one fires. Only the corners asked for are taken, so
// KWin's own actions on the others stay as the user set them.
//
// Everything is asynchronous and the last request wins; a failure is said
// once in the log and tried again only at the next request, or when KWin
// comes (back) onto the bus, which also drops every script.
class KWinCorners final : public QObject {
    Q_OBJECT
public:
    // The script's name in KWin, for unloading it whoever loaded it.
    static constexpr const char* pluginName = "io.github.tarnwick.Tarnwick.corners";

    // scriptDirectory: a private directory for the script's file, which KWin reads.
    KWinCorners(QDBusConnection bus, LogSink& log, QString scriptDirectory,
                QObject* parent = nullptr);
    // Unloads the script, waiting a moment for KWin.
    ~KWinCorners() override;
    KWinCorners(const KWinCorners&) = delete;
    KWinCorners& operator=(const KWinCorners&) = delete;

    // Makes KWin watch exactly these corners; none unloads the script.
    void watch(std::vector<ScreenCorner> corners);

    // Told what the cards should say about corners, at once and whenever
    // KWin is told to reload its settings.
    void setNotesHandler(std::function<void(const CornerNotes&)> handler);

private slots:
    void readSettings();

private:
    void step();
    void load();
    void loadScript(int attempt);
    void run(std::vector<ScreenCorner> corners);
    void settle();
    void fail(const QString& what);
    void call(const QDBusPendingCall& pending, std::function<void(const QDBusPendingCall&)> then);
    QString scriptPath() const;

    QDBusConnection m_bus;
    LogSink& m_log;
    QString m_directory;
    std::vector<ScreenCorner> m_wanted;
    // What KWin runs, as far as we know; nothing while unknown.
    std::optional<std::vector<ScreenCorner>> m_running;
    bool m_busy = false;
    QString m_lastFailure;
    std::function<void(const CornerNotes&)> m_onNotes;
    std::optional<CornerNotes> m_notes;
};

// How hot corners reach the program in this session.
enum class CornerRoute : std::uint8_t {
    pointer, // our own watcher of the X pointer
    kwin,    // KWin's screen edges, through KWinCorners
    none,    // nothing can see the pointer: corners are off
};

struct SessionFacts {
    bool wayland = false;
    // $XDG_CURRENT_DESKTOP, a colon-separated list.
    QString currentDesktop;
    bool kwinOnBus = false;
    // $TARNWICK_KWIN_CORNERS=1: KWin's corners even in an X11 session, so
    // that tests can drive a real KWin on Xvfb.
    bool kwinForced = false;

    static SessionFacts current(const QDBusConnection& bus, bool wayland);
};

CornerRoute cornerRoute(const SessionFacts& session);

} // namespace tarnwick::kwin
