#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

// The keyboard's keys as the stored hotkeys name them, for the recorder and
// for spelling a stored hotkey out.
class KeyTranslation {
public:
    virtual ~KeyTranslation() = default;

    // The stored (macOS virtual) key code of the key with this native scan
    // code; nothing when the key is not one the file can name.
    virtual std::optional<std::uint32_t> virtualKeyFor(std::uint32_t nativeScanCode) const = 0;

    // The name of the symbol the current layout puts on the key at this
    // stored key code ("T", "Down", "F5", "comma"); nothing when this
    // keyboard has no such key.
    virtual std::optional<std::string> keyName(std::uint32_t virtualKey) const = 0;
};

} // namespace tarnwick
