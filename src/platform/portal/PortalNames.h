#pragma once

#include <QDBusConnection>
#include <QLatin1String>
#include <QString>

namespace tarnwick::portal {

// Where the desktop portal lives on the session bus.
namespace names {
inline constexpr QLatin1String service{"org.freedesktop.portal.Desktop"};
inline constexpr QLatin1String path{"/org/freedesktop/portal/desktop"};
inline constexpr QLatin1String globalShortcuts{"org.freedesktop.portal.GlobalShortcuts"};
inline constexpr QLatin1String request{"org.freedesktop.portal.Request"};
inline constexpr QLatin1String session{"org.freedesktop.portal.Session"};
inline constexpr QLatin1String registry{"org.freedesktop.host.portal.Registry"};
} // namespace names

// The path of the Request object the portal makes for our call with this
// handle_token: /org/freedesktop/portal/desktop/request/<sender>/<token>,
// where <sender> is our unique name without ':' and with '.' as '_'.
inline QString requestPath(const QDBusConnection& connection, const QString& token) {
    QString sender = connection.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QString(names::path) + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

} // namespace tarnwick::portal
