#pragma once

#include "services/LogSink.h"

#include <string>
#include <vector>

namespace tarnwick::test {

class RecordingLogSink final : public LogSink {
public:
    void write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

} // namespace tarnwick::test
