// The UTF-8 helpers, and the text a key combination is shown as.
#include "settings/KeyCombo.h"
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tarnwick {
namespace {

TEST(Utf8, IllFormedBytesAreFoundAndReplacedAndOnlyBlanksAtTheEndsTrimmed) {
    EXPECT_TRUE(utf8::isValid("plain \u2318\u2325T \U0001F600"));
    // Overlong, overlong, surrogate, above U+10FFFF, cut short, stray continuation.
    for (const char* bad :
         {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x8C", "a\x80"}) {
        EXPECT_FALSE(utf8::isValid(bad)) << bad;
    }
    EXPECT_EQ(utf8::sanitized("a\xFFz \xE2\x8C \u2318"), "a\uFFFDz \uFFFD\uFFFD \u2318");
    // Trimmed: the Unicode blanks at both ends only, never ill-formed bytes.
    const std::string blanks = "\t\n\v\f\r \u0085\u00A0\u1680\u2000\u2005\u200A\u2028\u2029\u202F"
                               "\u205F\u3000";
    EXPECT_EQ(utf8::trimmed(blanks + "x\n\ny" + blanks), "x\n\ny");
    EXPECT_EQ(utf8::trimmed("\u3000\x80 \xE3\x80\u3000"), "\x80 \xE3\x80");
    for (const char32_t c : std::u32string_view(U"\b\x0E\x1F!\x84\x86\u00A1\u167F\u1FFF\u200B"
                                                U"\u2027\u202A\u2030\u205E\u2060\u3001\uFEFF")) {
        EXPECT_FALSE(utf8::isWhitespaceOrNewline(c)) << static_cast<std::uint32_t>(c);
    }
}

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
