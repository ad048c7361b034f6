#include "platform/portal/GlobalShortcutsPortal.h"

#include "platform/portal/Logging.h"
#include "platform/portal/PortalNames.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QList>
#include <QPair>

#include <algorithm>
#include <map>

namespace tarnwick::portal {

Q_LOGGING_CATEGORY(lcPortal, "tarnwick.portal", QtWarningMsg)

namespace {

// a(sa{sv}): one shortcut's id and its properties.
using PortalShortcuts = QList<QPair<QString, QVariantMap>>;

QString tokenFor(const std::string& applicationId) {
    QString token = QString::fromStdString(applicationId).section(QLatin1Char('.'), -1).toLower();
    for (auto& c : token) {
        if (!c.isLetterOrNumber() || c.unicode() > 127) {
            c = QLatin1Char('_');
        }
    }
    return token.isEmpty() ? QStringLiteral("app") : token;
}

PortalShortcuts toPortal(const std::vector<ShortcutRequest>& shortcuts) {
    PortalShortcuts list;
    for (const auto& shortcut : shortcuts) {
        QVariantMap properties{
            {QStringLiteral("description"), QString::fromStdString(shortcut.description)}};
        if (!shortcut.preferredTrigger.empty()) {
            properties.insert(QStringLiteral("preferred_trigger"),
                              QString::fromStdString(shortcut.preferredTrigger));
        }
        list.append({QString::fromStdString(shortcut.id), properties});
    }
    return list;
}

// The desktop's text of each listed shortcut's key, by id.
std::map<QString, QString> triggersOf(const QVariant& listed) {
    std::map<QString, QString> triggers;
    for (const auto& [id, properties] : qdbus_cast<PortalShortcuts>(listed)) {
        triggers[id] = properties.value(QStringLiteral("trigger_description")).toString();
    }
    return triggers;
}

// What the desktop gave each shortcut of the set, in the set's order; ""
// for one it did not list.
std::vector<ShortcutAssignment> assignmentsOf(const std::vector<ShortcutRequest>& set,
                                              const QVariant& listed) {
    const auto triggers = triggersOf(listed);
    std::vector<ShortcutAssignment> assigned;
    for (const auto& shortcut : set) {
        const auto it = triggers.find(QString::fromStdString(shortcut.id));
        assigned.push_back({shortcut.id, it != triggers.end() ? it->second.toStdString() : ""});
    }
    return assigned;
}

QString pathOf(const QVariant& value) {
    return value.canConvert<QDBusObjectPath>() && value.userType() != QMetaType::QString
               ? value.value<QDBusObjectPath>().path()
               : value.toString();
}

} // namespace

GlobalShortcutsPortal::GlobalShortcutsPortal(QDBusConnection connection,
                                             const std::string& applicationId, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)), m_token(tokenFor(applicationId)),
      m_portalWatcher(new QDBusServiceWatcher(names::service, m_connection,
                                              QDBusServiceWatcher::WatchForOwnerChange, this)) {
    qDBusRegisterMetaType<PortalShortcuts::value_type>();
    qDBusRegisterMetaType<PortalShortcuts>();
    connect(m_portalWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &GlobalShortcutsPortal::onPortalOwnerChanged);
    m_connection.connect(names::service, names::path, names::globalShortcuts,
                         QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    m_connection.connect(names::service, names::path, names::globalShortcuts,
                         QStringLiteral("ShortcutsChanged"), this,
                         SLOT(onShortcutsChanged(QDBusMessage)));
}

GlobalShortcutsPortal::~GlobalShortcutsPortal() {
    if (!m_session.isEmpty()) {
        m_connection.send(QDBusMessage::createMethodCall(names::service, m_session, names::session,
                                                         QStringLiteral("Close")));
    }
}

void GlobalShortcutsPortal::setHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

void GlobalShortcutsPortal::bind(std::vector<ShortcutRequest> shortcuts) {
    m_wanted = std::move(shortcuts);
    if (m_busy) {
        m_bindAgain = true;
        return;
    }
    startPass();
}

void GlobalShortcutsPortal::startPass() {
    m_busy = true;
    m_bindAgain = false;
    m_rechecked = false;
    m_passSet = *m_wanted;
    ++m_pass;
    if (!m_session.isEmpty() && m_passSet == m_bound) {
        finishPass(m_assigned);
    } else if (m_passSet.empty()) {
        closeSession([this] { finishPass({}); });
    } else {
        closeSession([this] { createSession(); });
    }
}

// The documented portal binds once per session, and a session's token is
// ours alone: the old session goes before the next one is made.
void GlobalShortcutsPortal::closeSession(std::function<void()> next) {
    if (m_session.isEmpty()) {
        next();
        return;
    }
    const QString session = m_session;
    forgetSession();
    auto* watcher = new QDBusPendingCallWatcher(
        m_connection.asyncCall(QDBusMessage::createMethodCall(
            names::service, session, names::session, QStringLiteral("Close"))),
        this);
    // Closing a session the portal has already dropped fails; the next one is
    // made all the same.
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, pass = m_pass, next = std::move(next)] {
                watcher->deleteLater();
                if (pass == m_pass) {
                    next();
                }
            });
}

void GlobalShortcutsPortal::request(const QString& method, QVariantList arguments,
                                    void (GlobalShortcutsPortal::*next)(const PortalAnswer&)) {
    qCDebug(lcPortal) << method << m_session;
    new PortalRequest(
        m_connection, names::globalShortcuts, method, std::move(arguments),
        QStringLiteral("%1_%2").arg(m_token).arg(++m_requests),
        [this, pass = m_pass, next](const PortalAnswer& answer) {
            if (pass == m_pass) {
                (this->*next)(answer);
            }
        },
        this);
}

void GlobalShortcutsPortal::createSession() {
    const QVariantMap options{
        {QStringLiteral("session_handle_token"), m_token},
        {QStringLiteral("shortcuts"), QVariant::fromValue(toPortal(m_passSet))},
    };
    request(QStringLiteral("CreateSession"), {options}, &GlobalShortcutsPortal::onSessionCreated);
}

void GlobalShortcutsPortal::onSessionCreated(const PortalAnswer& answer) {
    if (!answer.succeeded()) {
        failPass(m_portalReturned && answer.replied && answer.code == 2
                     ? "the desktop portal restarted and will not make our session again "
                       "(CreateSession answered 2); the shortcuts come back at our next start"
                     : reasonFor(QStringLiteral("CreateSession"), answer));
        return;
    }
    m_session = pathOf(answer.results.value(QStringLiteral("session_handle")));
    if (m_session.isEmpty()) {
        failPass("the desktop portal made no session for global shortcuts");
        return;
    }
    m_connection.connect(names::service, m_session, names::session, QStringLiteral("Closed"), this,
                         SLOT(onSessionClosed(QDBusMessage)));
    if (m_bindAgain) { // the next set goes in a session of its own anyway
        startPass();
        return;
    }
    const auto kdeAnswer = answer.results.find(QStringLiteral("shortcuts"));
    if (kdeAnswer == answer.results.end()) {
        bindShortcuts();
        return;
    }
    const auto triggers = triggersOf(*kdeAnswer);
    const bool namesKeys =
        std::ranges::any_of(triggers, [](const auto& entry) { return !entry.second.isEmpty(); });
    if (namesKeys && !m_rechecked) {
        m_rechecked = true;
        closeSession([this] { createSession(); });
        return;
    }
    listShortcuts();
}

void GlobalShortcutsPortal::bindShortcuts() {
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)),
             QVariant::fromValue(toPortal(m_passSet)), QString(), QVariantMap()},
            &GlobalShortcutsPortal::onBound);
}

void GlobalShortcutsPortal::onBound(const PortalAnswer& answer) {
    if (!answer.succeeded()) {
        failPass(reasonFor(QStringLiteral("BindShortcuts"), answer));
        return;
    }
    listShortcuts();
}

void GlobalShortcutsPortal::listShortcuts() {
    request(QStringLiteral("ListShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariantMap()},
            &GlobalShortcutsPortal::onListed);
}

void GlobalShortcutsPortal::onListed(const PortalAnswer& answer) {
    if (!answer.succeeded()) {
        failPass(reasonFor(QStringLiteral("ListShortcuts"), answer));
        return;
    }
    finishPass(assignmentsOf(m_passSet, answer.results.value(QStringLiteral("shortcuts"))));
}

void GlobalShortcutsPortal::finishPass(std::vector<ShortcutAssignment> assigned) {
    m_bound = m_passSet;
    m_assigned = std::move(assigned);
    m_busy = false;
    m_unavailable = false;
    m_portalReturned = false;
    qCDebug(lcPortal) << "bound" << m_bound.size() << "shortcuts in" << m_session;
    if (m_handlers.assigned) {
        m_handlers.assigned(m_assigned);
    }
    if (m_bindAgain && !m_busy) {
        startPass();
    }
}

void GlobalShortcutsPortal::failPass(const std::string& reason) {
    if (!m_session.isEmpty()) {
        m_connection.send(QDBusMessage::createMethodCall(names::service, m_session, names::session,
                                                         QStringLiteral("Close")));
        forgetSession();
    }
    m_busy = false;
    reportUnavailable(reason);
    if (m_bindAgain && !m_busy) {
        startPass();
    }
}

// Drops every answer still on its way and the session with them.
void GlobalShortcutsPortal::cancelPass() {
    ++m_pass;
    m_busy = false;
    qDeleteAll(findChildren<PortalRequest*>(Qt::FindDirectChildrenOnly));
    forgetSession();
}

void GlobalShortcutsPortal::forgetSession() {
    if (!m_session.isEmpty()) {
        m_connection.disconnect(names::service, m_session, names::session, QStringLiteral("Closed"),
                                this, SLOT(onSessionClosed(QDBusMessage)));
    }
    m_session.clear();
    m_bound.clear();
    m_assigned.clear();
}

void GlobalShortcutsPortal::reportUnavailable(const std::string& reason) {
    qCDebug(lcPortal) << "unavailable:" << reason.c_str();
    if (m_unavailable) {
        return;
    }
    m_unavailable = true;
    if (m_handlers.unavailable) {
        m_handlers.unavailable(reason);
    }
}

std::string GlobalShortcutsPortal::reasonFor(const QString& method,
                                             const PortalAnswer& answer) const {
    if (answer.replied) {
        return answer.code == 1
                   ? "global shortcuts were refused in the desktop's dialog"
                   : "the desktop portal refused global shortcuts (" + method.toStdString() +
                         " answered " + std::to_string(answer.code) + ")";
    }
    const QString error = answer.errorName;
    if (error.endsWith(QLatin1String(".ServiceUnknown")) ||
        error.endsWith(QLatin1String(".NameHasNoOwner")) ||
        error.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn"))) {
        return "no desktop portal on the session bus";
    }
    if (error.endsWith(QLatin1String(".UnknownMethod")) ||
        error.endsWith(QLatin1String(".UnknownInterface")) ||
        error.endsWith(QLatin1String(".UnknownObject"))) {
        return "the desktop portal has no GlobalShortcuts interface";
    }
    return "the desktop portal failed " + method.toStdString() + ": " +
           answer.errorMessage.toStdString() + " (" + error.toStdString() + ")";
}

bool GlobalShortcutsPortal::isBound(const QString& id) const {
    const std::string wanted = id.toStdString();
    return std::ranges::any_of(m_bound,
                               [&](const ShortcutRequest& bound) { return bound.id == wanted; });
}

void GlobalShortcutsPortal::onActivated(const QDBusMessage& message) {
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || m_session.isEmpty() || pathOf(arguments.at(0)) != m_session ||
        !isBound(arguments.at(1).toString())) {
        return;
    }
    if (m_handlers.activated) {
        m_handlers.activated(arguments.at(1).toString().toStdString());
    }
}

void GlobalShortcutsPortal::onShortcutsChanged(const QDBusMessage& message) {
    const auto arguments = message.arguments();
    if (arguments.size() < 2 || m_busy || m_session.isEmpty() ||
        pathOf(arguments.at(0)) != m_session) {
        return;
    }
    m_assigned = assignmentsOf(m_bound, arguments.at(1));
    if (m_handlers.assigned) {
        m_handlers.assigned(m_assigned);
    }
}

void GlobalShortcutsPortal::onSessionClosed(const QDBusMessage& message) {
    if (m_busy || message.path() != m_session) {
        return;
    }
    forgetSession();
    reportUnavailable("the desktop closed the global shortcuts session");
}

void GlobalShortcutsPortal::onPortalOwnerChanged(const QString&, const QString& oldOwner,
                                                 const QString& newOwner) {
    qCDebug(lcPortal) << "portal owner" << oldOwner << "->" << newOwner;
    if (newOwner.isEmpty()) {
        cancelPass();
        if (m_wanted) {
            reportUnavailable("the desktop portal left the session bus");
        }
        return;
    }
    // A portal started by our own first call answers that call: the pass on
    // its way stays. Any other arrival holds none of our sessions.
    if (oldOwner.isEmpty() && m_busy) {
        return;
    }
    cancelPass();
    m_portalReturned = true;
    if (m_wanted) {
        startPass();
    }
}

} // namespace tarnwick::portal
