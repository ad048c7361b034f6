#pragma once

#include "settings/SettingsPanel.h"

#include <functional>
#include <memory>

class QQmlEngine;
class QQuickView;
class QWidget;

namespace tarnwick {

class AppModel;
class BindingListModel;
class HotkeyRecorder;
class KeyTranslation;
class MainQueue;
class WindowEffects;

// The settings window with its QML engine. Closing only hides it; it is
// centred once, at creation, no taller than the screen's free area. It is
// translucent while a compositor runs.
class SettingsWindow final : public SettingsPanel {
public:
    static constexpr int side = 580;
    // The least height: the list's scroll bar makes up for the rest.
    static constexpr int minimumHeight = 320;

    explicit SettingsWindow(Services services);
    ~SettingsWindow() override;
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    void present() override;
    bool loaded() const;

    QQuickView& view() { return *m_view; }
    BindingListModel& bindings() { return *m_bindings; }
    HotkeyRecorder& recorder() { return *m_recorder; }

private:
    void place();
    void setTranslucent(bool translucent);

    WindowEffects& m_effects;
    std::unique_ptr<BindingListModel> m_bindings;
    std::unique_ptr<HotkeyRecorder> m_recorder;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
    std::unique_ptr<QWidget> m_failure;
};

} // namespace tarnwick
