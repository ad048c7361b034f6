#pragma once

#include <string_view>

namespace tarnwick {

// Where the program's few user-facing log lines go (the system log).
class LogSink {
public:
    virtual ~LogSink() = default;

    // Writes one finished line as literal text; it is never a format template.
    virtual void write(std::string_view line) = 0;
};

} // namespace tarnwick
