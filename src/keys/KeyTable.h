#pragma once

#include "config/AppConfig.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarnwick {

// One key of a macOS ANSI keyboard: its virtual key code, the XKB name of the
// key at the same physical position, and the Linux evdev code of that key
// (the xkb keycode, and so the X keycode, is evdev + 8 on every evdev keymap).
// Every desktop backend translates stored key codes through this one table.
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

// The xkb keycode of an evdev code, on every evdev-based keymap.
inline constexpr std::uint32_t evdevOffset = 8;

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

} // namespace tarnwick
