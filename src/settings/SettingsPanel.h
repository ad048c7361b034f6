#pragma once

#include <functional>

namespace tarnwick {

class AppModel;
class KeyTranslation;
class MainQueue;
class WindowEffects;

// The settings window as the program sees it. It comes from a plugin loaded
// on first use, so that Qt Quick is loaded only by those who open it.
class SettingsPanel {
public:
    struct Services {
        AppModel& model;
        MainQueue& mainQueue;
        const KeyTranslation& keys;
        WindowEffects& effects;
        // Told when a binding starts or stops recording a hotkey.
        std::function<void(bool recording)> onRecording;
        // Told when the window is closed or hidden.
        std::function<void()> onHidden;
    };

    virtual ~SettingsPanel() = default;

    // Shows the window, raised and focused; or, if its views failed to load,
    // a message that says so.
    virtual void present() = 0;
};

// The plugin's entry point, by this name: a new panel, owned by the caller.
using MakeSettingsPanel = SettingsPanel* (*)(const SettingsPanel::Services&);
inline constexpr const char* makeSettingsPanelSymbol = "tarnwick_make_settings_panel";

} // namespace tarnwick
