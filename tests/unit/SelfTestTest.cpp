#include "selftest/SelfTest.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <tuple>

namespace tarnwick {
namespace {

// A mark per check line, + passed and - failed; the summary must give the
// count run() returns.
std::string marks(const SelfTest::Parts& parts) {
    std::ostringstream out;
    const std::int64_t failed = SelfTest::run(out, parts);
    std::string result;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        result += line.starts_with("  \u2705 ") ? "+" : line.starts_with("  \u274C ") ? "-" : "";
    }
    EXPECT_EQ(std::ranges::count(result, '-'), failed);
    EXPECT_TRUE(
        out.str().ends_with("\nSelf-test complete: " + std::to_string(failed) + " failure(s)\n"))
        << out.str();
    return result;
}

TEST(SelfTest, EachCheckCatchesItsFault) {
    SelfTest::Parts parts = SelfTest::realParts();
    // Runners that answer the echo with the first result, all else with the
    // second; the last one is right, and stays. No shell runs here.
    const std::tuple<CommandResult, CommandResult, std::string> runners[] = {
        {{true, "hello-cc\n"}, {false, ""}, "-+++++++++++"},
        {{false, "hello-cc"}, {false, ""}, "-+++++++++++"},
        {{true, "hello-cc"}, {true, ""}, "+--+++++++++"},
        {{true, "hello-cc"}, {false, ""}, "++++++++++++"}};
    for (const auto& [echo, other, expected] : runners) {
        parts.runCommand = [echo = echo, other = other](std::string_view command) {
            return command == "echo hello-cc" ? echo : other;
        };
        EXPECT_EQ(marks(parts), expected);
    }
    // Without a decoded copy the seed's own checks are not made.
    parts.decode = [](std::string_view) { return std::optional<AppConfig>(); };
    EXPECT_EQ(marks(parts), "+++++++++-");
    // Three hotkey bindings in, two out.
    AppConfig config;
    config.bindings.assign(3, CommandBinding("b", Trigger{TriggerKind::hotkey}, "true"));
    parts.seed = [config] { return config; };
    config.bindings.pop_back();
    parts.decode = [config](std::string_view) { return std::optional(config); };
    EXPECT_EQ(marks(parts), "+++++++++--+");
}

TEST(SelfTest, SwitchIsTheExactTextAnyArgumentMayBe) {
    using Args = std::vector<const char*>;
    EXPECT_TRUE(SelfTest::requested(Args{"tarnwick", "x", "--selftest", "-v"}));
    EXPECT_FALSE(SelfTest::requested(Args{}) ||
                 SelfTest::requested(Args{"tarnwick", "--selftestx", "--SelfTest", " --selftest"}));
}

// The program runs it, and says in its status whether a check failed (a login
// shell that stops before the command fails two); anything else starts the
// application, which without X stops before the configuration.
TEST(SelfTest, TheProgramRunsItOnTheSwitchElseTheApplication) {
    const test::Sandbox sandbox;
    std::ofstream(sandbox.home() / ".zshenv") << "exit 0\n";
    auto run = test::Process::runToEnd({TARNWICK_BINARY, "--selftest"}, sandbox.environment());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.ends_with("\nSelf-test complete: 2 failure(s)\n")) << run.output;
    run = test::Process::runToEnd({TARNWICK_BINARY, "--selftestx"}, sandbox.environment());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "tarnwick: no X display: DISPLAY is not set\n");
    EXPECT_FALSE(std::filesystem::exists(sandbox.configFile()));
}

} // namespace
} // namespace tarnwick
