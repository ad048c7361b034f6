#include "settings/KeyCombo.h"

#include <QString>

#include <array>

namespace tarnwick {

HotkeyCombo comboFromKeyDown(std::uint16_t keyCode, std::uint64_t modifierFlags,
                             const std::optional<std::string>& charactersIgnoringModifiers) {
    struct Modifier {
        std::uint64_t flag;
        std::uint32_t carbon;
        const char* symbol;
    };
    // Display order: Control, Option, Shift, Command.
    static constexpr std::array<Modifier, 4> modifiers{{
        {keyflag::control, modifier::control, "\u2303"},
        {keyflag::option, modifier::option, "\u2325"},
        {keyflag::shift, modifier::shift, "\u21E7"},
        {keyflag::command, modifier::command, "\u2318"},
    }};
    std::uint32_t mask = 0;
    std::string display;
    for (const Modifier& m : modifiers) {
        if ((modifierFlags & m.flag) != 0) {
            mask |= m.carbon;
            display += m.symbol;
        }
    }
    // QString's upper-casing is the full mapping: "ß" becomes "SS".
    const QString text =
        QString::fromStdString(charactersIgnoringModifiers.value_or(std::string())).toUpper();
    display += text.isEmpty() ? "\u00B7" + std::to_string(keyCode) : text.toStdString();
    return HotkeyCombo{keyCode, mask, display};
}

} // namespace tarnwick
