// The icon as an XEmbed tray shows it: Xvfb, trayer, and tarnwick with no
// session bus, so Qt falls back from StatusNotifierItem to XEmbed. The
// screenshots stay in the build tree for a person to look at.
#include "ChildProcess.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace tarnwick::test {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// trayer's panel: top left, wide enough for one icon and some background.
constexpr int kPanelWidth = 96;
constexpr int kPanelHeight = 32;

struct Background {
    std::string name;
    std::string file;
    std::vector<std::string> trayerArguments;
};

std::ostream& operator<<(std::ostream& out, const Background& background) {
    return out << background.name;
}

// How the panel differs from its own background (the bottom right pixel,
// which the icon never covers).
struct Difference {
    int pixels = 0;
    int largestGreyStep = 0;
};

Difference differenceFromBackground(const QImage& image) {
    Difference result;
    if (image.isNull()) {
        return result;
    }
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != background) {
                ++result.pixels;
                result.largestGreyStep =
                    std::max(result.largestGreyStep, std::abs(qGray(pixel) - qGray(background)));
            }
        }
    }
    return result;
}

class TrayScreenshotTest : public ::testing::TestWithParam<Background> {
protected:
    QImage screenshot(const fs::path& file) {
        const std::string command = "import -window root -crop " + std::to_string(kPanelWidth) +
                                    "x" + std::to_string(kPanelHeight) + "+0+0 +repage png:'" +
                                    file.string() + "' 2>/dev/null";
        if (m_x->run(command) != 0) {
            return {};
        }
        return QImage(QString::fromStdString(file.string()));
    }

    TempDir m_dir;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<ChildProcess> m_trayer;
    std::unique_ptr<ChildProcess> m_app;
};

TEST_P(TrayScreenshotTest, IconShowsInTheTray) {
    ASSERT_FALSE(m_dir.path().empty());
    m_x = XServer::startXvfb("640x480x24");
    ASSERT_TRUE(m_x) << "Xvfb did not start";
    const std::map<std::string, std::string> display{{"DISPLAY", m_x->display()}};

    std::vector<std::string> trayer{"trayer", "--edge", "top", "--align", "left"};
    trayer.insert(trayer.end(), {"--widthtype", "pixel", "--width", std::to_string(kPanelWidth)});
    trayer.insert(trayer.end(),
                  {"--heighttype", "pixel", "--height", std::to_string(kPanelHeight)});
    trayer.insert(trayer.end(), GetParam().trayerArguments.begin(),
                  GetParam().trayerArguments.end());
    m_trayer = ChildProcess::start(trayer, environmentWith(display), m_dir.path() / "trayer.err");
    ASSERT_TRUE(m_trayer);
    // The panel is up once its window exists; then its background alone.
    bool panel = false;
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         !panel && std::chrono::steady_clock::now() < deadline;) {
        panel = m_x->run("xwininfo -name panel >/dev/null 2>&1") == 0;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(panel) << "trayer did not come up: " << readWholeFile(m_dir.path() / "trayer.err");
    std::this_thread::sleep_for(300ms);
    const QImage empty = screenshot(m_dir.path() / "empty.png");
    ASSERT_FALSE(empty.isNull()) << "import took no screenshot";

    const fs::path runtime = m_dir.path() / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    m_app = ChildProcess::start(
        {TARNWICK_BINARY},
        environmentWith(
            {{"DISPLAY", m_x->display()},
             // Unreachable on purpose: no StatusNotifierItem, so XEmbed.
             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_dir.path() / "no-bus").string()},
             {"XDG_CONFIG_HOME", (m_dir.path() / "config").string()},
             {"XDG_RUNTIME_DIR", runtime.string()},
             {"QT_QPA_PLATFORM", ""},
             {"WAYLAND_DISPLAY", ""},
             {"XDG_SESSION_TYPE", ""}}),
        m_dir.path() / "tarnwick.err");
    ASSERT_TRUE(m_app);

    // Docking and the first paint take a moment; a few more for a settled picture.
    const fs::path file = fs::path(TRAY_SCREENSHOT_DIR) / GetParam().file;
    QImage shot;
    Difference seen;
    int settled = 0;
    for (const auto deadline = std::chrono::steady_clock::now() + 20s;
         settled < 3 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(100ms);
        shot = screenshot(file);
        seen = differenceFromBackground(shot);
        settled = seen.pixels > 0 ? settled + 1 : 0;
    }
    std::printf("%s: %d of %d pixels differ from the background, largest grey step %d\n",
                file.c_str(), seen.pixels, kPanelWidth * kPanelHeight, seen.largestGreyStep);

    EXPECT_EQ(differenceFromBackground(empty).pixels, 0) << "trayer's own panel is not plain";
    // A 22 px icon of outlines covers well over 20 pixels.
    EXPECT_GT(seen.pixels, 20) << "the tray stayed empty; tarnwick's stderr:\n"
                               << readWholeFile(m_dir.path() / "tarnwick.err");
    EXPECT_GT(seen.largestGreyStep, 40) << "the icon hardly stands out";
    EXPECT_TRUE(m_app->running()) << readWholeFile(m_dir.path() / "tarnwick.err");
}

INSTANTIATE_TEST_SUITE_P(
    Backgrounds, TrayScreenshotTest,
    // trayer's own GTK grey; then solid tints (opaque: alpha 0) of a dark and a light panel.
    ::testing::Values(Background{"themed", "tray.png", {}},
                      Background{"dark",
                                 "tray-dark.png",
                                 {"--transparent", "true", "--alpha", "0", "--tint", "0x202020"}},
                      Background{"light",
                                 "tray-light.png",
                                 {"--transparent", "true", "--alpha", "0", "--tint", "0xffffff"}}),
    [](const ::testing::TestParamInfo<Background>& param) { return param.param.name; });

} // namespace
} // namespace tarnwick::test
