#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/Logging.h"
#include "app/SingleInstance.h"
#include "config/ConfigStore.h"
#include "dbus/ApplicationId.h"
#include "dbus/DBusService.h"
#include "dbus/RemoteControl.h"
#include "platform/QtMainQueue.h"
#include "platform/SystemLog.h"
#include "platform/kwin/KWinCorners.h"
#include "platform/x11/X11Backend.h"
#include "settings/AppModel.h"
#include "triggers/HotkeyManager.h"

#include <QApplication>
#include <QDir>
#include <QLibrary>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace tarnwick {
namespace {

bool waylandSession() {
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Qt's arguments, and the display they name. Hot corners and hotkeys need
// X11, so under Wayland Qt must use XWayland too; asking through the
// arguments, not QT_QPA_PLATFORM, leaves the environment that commands
// inherit as the user's. Our own connections go where Qt's windows go.
struct QtArguments {
    QtArguments(int argc, char* argv[]) : values(argv, argv + argc) {
        bool platformGiven = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
        for (std::size_t i = 1; i + 1 < values.size(); ++i) {
            const std::string_view name = values[i];
            platformGiven = platformGiven || name == "-platform";
            if (name == "-display") {
                display = values[i + 1];
            }
        }
        if (!platformGiven) {
            values.push_back(platformOption.data());
            values.push_back(xcb.data());
        }
        count = static_cast<int>(values.size());
        values.push_back(nullptr);
    }

    std::string platformOption = "-platform";
    std::string xcb = "xcb";
    std::vector<char*> values;
    int count = 0;
    std::string display;
};

// The settings window's plugin, beside the program in the build tree or
// where the installation put it; loaded once and kept.
std::unique_ptr<SettingsPanel> makeSettingsPanel(const SettingsPanel::Services& services) {
    static MakeSettingsPanel make = nullptr;
    QString errors;
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString& dir : {bin.path(), bin.filePath(QStringLiteral(TARNWICK_PLUGIN_DIR_FROM_BIN))}) {
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

    QtArguments arguments(argc, argv);
    auto opened = x11::X11Backend::open(arguments.display);
    if (!opened.backend) {
        std::fprintf(stderr, "tarnwick: %s\n", opened.error.c_str());
        return 1;
    }
    QApplication app(arguments.count, arguments.values.data());
    // Gone before the application object: its event pumps are Qt objects.
    const std::unique_ptr<DesktopBackend> backend = std::move(opened.backend);
    DesktopBackend& desktop = *backend;
    app.setApplicationName(QStringLiteral("Tarnwick"));
    app.setDesktopFileName(QString::fromLatin1(applicationId));
    app.setQuitOnLastWindowClosed(false);

    SystemLog log;
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

    // Where KWin watches the corners, our script in KWin reports them on the
    // bus; where nothing can, corner bindings stay in the file but do not run.
    std::unique_ptr<kwin::KWinCorners> kwinCorners;
    std::function<void(std::vector<ScreenCorner>)> desktopCorners;
    switch (kwin::cornerRoute(
        kwin::SessionFacts::current(QDBusConnection::sessionBus(), waylandSession()))) {
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
    AppDelegate::Services services{ConfigStore::shared(), *model, hotkeys, desktop, mainQueue, log,
                                   makeSettingsPanel};
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
