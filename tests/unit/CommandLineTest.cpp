#include "support/Process.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace tarnwick {
namespace {
namespace fs = std::filesystem;

TEST(CommandLine, SelfTestSwitchAnywhereElseTheApplication) {
    const test::Sandbox sandbox;
    auto run = test::runToEnd({TARNWICK_BINARY, "x", "--selftest", "-v"}, sandbox.environment());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 14) << run.output;
    EXPECT_TRUE(run.output.ends_with("\nSelf-test complete: 0 failure(s)\n")) << run.output;
    // A login shell that stops before the command fails two checks.
    std::ofstream(sandbox.home() / ".zshenv") << "exit 0\n";
    run = test::runToEnd({TARNWICK_BINARY, "--selftest"}, sandbox.environment());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.ends_with("\nSelf-test complete: 2 failure(s)\n")) << run.output;
    // Anything else starts the application: without X it stops before the configuration.
    run = test::runToEnd({TARNWICK_BINARY, "--selftestx"}, sandbox.environment());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "tarnwick: no X display: DISPLAY is not set\n");
    EXPECT_FALSE(fs::exists(sandbox.configFile()));
}

} // namespace
} // namespace tarnwick
