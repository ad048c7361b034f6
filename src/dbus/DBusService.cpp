#include "dbus/DBusService.h"

#include "dbus/ApplicationId.h"
#include "tarnwickadaptor.h"

#include "runner/CommandRunner.h"
#include "services/LogSink.h"
#include "settings/AppModel.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QTimer>

#include <algorithm>

namespace tarnwick {

QDBusArgument& operator<<(QDBusArgument& argument, const BindingSummary& summary) {
    argument.beginStructure();
    argument << summary.id << summary.name << summary.trigger;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, BindingSummary& summary) {
    argument.beginStructure();
    argument >> summary.id >> summary.name >> summary.trigger;
    argument.endStructure();
    return argument;
}

DBusService::DBusService(AppModel& model, MainQueue& mainQueue, LogSink& log, QObject* parent)
    : QObject(parent), m_model(model), m_mainQueue(mainQueue), m_log(log) {
    qDBusRegisterMetaType<BindingSummary>();
    qDBusRegisterMetaType<BindingSummaries>();
    new TarnwickAdaptor(this);
    connect(&m_model, &AppModel::globalEnabledChanged, this, &DBusService::announceEnabled);
}

DBusService::~DBusService() = default;

// The object before the name: whoever sees the name must find the object.
DBusService::Claim DBusService::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return Claim::noBus;
    }
    const QString path = QString::fromLatin1(applicationObjectPath);
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) {
        return Claim::noBus;
    }
    const auto reply = bus.interface()->registerService(
        QString::fromLatin1(applicationId), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_bus = bus;
        return Claim::owner;
    }
    bus.unregisterObject(path);
    return reply.isValid() ? Claim::taken : Claim::noBus;
}

bool DBusService::enabled() const {
    return m_model.globalEnabled();
}

// Saved as the menu's switch saves it.
void DBusService::setEnabled(bool enabled) {
    if (enabled != m_model.globalEnabled()) {
        m_model.setGlobalEnabled(enabled);
        m_model.persist();
    }
}

void DBusService::ShowSettings() {
    emit showSettingsRequested();
}

// Once the reply is out, as the menu's Quit does.
void DBusService::Quit() {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

BindingSummaries DBusService::ListBindings() const {
    BindingSummaries result;
    for (const CommandBinding& binding : m_model.config().bindings) {
        result.push_back({QString::fromStdString(binding.id.toString()),
                          QString::fromStdString(binding.name),
                          QString::fromStdString(binding.trigger.summary())});
    }
    return result;
}

// As a trigger would: nothing runs while the binding or the global switch is off.
void DBusService::RunBinding(const QString& id) {
    const AppConfig& cfg = m_model.config();
    const auto uuid = Uuid::parse(id.toStdString());
    const auto found = std::ranges::find_if(
        cfg.bindings, [&](const CommandBinding& binding) { return uuid && binding.id == *uuid; });
    if (found == cfg.bindings.end()) {
        sendErrorReply(QString::fromLatin1(unknownBindingError),
                       QStringLiteral("no binding has the id \"%1\"").arg(id));
        return;
    }
    if (!cfg.globalEnabled || !found->enabled) {
        sendErrorReply(QString::fromLatin1(disabledError),
                       !cfg.globalEnabled ? QStringLiteral("triggers are disabled")
                                          : QStringLiteral("the binding \"%1\" is disabled")
                                                .arg(QString::fromStdString(found->name)));
        return;
    }
    LogSink& log = m_log;
    CommandRunner::runAsync(found->command, m_mainQueue,
                            [command = found->command, &log](const CommandResult& result) {
                                log.write(runLogLine("D-Bus", command, result.ok));
                            });
    emit Triggered(QString::fromStdString(found->id.toString()));
}

void DBusService::setCornerHandler(std::function<void(ScreenCorner)> handler) {
    m_onCorner = std::move(handler);
}

// Only where the desktop watches the corners: elsewhere our own watcher does,
// and a stray call must not fire commands.
void DBusService::CornerEntered(const QString& corner) {
    const auto which = screenCornerFromRawValue(corner.toStdString());
    if (!which) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("no corner is called \"%1\"").arg(corner));
    } else if (!m_onCorner) {
        sendErrorReply(QString::fromLatin1(notAvailableError),
                       QStringLiteral("hot corners do not come from the desktop in this session"));
    } else {
        m_onCorner(*which);
    }
}

// Qt does not send PropertiesChanged by itself.
void DBusService::announceEnabled() {
    if (!m_bus) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(applicationObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(applicationInterface)
           << QVariantMap{{QStringLiteral("Enabled"), m_model.globalEnabled()}} << QStringList();
    m_bus->send(signal);
}

} // namespace tarnwick
