#include "config/Uuid.h"

#include <uuid/uuid.h>

namespace tarnwick {

Uuid Uuid::random() {
    Uuid id;
    uuid_generate_random(id.m_bytes.data());
    return id;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    // uuid_parse wants a terminated string of exactly 36 characters; an
    // embedded NUL or a longer text must not slip through a strlen.
    constexpr std::size_t textLength = 36;
    if (text.size() != textLength) {
        return std::nullopt;
    }
    char terminated[textLength + 1] = {};
    text.copy(terminated, textLength);
    Uuid id;
    if (uuid_parse(terminated, id.m_bytes.data()) != 0) {
        return std::nullopt;
    }
    return id;
}

std::string Uuid::toString() const {
    char text[37] = {};
    uuid_unparse_upper(m_bytes.data(), text);
    return text;
}

} // namespace tarnwick
