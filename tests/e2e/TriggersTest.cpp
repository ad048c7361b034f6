// Hot corners and the hotkey through the real binary, driven by XTest.
#include "AppTestFixture.h"

namespace tarnwick::test {
namespace {

using std::chrono::milliseconds;

// Long enough for a wrongly repeated run to show up in its marker.
constexpr milliseconds kQuietPeriod{600};

} // namespace

TEST_F(AppE2E, EachCornerRunsOncePerEntry) {
    std::vector<nlohmann::json> bindings;
    int index = 0;
    for (const char* corner : kCorners) {
        bindings.push_back(cornerBinding(index++, corner, appendCommand(corner)));
    }
    writeConfig(bindings);
    startApp();

    std::size_t expectedTotal = 0;
    for (const char* corner : kCorners) {
        SCOPED_TRACE(corner);
        moveTo(kMiddle);
        settle();
        moveTo(cornerPixel(corner));
        ASSERT_TRUE(waitForLines(marker(corner), 1)) << "no run on entering";
        ++expectedTotal;

        // Moving about inside the corner is not a new entry.
        for (int step = 1; step <= 4; ++step) {
            moveTo(insideCorner(corner, step));
            sleepFor(milliseconds(120));
        }
        moveTo(cornerPixel(corner));
        sleepFor(kQuietPeriod);
        EXPECT_EQ(runs(corner), 1u) << "ran again while the pointer stayed in the corner";

        // Out and back in is.
        moveTo(kMiddle);
        settle();
        moveTo(cornerPixel(corner));
        ASSERT_TRUE(waitForLines(marker(corner), 2)) << "no run on entering again";
        ++expectedTotal;
        sleepFor(kQuietPeriod);
        EXPECT_EQ(runs(corner), 2u);
        EXPECT_EQ(totalRuns(), expectedTotal) << "another corner's command ran";
    }
    EXPECT_TRUE(m_app->running());
}

TEST_F(AppE2E, DraggingIntoACornerRunsNothing) {
    writeConfig({cornerBinding(0, "topLeft", appendCommand("topLeft")),
                 cornerBinding(1, "bottomRight", appendCommand("bottomRight"))});
    startApp();

    for (const char* corner : {"topLeft", "bottomRight"}) {
        SCOPED_TRACE(corner);
        moveTo(kMiddle);
        settle();
        m_client->button(1, true);
        m_client->sync();
        moveTo({kMiddle.x + 10, kMiddle.y + 10});
        settle();
        moveTo(cornerPixel(corner));
        sleepFor(milliseconds(150));
        moveTo(insideCorner(corner, 2));
        sleepFor(kQuietPeriod);
        EXPECT_EQ(runs(corner), 0u) << "a drag into the corner ran its command";
        moveTo(kMiddle);
        settle();
        m_client->button(1, false);
        m_client->sync();

        // The same corner without a button held still works.
        moveTo({kMiddle.x - 10, kMiddle.y - 10});
        settle();
        moveTo(cornerPixel(corner));
        ASSERT_TRUE(waitForLines(marker(corner), 1)) << "no run after the drag ended";
        sleepFor(kQuietPeriod);
        EXPECT_EQ(runs(corner), 1u);
    }
    EXPECT_EQ(totalRuns(), 2u);
}

TEST_F(AppE2E, HotkeyRunsOncePerPress) {
    writeConfig({hotkeyBinding(0, appendCommand("hotkey")),
                 cornerBinding(1, "topLeft", appendCommand("topLeft"))});
    startApp();

    pressHotkey();
    ASSERT_TRUE(waitForLines(marker("hotkey"), 1)) << "the hotkey ran nothing";
    sleepFor(kQuietPeriod);
    EXPECT_EQ(runs("hotkey"), 1u);

    pressHotkey();
    ASSERT_TRUE(waitForLines(marker("hotkey"), 2));
    sleepFor(kQuietPeriod);
    EXPECT_EQ(runs("hotkey"), 2u);
    EXPECT_EQ(totalRuns(), 2u);
    // The app still holds the combination: another client cannot take it.
    EXPECT_EQ(m_client->grabKey(kT, kMod4 | kMod1), kBadAccess);
}

TEST_F(AppE2E, SecondInstanceExitsAndNothingRunsTwice) {
    writeConfig({hotkeyBinding(0, appendCommand("hotkey")),
                 cornerBinding(1, "topLeft", appendCommand("topLeft"))});
    startApp();

    const auto secondErr = m_sandbox.root() / "second.stderr";
    auto second = AppProcess::spawn(TARNWICK_BINARY, m_sandbox, m_server->display(), secondErr);
    ASSERT_TRUE(second);
    // A bound against hanging, not a speed check.
    const auto status = second->waitForExit(std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value()) << "the second instance did not exit";
    EXPECT_EQ(*status, 0) << readWholeFile(secondErr);
    EXPECT_TRUE(m_app->running());
    // The first one was asked to show its settings window.
    settle();

    pressHotkey();
    ASSERT_TRUE(waitForLines(marker("hotkey"), 1));
    moveTo(cornerPixel("topLeft"));
    ASSERT_TRUE(waitForLines(marker("topLeft"), 1));
    sleepFor(kQuietPeriod);
    EXPECT_EQ(runs("hotkey"), 1u);
    EXPECT_EQ(runs("topLeft"), 1u);
    EXPECT_TRUE(m_app->running());
}

TEST_F(AppE2E, GloballyDisabledRunsNothing) {
    std::vector<nlohmann::json> bindings;
    int index = 0;
    for (const char* corner : kCorners) {
        bindings.push_back(cornerBinding(index++, corner, appendCommand(corner)));
    }
    bindings.push_back(hotkeyBinding(index, appendCommand("hotkey")));
    writeConfig(bindings, false);
    startApp();

    for (const char* corner : kCorners) {
        moveTo(kMiddle);
        settle();
        moveTo(cornerPixel(corner));
        settle();
    }
    moveTo(kMiddle);
    pressHotkey();
    sleepFor(kQuietPeriod);
    EXPECT_EQ(totalRuns(), 0u);
    EXPECT_EQ(readWholeFile(stderrPath()).find(" ran "), std::string::npos)
        << readWholeFile(stderrPath());
    // Nothing is grabbed either: another client may take the combination.
    EXPECT_EQ(m_client->grabKey(kT, kMod4 | kMod1), 0);
    m_client->ungrabKey(kT, kMod4 | kMod1);
    EXPECT_TRUE(m_app->running());
}

} // namespace tarnwick::test
