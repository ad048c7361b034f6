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

} // namespace
} // namespace tarnwick
