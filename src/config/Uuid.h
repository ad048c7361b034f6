#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// A 128-bit universally unique identifier, held as its 16 bytes.
class Uuid {
public:
    // A fresh random (version 4) UUID.
    static Uuid random();

    // The 36-character textual form, hex digits in either case; nothing otherwise.
    static std::optional<Uuid> parse(std::string_view text);

    // The 36-character textual form with upper-case hex digits.
    std::string toString() const;

    const std::array<std::uint8_t, 16>& bytes() const { return m_bytes; }

    friend bool operator==(const Uuid&, const Uuid&) = default;

private:
    Uuid() = default;
    std::array<std::uint8_t, 16> m_bytes{};
};

} // namespace tarnwick
