#include "settings/KeyCombo.h"

#include <QString>

#include <array>
#include <string_view>

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

std::string spelledOut(const HotkeyCombo& combo, const std::optional<std::string>& keyName) {
    struct Modifier {
        std::uint32_t mask; // with the right-hand bit a file from a Mac may hold
        const char* name;
    };
    static constexpr std::array<Modifier, 4> modifiers{{
        {modifier::command, "Super+"},
        {modifier::control | 0x8000, "Ctrl+"},
        {modifier::option | 0x4000, "Alt+"},
        {modifier::shift | 0x2000, "Shift+"},
    }};
    std::string text;
    for (const Modifier& m : modifiers) {
        if ((combo.modifiers & m.mask) != 0) {
            text += m.name;
        }
    }
    if (keyName) {
        return text + *keyName;
    }
    // The display's symbols come first, in this order.
    std::string_view key = combo.display;
    for (std::string_view symbol : {"\u2303", "\u2325", "\u21E7", "\u2318"}) {
        if (key.starts_with(symbol)) {
            key.remove_prefix(symbol.size());
        }
    }
    return text + std::string(key);
}

} // namespace tarnwick
