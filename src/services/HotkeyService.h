#pragma once

#include <cstdint>
#include <functional>
#include <variant>

namespace tarnwick {

// An opaque handle of one live registration with the platform.
struct HotkeyHandle {
    std::uint64_t value = 0;
    friend bool operator==(const HotkeyHandle&, const HotkeyHandle&) = default;
};

// Why the platform refused a registration: its error (an X error code, say),
// never 0.
struct HotkeyRefusal {
    // The status of a combination another program holds (X's BadAccess).
    static constexpr std::int32_t taken = 10;

    std::int32_t status = 0;
    friend bool operator==(const HotkeyRefusal&, const HotkeyRefusal&) = default;
};

// A live registration's handle, or the refusal: never both, never neither.
using HotkeyRegistration = std::variant<HotkeyHandle, HotkeyRefusal>;

// The platform's system-wide hotkeys. Key codes are macOS virtual key codes
// and masks Carbon modifier masks; translating them is the service's job.
class HotkeyService {
public:
    virtual ~HotkeyService() = default;

    // Sets the one function told, on the main thread, of every press of a
    // registered combination, with the id it was registered under. An empty
    // function stops the delivery.
    virtual void installPressHandler(std::function<void(std::uint32_t id)> onPress) = 0;

    // Registers keyCode with modifiers under id.
    virtual HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t modifiers,
                                              std::uint32_t id) = 0;

    // Releases a registration; unknown handles are ignored.
    virtual void unregisterHotkey(HotkeyHandle handle) = 0;
};

} // namespace tarnwick
