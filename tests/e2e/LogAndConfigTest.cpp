// What the real binary writes: its log lines and a replacement for a broken file.
#include "AppTestFixture.h"

#include <regex>
#include <sys/stat.h>

namespace tarnwick::test {
namespace fs = std::filesystem;

namespace {

// The text after the local time stamp; empty when the stamp is malformed.
std::string afterTimeStamp(const std::string& line) {
    static const std::regex stamped(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3} (.*)$)");
    std::smatch match;
    return std::regex_match(line, match, stamped) ? match[1].str() : std::string();
}

std::vector<fs::path> rejectedFiles(const fs::path& directory) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.path().filename().string().rfind("config.json.rejected-", 0) == 0) {
            found.push_back(entry.path());
        }
    }
    return found;
}

} // namespace

TEST_F(AppE2E, LogLinesNameTriggerCommandAndOutcome) {
    // printf-style text, double quotes and UTF-8 must come through verbatim.
    const std::string tricky =
        "printf \"%s %d%%\\n\" \"\u00e9\" 5 >> '" + marker("topLeft").string() + "'; : \"%n %s\"";
    const std::string failing = appendCommand("topRight") + "; exit 3";
    const std::string hotkey = "echo \"caf\u00e9 100%\" >> '" + marker("hotkey").string() + "'";
    writeConfig({cornerBinding(0, "topLeft", tricky), cornerBinding(1, "topRight", failing),
                 hotkeyBinding(2, hotkey)});
    startApp();
    const fs::path err = stderrPath();

    moveTo(cornerPixel("topLeft"));
    ASSERT_TRUE(waitForLines(err, 1)) << readWholeFile(err);
    moveTo(kMiddle);
    settle();
    moveTo(cornerPixel("topRight"));
    ASSERT_TRUE(waitForLines(err, 2)) << readWholeFile(err);
    moveTo(kMiddle);
    pressHotkey();
    ASSERT_TRUE(waitForLines(err, 3)) << readWholeFile(err);
    sleepFor(std::chrono::milliseconds(300));

    const std::vector<std::string> expected{
        "Tarnwick: corner Top-Left ran \"" + tricky + "\" ok=true",
        "Tarnwick: corner Top-Right ran \"" + failing + "\" ok=false",
        "Tarnwick: hotkey ran \"" + hotkey + "\" ok=true",
    };
    const auto lines = readLines(err);
    ASSERT_EQ(lines.size(), expected.size()) << readWholeFile(err);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(afterTimeStamp(lines[i]), expected[i]) << "line: " << lines[i];
    }
    // The shell got the same bytes.
    EXPECT_EQ(readWholeFile(marker("hotkey")), "caf\u00e9 100%\n");
    EXPECT_EQ(readWholeFile(marker("topLeft")), "\u00e9 5%\n");
}

TEST_F(AppE2E, BrokenConfigIsSetAsideAndSeeded) {
    m_sandbox.writeConfig("{");
    startApp(false);

    const auto rejected = rejectedFiles(m_sandbox.configDirectory());
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_EQ(readWholeFile(rejected.front()), "{");

    const std::string seeded = readWholeFile(m_sandbox.configFile());
    const auto config = nlohmann::json::parse(seeded, nullptr, false);
    ASSERT_FALSE(config.is_discarded()) << seeded;
    ASSERT_TRUE(config.contains("bindings")) << seeded;
    EXPECT_EQ(config["bindings"].size(), 2u) << seeded;
    EXPECT_EQ(config.value("globalEnabled", false), true);
    struct stat info {};
    ASSERT_EQ(::stat(m_sandbox.configFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(m_app->running());
}

TEST_F(AppE2E, AWaylandSessionIsSaidOnceAndTriggersStillRun) {
    m_sandbox.extraEnvironment = {"WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland"};
    writeConfig({cornerBinding(0, "topLeft", appendCommand("topLeft"))});
    startApp();
    moveTo(kMiddle);
    settle();
    moveTo(cornerPixel("topLeft"));
    settle();
    const std::string err = readWholeFile(stderrPath());
    std::size_t mentions = 0;
    for (const auto& line : readLines(stderrPath())) {
        mentions += line.find("Wayland session") != std::string::npos ? 1u : 0u;
    }
    EXPECT_EQ(mentions, 1u) << err;
    EXPECT_EQ(runs("topLeft"), 1u) << err;
}

TEST_F(AppE2E, LosingTheXServerEndsTheProgram) {
    m_sandbox.extraEnvironment = {"LSAN_OPTIONS=suppressions=" LOST_SERVER_SUPPRESSIONS
                                  ":print_suppressions=0"};
    writeConfig({cornerBinding(0, "topLeft", appendCommand("topLeft"))});
    startApp();
    m_client.reset();
    m_server.reset();
    // Not a crash, not a hang: an exit with a failure status.
    const auto status = m_app->waitForExit(std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value()) << readWholeFile(stderrPath());
    EXPECT_EQ(*status, 1) << readWholeFile(stderrPath());
}

} // namespace tarnwick::test
