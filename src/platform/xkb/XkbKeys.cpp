#include "platform/xkb/XkbKeys.h"

#include "keys/KeyTable.h"

#include <xkbcommon/xkbcommon.h>

namespace tarnwick::xkb {

std::string keysymName(std::uint32_t keysym) {
    char name[64];
    const int length = xkb_keysym_get_name(xkb_keysym_to_upper(keysym), name, sizeof name);
    return length > 0 ? std::string(name) : std::string();
}

std::optional<std::uint32_t> keycodeFor(xkb_keymap* keymap, std::uint32_t virtualKey) {
    const auto key = keyForVirtualKey(virtualKey);
    if (!key || keymap == nullptr) {
        return std::nullopt;
    }
    const std::string name(key->xkbName);
    xkb_keycode_t keycode = xkb_keymap_key_by_name(keymap, name.c_str());
    if (keycode == XKB_KEYCODE_INVALID) {
        keycode = key->evdevCode + evdevOffset;
    }
    // A key without symbols (F19 on many maps) is still a key.
    if (keycode < xkb_keymap_min_keycode(keymap) || keycode > xkb_keymap_max_keycode(keymap)) {
        return std::nullopt;
    }
    return keycode;
}

std::optional<std::uint32_t> virtualKeyFor(xkb_keymap* keymap, std::uint32_t keycode) {
    if (keymap != nullptr) {
        if (const char* name = xkb_keymap_key_get_name(keymap, keycode)) {
            if (const auto key = keyForXkbName(name)) {
                return key->virtualKey;
            }
        }
    }
    const auto key = keycode >= evdevOffset ? keyForEvdevCode(keycode - evdevOffset) : std::nullopt;
    return key ? std::optional(key->virtualKey) : std::nullopt;
}

std::optional<std::string> keyName(xkb_keymap* keymap, std::uint32_t virtualKey) {
    const auto keycode = keycodeFor(keymap, virtualKey);
    const xkb_keysym_t* syms = nullptr;
    if (!keycode || xkb_keymap_key_get_syms_by_level(keymap, *keycode, 0, 0, &syms) < 1) {
        return std::nullopt;
    }
    std::string name = keysymName(syms[0]);
    return name.empty() ? std::nullopt : std::optional(std::move(name));
}

void DefaultKeymap::Free::operator()(xkb_context* p) const {
    xkb_context_unref(p);
}
void DefaultKeymap::Free::operator()(xkb_keymap* p) const {
    xkb_keymap_unref(p);
}

// Without the layout data only the evdev codes are known, and no names.
DefaultKeymap::DefaultKeymap() : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
    if (m_context) {
        m_keymap.reset(
            xkb_keymap_new_from_names(m_context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
}

DefaultKeymap::~DefaultKeymap() = default;

std::optional<std::uint32_t> DefaultKeymap::virtualKeyFor(std::uint32_t keycode) const {
    return xkb::virtualKeyFor(m_keymap.get(), keycode);
}

std::optional<std::string> DefaultKeymap::keyName(std::uint32_t virtualKey) const {
    return xkb::keyName(m_keymap.get(), virtualKey);
}

} // namespace tarnwick::xkb
