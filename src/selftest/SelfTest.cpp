#include "selftest/SelfTest.h"

#include "config/ConfigJson.h"
#include "config/ConfigStore.h"
#include "triggers/HotCornerMonitor.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <streambuf>

namespace tarnwick {
namespace {

// Prints one result line per check and counts the failures.
class Report {
public:
    explicit Report(std::ostream& out) : m_out(out) {}

    void check(std::string_view name, bool ok) {
        m_out << (ok ? "  \u2705 " : "  \u274C ") << name << '\n';
        if (!ok) {
            ++m_failures;
        }
    }

    std::int64_t failures() const { return m_failures; }

private:
    std::ostream& m_out;
    std::int64_t m_failures = 0;
};

void checkRunner(Report& report, const SelfTest::Parts& parts) {
    const auto echo = parts.runCommand("echo hello-cc");
    report.check("CommandRunner echo returns output", echo.ok && echo.output == "hello-cc");
    report.check("CommandRunner detects non-zero exit", !parts.runCommand("exit 7").ok);
    report.check("CommandRunner rejects empty command", !parts.runCommand("   ").ok);
}

void checkHitTest(Report& report) {
    struct Case {
        const char* name;
        Point point;
        std::optional<ScreenCorner> expected;
    };
    static const Case cases[] = {
        {"top-left detected", {2, 798}, ScreenCorner::topLeft},
        {"top-right detected", {998, 799}, ScreenCorner::topRight},
        {"bottom-left detected", {1, 1}, ScreenCorner::bottomLeft},
        {"bottom-right detected", {999, 2}, ScreenCorner::bottomRight},
        {"centre is no corner", {500, 400}, std::nullopt},
        {"just-outside threshold ignored", {10, 790}, std::nullopt},
    };
    const Rect screen{0, 0, 1000, 800};
    for (const Case& c : cases) {
        report.check(c.name, HotCornerMonitor::corner(c.point, screen, 6.0) == c.expected);
    }
}

bool hasKind(const AppConfig& config, TriggerKind kind) {
    return std::any_of(config.bindings.begin(), config.bindings.end(),
                       [kind](const CommandBinding& b) { return b.trigger.kind == kind; });
}

void checkConfigRoundTrip(Report& report, const SelfTest::Parts& parts) {
    const AppConfig seed = parts.seed();
    const auto bytes = parts.encode(seed);
    const auto decoded = bytes ? parts.decode(*bytes) : std::nullopt;
    if (!decoded) {
        report.check("config round-trips", false);
        return;
    }
    report.check("config round-trips",
                 decoded->bindings.size() == seed.bindings.size() && decoded->bindings.size() >= 2);
    report.check("seed has a corner binding", hasKind(*decoded, TriggerKind::corner));
    report.check("seed has a hotkey binding", hasKind(*decoded, TriggerKind::hotkey));
}

// Standard output as a stream without <iostream>, whose set-up of the
// standard streams and their locale every start of the program would pay
// for in memory (about 0.3 MB of the C++ library's pages).
class StdoutBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        return traits_type::eq_int_type(c, traits_type::eof())
                   ? traits_type::not_eof(c)
                   : std::putchar(traits_type::to_char_type(c));
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), stdout));
    }
    int sync() override { return std::fflush(stdout); }
};

} // namespace

SelfTest::Parts SelfTest::realParts() {
    return {
        [](std::string_view command) { return CommandRunner::run(command); },
        [] { return ConfigStore::seed(); },
        [](const AppConfig& config) { return encodeConfig(config, JsonLayout::compact); },
        [](std::string_view bytes) { return decodeConfig(bytes); },
    };
}

bool SelfTest::requested(std::span<const char* const> arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const char* argument) {
        return argument != nullptr && std::string_view(argument) == "--selftest";
    });
}

std::int64_t SelfTest::run(std::ostream& out, const Parts& parts) {
    out << "Tarnwick self-test\n";
    Report report(out);
    checkRunner(report, parts);
    checkHitTest(report);
    checkConfigRoundTrip(report, parts);
    out << "Self-test complete: " << report.failures() << " failure(s)\n";
    out.flush();
    return report.failures();
}

std::int64_t SelfTest::runOnStdout() {
    StdoutBuffer buffer;
    std::ostream out(&buffer);
    return run(out);
}

} // namespace tarnwick
