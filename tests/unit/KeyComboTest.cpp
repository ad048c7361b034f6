#include "settings/KeyCombo.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(KeyComboTest, WorkedExamples) {
    EXPECT_EQ(comboFromKeyDown(17, keyflag::command | keyflag::option, "t"),
              (HotkeyCombo{17, 2304, "⌥⌘T"}));
    EXPECT_EQ(comboFromKeyDown(0, 0, "a"), (HotkeyCombo{0, 0, "A"}));
    EXPECT_EQ(comboFromKeyDown(17, keyflag::control | keyflag::shift, "T"),
              (HotkeyCombo{17, 4608, "⌃⇧T"}));
    EXPECT_EQ(comboFromKeyDown(49, keyflag::command, " "), (HotkeyCombo{49, 256, "⌘ "}));
    EXPECT_EQ(comboFromKeyDown(105, 0, ""), (HotkeyCombo{105, 0, "·105"}));
    EXPECT_EQ(comboFromKeyDown(105, 0, std::nullopt), (HotkeyCombo{105, 0, "·105"}));
}

TEST(KeyComboTest, AllFourModifiersInTheirFixedOrderOtherFlagsIgnored) {
    const std::uint64_t all =
        keyflag::command | keyflag::shift | keyflag::option | keyflag::control;
    // Caps Lock (0x10000), numeric pad (0x200000) and function (0x800000) flags add nothing.
    const auto combo = comboFromKeyDown(17, all | 0x10000 | 0x200000 | 0x800000, "t");
    EXPECT_EQ(combo.modifiers, 0x1B00u);
    EXPECT_EQ(combo.display, "⌃⌥⇧⌘T");
}

TEST(KeyComboTest, FullUnicodeUpperCase) {
    EXPECT_EQ(comboFromKeyDown(27, 0, "ß").display, "SS");
    EXPECT_EQ(comboFromKeyDown(39, 0, "é").display, "É");
    EXPECT_EQ(comboFromKeyDown(6, 0, "я").display, "Я");
    // Control characters are kept as they are.
    EXPECT_EQ(comboFromKeyDown(53, 0, "\x1b").display, "\x1b");
}

} // namespace
} // namespace tarnwick
