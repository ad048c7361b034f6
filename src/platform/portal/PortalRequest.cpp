#include "platform/portal/PortalRequest.h"

#include "platform/portal/PortalNames.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace tarnwick::portal {

PortalRequest::PortalRequest(QDBusConnection connection, const QString& interface,
                             const QString& method, QVariantList arguments,
                             const QString& handleToken, Done done, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)), m_done(std::move(done)) {
    auto options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), handleToken);
    arguments.append(options);
    listen(requestPath(m_connection, handleToken));
    auto call = QDBusMessage::createMethodCall(names::service, names::path, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::onReply);
}

PortalRequest::~PortalRequest() {
    unlisten();
}

void PortalRequest::listen(const QString& path) {
    m_path = path;
    m_connection.connect(QString(), m_path, names::request, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
}

void PortalRequest::unlisten() {
    if (!m_path.isEmpty()) {
        m_connection.disconnect(QString(), m_path, names::request, QStringLiteral("Response"), this,
                                SLOT(onResponse(QDBusMessage)));
        m_path.clear();
    }
}

void PortalRequest::onReply(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        finish({false, 0, {}, reply.error().name(), reply.error().message()});
        return;
    }
    // Portals before 0.9 chose the request's path themselves.
    if (!m_path.isEmpty() && reply.value().path() != m_path) {
        unlisten();
        listen(reply.value().path());
    }
}

void PortalRequest::onResponse(const QDBusMessage& message) {
    const auto arguments = message.arguments();
    if (arguments.size() < 2) {
        finish({false,
                0,
                {},
                QStringLiteral("org.freedesktop.DBus.Error.InvalidSignature"),
                QStringLiteral("a Response without its code and results")});
        return;
    }
    finish({true, arguments.at(0).toUInt(), qdbus_cast<QVariantMap>(arguments.at(1)), {}, {}});
}

void PortalRequest::finish(const PortalAnswer& answer) {
    if (m_path.isEmpty()) {
        return;
    }
    unlisten();
    auto done = std::move(m_done);
    // Whatever done does to our parent, we go at the next turn of the loop.
    setParent(nullptr);
    deleteLater();
    done(answer);
}

} // namespace tarnwick::portal
