#pragma once

#include "platform/x11/EventListener.h"

#include <cstdint>
#include <functional>

namespace tarnwick::x11 {

class Display;

// Whether a compositing manager runs on the display's screen: only then can
// a window show what lies behind it.
bool compositorRunning(Display& display);

// Asks the compositor to blur what lies behind the whole window (KDE's
// protocol; other compositors ignore the property).
void askForBlurBehind(Display& display, std::uint32_t window);

// Tells onChange whether a compositor runs each time one starts or stops:
// the owner of the compositing manager's selection changes (XFixes). Silent
// where the server lacks XFixes.
class CompositorWatch final : public EventListener {
public:
    CompositorWatch(Display& display, std::function<void(bool running)> onChange);
    ~CompositorWatch() override;
    CompositorWatch(const CompositorWatch&) = delete;
    CompositorWatch& operator=(const CompositorWatch&) = delete;

    void handleEvent(const xcb_generic_event_t& event) override;

private:
    Display& m_display;
    std::function<void(bool)> m_onChange;
    std::uint8_t m_eventBase = 0;
    bool m_listening = false;
};

} // namespace tarnwick::x11
