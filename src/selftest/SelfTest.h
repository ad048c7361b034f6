#pragma once

#include "config/AppConfig.h"
#include "runner/CommandRunner.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// The built-in checks behind --selftest: the runner, the corner hit-test and
// the configuration's JSON round trip. Touches no configuration file.
class SelfTest {
public:
    // What the checks exercise; tests swap in faulty parts.
    struct Parts {
        std::function<CommandResult(std::string_view)> runCommand;
        std::function<AppConfig()> seed;
        std::function<std::optional<std::string>(const AppConfig&)> encode;
        std::function<std::optional<AppConfig>(std::string_view)> decode;
    };

    SelfTest() = delete;

    // The program's real parts.
    static Parts realParts();

    // True when an argument, the program path included, is exactly "--selftest".
    static bool requested(std::span<const char* const> arguments);

    // Runs every check, writes the report to out and returns the number of
    // failed checks.
    static std::int64_t run(std::ostream& out, const Parts& parts = realParts());
    // The same with the real parts, the report on standard output.
    static std::int64_t runOnStdout();
};

} // namespace tarnwick
