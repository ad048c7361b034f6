// A stand-in for a desktop's org.kde.StatusNotifierWatcher: Qt only uses the
// D-Bus tray when a watcher says a host is there. Prints "READY" once it owns
// the name and "ITEM <service> <path>" for each item that registers, so a
// test can find the item without a real panel.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

#include <cstdio>

namespace {

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    QStringList registeredItems() const { return m_items; }
    static bool hostRegistered() { return true; }
    static int protocolVersion() { return 0; }

public slots:
    // The argument is a bus name or, per the protocol, an object path on the
    // caller's own connection.
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& serviceOrPath) {
        QString service = serviceOrPath;
        QString path = QStringLiteral("/StatusNotifierItem");
        if (serviceOrPath.startsWith(QLatin1Char('/'))) {
            service = message().service();
            path = serviceOrPath;
        }
        const QString entry = service + path;
        if (!m_items.contains(entry)) {
            m_items.append(entry);
        }
        std::printf("ITEM %s %s\n", qPrintable(service), qPrintable(path));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(entry);
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString&) {
        emit StatusNotifierHostRegistered();
    }

signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake_sni_watcher: no session bus\n");
        return 1;
    }
    Watcher watcher;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportScriptableContents |
                                QDBusConnection::ExportAllProperties)) {
        std::fprintf(stderr, "fake_sni_watcher: cannot export the watcher\n");
        return 1;
    }
    if (!bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "fake_sni_watcher: cannot own org.kde.StatusNotifierWatcher\n");
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_sni_watcher.moc"
