#pragma once

#include "config/AppConfig.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

// Modifier flags of a key-down event, in the macOS event numbering that the
// recorder's conversion is defined over.
namespace keyflag {
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
} // namespace keyflag

// One recorded key press as a stored hotkey: the key code unchanged, the
// Carbon mask of the four modifiers held, and the display text: ⌃⌥⇧⌘ in that
// order, then the key's text upper-cased with full Unicode case mapping, or
// "·" and the decimal key code when the key has no text.
HotkeyCombo comboFromKeyDown(std::uint16_t keyCode, std::uint64_t modifierFlags,
                             const std::optional<std::string>& charactersIgnoringModifiers);

// A stored hotkey spelled out as Linux desktops do: "Super+Alt+T",
// "Ctrl+Shift+Y", "Down". keyName is what the keyboard layout calls the key;
// without one, the key is written as the display text shows it.
std::string spelledOut(const HotkeyCombo& combo, const std::optional<std::string>& keyName);

} // namespace tarnwick
