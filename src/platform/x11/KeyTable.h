#pragma once

#include "keys/KeyTable.h"

#include <cstdint>
#include <optional>

namespace tarnwick::x11 {

// The shared key table, by the names the X11 code has always used.
using tarnwick::keyForEvdevCode;
using tarnwick::keyForVirtualKey;
using tarnwick::keyForXkbName;
using tarnwick::KeyPosition;
using tarnwick::keyPositions;
namespace carbon = tarnwick::carbon;

// The four modifiers a hotkey may hold, as the live modifier map names them.
struct ModifierMasks {
    std::uint16_t shift = 0;
    std::uint16_t control = 0;
    std::uint16_t alt = 0;
    std::uint16_t super = 0;
    // Lock modifiers, which must not change whether a hotkey fires.
    std::uint16_t capsLock = 0;
    std::uint16_t numLock = 0;
    std::uint16_t scrollLock = 0;

    std::uint16_t locks() const {
        return static_cast<std::uint16_t>(capsLock | numLock | scrollLock);
    }
};

// The X modifier mask for a Carbon mask: right-hand bits count as their left
// ones, other bits are ignored. Nothing when the mask asks for a modifier
// that this keyboard's modifier map does not have.
std::optional<std::uint16_t> xModifiersForCarbon(std::uint32_t carbonMask,
                                                 const ModifierMasks& masks);

} // namespace tarnwick::x11
