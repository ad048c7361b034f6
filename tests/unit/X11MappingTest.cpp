#include "platform/x11/KeyTable.h"
#include "platform/x11/ScreenLayout.h"
#include "platform/xkb/XkbKeys.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace tarnwick::x11 {
namespace {

// Global y goes up from the primary's bottom-left pixel; a frame spans its
// pixels plus a sliver, so that its top row and right column lie inside it.
TEST(ScreenLayoutTest, PrimaryBottomLeftIsTheOriginAndYGoesUp) {
    const ScreenLayout layout(
        std::vector<Monitor>{{0, 0, 1024, 768, false}, {1024, 100, 1920, 1080, true}});
    const auto xy = [](Point p) { return std::pair(p.x, p.y); };
    EXPECT_EQ(xy(layout.toGlobal(1024, 1179)), std::pair(0.0, 0.0));
    EXPECT_EQ(xy(layout.toGlobal(1500, 200)), std::pair(476.0, 979.0));
    const Rect& primary = layout.frames()[0];
    EXPECT_EQ(std::tuple(primary.x, primary.y, primary.width, primary.height),
              std::tuple(0.0, 0.0, 1919 + ScreenLayout::sliver, 1079 + ScreenLayout::sliver));
    EXPECT_EQ(xy({layout.frames()[1].x, layout.frames()[1].y}), std::pair(-1024.0, 412.0));
    // Monitors without area are no screens; marked primaries keep the server's order.
    EXPECT_TRUE(ScreenLayout(std::vector<Monitor>{}).empty());
    const ScreenLayout dark(std::vector<Monitor>{{0, 0, 0, 768, true}, {0, 0, 640, 480, false}});
    EXPECT_EQ(dark.toGlobal(0, 479).y, 0.0);
    const ScreenLayout two(std::vector<Monitor>{
        {0, 0, 100, 100, false}, {100, 0, 200, 100, true}, {300, 0, 300, 100, true}});
    EXPECT_EQ(two.frames()[1].x, 200.0);
}

// Mac virtual keys in the order of their characters, and the PC keyboard rows
// those characters sit on, along which XKB names and evdev codes both count.
TEST(KeyTableTest, EveryKeySitsWhereItsCharacterOrNameIs) {
    const std::string_view macOrder = "asdfhgzxcv?bqweryt123465=97-80]ou[ip?lj'k;?,/nm.";
    const std::tuple<std::string_view, std::string, std::uint32_t> rows[] = {
        {"1234567890-=", "AE", 2},
        {"qwertyuiop[]", "AD", 16},
        {"asdfghjkl;'", "AC", 30},
        {"zxcvbnm,./", "AB", 44}};
    std::map<std::uint32_t, std::pair<std::string, std::uint32_t>> expected{
        {0x24, {"RTRN", 28}},  {0x2A, {"BKSL", 43}},  {0x30, {"TAB", 15}},   {0x31, {"SPCE", 57}},
        {0x32, {"TLDE", 41}},  {0x33, {"BKSP", 14}},  {0x35, {"ESC", 1}},    {0x41, {"KPDL", 83}},
        {0x43, {"KPMU", 55}},  {0x45, {"KPAD", 78}},  {0x47, {"NMLK", 69}},  {0x4B, {"KPDV", 98}},
        {0x4C, {"KPEN", 96}},  {0x4E, {"KPSU", 74}},  {0x51, {"KPEQ", 117}}, {0x52, {"KP0", 82}},
        {0x53, {"KP1", 79}},   {0x54, {"KP2", 80}},   {0x55, {"KP3", 81}},   {0x56, {"KP4", 75}},
        {0x57, {"KP5", 76}},   {0x58, {"KP6", 77}},   {0x59, {"KP7", 71}},   {0x5B, {"KP8", 72}},
        {0x5C, {"KP9", 73}},   {0x72, {"INS", 110}},  {0x73, {"HOME", 102}}, {0x74, {"PGUP", 104}},
        {0x75, {"DELE", 111}}, {0x77, {"END", 107}},  {0x79, {"PGDN", 109}}, {0x7B, {"LEFT", 105}},
        {0x7C, {"RGHT", 106}}, {0x7D, {"DOWN", 108}}, {0x7E, {"UP", 103}}};
    for (std::uint32_t code = 0; code < macOrder.size(); ++code) {
        for (const auto& [chars, row, first] : rows) {
            if (const auto at = chars.find(macOrder[code]); at != std::string_view::npos) {
                expected[code] = {row + (at < 9 ? "0" : "") + std::to_string(at + 1),
                                  first + static_cast<std::uint32_t>(at)};
            }
        }
    }
    // evdev numbers F1 to F20 59-68, 87-88, then from 183.
    const std::uint32_t fKeys[] = {0x7A, 0x78, 0x63, 0x76, 0x60, 0x61, 0x62, 0x64, 0x65, 0x6D,
                                   0x67, 0x6F, 0x69, 0x6B, 0x71, 0x6A, 0x40, 0x4F, 0x50, 0x5A};
    for (std::uint32_t n = 1; n <= 20; ++n) {
        expected[fKeys[n - 1]] = {(n < 10 ? "FK0" : "FK") + std::to_string(n), n <= 10   ? 58 + n
                                                                               : n <= 12 ? 76 + n
                                                                                         : 170 + n};
    }
    ASSERT_EQ(expected.size(), keyPositions().size());
    for (const auto& [code, key] : expected) {
        const KeyPosition found = keyForVirtualKey(code).value_or(KeyPosition{});
        EXPECT_EQ(std::pair(std::string(found.xkbName), found.evdevCode), key) << code;
        EXPECT_EQ(keyForXkbName(key.first).value_or(KeyPosition{}).virtualKey, code) << code;
        EXPECT_EQ(keyForEvdevCode(key.second).value_or(KeyPosition{}).virtualKey, code) << code;
    }
}

TEST(KeyTableTest, CarbonMaskToXModifiersThroughTheModifierMap) {
    ModifierMasks masks{
        .shift = 0x01, .control = 0x04, .alt = 0x08, .super = 0x20, .numLock = 0x10};
    // Right-hand bits count as left ones; lock, button and fn bits not at all.
    EXPECT_EQ(
        xModifiersForCarbon(carbon::command | carbon::option | 0x0400 | 0x0080 | 0x30000, masks),
        0x28);
    EXPECT_EQ(xModifiersForCarbon(carbon::control | carbon::rightShift, masks), 0x05);
    EXPECT_EQ(
        xModifiersForCarbon(carbon::rightOption | carbon::rightControl | carbon::shift, masks),
        0x0D);
    // Without Super in the map a Command hotkey cannot be had, rather than firing without it.
    masks.super = 0;
    EXPECT_FALSE(xModifiersForCarbon(carbon::command | carbon::shift, masks));
    EXPECT_EQ(xModifiersForCarbon(carbon::shift, masks), 0x01);
}

// What a spelled-out hotkey calls a key: xkb's name of its symbol, upper case
// where the symbol has one.
TEST(KeyTableTest, KeysymNames) {
    const std::pair<std::uint32_t, std::string> rows[] = {
        {0x0074, "T"},     {0x0054, "T"},          {0xff54, "Down"},   {0xffc2, "F5"},
        {0x002c, "comma"}, {0x00e4, "Adiaeresis"}, {0xff1b, "Escape"}, {0x0031, "1"}};
    for (const auto& [keysym, name] : rows) {
        EXPECT_EQ(xkb::keysymName(keysym), name) << keysym;
    }
}

} // namespace
} // namespace tarnwick::x11
