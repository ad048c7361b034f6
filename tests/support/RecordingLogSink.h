#pragma once

#include "services/LogSink.h"

#include <string>
#include <vector>

namespace tarnwick::test {

// Keeps every line written, in order.
class RecordingLogSink final : public LogSink {
public:
    void write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

} // namespace tarnwick::test
