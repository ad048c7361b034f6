#include "platform/x11/X11Backend.h"

#include "platform/x11/Compositor.h"
#include "platform/x11/Display.h"
#include "platform/x11/DisplayPump.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PointerSource.h"

#include <utility>

namespace tarnwick::x11 {

X11Backend::Opened X11Backend::open(const std::string& name) {
    auto pointer = Display::open(name);
    auto keyboard = Display::open(name);
    if (!pointer.display || !keyboard.display) {
        return {nullptr, !pointer.error.empty() ? pointer.error : keyboard.error};
    }
    return {std::unique_ptr<X11Backend>(
                new X11Backend(std::move(pointer.display), std::move(keyboard.display))),
            {}};
}

X11Backend::X11Backend(std::unique_ptr<Display> pointerDisplay,
                       std::unique_ptr<Display> keyboardDisplay)
    : m_pointerDisplay(std::move(pointerDisplay)), m_keyboardDisplay(std::move(keyboardDisplay)),
      m_pointer(std::make_unique<X11PointerSource>(*m_pointerDisplay)),
      m_keys(std::make_unique<KeyTranslator>(*m_keyboardDisplay)),
      m_hotkeys(std::make_unique<X11HotkeyService>(*m_keyboardDisplay, *m_keys)) {}

X11Backend::~X11Backend() = default;

PointerSource& X11Backend::pointer() {
    return *m_pointer;
}

HotkeyService& X11Backend::hotkeys() {
    return *m_hotkeys;
}

KeyTranslation& X11Backend::keys() {
    return *m_keys;
}

std::string X11Backend::sessionName() const {
    return m_pointerDisplay->name();
}

std::vector<std::string> X11Backend::unavailableReasons() const {
    std::vector<std::string> reasons;
    for (std::string reason : {m_pointer->unavailableReason(), m_hotkeys->unavailableReason()}) {
        if (!reason.empty()) {
            reasons.push_back(std::move(reason));
        }
    }
    return reasons;
}

void X11Backend::start(std::function<void()> onLost) {
    m_onLost = std::move(onLost);
    m_pointerPump = std::make_unique<DisplayPump>(*m_pointerDisplay, [this] { lost(); });
    m_keyboardPump = std::make_unique<DisplayPump>(*m_keyboardDisplay, [this] { lost(); });
}

// Either connection may be the first to notice; the owner hears it once.
void X11Backend::lost() {
    if (auto onLost = std::exchange(m_onLost, nullptr)) {
        onLost();
    }
}

bool X11Backend::translucencyAvailable() {
    return compositorRunning(*m_keyboardDisplay);
}

void X11Backend::blurBehind(std::uint64_t window) {
    askForBlurBehind(*m_keyboardDisplay, static_cast<std::uint32_t>(window));
}

// The watch stays once made: it may be told to stop from inside its own call.
void X11Backend::watchTranslucency(std::function<void(bool available)> onChange) {
    m_onTranslucency = std::move(onChange);
    if (!m_compositor) {
        m_compositor = std::make_unique<CompositorWatch>(*m_keyboardDisplay, [this](bool running) {
            if (m_onTranslucency) {
                m_onTranslucency(running);
            }
        });
    }
}

} // namespace tarnwick::x11
