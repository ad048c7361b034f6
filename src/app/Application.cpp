#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"
#include "platform/SystemLog.h"
#include "platform/x11/X11Backend.h"
#include "settings/AppModel.h"
#include "triggers/HotkeyManager.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace tarnwick {
namespace {

bool waylandSession() {
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int runApplication(int argc, char* argv[]) {
    // Hot corners and hotkeys need X11: under Wayland we run through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // Commands' children are waited for by the runner: SIGCHLD stays default.
    std::signal(SIGPIPE, SIG_IGN);

    auto opened = x11::X11Backend::open();
    if (!opened.backend) {
        std::fprintf(stderr, "tarnwick: %s\n", opened.error.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    // Gone before the application object: its event pumps are Qt objects.
    const std::unique_ptr<DesktopBackend> backend = std::move(opened.backend);
    DesktopBackend& desktop = *backend;
    app.setApplicationName(QStringLiteral("Tarnwick"));
    app.setDesktopFileName(QStringLiteral("tarnwick"));
    app.setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::defaultDirectory(),
                            QString::fromStdString(desktop.sessionName()));
    switch (instance.claim()) {
    case SingleInstance::Role::secondary: return 0;
    case SingleInstance::Role::failed:
        std::fputs("tarnwick: another instance holds the lock but does not answer\n", stderr);
        return 1;
    case SingleInstance::Role::primary: break;
    }

    SystemLog log;
    QtMainQueue mainQueue;
    if (waylandSession()) {
        log.write(
            "Tarnwick: Wayland session: hot corners and hotkeys only see X11 (XWayland) windows");
    }
    for (const std::string& reason : desktop.unavailableReasons()) {
        log.write("Tarnwick: " + reason + "; triggers that need it are off");
    }
    desktop.start([&log] {
        log.write("Tarnwick: lost the connection to the X server; quitting");
        QCoreApplication::exit(1);
    });

    HotkeyManager hotkeys(desktop.hotkeys(), mainQueue, log);
    AppDelegate delegate(
        {ConfigStore::shared(), AppModel::shared(), hotkeys, desktop, mainQueue, log});
    QObject::connect(&instance, &SingleInstance::showSettingsRequested, &delegate,
                     &AppDelegate::openSettings);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}

} // namespace tarnwick
