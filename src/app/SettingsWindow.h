#pragma once

#include "app/HotkeyRecorder.h"

#include <functional>
#include <memory>

class QQmlEngine;
class QQuickView;

namespace tarnwick {

class AppModel;
class BindingListModel;
class MainQueue;

namespace x11 {
class Display;
}

// The settings window: made with its QML engine on first use, then kept.
// Closing only hides it; it is centred once, at creation.
class SettingsWindow {
public:
    static constexpr int side = 580;

    struct Services {
        AppModel& model;
        MainQueue& mainQueue;
        HotkeyRecorder::KeyTranslation keyTranslation;
        // Told when a binding starts or stops recording a hotkey.
        std::function<void(bool recording)> onRecording;
        // The X display, for translucency; none in tests.
        x11::Display* display = nullptr;
    };

    explicit SettingsWindow(Services services);
    ~SettingsWindow();
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Shows the window, raised and focused.
    void present();

    QQuickView& view() { return *m_view; }
    BindingListModel& bindings() { return *m_bindings; }
    HotkeyRecorder& recorder() { return *m_recorder; }

private:
    std::unique_ptr<BindingListModel> m_bindings;
    std::unique_ptr<HotkeyRecorder> m_recorder;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
};

} // namespace tarnwick
