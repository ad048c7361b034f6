#pragma once

#include "config/AppConfig.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

class AppModel;
class LogSink;
class MainQueue;

// One binding as ListBindings gives it, (sss) on the bus.
struct BindingSummary {
    QString id;
    QString name;
    // As the settings window shows it: a corner's label or a hotkey's text.
    QString trigger;
};
using BindingSummaries = QList<BindingSummary>;
QDBusArgument& operator<<(QDBusArgument& argument, const BindingSummary& summary);
const QDBusArgument& operator>>(const QDBusArgument& argument, BindingSummary& summary);

// The program's object on the session bus, as io.github.tarnwick.Tarnwick.xml
// describes it (the adaptor generated from that file calls the methods
// below). Owning its bus name is also what makes this process the instance.
class DBusService final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ enabled WRITE setEnabled)
public:
    enum class Claim {
        owner, // the object is exported and the name is ours
        taken, // another process owns the name
        noBus, // there is no session bus to be had
    };

    // Error names of RunBinding's replies.
    static constexpr const char* unknownBindingError =
        "io.github.tarnwick.Tarnwick.Error.UnknownBinding";
    static constexpr const char* disabledError = "io.github.tarnwick.Tarnwick.Error.Disabled";
    // CornerEntered's, where corners do not come from the desktop.
    static constexpr const char* notAvailableError =
        "io.github.tarnwick.Tarnwick.Error.NotAvailable";

    DBusService(AppModel& model, MainQueue& mainQueue, LogSink& log, QObject* parent = nullptr);
    ~DBusService() override;
    DBusService(const DBusService&) = delete;
    DBusService& operator=(const DBusService&) = delete;

    Claim claim();
    // Where the desktop watches the corners for us, what CornerEntered calls;
    // without one, CornerEntered is refused.
    void setCornerHandler(std::function<void(ScreenCorner)> handler);

    // The interface.
    bool enabled() const;
    void setEnabled(bool enabled);
    void ShowSettings();
    void Quit();
    BindingSummaries ListBindings() const;
    void RunBinding(const QString& id);
    void CornerEntered(const QString& corner);

signals:
    // A binding's command was started, by whatever trigger; relayed to the bus.
    void Triggered(const QString& id);
    void showSettingsRequested();

private:
    void announceEnabled();

    AppModel& m_model;
    MainQueue& m_mainQueue;
    LogSink& m_log;
    std::optional<QDBusConnection> m_bus;
    std::function<void(ScreenCorner)> m_onCorner;
};

} // namespace tarnwick

Q_DECLARE_METATYPE(tarnwick::BindingSummary)
