#include "platform/x11/KeyTranslator.h"

#include "platform/x11/Display.h"
#include "platform/x11/Reply.h"
#include "platform/xkb/XkbKeys.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace tarnwick::x11 {
namespace {

struct ContextFree {
    void operator()(xkb_context* p) const { xkb_context_unref(p); }
};
struct KeymapFree {
    void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
};

bool hasKeysym(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_keysym_t wanted) {
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, 0, &syms);
        for (int i = 0; i < count; ++i) {
            if (syms[i] == wanted) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

class KeyTranslator::Impl {
public:
    explicit Impl(Display& display) : m_c(display.connection()) {
        if (xkb_x11_setup_xkb_extension(
                m_c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
            m_unavailableReason = "the X server has no usable XKB extension";
            return;
        }
        m_context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
        m_deviceId = xkb_x11_get_core_keyboard_device_id(m_c);
        if (!m_context || m_deviceId < 0) {
            m_unavailableReason = "the X server reports no core keyboard";
            return;
        }
        refresh();
    }

    void refresh() {
        if (!m_context) {
            return;
        }
        if (xkb_keymap* fresh = xkb_x11_keymap_new_from_device(m_context.get(), m_c, m_deviceId,
                                                               XKB_KEYMAP_COMPILE_NO_FLAGS)) {
            m_keymap.reset(fresh);
        }
        readModifierMap();
    }

    // The core protocol's keycodes end at 255.
    std::optional<std::uint8_t> keycodeFor(std::uint32_t virtualKey) const {
        const auto keycode = xkb::keycodeFor(m_keymap.get(), virtualKey);
        if (!keycode || *keycode > 255) {
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(*keycode);
    }

    std::optional<std::uint32_t> virtualKeyFor(std::uint32_t keycode) const {
        return xkb::virtualKeyFor(m_keymap.get(), keycode);
    }

    std::optional<std::string> keyName(std::uint32_t virtualKey) const {
        return xkb::keyName(m_keymap.get(), virtualKey);
    }

    bool available() const { return m_unavailableReason.empty(); }
    const std::string& unavailableReason() const { return m_unavailableReason; }
    const ModifierMasks& modifiers() const { return m_masks; }
    std::int32_t deviceId() const { return m_deviceId; }

private:
    // Which ModN holds Super, Alt, Num Lock and the others, as this server's
    // modifier map says; never assumed.
    void readModifierMap() {
        m_masks = ModifierMasks{};
        auto reply = replyOf(xcb_get_modifier_mapping_reply, m_c, xcb_get_modifier_mapping(m_c));
        if (!reply || !m_keymap) {
            return;
        }
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        struct Wanted {
            std::uint16_t ModifierMasks::*mask;
            xkb_keysym_t left;
            xkb_keysym_t right;
        };
        static constexpr Wanted wanted[] = {
            {&ModifierMasks::shift, XKB_KEY_Shift_L, XKB_KEY_Shift_R},
            {&ModifierMasks::control, XKB_KEY_Control_L, XKB_KEY_Control_R},
            {&ModifierMasks::alt, XKB_KEY_Alt_L, XKB_KEY_Alt_R},
            {&ModifierMasks::super, XKB_KEY_Super_L, XKB_KEY_Super_R},
            {&ModifierMasks::capsLock, XKB_KEY_Caps_Lock, XKB_KEY_Caps_Lock},
            {&ModifierMasks::numLock, XKB_KEY_Num_Lock, XKB_KEY_Num_Lock},
            {&ModifierMasks::scrollLock, XKB_KEY_Scroll_Lock, XKB_KEY_Scroll_Lock},
        };
        for (int modifier = 0; modifier < 8; ++modifier) {
            const auto bit = static_cast<std::uint16_t>(1u << modifier);
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
                if (keycode == 0) {
                    continue;
                }
                for (const Wanted& w : wanted) {
                    if (hasKeysym(m_keymap.get(), keycode, w.left) ||
                        hasKeysym(m_keymap.get(), keycode, w.right)) {
                        m_masks.*w.mask = static_cast<std::uint16_t>(m_masks.*w.mask | bit);
                    }
                }
            }
        }
    }

    xcb_connection_t* m_c;
    std::string m_unavailableReason;
    std::unique_ptr<xkb_context, ContextFree> m_context;
    std::unique_ptr<xkb_keymap, KeymapFree> m_keymap;
    std::int32_t m_deviceId = -1;
    ModifierMasks m_masks;
};

KeyTranslator::KeyTranslator(Display& display) : m_impl(std::make_unique<Impl>(display)) {}
KeyTranslator::~KeyTranslator() = default;

bool KeyTranslator::available() const {
    return m_impl->available();
}
std::string KeyTranslator::unavailableReason() const {
    return m_impl->unavailableReason();
}
void KeyTranslator::refresh() {
    m_impl->refresh();
}
std::optional<std::uint8_t> KeyTranslator::keycodeFor(std::uint32_t virtualKey) const {
    return m_impl->keycodeFor(virtualKey);
}
std::optional<std::uint32_t> KeyTranslator::virtualKeyFor(std::uint32_t keycode) const {
    return m_impl->virtualKeyFor(keycode);
}
std::optional<std::string> KeyTranslator::keyName(std::uint32_t virtualKey) const {
    return m_impl->keyName(virtualKey);
}
const ModifierMasks& KeyTranslator::modifiers() const {
    return m_impl->modifiers();
}
std::int32_t KeyTranslator::deviceId() const {
    return m_impl->deviceId();
}

} // namespace tarnwick::x11
