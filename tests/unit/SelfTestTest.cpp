#include "selftest/SelfTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

namespace tarnwick {
namespace {

const std::string checks[] = {"Tarnwick self-test",
                              "CommandRunner echo returns output",
                              "CommandRunner detects non-zero exit",
                              "CommandRunner rejects empty command",
                              "top-left detected",
                              "top-right detected",
                              "bottom-left detected",
                              "bottom-right detected",
                              "centre is no corner",
                              "just-outside threshold ignored",
                              "config round-trips",
                              "seed has a corner binding",
                              "seed has a hotkey binding"};

// The report lists the first `shown` checks, counting those on failed lines.
void expectFailing(const SelfTest::Parts& parts, std::vector<std::size_t> failed,
                   std::size_t shown = 12) {
    std::string expected;
    for (std::size_t i = 0; i <= shown; ++i) {
        const bool fails = std::ranges::count(failed, i) != 0;
        expected += (i == 0 ? "" : fails ? "  \u274C " : "  \u2705 ") + checks[i] + "\n";
    }
    std::ostringstream out;
    EXPECT_EQ(SelfTest::run(out, parts), static_cast<std::int64_t>(failed.size()));
    EXPECT_EQ(out.str(),
              expected + "Self-test complete: " + std::to_string(failed.size()) + " failure(s)\n");
}

TEST(SelfTest, EachCheckCatchesItsFault) {
    SelfTest::Parts parts = SelfTest::realParts();
    // Runners that answer the echo with the first result, all else with the
    // second; the last one is right, and stays. No shell runs here.
    const std::tuple<CommandResult, CommandResult, std::vector<std::size_t>> runners[] = {
        {{true, "hello-cc\n"}, {false, ""}, {1}},
        {{false, "hello-cc"}, {false, ""}, {1}},
        {{true, "hello-cc"}, {true, ""}, {2, 3}},
        {{true, "hello-cc"}, {false, ""}, {}}};
    for (const auto& [echo, other, failed] : runners) {
        parts.runCommand = [echo = echo, other = other](std::string_view command) {
            return command == "echo hello-cc" ? echo : other;
        };
        expectFailing(parts, failed);
    }
    const auto decodeAs = [&](std::optional<AppConfig> config) {
        parts.decode = [config](std::string_view) { return config; };
    };
    decodeAs(std::nullopt);
    expectFailing(parts, {10}, 10);
    // Three hotkey bindings in, two out.
    AppConfig config;
    config.bindings.assign(3, CommandBinding("b", Trigger{TriggerKind::hotkey}, "true"));
    parts.seed = [config] { return config; };
    config.bindings.pop_back();
    decodeAs(config);
    expectFailing(parts, {10, 11});
}

TEST(SelfTest, SwitchIsTheExactTextAnyArgumentMayBe) {
    using Args = std::vector<const char*>;
    EXPECT_TRUE(SelfTest::requested(Args{"--selftest"}));
    EXPECT_FALSE(SelfTest::requested(Args{}) ||
                 SelfTest::requested(Args{"tarnwick", "--selftestx", "--SelfTest", " --selftest"}));
}

} // namespace
} // namespace tarnwick
