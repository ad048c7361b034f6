#pragma once

#include "services/DesktopBackend.h"

#include <memory>
#include <string>

namespace tarnwick::wayland {

// The desktop as a Wayland compositor shows it to an ordinary client: no
// pointer outside our own windows and no key grabs. System-wide shortcuts
// come only from the desktop's own service, when there is one.
class WaylandBackend final : public DesktopBackend, public WindowEffects {
public:
    // Without shortcuts, hotkeys cannot be had at all.
    explicit WaylandBackend(std::unique_ptr<GlobalShortcuts> shortcuts);
    ~WaylandBackend() override;
    WaylandBackend(const WaylandBackend&) = delete;
    WaylandBackend& operator=(const WaylandBackend&) = delete;

    // Where clients find the compositor: waylandDisplay (wayland-0 when
    // empty), under runtimeDirectory unless it is a path of its own.
    static std::string socketPath(std::string_view waylandDisplay,
                                  std::string_view runtimeDirectory);

    PointerSource& pointer() override;
    HotkeyService& hotkeys() override;
    KeyTranslation& keys() override;
    WindowEffects& windowEffects() override { return *this; }
    GlobalShortcuts* globalShortcuts() override { return m_shortcuts.get(); }
    std::string sessionName() const override;
    std::vector<std::string> unavailableReasons() const override;
    void start(std::function<void()> onLost) override;

    // No blur can be asked for, and a translucent window without it is hard to read.
    bool translucencyAvailable() override { return false; }
    void blurBehind(std::uint64_t) override {}
    void watchTranslucency(std::function<void(bool)>) override {}

private:
    class NoPointer;
    class NoKeyGrabs;

    std::unique_ptr<NoPointer> m_pointer;
    std::unique_ptr<NoKeyGrabs> m_hotkeys;
    std::unique_ptr<KeyTranslation> m_keys;
    std::unique_ptr<GlobalShortcuts> m_shortcuts;
};

} // namespace tarnwick::wayland
