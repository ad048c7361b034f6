#include "selftest/SelfTest.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarnwick {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct Outcome {
    std::int64_t failures;
    std::vector<std::string> lines;
};

Outcome runWith(const SelfTest::Parts& parts) {
    std::ostringstream out;
    const auto failures = SelfTest::run(out, parts);
    return {failures, linesOf(out.str())};
}

TEST(SelfTest, AllChecksPassWithTheRealParts) {
    const auto outcome = runWith(SelfTest::realParts());
    const std::vector<std::string> expected{
        "Tarnwick self-test",
        "  \u2705 CommandRunner echo returns output",
        "  \u2705 CommandRunner detects non-zero exit",
        "  \u2705 CommandRunner rejects empty command",
        "  \u2705 top-left detected",
        "  \u2705 top-right detected",
        "  \u2705 bottom-left detected",
        "  \u2705 bottom-right detected",
        "  \u2705 centre is no corner",
        "  \u2705 just-outside threshold ignored",
        "  \u2705 config round-trips",
        "  \u2705 seed has a corner binding",
        "  \u2705 seed has a hotkey binding",
        "Self-test complete: 0 failure(s)",
    };
    EXPECT_EQ(outcome.lines, expected);
    EXPECT_EQ(outcome.failures, 0);
}

TEST(SelfTest, RunnerChecksCatchSloppyRunners) {
    SelfTest::Parts parts = SelfTest::realParts();
    // Untrimmed output, and a blank command handed to a shell that succeeds.
    parts.runCommand = [](std::string_view command) -> CommandResult {
        if (command == "echo hello-cc") {
            return {true, "hello-cc\n"};
        }
        return {command != "exit 7", ""};
    };
    const auto outcome = runWith(parts);
    EXPECT_EQ(outcome.lines[1], "  \u274C CommandRunner echo returns output");
    EXPECT_EQ(outcome.lines[2], "  \u2705 CommandRunner detects non-zero exit");
    EXPECT_EQ(outcome.lines[3], "  \u274C CommandRunner rejects empty command");
    EXPECT_EQ(outcome.lines.back(), "Self-test complete: 2 failure(s)");
    EXPECT_EQ(outcome.failures, 2);

    parts.runCommand = [](std::string_view) { return CommandResult{false, "hello-cc"}; };
    EXPECT_EQ(runWith(parts).lines[1], "  \u274C CommandRunner echo returns output");
}

TEST(SelfTest, RoundTripFailureSkipsTheSeedChecks) {
    SelfTest::Parts parts = SelfTest::realParts();
    parts.encode = [](const AppConfig&) { return std::optional<std::string>(); };
    auto outcome = runWith(parts);
    ASSERT_EQ(outcome.lines.size(), 12u);
    EXPECT_EQ(outcome.lines[10], "  \u274C config round-trips");
    EXPECT_EQ(outcome.lines[11], "Self-test complete: 1 failure(s)");
    EXPECT_EQ(outcome.failures, 1);

    parts = SelfTest::realParts();
    parts.decode = [](std::string_view) { return std::optional<AppConfig>(); };
    outcome = runWith(parts);
    EXPECT_EQ(outcome.lines.size(), 12u);
    EXPECT_EQ(outcome.failures, 1);
}

TEST(SelfTest, SeedShapeIsChecked) {
    SelfTest::Parts parts = SelfTest::realParts();
    parts.seed = [] {
        AppConfig config;
        config.bindings.emplace_back("only", Trigger{TriggerKind::corner}, "true");
        return config;
    };
    auto outcome = runWith(parts);
    EXPECT_EQ(outcome.lines[10], "  \u274C config round-trips");
    EXPECT_EQ(outcome.lines[11], "  \u2705 seed has a corner binding");
    EXPECT_EQ(outcome.lines[12], "  \u274C seed has a hotkey binding");
    EXPECT_EQ(outcome.failures, 2);

    // Dropping a binding on the way back is caught even with two left.
    parts.seed = [] {
        AppConfig config;
        for (int i = 0; i < 3; ++i) {
            config.bindings.emplace_back("b", Trigger{TriggerKind::hotkey}, "true");
        }
        return config;
    };
    parts.decode = [](std::string_view) {
        AppConfig config;
        config.bindings.emplace_back("b", Trigger{TriggerKind::hotkey}, "true");
        config.bindings.emplace_back("b", Trigger{TriggerKind::hotkey}, "true");
        return std::optional(config);
    };
    outcome = runWith(parts);
    EXPECT_EQ(outcome.lines[10], "  \u274C config round-trips");
    EXPECT_EQ(outcome.lines[11], "  \u274C seed has a corner binding");
    EXPECT_EQ(outcome.failures, 2);
}

TEST(SelfTest, SwitchIsRecognisedOnlyAsTheExactText) {
    using Args = std::vector<const char*>;
    EXPECT_TRUE(SelfTest::requested(Args{"tarnwick", "--selftest"}));
    EXPECT_TRUE(SelfTest::requested(Args{"tarnwick", "a", "--selftest", "b"}));
    EXPECT_TRUE(SelfTest::requested(Args{"--selftest"}));
    EXPECT_FALSE(SelfTest::requested(Args{"tarnwick"}));
    EXPECT_FALSE(SelfTest::requested(Args{}));
    for (const char* near :
         {"--selftestx", "-selftest", "--SelfTest", "--selftest=1", " --selftest"}) {
        EXPECT_FALSE(SelfTest::requested(Args{"tarnwick", near})) << near;
    }
}

} // namespace
} // namespace tarnwick
