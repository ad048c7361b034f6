#pragma once

#include "config/AppConfig.h"
#include "services/GlobalShortcuts.h"
#include "settings/AppModel.h"
#include "settings/SettingsPanel.h"
#include "triggers/HotCornerMonitor.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tarnwick {

class ConfigStore;
class DesktopBackend;
class HotkeyManager;
class LogSink;
class MainQueue;

// Joins the program together: loads the configuration at launch, keeps the
// triggers in step with the model (hotkeys grabbed by us, or bound with the
// desktop where it keeps the keys), runs the commands bound to a corner or a
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
        std::function<std::unique_ptr<SettingsPanel>(const SettingsPanel::Services&)> makeSettings;
        // A stored hotkey as the desktop's shortcut service spells the key
        // wished for ("CTRL+SHIFT+Y"), where the desktop keeps the keys.
        std::function<std::string(const HotkeyCombo&)> shortcutTrigger;
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
    // What a shortcut the desktop keeps runs, as the last reload bound it.
    struct BoundShortcut {
        std::string name;
        std::string command;
    };

    void reload();
    void registerHotkeys();
    void bindShortcuts(GlobalShortcuts& shortcuts);
    void runHotkey(const std::string& id, const std::string& command);
    void shortcutActivated(const std::string& id);
    void shortcutsAssigned(const std::vector<ShortcutAssignment>& assignments);
    void shortcutsUnavailable(const std::string& reason);
    void showShortcuts(DesktopShortcuts::State state);
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
    // Where the desktop keeps the keys: what was last asked of it, what each
    // bound id runs, and the key it gave each.
    std::optional<std::vector<ShortcutRequest>> m_requested;
    std::map<std::string, BoundShortcut> m_bound;
    std::map<std::string, std::string> m_assigned;
};

} // namespace tarnwick
