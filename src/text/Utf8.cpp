#include "text/Utf8.h"

#include <cstdint>
#include <optional>

namespace tarnwick::utf8 {
namespace {

struct Decoded {
    char32_t codePoint;
    std::size_t length;
};

std::uint8_t byteAt(std::string_view text, std::size_t i) {
    return static_cast<std::uint8_t>(text[i]);
}

// Decodes the sequence starting at text[pos], or nothing when it is ill-formed.
std::optional<Decoded> decodeAt(std::string_view text, std::size_t pos) {
    const std::uint8_t lead = byteAt(text, pos);
    if (lead < 0x80) {
        return Decoded{lead, 1};
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1Fu;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0Fu;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t next = byteAt(text, pos + i);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return Decoded{cp, length};
}

bool isContinuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The code point that ends at text[end - 1], if the bytes there are well-formed.
std::optional<Decoded> decodeBefore(std::string_view text, std::size_t end) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && isContinuation(byteAt(text, start))) {
        --start;
    }
    auto decoded = decodeAt(text, start);
    if (!decoded || start + decoded->length != end) {
        return std::nullopt;
    }
    return decoded;
}

} // namespace

bool isValid(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        auto decoded = decodeAt(text, pos);
        if (!decoded) {
            return false;
        }
        pos += decoded->length;
    }
    return true;
}

std::string sanitized(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        if (auto decoded = decodeAt(text, pos)) {
            out.append(text.substr(pos, decoded->length));
            pos += decoded->length;
        } else {
            out.append("\xEF\xBF\xBD");
            ++pos;
        }
    }
    return out;
}

bool isWhitespaceOrNewline(char32_t c) {
    switch (c) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000: return true;
    default: return c >= 0x2000 && c <= 0x200A;
    }
}

std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        auto decoded = decodeAt(text, begin);
        if (!decoded || !isWhitespaceOrNewline(decoded->codePoint)) {
            break;
        }
        begin += decoded->length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        auto decoded = decodeBefore(text, end);
        if (!decoded || !isWhitespaceOrNewline(decoded->codePoint)) {
            break;
        }
        end -= decoded->length;
    }
    return text.substr(begin, end - begin);
}

} // namespace tarnwick::utf8
