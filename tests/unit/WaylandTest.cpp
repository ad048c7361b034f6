#include "platform/wayland/WaylandBackend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <variant>

namespace tarnwick::wayland {
namespace {

// What a compositor keeps from its clients is declined, never pretended.
TEST(WaylandBackendTest, DeclinesThePointerAndKeyGrabs) {
    WaylandBackend backend(nullptr);
    EXPECT_FALSE(backend.pointer().addPointerMovedHandler([] {}));
    EXPECT_FALSE(backend.pointer().pointerLocation());
    EXPECT_TRUE(
        std::holds_alternative<HotkeyRefusal>(backend.hotkeys().registerHotkey(17, 0x0900, 1)));
    EXPECT_EQ(backend.globalShortcuts(), nullptr);
    EXPECT_EQ(backend.unavailableReasons().size(), 1u); // without shortcuts, the keys
    EXPECT_FALSE(backend.windowEffects().translucencyAvailable());
    EXPECT_EQ(WaylandBackend::socketPath("wayland-1", "/run/user/7"), "/run/user/7/wayland-1");
    EXPECT_EQ(WaylandBackend::socketPath("", "/run/user/7"), "/run/user/7/wayland-0");
    EXPECT_EQ(WaylandBackend::socketPath("/tmp/w", "/run/user/7"), "/tmp/w");
}

// Qt's native scan code on Wayland is the xkb keycode, evdev + 8; names
// come from the default layout, here US.
TEST(WaylandBackendTest, KeysByThePositionOfTheScanCode) {
    ::setenv("XKB_DEFAULT_LAYOUT", "us", 1);
    for (const char* name :
         {"XKB_DEFAULT_RULES", "XKB_DEFAULT_MODEL", "XKB_DEFAULT_VARIANT", "XKB_DEFAULT_OPTIONS"}) {
        ::unsetenv(name);
    }
    WaylandBackend backend(nullptr);
    const KeyTranslation& keys = backend.keys();
    const std::pair<std::uint32_t, std::optional<std::uint32_t>> scanCodes[] = {
        {28, 0x11},        {38, 0x00},          {65, 0x31},
        {67, 0x7A},        {116, 0x7D},         {50, std::nullopt} /* Shift */,
        {0, std::nullopt}, {9999, std::nullopt}};
    for (const auto& [scanCode, virtualKey] : scanCodes) {
        EXPECT_EQ(keys.virtualKeyFor(scanCode), virtualKey) << scanCode;
    }
    const std::pair<std::uint32_t, std::optional<std::string>> names[] = {
        {0x11, "T"}, {0x7D, "Down"}, {0x60, "F5"}, {0x2B, "comma"}, {0x0A, std::nullopt}};
    for (const auto& [virtualKey, name] : names) {
        EXPECT_EQ(keys.keyName(virtualKey), name) << virtualKey;
    }
}

} // namespace
} // namespace tarnwick::wayland
