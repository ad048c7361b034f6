#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <string>
#include <string_view>

class QTimer;

namespace tarnwick::portal {

// The systemd user unit a process runs in, from the text of its
// /proc/<pid>/cgroup, as systemd's sd_pid_get_user_unit finds it: the first
// unit below the user manager's own that is not a slice. "" when none.
std::string userUnitOfCgroup(std::string_view cgroupFile);

// The application id xdg-desktop-portal reads from a user unit's name:
// app[-<launcher>]-<id>-<random>.scope (or .slice),
// app[-<launcher>]-<id>[@<random>].service; "" for any other name, or an id
// without a dot.
std::string applicationIdOfUnit(std::string_view unit);

// The name of the scope we ask systemd for: app-<id>-<pid>.scope, with
// systemd's escaping of the id.
std::string scopeNameFor(std::string_view applicationId, long pid);

// Makes a host (not sandboxed) program known to the desktop portal by its
// application id, which the portal otherwise leaves empty.
//
// What the portals do (checked in xdg-desktop-portal's sources; 1.16 on this
// platform, where no user systemd runs):
// - 1.19.3 and later have org.freedesktop.host.portal.Registry: Register(id,
//   {}) names the caller, and must come before any other portal call on the
//   connection.
// - Before that, the portal takes the id of a host program only from the
//   name of its systemd user unit (see applicationIdOfUnit). Plasma starts
//   programs from their desktop file (menu, autostart) in such a scope;
//   a terminal or a plain fork/exec does not. systemd's user manager
//   moves a running process into a new scope on request (StartTransientUnit
//   with PIDs), which works from anywhere the user manager runs.
// - Without a user manager there is no way: the portal leaves the id empty,
//   and KDE then names our shortcuts' component after the session token alone.
class ApplicationScope final : public QObject {
    Q_OBJECT
public:
    ApplicationScope(QDBusConnection connection, std::string applicationId,
                     QObject* parent = nullptr);

    // Registers, or moves this process into a scope of its own, whichever
    // works; then done with one line for the log on what the portal will
    // know us by. Call it once, before any other portal call: the portal
    // keeps what it first found for a connection (the registry's name is per
    // connection too), and Qt's own plugins may call portals on the shared
    // session connection. So give it a connection of its own
    // (QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)) and
    // make the GlobalShortcutsPortal on that one once done has been called.
    void establish(std::function<void(const std::string& logLine)> done);

private:
    void registerWithPortal();
    void moveIntoScope();
    void awaitScope(const std::string& scope, int triesLeft);
    void finish(const std::string& logLine);

    QDBusConnection m_connection;
    std::string m_applicationId;
    std::function<void(const std::string&)> m_done;
};

} // namespace tarnwick::portal
