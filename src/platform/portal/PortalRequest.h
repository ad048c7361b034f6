#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

class QDBusPendingCallWatcher;

namespace tarnwick::portal {

// How a portal call ended: the Response signal of its Request object, or an
// error reply to the call itself.
struct PortalAnswer {
    bool replied = false; // false: errorName/errorMessage say why
    uint code = 0;        // 0 success, 1 cancelled by the user, 2 other
    QVariantMap results;
    QString errorName;
    QString errorMessage;

    bool succeeded() const { return replied && code == 0; }
};

// One portal method that answers through org.freedesktop.portal.Request:
// listens on the request's path before calling (the answer may come before
// the call's reply), then hands the answer over once. Deleting it forgets
// the call.
class PortalRequest final : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const PortalAnswer&)>;

    // Calls method on the portal's interface with arguments, whose last one
    // is the options map; handle_token is added to it.
    PortalRequest(QDBusConnection connection, const QString& interface, const QString& method,
                  QVariantList arguments, const QString& handleToken, Done done, QObject* parent);
    ~PortalRequest() override;

private Q_SLOTS:
    void onResponse(const QDBusMessage& message);
    void onReply(QDBusPendingCallWatcher* watcher);

private:
    void listen(const QString& path);
    void unlisten();
    void finish(const PortalAnswer& answer);

    QDBusConnection m_connection;
    QString m_path;
    Done m_done;
};

} // namespace tarnwick::portal
