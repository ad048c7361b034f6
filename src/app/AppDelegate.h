#pragma once

#include "config/AppConfig.h"
#include "settings/SettingsPanel.h"
#include "triggers/HotCornerMonitor.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tarnwick {

class AppModel;
class ConfigStore;
class DesktopBackend;
class HotkeyManager;
class LogSink;
class MainQueue;

// Joins the program together: loads the configuration at launch, keeps the
// triggers in step with the model, runs the commands bound to a corner or a
// hotkey, and owns the tray icon, its menu and the settings window.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    struct Services {
        ConfigStore& store;
        AppModel& model;
        HotkeyManager& hotkeys;
        DesktopBackend& desktop;
        MainQueue& mainQueue;
        LogSink& log;
        // Makes the settings window, or nothing when it cannot be had.
        std::function<std::unique_ptr<SettingsPanel>(const SettingsPanel::Services&)>
            makeSettings;
        // How long a closed settings window is kept before its memory is given back.
        std::chrono::milliseconds keepClosedSettings = std::chrono::seconds(20);
        // Where the desktop watches the corners itself (KWin), told at every
        // reload which corners have a live binding, and our own pointer
        // watcher stays off; a desktop with no way to watch them ignores it.
        std::function<void(std::vector<ScreenCorner>)> desktopCorners = nullptr;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The launch sequence, once, when the event loop runs.
    void applicationDidFinishLaunching();

    // Runs the commands bound to the corner the pointer entered.
    void handleCorner(ScreenCorner corner);

    // Menu actions.
    void toggleEnabled();
    void openSettings();

    // For tests: the tray icon, its current menu, the settings window if made.
    QSystemTrayIcon* statusItem() const { return m_statusItem.get(); }
    QMenu* menu() const { return m_menu.get(); }
    SettingsPanel* settingsWindow() const { return m_settingsWindow.get(); }
    HotCornerMonitor& corners() { return m_corners; }

signals:
    // A corner or a hotkey started the command of the binding with this id.
    void triggered(const QString& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reload();
    void createStatusItem();
    void reportProblem(const std::string& message);
    void releaseSettings();
    void rebuildMenu();
    void showMenu();

    Services m_services;
    HotCornerMonitor m_corners;
    // The menu outlives the tray icon that shows it.
    std::unique_ptr<QMenu> m_menu;
    QAction* m_switchAction = nullptr;
    QAction* m_settingsAction = nullptr;
    QAction* m_quitAction = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    std::unique_ptr<SettingsPanel> m_settingsWindow;
    QTimer m_releaseSettings;
    bool m_recording = false;
};

} // namespace tarnwick
