#pragma once

#include "services/LogSink.h"

#include <cstdio>

namespace tarnwick {

// The system log (syslog, ident "tarnwick") and standard error with a time
// stamp. Lines are literal text, never format templates.
class SystemLog final : public LogSink {
public:
    explicit SystemLog(std::FILE* echo = stderr);
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void write(std::string_view line) override;

private:
    std::FILE* m_echo;
};

} // namespace tarnwick
