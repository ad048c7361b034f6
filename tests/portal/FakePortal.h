#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QVariantMap>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarnwick::test {

// org.freedesktop.portal.Desktop on a bus of the test's own, speaking either
// KDE 5.27's GlobalShortcuts dialect (shortcuts taken from CreateSession,
// answered in its results; a shortcut new to the desktop first reported with
// the key asked for, whatever it got) or the documented one (BindShortcuts
// once per session). It records the calls it gets, one line each.
class FakePortal final : public QDBusVirtualObject {
public:
    enum class Dialect { kde, documented };
    enum class Interfaces { globalShortcuts, none, withRegistry };

    FakePortal(const std::string& busAddress, Dialect dialect);
    ~FakePortal() override;

    // Takes the portal's name (again), offering these interfaces.
    void appear(Interfaces interfaces = Interfaces::globalShortcuts);
    void vanish();

    // The last session made and not closed; empty when none.
    QString session() const;
    void activate(const QString& session, const QString& id);
    void changeKey(const QString& session, const std::string& id, const std::string& key);
    void closeFromPortal(const QString& session);
    // Answers wait until release() while held.
    void hold() { m_holding = true; }
    void release();
    std::size_t heldCalls() const { return m_held.size(); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

    std::vector<std::string> calls;
    // The Response code a method answers with from now on (0 unless set).
    std::map<std::string, uint> codes;
    // The desktop's text of each shortcut's key; one not here gets its
    // preferred trigger, upper-cased.
    std::map<std::string, std::string> keys;

private:
    struct Session {
        QVariantMap shortcuts; // id -> properties
        QVariant answered;     // what ListShortcuts says
        bool bound = false;
    };
    void answer(const QDBusMessage& call, uint code, const QVariantMap& results);
    QVariant listed(const QVariantMap& shortcuts, bool firstAnswer);
    void take(Session& session, const QVariant& shortcuts, std::string& line);
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& arguments);

    QDBusConnection m_bus;
    Dialect m_dialect;
    Interfaces m_interfaces = Interfaces::none;
    std::map<QString, Session> m_sessions;
    std::set<std::string> m_known; // ids the desktop has stored a key for
    std::vector<QDBusMessage> m_held;
    QString m_last;
    bool m_holding = false;
};

} // namespace tarnwick::test
