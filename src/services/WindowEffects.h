#pragma once

#include <cstdint>
#include <functional>

namespace tarnwick {

// What the desktop can do for a window's background.
class WindowEffects {
public:
    virtual ~WindowEffects() = default;

    // Whether a compositor runs: only then can a window show what lies behind it.
    virtual bool translucencyAvailable() = 0;
    // Asks the compositor to blur what lies behind the window (its native id);
    // ignored where nothing can.
    virtual void blurBehind(std::uint64_t window) = 0;
    // The one function told, on the main thread, when a compositor starts or
    // stops, with translucencyAvailable()'s new answer; empty to stop.
    virtual void watchTranslucency(std::function<void(bool available)> onChange) = 0;
};

} // namespace tarnwick
