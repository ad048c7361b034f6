#include "platform/portal/ApplicationScope.h"

#include "platform/portal/PortalNames.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace tarnwick::portal {
namespace {

// One property of a transient unit, (sv) in systemd's StartTransientUnit.
struct UnitProperty {
    QString name;
    QDBusVariant value;
};

QDBusArgument& operator<<(QDBusArgument& argument, const UnitProperty& property) {
    argument.beginStructure();
    argument << property.name << property.value;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, UnitProperty& property) {
    argument.beginStructure();
    argument >> property.name >> property.value;
    argument.endStructure();
    return argument;
}

using UnitProperties = QList<UnitProperty>;
using AuxiliaryUnits = QList<QPair<QString, UnitProperties>>;

std::string readFile(const char* path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// systemd's unit name escaping: what a name may not hold as \xNN.
std::string unescapeUnit(std::string_view escaped) {
    std::string text;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        unsigned value = 0;
        if (escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] == 'x' &&
            std::sscanf(std::string(escaped.substr(i + 2, 2)).c_str(), "%2x", &value) == 1) {
            text += static_cast<char>(value);
            i += 3;
        } else {
            text += escaped[i];
        }
    }
    return text;
}

} // namespace
} // namespace tarnwick::portal

Q_DECLARE_METATYPE(tarnwick::portal::UnitProperty)

namespace tarnwick::portal {

std::string userUnitOfCgroup(std::string_view cgroupFile) {
    // The unified hierarchy's line, or systemd's own on a v1 system.
    std::string path;
    std::istringstream lines{std::string(cgroupFile)};
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("0::")) {
            path = line.substr(3);
            break;
        }
        if (const auto at = line.find(":name=systemd:"); at != std::string::npos) {
            path = line.substr(at + 14);
        }
    }
    static const std::regex manager(R"(/user@[^/]+\.service/)");
    std::smatch found;
    if (!std::regex_search(path, found, manager)) {
        return {};
    }
    std::istringstream units(found.suffix().str());
    for (std::string unit; std::getline(units, unit, '/');) {
        if (!unit.empty() && !unit.ends_with(".slice")) {
            return unit;
        }
    }
    return {};
}

std::string applicationIdOfUnit(std::string_view unit) {
    static const std::regex scope(
        R"(^app-(?:[[:alnum:]]+-)?(.+?)(?:-[[:alnum:]]*)(?:\.scope|\.slice)$)");
    static const std::regex service(
        R"(^app-(?:[[:alnum:]]+-)?(.+?)(?:@[[:alnum:]]*|-autostart)?\.service$)");
    const std::string name(unit);
    std::smatch match;
    if (!std::regex_match(name, match, scope) && !std::regex_match(name, match, service)) {
        return {};
    }
    const std::string id = unescapeUnit(match[1].str());
    return id.find('.') != std::string::npos ? id : std::string();
}

std::string scopeNameFor(std::string_view applicationId, long pid) {
    std::string name = "app-";
    for (const char c : applicationId) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '.' || c == '_' || c == ':') {
            name += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            name += escaped;
        }
    }
    return name + "-" + std::to_string(pid) + ".scope";
}

ApplicationScope::ApplicationScope(QDBusConnection connection, std::string applicationId,
                                   QObject* parent)
    : QObject(parent), m_connection(std::move(connection)),
      m_applicationId(std::move(applicationId)) {
    qDBusRegisterMetaType<UnitProperty>();
    qDBusRegisterMetaType<UnitProperties>();
    qDBusRegisterMetaType<AuxiliaryUnits::value_type>();
    qDBusRegisterMetaType<AuxiliaryUnits>();
}

void ApplicationScope::establish(std::function<void(const std::string&)> done) {
    m_done = std::move(done);
    if (!m_connection.isConnected()) {
        finish("no D-Bus session bus: the desktop portal cannot know our application id");
        return;
    }
    registerWithPortal();
}

void ApplicationScope::registerWithPortal() {
    auto call = QDBusMessage::createMethodCall(names::service, names::path, names::registry,
                                               QStringLiteral("Register"));
    call << QString::fromStdString(m_applicationId) << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (!watcher->isError()) {
            finish("the desktop portal knows us as " + m_applicationId + " (host registry)");
            return;
        }
        // Portals before 1.19.3 have no registry: the unit's name says it.
        moveIntoScope();
    });
}

void ApplicationScope::moveIntoScope() {
    const std::string unit = userUnitOfCgroup(readFile("/proc/self/cgroup"));
    if (applicationIdOfUnit(unit) == m_applicationId) {
        finish("the desktop portal knows us as " + m_applicationId + " from our systemd unit " +
               unit);
        return;
    }
    const std::string scope = scopeNameFor(m_applicationId, ::getpid());
    const UnitProperties properties{
        {QStringLiteral("PIDs"),
         QDBusVariant(QVariant::fromValue(QList<uint>{static_cast<uint>(::getpid())}))},
        {QStringLiteral("Description"), QDBusVariant(QStringLiteral("Tarnwick"))},
        {QStringLiteral("CollectMode"), QDBusVariant(QStringLiteral("inactive-or-failed"))},
    };
    auto call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.systemd1"), QStringLiteral("/org/freedesktop/systemd1"),
        QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("StartTransientUnit"));
    call << QString::fromStdString(scope) << QStringLiteral("fail")
         << QVariant::fromValue(properties) << QVariant::fromValue(AuxiliaryUnits());
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, scope] {
        watcher->deleteLater();
        if (watcher->isError()) {
            finish("no systemd user manager to start us in a unit of our own (" +
                   watcher->error().message().toStdString() +
                   "): the desktop portal will not know our application id");
            return;
        }
        awaitScope(scope, 50);
    });
}

// The job moves us soon after the reply; the portal must not ask before.
void ApplicationScope::awaitScope(const std::string& scope, int triesLeft) {
    if (userUnitOfCgroup(readFile("/proc/self/cgroup")) == scope) {
        finish("moved into the systemd scope " + scope + ": the desktop portal knows us as " +
               m_applicationId);
    } else if (triesLeft == 0) {
        finish("systemd did not move us into " + scope +
               ": the desktop portal will not know our application id");
    } else {
        QTimer::singleShot(20, this,
                           [this, scope, triesLeft] { awaitScope(scope, triesLeft - 1); });
    }
}

void ApplicationScope::finish(const std::string& logLine) {
    if (auto done = std::move(m_done)) {
        m_done = nullptr;
        done(logLine);
    }
}

} // namespace tarnwick::portal
