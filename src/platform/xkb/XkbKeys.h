#pragma once

#include "services/KeyTranslation.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct xkb_context;
struct xkb_keymap;

namespace tarnwick::xkb {

// How xkb names a key symbol when a shortcut is spelled out: upper case
// where the symbol has it ("T", "Adiaeresis"), otherwise as is ("Down", "F5").
std::string keysymName(std::uint32_t keysym);

// Stored key codes against one xkb keymap, by physical position: each names
// an xkb key, found by its name, else by its evdev code. A null keymap
// knows only the evdev codes.

// The keycode of the key at virtualKey's position; nothing when the code is
// unknown or the keymap has no key there.
std::optional<std::uint32_t> keycodeFor(xkb_keymap* keymap, std::uint32_t virtualKey);
// The stored key code of the key at keycode, if it is one the file can name.
std::optional<std::uint32_t> virtualKeyFor(xkb_keymap* keymap, std::uint32_t keycode);
// The name of the first layout's unshifted symbol on the key at virtualKey.
std::optional<std::string> keyName(xkb_keymap* keymap, std::uint32_t virtualKey);

// The keyboard as xkbcommon's default layout has it (XKB_DEFAULT_LAYOUT and
// the like, else US), for a desktop that does not tell us its own: key
// positions are the same on every layout, only the names may differ.
class DefaultKeymap final : public KeyTranslation {
public:
    DefaultKeymap();
    ~DefaultKeymap() override;
    DefaultKeymap(const DefaultKeymap&) = delete;
    DefaultKeymap& operator=(const DefaultKeymap&) = delete;

    // The native scan code is the xkb keycode.
    std::optional<std::uint32_t> virtualKeyFor(std::uint32_t keycode) const override;
    std::optional<std::string> keyName(std::uint32_t virtualKey) const override;

private:
    struct Free {
        void operator()(xkb_context* p) const;
        void operator()(xkb_keymap* p) const;
    };
    std::unique_ptr<xkb_context, Free> m_context;
    std::unique_ptr<xkb_keymap, Free> m_keymap;
};

} // namespace tarnwick::xkb
