#include "platform/portal/TriggerText.h"

#include "keys/KeyTable.h"

#include <algorithm>
#include <array>

namespace tarnwick::portal {
namespace {

struct KeysymName {
    std::string_view xkbName;
    std::string_view keysym;
};

// What libxkbcommon answers for the evdev rules, pc105, "us", Num Lock on
// (the test holds this table against it). Keypad keys are their digits, as
// on a Mac keypad. On Debian 12's keymap F13 to F18 give the XF86 launcher
// keysyms and F19 none: that is what those keys send there, so it is what
// the compositor matches.
constexpr std::array<KeysymName, 100> kKeysyms{{
    {"AB01", "z"},
    {"AB02", "x"},
    {"AB03", "c"},
    {"AB04", "v"},
    {"AB05", "b"},
    {"AB06", "n"},
    {"AB07", "m"},
    {"AB08", "comma"},
    {"AB09", "period"},
    {"AB10", "slash"},
    {"AC01", "a"},
    {"AC02", "s"},
    {"AC03", "d"},
    {"AC04", "f"},
    {"AC05", "g"},
    {"AC06", "h"},
    {"AC07", "j"},
    {"AC08", "k"},
    {"AC09", "l"},
    {"AC10", "semicolon"},
    {"AC11", "apostrophe"},
    {"AD01", "q"},
    {"AD02", "w"},
    {"AD03", "e"},
    {"AD04", "r"},
    {"AD05", "t"},
    {"AD06", "y"},
    {"AD07", "u"},
    {"AD08", "i"},
    {"AD09", "o"},
    {"AD10", "p"},
    {"AD11", "bracketleft"},
    {"AD12", "bracketright"},
    {"AE01", "1"},
    {"AE02", "2"},
    {"AE03", "3"},
    {"AE04", "4"},
    {"AE05", "5"},
    {"AE06", "6"},
    {"AE07", "7"},
    {"AE08", "8"},
    {"AE09", "9"},
    {"AE10", "0"},
    {"AE11", "minus"},
    {"AE12", "equal"},
    {"BKSL", "backslash"},
    {"BKSP", "BackSpace"},
    {"DELE", "Delete"},
    {"DOWN", "Down"},
    {"END", "End"},
    {"ESC", "Escape"},
    {"FK01", "F1"},
    {"FK02", "F2"},
    {"FK03", "F3"},
    {"FK04", "F4"},
    {"FK05", "F5"},
    {"FK06", "F6"},
    {"FK07", "F7"},
    {"FK08", "F8"},
    {"FK09", "F9"},
    {"FK10", "F10"},
    {"FK11", "F11"},
    {"FK12", "F12"},
    {"FK13", "XF86Tools"},
    {"FK14", "XF86Launch5"},
    {"FK15", "XF86Launch6"},
    {"FK16", "XF86Launch7"},
    {"FK17", "XF86Launch8"},
    {"FK18", "XF86Launch9"},
    {"FK19", ""},
    {"FK20", "XF86AudioMicMute"},
    {"HOME", "Home"},
    {"INS", "Insert"},
    {"KP0", "KP_0"},
    {"KP1", "KP_1"},
    {"KP2", "KP_2"},
    {"KP3", "KP_3"},
    {"KP4", "KP_4"},
    {"KP5", "KP_5"},
    {"KP6", "KP_6"},
    {"KP7", "KP_7"},
    {"KP8", "KP_8"},
    {"KP9", "KP_9"},
    {"KPAD", "KP_Add"},
    {"KPDL", "KP_Decimal"},
    {"KPDV", "KP_Divide"},
    {"KPEN", "KP_Enter"},
    {"KPEQ", "KP_Equal"},
    {"KPMU", "KP_Multiply"},
    {"KPSU", "KP_Subtract"},
    {"LEFT", "Left"},
    {"NMLK", "Num_Lock"},
    {"PGDN", "Next"},
    {"PGUP", "Prior"},
    {"RGHT", "Right"},
    {"RTRN", "Return"},
    {"SPCE", "space"},
    {"TAB", "Tab"},
    {"TLDE", "grave"},
    {"UP", "Up"},
}};

static_assert(std::ranges::is_sorted(kKeysyms, {}, &KeysymName::xkbName));

} // namespace

std::string_view usKeysymName(std::string_view xkbKeyName) {
    const auto it = std::ranges::lower_bound(kKeysyms, xkbKeyName, {}, &KeysymName::xkbName);
    return it != kKeysyms.end() && it->xkbName == xkbKeyName ? it->keysym : std::string_view();
}

std::string shortcutTrigger(const HotkeyCombo& hotkey) {
    const auto key = keyForVirtualKey(hotkey.keyCode);
    const std::string_view keysym = key ? usKeysymName(key->xkbName) : std::string_view();
    if (keysym.empty()) {
        return {};
    }
    struct Modifier {
        std::uint32_t carbonBits;
        std::string_view name;
    };
    static constexpr std::array<Modifier, 4> modifiers{{
        {carbon::control | carbon::rightControl, "CTRL"},
        {carbon::shift | carbon::rightShift, "SHIFT"},
        {carbon::option | carbon::rightOption, "ALT"},
        {carbon::command, "LOGO"},
    }};
    std::string trigger;
    for (const auto& modifier : modifiers) {
        if ((hotkey.modifiers & modifier.carbonBits) != 0) {
            trigger.append(modifier.name).append("+");
        }
    }
    return trigger.append(keysym);
}

} // namespace tarnwick::portal
