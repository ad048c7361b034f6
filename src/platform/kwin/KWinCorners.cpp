#include "platform/kwin/KWinCorners.h"

#include "dbus/ApplicationId.h"
#include "platform/kwin/KWinConfig.h"
#include "services/LogSink.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>

namespace tarnwick::kwin {
namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");

QDBusMessage scripting(const char* method) {
    return QDBusMessage::createMethodCall(kwinService, QStringLiteral("/Scripting"),
                                          QStringLiteral("org.kde.kwin.Scripting"),
                                          QString::fromLatin1(method));
}

QByteArray edgeName(ScreenCorner corner) {
    switch (corner) {
    case ScreenCorner::topLeft: return "ElectricTopLeft";
    case ScreenCorner::topRight: return "ElectricTopRight";
    case ScreenCorner::bottomLeft: return "ElectricBottomLeft";
    case ScreenCorner::bottomRight: return "ElectricBottomRight";
    }
    return {};
}

} // namespace

QByteArray cornerScript(const std::vector<ScreenCorner>& corners) {
    QFile file(QStringLiteral(":/tarnwick/kwin/corners.js"));
    file.open(QIODevice::ReadOnly);
    QByteArray text = file.readAll();
    QByteArray registrations;
    for (const ScreenCorner corner : corners) {
        const std::string_view name = rawValue(corner);
        registrations += "registerScreenEdge(KWin." + edgeName(corner) + ", enter(\"" +
                         QByteArray(name.data(), static_cast<qsizetype>(name.size())) + "\"));\n";
    }
    return text.replace("@SERVICE@", applicationId)
        .replace("@PATH@", applicationObjectPath)
        .replace("@INTERFACE@", applicationInterface)
        .replace("@CORNERS@\n", registrations);
}

KWinCorners::KWinCorners(QDBusConnection bus, LogSink& log, QString scriptDirectory,
                         QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_log(log), m_directory(std::move(scriptDirectory)) {
    // A KWin that starts anew runs no script of ours.
    auto* watcher = new QDBusServiceWatcher(kwinService, m_bus,
                                            QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        m_running.reset();
        // KWin takes its name a moment before its scripting object is there.
        QTimer::singleShot(std::chrono::seconds(1), this, &KWinCorners::step);
    });
    // What System Settings sends KWin after changing its settings.
    m_bus.connect(QString(), QStringLiteral("/KWin"), QStringLiteral("org.kde.KWin"),
                  QStringLiteral("reloadConfig"), this, SLOT(readSettings()));
}

KWinCorners::~KWinCorners() {
    if (!m_running || !m_running->empty() || m_busy) {
        m_bus.call(scripting("unloadScript") << QString::fromLatin1(pluginName), QDBus::Block,
                   1000);
    }
    QFile::remove(scriptPath());
}

void KWinCorners::watch(std::vector<ScreenCorner> corners) {
    std::ranges::sort(corners);
    corners.erase(std::ranges::unique(corners).begin(), corners.end());
    m_wanted = std::move(corners);
    step();
}

void KWinCorners::setNotesHandler(std::function<void(const CornerNotes&)> handler) {
    m_onNotes = std::move(handler);
    m_notes.reset();
    readSettings();
}

void KWinCorners::readSettings() {
    CornerNotes notes = EdgeSettings::from(readKWinConfig()).notes();
    if (m_onNotes && notes != m_notes) {
        m_notes = notes;
        m_onNotes(notes);
    }
}

// One change at a time: away with whatever runs under our name (ours, or one
// that a run which crashed left behind), then the script for the corners wanted.
void KWinCorners::step() {
    if (m_busy || m_running == m_wanted) {
        return;
    }
    m_busy = true;
    call(m_bus.asyncCall(scripting("unloadScript") << QString::fromLatin1(pluginName)),
         [this](const QDBusPendingCall& reply) {
             if (reply.isError()) {
                 fail(QStringLiteral("cannot reach KWin's scripting: ") + reply.error().message());
                 return;
             }
             m_running.emplace();
             if (m_wanted.empty()) {
                 settle();
             } else {
                 load();
             }
         });
}

void KWinCorners::load() {
    QDir().mkpath(m_directory);
    QFile::setPermissions(m_directory,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(scriptPath());
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(cornerScript(m_wanted)) < 0 || !file.commit()) {
        fail(QStringLiteral("cannot write the corner script %1: %2")
                 .arg(scriptPath(), file.errorString()));
        return;
    }
    loadScript(0);
}

// KWin lets go of an unloaded script only once its event loop comes round:
// until then the name is taken, and loadScript answers -1.
void KWinCorners::loadScript(int attempt) {
    call(
        m_bus.asyncCall(scripting("loadScript") << scriptPath() << QString::fromLatin1(pluginName)),
        [this, attempt, corners = m_wanted](const QDBusPendingCall& call) {
            const QDBusPendingReply<int> reply = call;
            if (reply.isError()) {
                fail(reply.error().message());
            } else if (reply.value() < 0 && attempt < 20) {
                QTimer::singleShot(std::chrono::milliseconds(50), this,
                                   [this, attempt] { loadScript(attempt + 1); });
            } else if (reply.value() < 0) {
                fail(QStringLiteral("KWin keeps another script under our name"));
            } else {
                run(corners);
            }
        });
}

// A loaded script runs at its own object, /<id>, but KWin 5 numbers scripts
// by how many are loaded, so after another script went that object may be
// someone else's. start(), as System Settings uses it, runs every loaded
// script that does not run yet (and brings the user's own scripts in line
// with their settings, as they are).
void KWinCorners::run(std::vector<ScreenCorner> corners) {
    call(m_bus.asyncCall(scripting("start")), [this, corners = std::move(corners)](
                                                  const QDBusPendingCall& reply) {
        if (reply.isError()) {
            fail(QStringLiteral("KWin did not run the corner script: ") + reply.error().message());
        } else {
            m_running = corners;
            settle();
        }
    });
}

void KWinCorners::settle() {
    m_busy = false;
    m_lastFailure.clear();
    step();
}

// Said once: the same failure at every reload would only repeat itself.
void KWinCorners::fail(const QString& what) {
    m_busy = false;
    if (what != m_lastFailure) {
        m_lastFailure = what;
        m_log.write("Tarnwick: hot corners through KWin: " + what.toStdString());
    }
}

void KWinCorners::call(const QDBusPendingCall& pending,
                       std::function<void(const QDBusPendingCall&)> then) {
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [then = std::move(then)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                then(*finished);
            });
}

QString KWinCorners::scriptPath() const {
    return QDir(m_directory).filePath(QStringLiteral("kwin-corners.js"));
}

SessionFacts SessionFacts::current(const QDBusConnection& bus, bool wayland) {
    SessionFacts facts;
    facts.wayland = wayland;
    facts.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    facts.kwinForced = qEnvironmentVariable("TARNWICK_KWIN_CORNERS") == QLatin1String("1");
    // A round trip to the bus only where KWin could be the way: not at every X11 start.
    facts.kwinOnBus = (wayland || facts.kwinForced) && bus.isConnected() &&
                      bus.interface() != nullptr &&
                      bus.interface()->isServiceRegistered(kwinService).value();
    return facts;
}

CornerRoute cornerRoute(const SessionFacts& session) {
    if (session.kwinForced) {
        return CornerRoute::kwin;
    }
    if (!session.wayland) {
        return CornerRoute::pointer;
    }
    const bool kde = session.currentDesktop.split(QLatin1Char(':'))
                         .contains(QLatin1String("KDE"), Qt::CaseInsensitive);
    return kde && session.kwinOnBus ? CornerRoute::kwin : CornerRoute::none;
}

} // namespace tarnwick::kwin
