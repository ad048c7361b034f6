#pragma once

#include <cstdint>
#include <optional>

namespace tarnwick {

// The keyboard's keys as the stored hotkeys name them, for the recorder.
class KeyTranslation {
public:
    virtual ~KeyTranslation() = default;

    // The stored (macOS virtual) key code of the key with this native scan
    // code; nothing when the key is not one the file can name.
    virtual std::optional<std::uint32_t> virtualKeyFor(std::uint32_t nativeScanCode) const = 0;
};

} // namespace tarnwick
