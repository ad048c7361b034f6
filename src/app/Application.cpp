#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/AppModel.h"
#include "app/SingleInstance.h"
#include "config/ConfigStore.h"
#include "platform/DisplayPump.h"
#include "platform/QtMainQueue.h"
#include "platform/SystemLog.h"
#include "platform/x11/Display.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"
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

// Our own connections to the X server: one for the pointer, which holds off
// reading while the mouse moves, and one for the keyboard.
struct X11Services {
    std::unique_ptr<x11::Display> pointerDisplay;
    std::unique_ptr<x11::Display> keyboardDisplay;
    std::unique_ptr<x11::X11PointerSource> pointer;
    std::unique_ptr<x11::KeyTranslator> keys;
    std::unique_ptr<x11::X11HotkeyService> hotkeys;
    std::string error;
};

X11Services connectX11() {
    X11Services s;
    auto pointer = x11::Display::open();
    auto keyboard = x11::Display::open();
    if (!pointer.display || !keyboard.display) {
        s.error = !pointer.error.empty() ? pointer.error : keyboard.error;
        return s;
    }
    s.pointerDisplay = std::move(pointer.display);
    s.keyboardDisplay = std::move(keyboard.display);
    s.pointer = std::make_unique<x11::X11PointerSource>(*s.pointerDisplay);
    s.keys = std::make_unique<x11::KeyTranslator>(*s.keyboardDisplay);
    s.hotkeys = std::make_unique<x11::X11HotkeyService>(*s.keyboardDisplay, *s.keys);
    return s;
}

} // namespace

int runApplication(int argc, char* argv[]) {
    // Hot corners and hotkeys need X11: under Wayland we run through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // Commands' children are waited for by the runner: SIGCHLD stays default.
    std::signal(SIGPIPE, SIG_IGN);

    X11Services x11 = connectX11();
    if (!x11.error.empty()) {
        std::fprintf(stderr, "tarnwick: %s\n", x11.error.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tarnwick"));
    app.setDesktopFileName(QStringLiteral("tarnwick"));
    app.setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::defaultDirectory(),
                            QString::fromStdString(x11.pointerDisplay->name()));
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
    for (const std::string& reason :
         {x11.pointer->unavailableReason(), x11.hotkeys->unavailableReason()}) {
        if (!reason.empty()) {
            log.write("Tarnwick: " + reason + "; triggers that need it are off");
        }
    }
    auto lost = [&log, reported = false]() mutable {
        if (!reported) {
            reported = true;
            log.write("Tarnwick: lost the connection to the X server; quitting");
            QCoreApplication::exit(1);
        }
    };
    DisplayPump pointerPump(*x11.pointerDisplay, lost);
    DisplayPump keyboardPump(*x11.keyboardDisplay, lost);

    HotkeyManager hotkeys(*x11.hotkeys, mainQueue, log);
    x11::KeyTranslator& keys = *x11.keys;
    AppDelegate delegate({ConfigStore::shared(), AppModel::shared(), hotkeys, *x11.pointer,
                          mainQueue, log,
                          [&keys](std::uint32_t keycode) { return keys.virtualKeyFor(keycode); },
                          x11.keyboardDisplay.get()});
    QObject::connect(&instance, &SingleInstance::showSettingsRequested, &delegate,
                     &AppDelegate::openSettings);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}

} // namespace tarnwick
