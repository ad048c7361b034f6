#pragma once

#include "config/AppConfig.h"
#include "triggers/HotCornerMonitor.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tarnwick {

class AppModel;
class ConfigStore;
class HotkeyManager;
class LogSink;
class MainQueue;
class PointerSource;
class SettingsWindow;

namespace x11 {
class Display;
}

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
        PointerSource& pointer;
        MainQueue& mainQueue;
        LogSink& log;
        // X keycode to stored key code, for the hotkey recorder.
        std::function<std::optional<std::uint32_t>(std::uint32_t)> keyTranslation = {};
        // The X display, for the settings window's translucency; none in tests.
        x11::Display* display = nullptr;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The launch sequence, once, when the event loop runs.
    void applicationDidFinishLaunching();

    // Menu actions.
    void toggleEnabled();
    void openSettings();

    // The log lines of a finished command, exactly as written.
    static std::string cornerLogLine(ScreenCorner corner, const std::string& command, bool ok);
    static std::string hotkeyLogLine(const std::string& command, bool ok);

    // For tests: the tray icon, its current menu, the settings window if made.
    QSystemTrayIcon* statusItem() const { return m_statusItem.get(); }
    QMenu* menu() const { return m_menu.get(); }
    SettingsWindow* settingsWindow() const { return m_settingsWindow.get(); }
    HotCornerMonitor& corners() { return m_corners; }

private:
    void reload();
    void handleCorner(ScreenCorner corner);
    void createStatusItem();
    void rebuildMenu();

    Services m_services;
    HotCornerMonitor m_corners;
    // The menu outlives the tray icon that shows it.
    std::unique_ptr<QMenu> m_menu;
    QAction* m_switchAction = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    bool m_recording = false;
};

} // namespace tarnwick
