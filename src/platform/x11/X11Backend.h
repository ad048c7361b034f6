#pragma once

#include "services/DesktopBackend.h"

#include <memory>
#include <string>

namespace tarnwick::x11 {

class CompositorWatch;
class Display;
class DisplayPump;
class KeyTranslator;
class X11HotkeyService;
class X11PointerSource;

// The desktop as an X server shows it, over two connections of our own: one
// for the pointer, which holds off reading while the mouse moves, and one for
// the keyboard, so that hotkeys are never held behind motion.
class X11Backend final : public DesktopBackend, public WindowEffects {
public:
    struct Opened;
    // Connects to the named display, or to $DISPLAY when name is empty.
    static Opened open(const std::string& name = {});

    ~X11Backend() override;
    X11Backend(const X11Backend&) = delete;
    X11Backend& operator=(const X11Backend&) = delete;

    PointerSource& pointer() override;
    HotkeyService& hotkeys() override;
    KeyTranslation& keys() override;
    WindowEffects& windowEffects() override { return *this; }
    std::string sessionName() const override;
    std::vector<std::string> unavailableReasons() const override;
    void start(std::function<void()> onLost) override;

    bool translucencyAvailable() override;
    void blurBehind(std::uint64_t window) override;
    void watchTranslucency(std::function<void(bool available)> onChange) override;

private:
    X11Backend(std::unique_ptr<Display> pointerDisplay, std::unique_ptr<Display> keyboardDisplay);
    void lost();

    std::unique_ptr<Display> m_pointerDisplay;
    std::unique_ptr<Display> m_keyboardDisplay;
    std::unique_ptr<X11PointerSource> m_pointer;
    std::unique_ptr<KeyTranslator> m_keys;
    std::unique_ptr<X11HotkeyService> m_hotkeys;
    std::unique_ptr<CompositorWatch> m_compositor;
    std::function<void(bool)> m_onTranslucency;
    std::function<void()> m_onLost;
    // Last, so that they stop reading before the services and displays go.
    std::unique_ptr<DisplayPump> m_pointerPump;
    std::unique_ptr<DisplayPump> m_keyboardPump;
};

struct X11Backend::Opened {
    std::unique_ptr<X11Backend> backend;
    // Why there is none, for one line on stderr.
    std::string error;
};

} // namespace tarnwick::x11
