#pragma once

#include "support/SessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>

#include <functional>

namespace tarnwick::test {

using namespace std::chrono_literals;

// The Qt application the D-Bus calls need, one per test process.
inline QCoreApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "portal_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

// Runs Qt's loop until done() holds or the deadline passes; whether it held.
inline bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = 15s) {
    qtApplication();
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < deadline.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}
inline void spinFor(std::chrono::milliseconds duration) {
    spinUntil([] { return false; }, duration);
}

// The private bus with connections of ours, each replacing one of an earlier test.
struct PrivateBus : SessionBus {
    using SessionBus::SessionBus;
    QDBusConnection connect(const QString& name) const { return connectTo(address, name); }
    static QDBusConnection connectTo(const std::string& busAddress, const QString& name) {
        qtApplication();
        QDBusConnection::disconnectFromBus(name);
        return QDBusConnection::connectToBus(QString::fromStdString(busAddress), name);
    }
};

} // namespace tarnwick::test
