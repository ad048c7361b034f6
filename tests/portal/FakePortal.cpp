#include "portal/FakePortal.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>

namespace tarnwick::test {
namespace {

using PortalShortcuts = QList<QPair<QString, QVariantMap>>;
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QString senderPart(const QDBusMessage& message) {
    return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}

} // namespace

FakePortal::FakePortal(const std::string& busAddress, Dialect dialect)
    : m_bus(QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                          QStringLiteral("fake-portal"))),
      m_dialect(dialect) {
    qDBusRegisterMetaType<PortalShortcuts::value_type>();
    qDBusRegisterMetaType<PortalShortcuts>();
    m_bus.registerVirtualObject(kPath, this, QDBusConnection::SubPath);
}

FakePortal::~FakePortal() {
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

void FakePortal::appear(Interfaces interfaces) {
    m_interfaces = interfaces;
    m_bus.registerService(kService);
}

void FakePortal::vanish() {
    m_bus.unregisterService(kService);
    m_sessions.clear();
    m_last.clear();
}

QString FakePortal::session() const {
    return m_sessions.contains(m_last) ? m_last : QString();
}

void FakePortal::activate(const QString& session, const QString& id) {
    emitSignal(kPath, kShortcuts, QStringLiteral("Activated"),
               {QVariant::fromValue(QDBusObjectPath(session)), id, qulonglong(0), QVariantMap()});
}

void FakePortal::changeKey(const QString& session, const std::string& id, const std::string& key) {
    keys[id] = key;
    auto& changed = m_sessions[session];
    changed.answered = listed(changed.shortcuts, false);
    emitSignal(kPath, kShortcuts, QStringLiteral("ShortcutsChanged"),
               {QVariant::fromValue(QDBusObjectPath(session)), changed.answered});
}

void FakePortal::closeFromPortal(const QString& session) {
    m_sessions.erase(session);
    emitSignal(session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
               {QVariantMap()});
}

void FakePortal::release() {
    m_holding = false;
    for (const auto& call : std::exchange(m_held, {})) {
        handleMessage(call, m_bus);
    }
}

void FakePortal::emitSignal(const QString& path, const QString& interface, const QString& name,
                            const QVariantList& arguments) {
    auto signal = QDBusMessage::createSignal(path, interface, name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

// Each shortcut with the desktop's text of its key: the stored one, or, in
// KDE's first answer for a shortcut new to it, the one asked for.
QVariant FakePortal::listed(const QVariantMap& shortcuts, bool firstAnswer) {
    PortalShortcuts list;
    for (auto it = shortcuts.begin(); it != shortcuts.end(); ++it) {
        const std::string id = it.key().toStdString();
        const auto properties = it.value().toMap();
        const auto stored = keys.find(id);
        const bool asAsked = (firstAnswer && !m_known.contains(id)) || stored == keys.end();
        list.append({it.key(),
                     {{"description", properties.value("description")},
                      {"trigger_description",
                       asAsked ? properties.value("preferred_trigger").toString().toUpper()
                               : QString::fromStdString(stored->second)}}});
        m_known.insert(id);
    }
    return QVariant::fromValue(list);
}

void FakePortal::take(Session& session, const QVariant& shortcuts, std::string& line) {
    for (const auto& [id, properties] : qdbus_cast<PortalShortcuts>(shortcuts)) {
        session.shortcuts[id] = properties;
        line += " " + id.toStdString() + "=" +
                properties.value("description").toString().toStdString() + "/" +
                properties.value("preferred_trigger").toString().toStdString();
    }
}

void FakePortal::answer(const QDBusMessage& call, uint code, const QVariantMap& results) {
    const QString path =
        kPath + "/request/" + senderPart(call) + "/" +
        qdbus_cast<QVariantMap>(call.arguments().last()).value("handle_token").toString();
    m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    emitSignal(path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
               {code, results});
}

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    const QString method = message.member();
    if (message.path() != kPath) { // a session's Close
        calls.push_back("Close");
        m_sessions.erase(message.path());
        m_bus.send(message.createReply());
        return true;
    }
    const bool registry = message.interface() == "org.freedesktop.host.portal.Registry";
    if ((registry && m_interfaces != Interfaces::withRegistry) ||
        (!registry && m_interfaces == Interfaces::none)) {
        m_bus.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                     "No such interface " + message.interface()));
        return true;
    }
    if (registry) {
        calls.push_back("Register " + message.arguments().at(0).toString().toStdString());
        m_bus.send(message.createReply());
        return true;
    }
    if (m_holding) {
        m_held.push_back(message);
        return true;
    }
    const uint code = codes[method.toStdString()];
    std::string line = method.toStdString();
    const auto arguments = message.arguments();
    QVariantMap results;
    if (method == "CreateSession") {
        const auto options = qdbus_cast<QVariantMap>(arguments.at(0));
        const QString token = options.value("session_handle_token").toString();
        const QString path = kPath + "/session/" + senderPart(message) + "/" + token;
        line += " " + token.toStdString();
        const bool clash = m_sessions.contains(path); // KDE's answer for a live token
        if (code == 0 && !clash) {
            Session& session = m_sessions[path];
            if (m_dialect == Dialect::kde) {
                take(session, options.value("shortcuts"), line);
                session.answered = listed(session.shortcuts, true);
                results["shortcuts"] = session.answered;
            }
            results["session_handle"] = path;
            m_last = path;
        }
        answer(message, clash ? 2 : code, results);
    } else {
        const QString path = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
        auto session = m_sessions.find(path);
        uint failed = session == m_sessions.end() ? 2 : code;
        if (method == "BindShortcuts" && failed == 0) {
            take(session->second, arguments.at(1), line);
            failed = session->second.bound ? 2 : 0;
            session->second.bound = true;
            session->second.answered = listed(session->second.shortcuts, false);
        } else if (failed == 0 && method == "ListShortcuts") {
            results["shortcuts"] = session->second.answered;
        }
        answer(message, failed, results);
    }
    calls.push_back(line);
    return true;
}

QString FakePortal::introspect(const QString&) const {
    return {};
}

} // namespace tarnwick::test
