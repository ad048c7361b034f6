#include "platform/x11/KeyTable.h"

#include <gtest/gtest.h>

#include <set>

namespace tarnwick::x11 {
namespace {

TEST(KeyTableTest, CoversTheAnsiKeyboardWithoutDuplicates) {
    const auto keys = keyPositions();
    // 26 letters, 10 digits, 11 punctuation keys, Return, Tab, Space, Delete,
    // Escape, F1 to F20, 18 keypad keys, Help/Insert, Home, End, Page Up,
    // Page Down, forward delete and four arrows.
    EXPECT_EQ(keys.size(), 100u);
    std::set<std::uint32_t> codes;
    std::set<std::string_view> names;
    std::set<std::uint32_t> evdev;
    for (const auto& key : keys) {
        EXPECT_TRUE(codes.insert(key.virtualKey).second) << key.virtualKey;
        EXPECT_TRUE(names.insert(key.xkbName).second) << key.xkbName;
        EXPECT_TRUE(evdev.insert(key.evdevCode).second) << key.evdevCode;
        // Each lookup finds the same row from any of its three columns.
        EXPECT_EQ(keyForXkbName(key.xkbName)->virtualKey, key.virtualKey);
        EXPECT_EQ(keyForEvdevCode(key.evdevCode)->virtualKey, key.virtualKey);
        EXPECT_EQ(keyForVirtualKey(key.virtualKey)->xkbName, key.xkbName);
    }
}

TEST(KeyTableTest, KnownPositions) {
    EXPECT_EQ(keyForVirtualKey(17)->xkbName, "AD05"); // T
    EXPECT_EQ(keyForVirtualKey(17)->evdevCode + 8, 28u);
    EXPECT_EQ(keyForVirtualKey(0)->xkbName, "AC01");   // A
    EXPECT_EQ(keyForVirtualKey(49)->xkbName, "SPCE");  // Space
    EXPECT_EQ(keyForVirtualKey(122)->xkbName, "FK01"); // F1
    EXPECT_EQ(keyForVirtualKey(105)->xkbName, "FK13"); // F13
    EXPECT_EQ(keyForVirtualKey(0x75)->xkbName, "DELE");
    EXPECT_EQ(keyForVirtualKey(0x33)->xkbName, "BKSP");
    EXPECT_EQ(keyForVirtualKey(0x4C)->xkbName, "KPEN");
    // Codes for keys an ANSI keyboard does not have, or modifier keys alone.
    EXPECT_FALSE(keyForVirtualKey(0x0A).has_value()); // ISO section
    EXPECT_FALSE(keyForVirtualKey(0x37).has_value()); // Command
    EXPECT_FALSE(keyForVirtualKey(0xFFFFFFFF).has_value());
    EXPECT_FALSE(keyForXkbName("").has_value());
    EXPECT_FALSE(keyForXkbName("ad05").has_value());
}

TEST(KeyTableTest, CarbonMaskToXModifiersThroughTheModifierMap) {
    ModifierMasks masks;
    masks.shift = 0x01;
    masks.control = 0x04;
    masks.alt = 0x08;
    masks.super = 0x40;
    masks.numLock = 0x10;

    EXPECT_EQ(xModifiersForCarbon(0, masks), 0);
    EXPECT_EQ(xModifiersForCarbon(carbon::command | carbon::option, masks), 0x48);
    EXPECT_EQ(xModifiersForCarbon(carbon::control | carbon::shift, masks), 0x05);
    // Right-hand bits count as their left ones.
    EXPECT_EQ(
        xModifiersForCarbon(carbon::rightShift | carbon::rightOption | carbon::rightControl, masks),
        0x0D);
    // Caps Lock (0x0400), button state (0x0080), Num Lock and fn (bits 16, 17) are not modifiers of
    // a hotkey.
    EXPECT_EQ(xModifiersForCarbon(carbon::command | 0x0400 | 0x0080 | 0x10000 | 0x20000, masks),
              0x40);

    // Super elsewhere in the map: the mask follows the map.
    masks.super = 0x20;
    EXPECT_EQ(xModifiersForCarbon(carbon::command, masks), 0x20);
    // No Super at all: a Command hotkey cannot be expressed, rather than firing without it.
    masks.super = 0;
    EXPECT_FALSE(xModifiersForCarbon(carbon::command | carbon::shift, masks).has_value());
    EXPECT_EQ(xModifiersForCarbon(carbon::shift, masks), 0x01);
}

} // namespace
} // namespace tarnwick::x11
