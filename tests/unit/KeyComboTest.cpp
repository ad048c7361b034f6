#include "settings/KeyCombo.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(KeyComboTest, ModifiersInDisplayOrderThenTheKeyUpperCased) {
    const std::uint64_t all =
        keyflag::command | keyflag::shift | keyflag::option | keyflag::control;
    // Caps Lock, numeric pad and function flags add nothing.
    EXPECT_EQ(comboFromKeyDown(17, all | 0xA10000, "t"), (HotkeyCombo{17, 0x1B00, "⌃⌥⇧⌘T"}));
    EXPECT_EQ(comboFromKeyDown(17, keyflag::command | keyflag::option, "t"),
              (HotkeyCombo{17, 2304, "⌥⌘T"}));
    EXPECT_EQ(comboFromKeyDown(17, keyflag::control | keyflag::shift, "T"),
              (HotkeyCombo{17, 4608, "⌃⇧T"}));
    // Full Unicode case mapping, Caps Lock or not.
    EXPECT_EQ(comboFromKeyDown(27, 0x10000, "ß"), (HotkeyCombo{27, 0, "SS"}));
    EXPECT_EQ(comboFromKeyDown(105, 0, ""), (HotkeyCombo{105, 0, "·105"}));
}

// Modifiers in the order Linux desktops write them, right-hand bits as left
// ones; then the layout's name for the key, or the display's key text.
TEST(KeyComboTest, SpelledOutTheLinuxWay) {
    const struct {
        std::uint32_t modifiers;
        std::optional<std::string> keyName;
        const char* display;
        const char* expected;
    } rows[] = {
        {0x0900, "T", "⌥⌘T", "Super+Alt+T"},
        {0x1200, "Y", "⌃⇧Y", "Ctrl+Shift+Y"},
        {0, "Down", "·125", "Down"},
        {0x1B00, "F5", "⌃⌥⇧⌘·96", "Super+Ctrl+Alt+Shift+F5"},
        {0xE000, "comma", ",", "Ctrl+Alt+Shift+comma"},
        {0x1100, std::nullopt, "⌃⌘·105", "Super+Ctrl+·105"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(spelledOut(HotkeyCombo{0, row.modifiers, row.display}, row.keyName),
                  row.expected);
    }
}

} // namespace
} // namespace tarnwick
