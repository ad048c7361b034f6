#include "config/JsonEmitter.h"

#include "text/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarnwick {

void JsonEmitter::key(std::string_view name) {
    beforeValue();
    appendEscaped(name);
    m_out.append(m_layout == JsonLayout::pretty ? " : " : ":");
    m_afterKey = true;
}

void JsonEmitter::string(std::string_view text) {
    beforeValue();
    appendEscaped(text);
}

void JsonEmitter::boolean(bool value) {
    beforeValue();
    m_out.append(value ? "true" : "false");
}

void JsonEmitter::number(std::uint32_t value) {
    beforeValue();
    m_out.append(std::to_string(value));
}

bool JsonEmitter::number(double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    beforeValue();
    // to_chars without a format gives the shortest round-trip form, and
    // whole values come out without a fraction ("6", "1e+20").
    char buffer[32];
    const auto result = std::to_chars(std::begin(buffer), std::end(buffer), value);
    m_out.append(buffer, result.ptr);
    return true;
}

std::string JsonEmitter::take() {
    if (m_layout == JsonLayout::pretty) {
        m_out.push_back('\n');
    }
    return std::move(m_out);
}

void JsonEmitter::open(char bracket) {
    beforeValue();
    m_out.push_back(bracket);
    m_containerIsEmpty.push_back(true);
}

void JsonEmitter::close(char bracket) {
    const bool wasEmpty = m_containerIsEmpty.back();
    m_containerIsEmpty.pop_back();
    if (!wasEmpty) {
        newlineAndIndent();
    }
    m_out.push_back(bracket);
}

// Separates this value from the one before it, unless it follows its key.
void JsonEmitter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_containerIsEmpty.empty()) {
        return;
    }
    if (!m_containerIsEmpty.back()) {
        m_out.push_back(',');
    }
    m_containerIsEmpty.back() = false;
    newlineAndIndent();
}

void JsonEmitter::newlineAndIndent() {
    if (m_layout == JsonLayout::compact) {
        return;
    }
    m_out.push_back('\n');
    m_out.append(2 * m_containerIsEmpty.size(), ' ');
}

void JsonEmitter::appendEscaped(std::string_view text) {
    // Ill-formed UTF-8 would make the whole file unreadable on the next
    // start; write U+FFFD for it instead.
    if (!utf8::isValid(text)) {
        appendEscaped(utf8::sanitized(text));
        return;
    }
    m_out.push_back('"');
    for (const char c : text) {
        switch (c) {
        case '"': m_out.append("\\\""); break;
        case '\\': m_out.append("\\\\"); break;
        case '/': m_out.append("\\/"); break;
        case '\b': m_out.append("\\b"); break;
        case '\f': m_out.append("\\f"); break;
        case '\n': m_out.append("\\n"); break;
        case '\r': m_out.append("\\r"); break;
        case '\t': m_out.append("\\t"); break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                m_out.append(escape);
            } else {
                m_out.push_back(c);
            }
        }
    }
    m_out.push_back('"');
}

} // namespace tarnwick
