#include "platform/x11/X11HotkeyService.h"

#include "platform/x11/Display.h"
#include "platform/x11/EventListener.h"
#include "platform/x11/KeyTranslator.h"
#include "platform/x11/Reply.h"
#include "platform/x11/XkbProtocol.h"

#include <algorithm>
#include <bitset>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace tarnwick::x11 {
namespace {

// The core modifier bits; pointer-button bits of a key event's state are not ours.
constexpr std::uint16_t kCoreModifierBits = 0xff;

struct Combo {
    std::uint8_t keycode = 0;
    std::uint16_t modifiers = 0;
    friend auto operator<=>(const Combo&, const Combo&) = default;
};

// Every combination of the lock modifiers the map has, added to base.
std::vector<std::uint16_t> lockVariants(std::uint16_t base, const ModifierMasks& masks) {
    std::vector<std::uint16_t> variants{base};
    for (const std::uint16_t lock : {masks.capsLock, masks.numLock, masks.scrollLock}) {
        if (lock == 0 || (base & lock) != 0) {
            continue;
        }
        const std::size_t count = variants.size();
        for (std::size_t i = 0; i < count; ++i) {
            const auto withLock = static_cast<std::uint16_t>(variants[i] | lock);
            if (std::find(variants.begin(), variants.end(), withLock) == variants.end()) {
                variants.push_back(withLock);
            }
        }
    }
    return variants;
}

} // namespace

class X11HotkeyService::Impl final : public EventListener {
public:
    Impl(Display& display, KeyTranslator& keys)
        : m_display(display), m_c(display.connection()), m_keys(keys) {
        if (!keys.available()) {
            m_unavailableReason = keys.unavailableReason();
            return;
        }
        m_display.addListener(*this);
        m_listening = true;
        watchKeyboard();
        xcb_flush(m_c);
    }

    ~Impl() override {
        for (const auto& [combo, grab] : m_grabs) {
            ungrab(combo, grab.variants);
        }
        if (m_listening) {
            xcb_flush(m_c);
            m_display.removeListener(*this);
        }
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool available() const { return m_unavailableReason.empty(); }
    const std::string& unavailableReason() const { return m_unavailableReason; }
    const Stats& stats() const { return m_stats; }

    void installPressHandler(std::function<void(std::uint32_t)> onPress) {
        m_onPress = std::move(onPress);
    }

    HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t modifiers,
                                      std::uint32_t id) {
        if (!available() || m_display.connectionLost()) {
            return HotkeyRefusal{statusUnavailable};
        }
        const auto combo = translate(keyCode, modifiers);
        if (!combo) {
            return HotkeyRefusal{statusNoSuchKey};
        }
        if (const std::int32_t status = acquire(*combo); status != 0) {
            return HotkeyRefusal{status};
        }
        const HotkeyHandle handle{m_nextHandle++};
        m_registrations.emplace(handle.value, Registration{id, keyCode, modifiers, combo});
        return handle;
    }

    void unregisterHotkey(HotkeyHandle handle) {
        const auto it = m_registrations.find(handle.value);
        if (it == m_registrations.end()) {
            return;
        }
        if (it->second.combo) {
            release(*it->second.combo);
        }
        m_registrations.erase(it);
        xcb_flush(m_c);
    }

    void handleEvent(const xcb_generic_event_t& event) override {
        const std::uint8_t type = event.response_type & 0x7f;
        if (type == XCB_KEY_PRESS) {
            keyPressed(reinterpret_cast<const xcb_key_press_event_t&>(event));
        } else if (type == XCB_KEY_RELEASE) {
            m_held.reset(reinterpret_cast<const xcb_key_release_event_t&>(event).detail);
        } else if (type == XCB_MAPPING_NOTIFY) {
            const auto& mapping = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
            m_mappingChanged |= mapping.request != XCB_MAPPING_POINTER;
        } else if (m_xkbEventBase != 0 && type == m_xkbEventBase) {
            const auto& xkb = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event);
            m_mappingChanged |=
                xkb.xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkb.xkbType == XCB_XKB_MAP_NOTIFY;
        }
    }

    // A layout switch sends a burst of notifications: grab again once per burst.
    void endOfBatch() override {
        if (m_mappingChanged) {
            m_mappingChanged = false;
            followKeyboard();
        }
    }

private:
    struct Registration {
        std::uint32_t id;
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        // Where it is grabbed now; nothing while this keyboard cannot grab it.
        std::optional<Combo> combo;
    };
    struct Grab {
        int users = 0;
        std::vector<std::uint16_t> variants;
    };

    void watchKeyboard() {
        const auto* ext = xcb_get_extension_data(m_c, &xcb_xkb_id);
        if (ext != nullptr && ext->present != 0) {
            m_xkbEventBase = ext->first_event;
        }
        const auto device = static_cast<xcb_xkb_device_spec_t>(m_keys.deviceId());
        const std::uint16_t events =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        const std::uint16_t mapParts =
            XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
            XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        xcb_xkb_select_events(m_c, device, events, 0, events, mapParts, mapParts, nullptr);
        // A held key then repeats as presses alone, with one release at the end.
        auto flags = replyOf(
            xcb_xkb_per_client_flags_reply, m_c,
            xcb_xkb_per_client_flags(m_c, device, XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0));
        static_cast<void>(flags);
    }

    std::optional<Combo> translate(std::uint32_t keyCode, std::uint32_t modifiers) const {
        const auto keycode = m_keys.keycodeFor(keyCode);
        const auto xModifiers = xModifiersForCarbon(modifiers, m_keys.modifiers());
        if (!keycode || !xModifiers) {
            return std::nullopt;
        }
        return Combo{*keycode, *xModifiers};
    }

    // One more user of combo; grabs it when it is the first. 0 or the X error.
    std::int32_t acquire(const Combo& combo) {
        if (auto it = m_grabs.find(combo); it != m_grabs.end()) {
            ++it->second.users;
            return 0;
        }
        auto variants = lockVariants(combo.modifiers, m_keys.modifiers());
        if (const std::int32_t status = grab(combo.keycode, variants); status != 0) {
            return status;
        }
        m_grabs.emplace(combo, Grab{1, std::move(variants)});
        return 0;
    }

    void release(const Combo& combo) {
        const auto it = m_grabs.find(combo);
        if (it == m_grabs.end() || --it->second.users > 0) {
            return;
        }
        ungrab(combo, it->second.variants);
        m_grabs.erase(it);
    }

    // Grabs every variant or none: on a refusal the ones made are released.
    std::int32_t grab(std::uint8_t keycode, const std::vector<std::uint16_t>& variants) {
        std::vector<xcb_void_cookie_t> cookies;
        cookies.reserve(variants.size());
        for (const std::uint16_t modifiers : variants) {
            cookies.push_back(xcb_grab_key_checked(m_c, 0, m_display.rootWindow(), modifiers,
                                                   keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
        }
        std::int32_t status = 0;
        std::vector<std::uint16_t> made;
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            XcbPtr<xcb_generic_error_t> error(xcb_request_check(m_c, cookies[i]));
            if (error) {
                status = status != 0 ? status : error->error_code;
            } else {
                made.push_back(variants[i]);
            }
        }
        // A lost connection answers no request, not even with an error.
        if (status == 0 && m_display.connectionLost()) {
            status = statusUnavailable;
        }
        if (status != 0) {
            // Released before the refusal is answered, so that no other
            // client ever finds a half-made grab of ours.
            ungrab(Combo{keycode, 0}, made);
            m_display.sync();
        }
        return status;
    }

    void ungrab(const Combo& combo, const std::vector<std::uint16_t>& variants) {
        for (const std::uint16_t modifiers : variants) {
            xcb_ungrab_key(m_c, combo.keycode, m_display.rootWindow(), modifiers);
        }
    }

    void keyPressed(const xcb_key_press_event_t& press) {
        const auto modifiers = static_cast<std::uint16_t>(press.state & kCoreModifierBits &
                                                          ~m_keys.modifiers().locks());
        const Combo combo{press.detail, modifiers};
        if (!m_grabs.contains(combo)) {
            return;
        }
        if (m_held.test(press.detail)) {
            ++m_stats.repeatsIgnored;
            return;
        }
        m_held.set(press.detail);
        ++m_stats.presses;
        // Ids first: the handler may change the registrations.
        std::vector<std::uint32_t> ids;
        for (const auto& [handle, registration] : m_registrations) {
            if (registration.combo == combo) {
                ids.push_back(registration.id);
            }
        }
        for (const std::uint32_t id : ids) {
            if (m_onPress) {
                m_onPress(id);
            }
        }
    }

    // Where every registration would be grabbed under the current keymap.
    std::map<std::uint64_t, std::optional<Combo>> placements() const {
        std::map<std::uint64_t, std::optional<Combo>> result;
        for (const auto& [handle, registration] : m_registrations) {
            result.emplace(handle, translate(registration.keyCode, registration.modifiers));
        }
        return result;
    }

    // Switching between two keyboards also announces a new keymap, usually
    // the same one: the grabs are only redone when a key or a modifier moved.
    void followKeyboard() {
        ++m_stats.keymapReloads;
        const ModifierMasks oldMasks = m_keys.modifiers();
        m_keys.refresh();
        const auto placed = placements();
        bool moved = m_keys.modifiers().locks() != oldMasks.locks();
        for (const auto& [handle, registration] : m_registrations) {
            moved = moved || placed.at(handle) != registration.combo;
        }
        if (moved) {
            regrabAll(placed);
        }
    }

    void regrabAll(const std::map<std::uint64_t, std::optional<Combo>>& placed) {
        ++m_stats.regrabs;
        for (const auto& [combo, grab] : m_grabs) {
            ungrab(combo, grab.variants);
        }
        m_grabs.clear();
        for (auto& [handle, registration] : m_registrations) {
            registration.combo = placed.at(handle);
            // Held by another client now: silent until the keyboard changes again.
            if (registration.combo && acquire(*registration.combo) != 0) {
                registration.combo.reset();
            }
        }
        xcb_flush(m_c);
    }

    Display& m_display;
    xcb_connection_t* m_c;
    KeyTranslator& m_keys;
    std::string m_unavailableReason;
    bool m_listening = false;
    std::uint8_t m_xkbEventBase = 0;
    bool m_mappingChanged = false;
    std::function<void(std::uint32_t)> m_onPress;
    std::uint64_t m_nextHandle = 1;
    std::map<std::uint64_t, Registration> m_registrations;
    std::map<Combo, Grab> m_grabs;
    std::bitset<256> m_held;
    Stats m_stats;
};

X11HotkeyService::X11HotkeyService(Display& display, KeyTranslator& keys)
    : m_impl(std::make_unique<Impl>(display, keys)) {}
X11HotkeyService::~X11HotkeyService() = default;

bool X11HotkeyService::available() const {
    return m_impl->available();
}
std::string X11HotkeyService::unavailableReason() const {
    return m_impl->unavailableReason();
}
void X11HotkeyService::installPressHandler(std::function<void(std::uint32_t)> onPress) {
    m_impl->installPressHandler(std::move(onPress));
}
HotkeyRegistration X11HotkeyService::registerHotkey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                    std::uint32_t id) {
    return m_impl->registerHotkey(keyCode, modifiers, id);
}
void X11HotkeyService::unregisterHotkey(HotkeyHandle handle) {
    m_impl->unregisterHotkey(handle);
}
X11HotkeyService::Stats X11HotkeyService::stats() const {
    return m_impl->stats();
}

} // namespace tarnwick::x11
