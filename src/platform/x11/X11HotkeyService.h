#pragma once

#include "services/HotkeyService.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick::x11 {

class Display;
class KeyTranslator;

// System-wide hotkeys as passive key grabs on the root window, one per
// combination of the lock modifiers, so that Caps Lock or Num Lock being lit
// changes nothing. A held key fires once. Grabs follow the keyboard: after a
// mapping or layout change every live registration is grabbed again at the
// same physical key.
class X11HotkeyService final : public HotkeyService {
public:
    // The status for a key code or modifier this keyboard does not have: the
    // X server's BadValue, which it would answer for such a grab itself.
    static constexpr std::int32_t statusNoSuchKey = 2;
    // The status when the service is unavailable (no XKB, or the server has
    // gone): BadImplementation.
    static constexpr std::int32_t statusUnavailable = 17;

    struct Stats {
        std::uint64_t presses = 0;
        std::uint64_t repeatsIgnored = 0;
        std::uint64_t keymapReloads = 0;
        std::uint64_t regrabs = 0;
    };

    X11HotkeyService(Display& display, KeyTranslator& keys);
    ~X11HotkeyService() override;
    X11HotkeyService(const X11HotkeyService&) = delete;
    X11HotkeyService& operator=(const X11HotkeyService&) = delete;

    bool available() const;
    std::string unavailableReason() const;

    void installPressHandler(std::function<void(std::uint32_t id)> onPress) override;
    // Status 0 with a handle, or the X error of the refused grab (10,
    // BadAccess: another client holds it) or statusNoSuchKey, without one.
    HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t modifiers,
                                      std::uint32_t id) override;
    void unregisterHotkey(HotkeyHandle handle) override;

    Stats stats() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarnwick::x11
