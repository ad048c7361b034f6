// Stored hotkeys as the portal's trigger text, and the keysym table behind
// it held against libxkbcommon's US keymap.
#include "platform/portal/TriggerText.h"
#include "platform/x11/KeyTable.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tarnwick::portal {
namespace {

TEST(TriggerTextTest, KeyCodeAndMaskSpellTheTrigger) {
    const struct {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        std::string trigger;
    } cases[] = {
        {0x10, 0x1200, "CTRL+SHIFT+y"},   // control shift Y
        {0x11, 0x0900, "ALT+LOGO+t"},     // option command T
        {0x00, 0x0100, "LOGO+a"},         // letters are lower case
        {0x12, 0x0300, "SHIFT+LOGO+1"},   // digits
        {0x65, 0x1000, "CTRL+F9"},        // function keys
        {0x69, 0x0100, "LOGO+XF86Tools"}, // F13 sends XF86Tools here
        {0x7B, 0x1800, "CTRL+ALT+Left"},  // arrows
        {0x2B, 0x0100, "LOGO+comma"},     // punctuation by keysym name
        {0x32, 0x1000, "CTRL+grave"},
        {0x52, 0x0100, "LOGO+KP_0"},        // keypad digits, as on a Mac keypad
        {0x10, 0xE000, "CTRL+SHIFT+ALT+y"}, // right-hand modifiers
        {0x10, 0xF100, "CTRL+SHIFT+ALT+LOGO+y"},
        {0x50, 0x0100, ""}, // F19 has no keysym in this keymap
        {0x7F, 0x0100, ""}, // no such key
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortcutTrigger({c.keyCode, c.modifiers, ""}), c.trigger) << c.keyCode;
    }
}

TEST(TriggerTextTest, EveryKeyHasTheKeysymOfTheUsLayoutWithNumLockOn) {
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    ASSERT_TRUE(keymap);
    const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap.get()),
                                                                       xkb_state_unref);
    const auto numLock = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_NUM);
    xkb_state_update_mask(state.get(), 0, 0, 1u << numLock, 0, 0, 0);
    for (const auto& key : x11::keyPositions()) {
        char name[64] = "";
        const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state.get(), key.evdevCode + 8);
        if (keysym != XKB_KEY_NoSymbol) {
            xkb_keysym_get_name(keysym, name, sizeof name);
        }
        EXPECT_EQ(usKeysymName(key.xkbName), name) << key.xkbName;
    }
    EXPECT_EQ(usKeysymName("LSGT"), "");
}

} // namespace
} // namespace tarnwick::portal
