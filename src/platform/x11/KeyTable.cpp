#include "platform/x11/KeyTable.h"

#include <array>

namespace tarnwick::x11 {

std::optional<std::uint16_t> xModifiersForCarbon(std::uint32_t carbonMask,
                                                 const ModifierMasks& masks) {
    struct Pairing {
        std::uint32_t carbonBits;
        std::uint16_t ModifierMasks::*mask;
    };
    static constexpr std::array<Pairing, 4> pairings{{
        {carbon::command, &ModifierMasks::super},
        {carbon::shift | carbon::rightShift, &ModifierMasks::shift},
        {carbon::option | carbon::rightOption, &ModifierMasks::alt},
        {carbon::control | carbon::rightControl, &ModifierMasks::control},
    }};
    std::uint16_t result = 0;
    for (const auto& pairing : pairings) {
        if ((carbonMask & pairing.carbonBits) == 0) {
            continue;
        }
        const std::uint16_t mask = masks.*pairing.mask;
        if (mask == 0) {
            return std::nullopt;
        }
        result = static_cast<std::uint16_t>(result | mask);
    }
    return result;
}

} // namespace tarnwick::x11
