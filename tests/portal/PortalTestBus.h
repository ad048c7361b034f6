#pragma once

#include "support/Process.h"
#include "support/Sandbox.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

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

// A session bus of the test's own: anyone may own and call anything, and
// nothing is activated.
struct PrivateBus {
    explicit PrivateBus(const Sandbox& sandbox) {
        const auto config = sandbox.root() / "bus.conf";
        std::ofstream(config) << "<busconfig><type>session</type><listen>unix:dir="
                              << sandbox.root().string() << "</listen><auth>EXTERNAL</auth>"
                              << "<policy context=\"default\"><allow send_destination=\"*\"/>"
                              << "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
                              << "</busconfig>";
        daemon = Process::spawn(
            {"dbus-daemon", "--nofork", "--print-address=1", "--config-file=" + config.string()},
            sandbox.environment(), sandbox.root() / "bus.err");
        if (auto line = daemon ? daemon->readLine(10s) : std::nullopt) {
            address = *line;
        }
    }
    // A connection of ours to the bus under name, replacing one of an earlier test.
    QDBusConnection connect(const QString& name) const { return connectTo(address, name); }
    static QDBusConnection connectTo(const std::string& busAddress, const QString& name) {
        qtApplication();
        QDBusConnection::disconnectFromBus(name);
        return QDBusConnection::connectToBus(QString::fromStdString(busAddress), name);
    }

    std::unique_ptr<Process> daemon;
    std::string address; // empty when the bus did not start
};

} // namespace tarnwick::test
