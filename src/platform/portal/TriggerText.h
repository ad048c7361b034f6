#pragma once

#include "config/AppConfig.h"

#include <string>
#include <string_view>

namespace tarnwick::portal {

// A stored hotkey as freedesktop.org's XDG Shortcuts format spells a trigger for the
// GlobalShortcuts portal: the held modifiers as CTRL, SHIFT, ALT and LOGO in
// that order, then the XKB keysym name of the key in the US layout, joined
// by "+" ("CTRL+SHIFT+y", "LOGO+ALT+t"). Command is LOGO, Option ALT;
// right-hand bits count as their left ones. Empty when the key has no name
// there.
std::string shortcutTrigger(const HotkeyCombo& hotkey);

// The keysym the key at this XKB position ("AC01") gives in the US layout
// with Num Lock on and no other modifier ("a"); empty when none.
std::string_view usKeysymName(std::string_view xkbKeyName);

} // namespace tarnwick::portal
