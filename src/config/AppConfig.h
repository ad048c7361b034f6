#pragma once

#include "config/Uuid.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The four corners of a screen, in the order of allCases.
enum class ScreenCorner : std::uint8_t { topLeft, topRight, bottomLeft, bottomRight };

// What fires a binding.
enum class TriggerKind : std::uint8_t { corner, hotkey };

inline constexpr std::array<ScreenCorner, 4> allScreenCorners{
    ScreenCorner::topLeft, ScreenCorner::topRight, ScreenCorner::bottomLeft,
    ScreenCorner::bottomRight};
inline constexpr std::array<TriggerKind, 2> allTriggerKinds{TriggerKind::corner,
                                                            TriggerKind::hotkey};

// The raw value, which is also the case's id and its form in the file.
std::string_view rawValue(ScreenCorner corner);
std::string_view rawValue(TriggerKind kind);

// The text shown to the user.
std::string_view label(ScreenCorner corner);
std::string_view label(TriggerKind kind);

// Exact, case-sensitive match of one raw value; anything else gives nothing.
std::optional<ScreenCorner> screenCornerFromRawValue(std::string_view text);
std::optional<TriggerKind> triggerKindFromRawValue(std::string_view text);

// Carbon modifier mask bits, as stored in the file.
namespace modifier {
inline constexpr std::uint32_t command = 0x0100;
inline constexpr std::uint32_t shift = 0x0200;
inline constexpr std::uint32_t option = 0x0800;
inline constexpr std::uint32_t control = 0x1000;
} // namespace modifier

// One system-wide key combination: a macOS virtual key code and a Carbon
// modifier mask. display is for showing only and is never parsed.
struct HotkeyCombo {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    std::string display;

    friend bool operator==(const HotkeyCombo&, const HotkeyCombo&) = default;
};

// kind decides which optional field is in force; the other may hold a stale
// value that every consumer ignores but equality still counts.
struct Trigger {
    TriggerKind kind;
    std::optional<ScreenCorner> corner = std::nullopt;
    std::optional<HotkeyCombo> hotkey = std::nullopt;

    // One-line description: the combo's display text, the corner's label,
    // "Not set" or "—".
    std::string summary() const;

    friend bool operator==(const Trigger&, const Trigger&) = default;
};

struct CommandBinding {
    CommandBinding(std::string bindingName, Trigger bindingTrigger, std::string bindingCommand,
                   bool isEnabled = true)
        : CommandBinding(Uuid::random(), std::move(bindingName), std::move(bindingTrigger),
                         std::move(bindingCommand), isEnabled) {}
    CommandBinding(Uuid bindingId, std::string bindingName, Trigger bindingTrigger,
                   std::string bindingCommand, bool isEnabled = true)
        : id(bindingId), name(std::move(bindingName)), trigger(std::move(bindingTrigger)),
          command(std::move(bindingCommand)), enabled(isEnabled) {}

    Uuid id;
    std::string name;
    Trigger trigger;
    std::string command;
    bool enabled;

    friend bool operator==(const CommandBinding&, const CommandBinding&) = default;
};

// The whole configuration. Deliberately without equality.
struct AppConfig {
    static constexpr double defaultCornerSensitivity = 6.0;

    std::vector<CommandBinding> bindings{};
    bool globalEnabled = true;
    double cornerSensitivity = defaultCornerSensitivity;
};

} // namespace tarnwick
