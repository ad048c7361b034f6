#pragma once

#include <cstdint>

namespace tarnwick::x11 {

class Display;

// Whether a compositing manager runs on the display's screen: only then can
// a window show what lies behind it.
bool compositorRunning(Display& display);

// Asks the compositor to blur what lies behind the whole window (KDE's
// protocol; other compositors ignore the property).
void askForBlurBehind(Display& display, std::uint32_t window);

} // namespace tarnwick::x11
