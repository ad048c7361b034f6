#include "platform/x11/KeyTranslator.h"
#include "platform/x11/Display.h"

#include "XServer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

namespace tarnwick::x11 {
namespace {

// keycode -> first keysym name, from xmodmap: an independent reading of the keymap.
std::map<int, std::string> keysymsByXmodmap(const test::XServer& server) {
    std::map<int, std::string> result;
    const std::string command = "DISPLAY=" + server.display() + " xmodmap -pke";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 512> line{};
    while (pipe && std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
        std::istringstream in(line.data());
        std::string word, equals, keysym;
        int keycode = 0;
        if (in >> word >> keycode >> equals >> keysym && word == "keycode") {
            result[keycode] = keysym;
        }
    }
    return result;
}

TEST(KeyTranslatorTest, EveryTableEntryBothWaysAgainstTheRunningServer) {
    auto server = test::XServer::startXvfb();
    ASSERT_NE(server, nullptr);
    auto opened = Display::open(server->display());
    ASSERT_NE(opened.display, nullptr);
    KeyTranslator keys(*opened.display);
    ASSERT_TRUE(keys.available());

    const auto xmodmap = keysymsByXmodmap(*server);
    ASSERT_FALSE(xmodmap.empty());
    for (const auto& key : keyPositions()) {
        SCOPED_TRACE(std::string(key.xkbName));
        const auto keycode = keys.keycodeFor(key.virtualKey);
        ASSERT_TRUE(keycode.has_value());
        // On this evdev keymap every key sits at evdev + 8.
        EXPECT_EQ(*keycode, key.evdevCode + 8);
        EXPECT_EQ(keys.virtualKeyFor(*keycode), key.virtualKey);
    }
    // Spot checks against the symbols the server itself reports.
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(17)), "t");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(0)), "a");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(0x1D)), "0");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(49)), "space");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(122)), "F1");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(0x75)), "Delete");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(0x33)), "BackSpace");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(0x7E)), "Up");
    EXPECT_EQ(xmodmap.at(*keys.keycodeFor(0x4C)), "KP_Enter");

    // Keys outside the table translate to nothing.
    EXPECT_FALSE(keys.virtualKeyFor(50).has_value()); // Shift_L
    EXPECT_FALSE(keys.virtualKeyFor(0).has_value());
    EXPECT_FALSE(keys.virtualKeyFor(300).has_value());

    // The modifier map as this server has it.
    const ModifierMasks& masks = keys.modifiers();
    EXPECT_EQ(masks.shift, 0x01);
    EXPECT_EQ(masks.capsLock, 0x02);
    EXPECT_EQ(masks.control, 0x04);
    EXPECT_EQ(masks.alt, 0x08);
    EXPECT_EQ(masks.numLock, 0x10);
    EXPECT_EQ(masks.super, 0x40);
    EXPECT_EQ(masks.scrollLock, 0); // not in the default map
}

// A keymap whose key names sit at other keycodes, and one that lacks a name:
// keys are found by name first, and by evdev code only when the name is missing.
TEST(KeyTranslatorTest, NamesWinOverEvdevCodesWhichStandIn) {
    auto server = test::XServer::startXvfb();
    ASSERT_NE(server, nullptr);
    const std::string d = server->display();
    const std::string file = testing::TempDir() + "tarnwick-keymap-" + d.substr(1) + ".xkb";
    // Swap Y and U (AD06 = 29, AD07 = 30) and rename T's key (AD05 = 28).
    ASSERT_EQ(server->run("xkbcomp -xkb " + d + " " + file + " 2>/dev/null"), 0);
    ASSERT_EQ(
        server->run("sed -i -e 's/<AD06> = 29;/<AD06> = 30;/' -e 's/<AD07> = 30;/<AD07> = 29;/' "
                    "-e 's/<AD05>/<ZZ05>/g' " +
                    file),
        0);
    ASSERT_EQ(server->run("xkbcomp " + file + " " + d + " 2>/dev/null"), 0);
    std::remove(file.c_str());

    auto opened = Display::open(d);
    ASSERT_NE(opened.display, nullptr);
    KeyTranslator keys(*opened.display);
    EXPECT_EQ(keys.keycodeFor(0x10), 30);     // Y, by name
    EXPECT_EQ(keys.virtualKeyFor(29), 0x20u); // U, by name
    EXPECT_EQ(keys.keycodeFor(17), 28);       // T: no such name, evdev + 8
    EXPECT_EQ(keys.virtualKeyFor(28), 17u);
}

} // namespace
} // namespace tarnwick::x11
