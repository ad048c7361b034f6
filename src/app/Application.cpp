#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/Logging.h"
#include "app/PlatformChoice.h"
#include "app/SingleInstance.h"
#include "config/ConfigStore.h"
#include "dbus/ApplicationId.h"
#include "dbus/DBusService.h"
#include "dbus/RemoteControl.h"
#include "platform/QtMainQueue.h"
#include "platform/SystemLog.h"
#include "platform/kwin/KWinCorners.h"
#include "platform/portal/PortalShortcuts.h"
#include "platform/portal/TriggerText.h"
#include "platform/wayland/WaylandBackend.h"
#include "platform/x11/X11Backend.h"
#include "settings/AppModel.h"
#include "triggers/HotkeyManager.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <span>
#include <utility>

namespace tarnwick {
namespace {

PlatformChoice::Environment sessionEnvironment() {
    return {qEnvironmentVariable("QT_QPA_PLATFORM").toStdString(),
            qEnvironmentVariable("WAYLAND_DISPLAY").toStdString(),
            qEnvironmentVariable("XDG_SESSION_TYPE").toStdString()};
}

// The arguments Qt is given, kept for as long as the application lives.
struct QtArguments {
    explicit QtArguments(std::vector<std::string> arguments) : strings(std::move(arguments)) {
        for (std::string& argument : strings) {
            values.push_back(argument.data());
        }
        count = static_cast<int>(strings.size());
        values.push_back(nullptr);
    }

    std::vector<std::string> strings;
    std::vector<char*> values;
    int count = 0;
};

// Where the desktop keeps the keys (Wayland): its global shortcuts, and how
// they spell the key wished for.
struct DesktopShortcutService {
    std::unique_ptr<GlobalShortcuts> shortcuts;
    std::function<std::string(const HotkeyCombo&)> trigger;
};

DesktopShortcutService desktopShortcutService(LogSink& log) {
    return {portal::makePortalShortcuts(
                applicationId, [&log](const std::string& line) { log.write("Tarnwick: " + line); }),
            portal::shortcutTrigger};
}

// Before the application object, so that a desktop that is not there is one
// line of ours rather than Qt's abort. The Wayland backend itself needs Qt's event
// loop, so it is made afterwards.
std::string desktopMissing(const PlatformChoice& choice,
                           std::unique_ptr<x11::X11Backend>& x11Backend) {
    if (choice.desktop == PlatformChoice::Desktop::x11) {
        auto opened = x11::X11Backend::open(choice.display);
        x11Backend = std::move(opened.backend);
        return opened.error;
    }
    const std::string socket =
        wayland::WaylandBackend::socketPath(qEnvironmentVariable("WAYLAND_DISPLAY").toStdString(),
                                            qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString());
    // A socket handed down by the compositor needs no path.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET") ||
        QFileInfo::exists(QString::fromStdString(socket))) {
        return {};
    }
    return "no Wayland compositor listens at " + socket;
}

// The settings window's plugin, beside the program in the build tree or
// where the installation put it; loaded once and kept.
std::unique_ptr<SettingsPanel> makeSettingsPanel(const SettingsPanel::Services& services) {
    static MakeSettingsPanel make = nullptr;
    QString errors;
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString& dir :
         {bin.path(), bin.filePath(QStringLiteral(TARNWICK_PLUGIN_DIR_FROM_BIN))}) {
        if (make != nullptr) {
            break;
        }
        QLibrary plugin(QDir(dir).filePath(QStringLiteral("tarnwick-settings")));
        make = reinterpret_cast<MakeSettingsPanel>(plugin.resolve(makeSettingsPanelSymbol));
        errors += plugin.errorString() + QLatin1Char('\n');
    }
    if (make == nullptr) {
        qCWarning(lcApp).noquote() << "cannot load the settings window:" << errors;
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Tarnwick"),
                                    QStringLiteral("The settings window could not be loaded."));
        box->setDetailedText(errors);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        return nullptr;
    }
    return std::unique_ptr<SettingsPanel>(make(services));
}

} // namespace

int runApplication(int argc, char* argv[]) {
    // Commands' children are waited for by the runner: SIGCHLD stays default.
    std::signal(SIGPIPE, SIG_IGN);

    const auto choice = PlatformChoice::make(
        std::span<const char* const>(argv, static_cast<std::size_t>(argc)), sessionEnvironment());
    std::unique_ptr<x11::X11Backend> x11Backend;
    const std::string missing =
        choice.error.empty() ? desktopMissing(choice, x11Backend) : choice.error;
    if (!missing.empty()) {
        std::fprintf(stderr, "tarnwick: %s\n", missing.c_str());
        return 1;
    }
    QtArguments arguments(choice.qtArguments);
    QApplication app(arguments.count, arguments.values.data());
    SystemLog log;
    // Made once the application object exists: the desktop's service is
    // reached over D-Bus.
    DesktopShortcutService shortcutService =
        x11Backend ? DesktopShortcutService{} : desktopShortcutService(log);
    // Gone before the application object: its event pumps are Qt objects.
    const std::unique_ptr<DesktopBackend> backend =
        x11Backend
            ? std::unique_ptr<DesktopBackend>(std::move(x11Backend))
            : std::make_unique<wayland::WaylandBackend>(std::move(shortcutService.shortcuts));
    DesktopBackend& desktop = *backend;
    app.setApplicationName(QStringLiteral("Tarnwick"));
    app.setDesktopFileName(QString::fromLatin1(applicationId));
    app.setQuitOnLastWindowClosed(false);

    // Commands run on threads of their own and may finish after quitting:
    // the queue they report to is never destroyed, only closed.
    static auto* const queue = new QtMainQueue;
    QtMainQueue& mainQueue = *queue;
    // Never destroyed either: windows and callbacks may refer to it to the end.
    static auto* const model = new AppModel(ConfigStore::shared());

    // One instance: the owner of the bus name, or without a session bus the
    // holder of the lock file.
    DBusService service(*model, mainQueue, log);
    SingleInstance instance(SingleInstance::defaultDirectory(),
                            QString::fromStdString(desktop.sessionName()));
    switch (service.claim()) {
    case DBusService::Claim::owner: break;
    case DBusService::Claim::taken:
        if (const auto error = RemoteControl::showSettings()) {
            std::fprintf(stderr, "tarnwick: another instance owns %s but: %s\n", applicationId,
                         error->c_str());
            return 1;
        }
        return 0;
    case DBusService::Claim::noBus:
        switch (instance.claim()) {
        case SingleInstance::Role::secondary: return 0;
        case SingleInstance::Role::failed:
            std::fputs("tarnwick: another instance holds the lock but does not answer\n", stderr);
            return 1;
        case SingleInstance::Role::primary: break;
        }
    }
    if (choice.waylandSession && choice.desktop == PlatformChoice::Desktop::x11) {
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

    // Where KWin watches the corners, our script in KWin reports them on the
    // bus; where nothing can, corner bindings stay in the file but do not run.
    std::unique_ptr<kwin::KWinCorners> kwinCorners;
    std::function<void(std::vector<ScreenCorner>)> desktopCorners;
    switch (kwin::cornerRoute(kwin::SessionFacts::current(
        QDBusConnection::sessionBus(), choice.desktop == PlatformChoice::Desktop::wayland))) {
    case kwin::CornerRoute::pointer: break;
    case kwin::CornerRoute::none:
        log.write("Tarnwick: hot corners are not available on this desktop");
        model->setCornerNotes(CornerNotes::unavailable());
        desktopCorners = [](const std::vector<ScreenCorner>&) {};
        break;
    case kwin::CornerRoute::kwin:
        log.write("Tarnwick: hot corners come from KWin's screen edges");
        kwinCorners = std::make_unique<kwin::KWinCorners>(
            QDBusConnection::sessionBus(), log,
            QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                QStringLiteral("/tarnwick"));
        kwinCorners->setNotesHandler(
            [](const CornerNotes& notes) { model->setCornerNotes(notes); });
        desktopCorners = [&kwinCorners](std::vector<ScreenCorner> corners) {
            kwinCorners->watch(std::move(corners));
        };
        break;
    }

    HotkeyManager hotkeys(desktop.hotkeys(), mainQueue, log);
    AppDelegate::Services services{
        ConfigStore::shared(),  *model, hotkeys, desktop, mainQueue, log, makeSettingsPanel,
        shortcutService.trigger};
    services.desktopCorners = std::move(desktopCorners);
    AppDelegate delegate(std::move(services));
    if (kwinCorners) {
        service.setCornerHandler(
            [&delegate](ScreenCorner corner) { delegate.handleCorner(corner); });
    }
    QObject::connect(&instance, &SingleInstance::showSettingsRequested, &delegate,
                     &AppDelegate::openSettings);
    QObject::connect(&service, &DBusService::showSettingsRequested, &delegate,
                     &AppDelegate::openSettings);
    QObject::connect(&delegate, &AppDelegate::triggered, &service, &DBusService::Triggered);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    const int status = QApplication::exec();
    mainQueue.close();
    return status;
}

} // namespace tarnwick
