#pragma once

#include "config/AppConfig.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarnwick::x11 {

// One key of a macOS ANSI keyboard: its virtual key code, the XKB name of the
// key at the same physical position, and the Linux evdev code of that key
// (the X keycode is evdev + 8 on every evdev keymap).
struct KeyPosition {
    std::uint32_t virtualKey;
    std::string_view xkbName;
    std::uint32_t evdevCode;
};

// Every key the stored hotkeys may name, in virtual-key order.
std::span<const KeyPosition> keyPositions();

std::optional<KeyPosition> keyForVirtualKey(std::uint32_t virtualKey);
std::optional<KeyPosition> keyForXkbName(std::string_view xkbName);
std::optional<KeyPosition> keyForEvdevCode(std::uint32_t evdevCode);

// Carbon modifier bits as stored in the file, with the right-hand ones that
// a file from a Mac may hold.
namespace carbon {
inline constexpr std::uint32_t command = modifier::command;
inline constexpr std::uint32_t shift = modifier::shift;
inline constexpr std::uint32_t option = modifier::option;
inline constexpr std::uint32_t control = modifier::control;
inline constexpr std::uint32_t rightShift = 0x2000;
inline constexpr std::uint32_t rightOption = 0x4000;
inline constexpr std::uint32_t rightControl = 0x8000;
} // namespace carbon

// The four modifiers a hotkey may hold, as the live modifier map names them.
struct ModifierMasks {
    std::uint16_t shift = 0;
    std::uint16_t control = 0;
    std::uint16_t alt = 0;
    std::uint16_t super = 0;
    // Lock modifiers, which must not change whether a hotkey fires.
    std::uint16_t capsLock = 0;
    std::uint16_t numLock = 0;
    std::uint16_t scrollLock = 0;

    std::uint16_t locks() const {
        return static_cast<std::uint16_t>(capsLock | numLock | scrollLock);
    }
};

// The X modifier mask for a Carbon mask: right-hand bits count as their left
// ones, other bits are ignored. Nothing when the mask asks for a modifier
// that this keyboard's modifier map does not have.
std::optional<std::uint16_t> xModifiersForCarbon(std::uint32_t carbonMask,
                                                 const ModifierMasks& masks);

} // namespace tarnwick::x11
