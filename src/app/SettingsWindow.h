#pragma once

#include <memory>

class QQmlEngine;
class QQuickView;

namespace tarnwick {

class AppModel;

// The settings window: made with its QML engine on first use, then kept.
// Closing only hides it; it is centred once, at creation.
class SettingsWindow {
public:
    static constexpr int side = 580;

    explicit SettingsWindow(AppModel& model);
    ~SettingsWindow();
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Shows the window, raised and focused.
    void present();

    QQuickView& view() { return *m_view; }

private:
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
};

} // namespace tarnwick
