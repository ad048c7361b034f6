#pragma once

#include "config/ConfigJson.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A small streaming JSON writer. The caller writes keys in the order it
// wants them in the file; the emitter owns commas, indentation and escaping.
class JsonEmitter {
public:
    explicit JsonEmitter(JsonLayout layout) : m_layout(layout) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    void key(std::string_view name);
    void string(std::string_view text);
    void boolean(bool value);
    void number(std::uint32_t value);
    // Shortest text that reads back to the same double; false if not finite.
    bool number(double value);

    std::string take();

private:
    void open(char bracket);
    void close(char bracket);
    void beforeValue();
    void newlineAndIndent();
    void appendEscaped(std::string_view text);

    JsonLayout m_layout;
    std::string m_out;
    std::vector<bool> m_containerIsEmpty;
    bool m_afterKey = false;
};

} // namespace tarnwick
