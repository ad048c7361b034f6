#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QVariantMap>

#include <map>
#include <string>
#include <vector>

namespace tarnwick::test {

// org.freedesktop.portal.Desktop on a bus of the test's own, speaking the
// documented GlobalShortcuts dialect (BindShortcuts once per session), with
// the host registry where asked. It records the calls it gets, one line each.
class FakePortal final : public QDBusVirtualObject {
public:
    enum class Interfaces { globalShortcuts, none, withRegistry };
    using Shortcuts = QList<QPair<QString, QVariantMap>>;

    explicit FakePortal(const std::string& busAddress)
        : m_bus(QDBusConnection::connectToBus(QString::fromStdString(busAddress), "fake-portal")) {
        qDBusRegisterMetaType<Shortcuts::value_type>();
        qDBusRegisterMetaType<Shortcuts>();
        m_bus.registerVirtualObject(kPath, this, QDBusConnection::SubPath);
    }
    ~FakePortal() override {
        m_bus.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus("fake-portal");
    }

    // Takes the portal's name (again), offering these interfaces.
    void appear(Interfaces interfaces = Interfaces::globalShortcuts) {
        m_interfaces = interfaces;
        m_bus.registerService(kService);
    }
    void vanish() {
        m_bus.unregisterService(kService);
        m_sessions.clear();
    }
    // The last session made and not closed; empty when none.
    QString session() const { return m_sessions.contains(m_last) ? m_last : QString(); }
    void activate(const QString& session, const QString& id) {
        emitSignal(
            kPath, kShortcutsInterface, "Activated",
            {QVariant::fromValue(QDBusObjectPath(session)), id, qulonglong(0), QVariantMap()});
    }
    void changeKey(const QString& session, const std::string& id, const std::string& key) {
        keys[id] = key;
        auto& changed = m_sessions[session];
        changed.answered = listed(changed.shortcuts);
        emitSignal(kPath, kShortcutsInterface, "ShortcutsChanged",
                   {QVariant::fromValue(QDBusObjectPath(session)), changed.answered});
    }
    void closeFromPortal(const QString& session) {
        m_sessions.erase(session);
        emitSignal(session, "org.freedesktop.portal.Session", "Closed", {QVariantMap()});
    }
    // Answers wait until release() while held.
    void hold() { m_holding = true; }
    void release() {
        m_holding = false;
        for (const auto& call : std::exchange(m_held, {})) {
            handleMessage(call, m_bus);
        }
    }
    std::size_t heldCalls() const { return m_held.size(); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override;
    QString introspect(const QString&) const override { return {}; }

    std::vector<std::string> calls;
    // The Response code a method answers with from now on (0 unless set).
    std::map<std::string, uint> codes;
    // The desktop's text of each shortcut's key; one not here gets its
    // preferred trigger, upper-cased.
    std::map<std::string, std::string> keys;

private:
    inline static const QString kService = "org.freedesktop.portal.Desktop";
    inline static const QString kPath = "/org/freedesktop/portal/desktop";
    inline static const QString kShortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";

    struct Session {
        QVariantMap shortcuts; // id -> properties
        QVariant answered;     // what ListShortcuts says
        bool bound = false;
    };

    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& arguments) {
        auto signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }
    static QString senderPart(const QDBusMessage& message) {
        return message.service().mid(1).replace('.', '_');
    }
    // The reply with the request's path, then the Response on it.
    void answer(const QDBusMessage& call, uint code, const QVariantMap& results) {
        const QString path =
            kPath + "/request/" + senderPart(call) + "/" +
            qdbus_cast<QVariantMap>(call.arguments().last()).value("handle_token").toString();
        m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        emitSignal(path, "org.freedesktop.portal.Request", "Response", {code, results});
    }
    // Each shortcut with the desktop's text of its key.
    QVariant listed(const QVariantMap& shortcuts) {
        Shortcuts list;
        for (auto it = shortcuts.begin(); it != shortcuts.end(); ++it) {
            const auto properties = it.value().toMap();
            const auto stored = keys.find(it.key().toStdString());
            list.append(
                {it.key(),
                 {{"description", properties.value("description")},
                  {"trigger_description",
                   stored == keys.end() ? properties.value("preferred_trigger").toString().toUpper()
                                        : QString::fromStdString(stored->second)}}});
        }
        return QVariant::fromValue(list);
    }
    void take(Session& session, const QVariant& shortcuts, std::string& line) {
        for (const auto& [id, properties] : qdbus_cast<Shortcuts>(shortcuts)) {
            session.shortcuts[id] = properties;
            line += " " + id.toStdString() + "=" +
                    properties.value("description").toString().toStdString() + "/" +
                    properties.value("preferred_trigger").toString().toStdString();
        }
    }

    QDBusConnection m_bus;
    Interfaces m_interfaces = Interfaces::none;
    std::map<QString, Session> m_sessions;
    std::vector<QDBusMessage> m_held;
    QString m_last;
    bool m_holding = false;
};

} // namespace tarnwick::test
