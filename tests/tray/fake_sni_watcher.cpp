// A stand-in for a desktop's org.kde.StatusNotifierWatcher: Qt exports its
// tray icon over D-Bus only when a watcher says a host is there. Prints
// "READY <bus address>" once it owns the name, then "ITEM <service>" for
// each item that registers.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QObject>

#include <cstdio>

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    static bool hostRegistered() { return true; }

public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service) {
        std::printf("ITEM %s\n", qPrintable(service));
        std::fflush(stdout);
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "fake_sni_watcher: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("READY %s\n", qgetenv("DBUS_SESSION_BUS_ADDRESS").constData());
    std::fflush(stdout);
    return app.exec();
}

#include "fake_sni_watcher.moc"
