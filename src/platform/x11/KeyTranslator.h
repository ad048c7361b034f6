#pragma once

#include "platform/x11/KeyTable.h"
#include "services/KeyTranslation.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick::x11 {

class Display;

// Stored key codes to this keyboard's keys and back, by physical position,
// against the live keymap; and the live modifier map.
class KeyTranslator final : public KeyTranslation {
public:
    explicit KeyTranslator(Display& display);
    ~KeyTranslator() override;
    KeyTranslator(const KeyTranslator&) = delete;
    KeyTranslator& operator=(const KeyTranslator&) = delete;

    // False when the server lacks XKB.
    bool available() const;
    std::string unavailableReason() const;

    // Re-reads the keymap and the modifier map, after a mapping change.
    void refresh();

    // The X keycode at the position of virtualKey; nothing when the key code
    // is unknown or this keyboard has no key there.
    std::optional<std::uint8_t> keycodeFor(std::uint32_t virtualKey) const;
    // The virtual key code of the key at keycode, if it is one we know.
    std::optional<std::uint32_t> virtualKeyFor(std::uint32_t keycode) const override;
    // The name of the first layout's unshifted symbol on the key at virtualKey.
    std::optional<std::string> keyName(std::uint32_t virtualKey) const override;

    const ModifierMasks& modifiers() const;
    // The XKB core keyboard device, for event selection.
    std::int32_t deviceId() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarnwick::x11
