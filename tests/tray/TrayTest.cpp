// The tray icon as a StatusNotifierItem host sees it: a private session bus,
// a fake watcher, and the menu read and chosen over com.canonical.dbusmenu.
#include "e2e/AppTest.h"

#include <fstream>

namespace tarnwick::test {
namespace {

class TrayTest : public AppTest {
protected:
    // A private bus (our own policy, no service directories: nothing gets
    // activated) with the watcher on it, then the app and its exported menu.
    void startOnBus() {
        m_bus = Process::spawn({"dbus-run-session", "--config-file=" + writeBusConfig(m_sandbox),
                                "--", FAKE_SNI_WATCHER},
                               m_sandbox.environment(), errFile("bus"));
        const auto ready = m_bus ? m_bus->readLine(kDeadline, "READY ") : std::nullopt;
        ASSERT_TRUE(ready) << readWholeFile(errFile("bus"));
        m_address = ready->substr(6);
        m_app = start("tarnwick", {{"DBUS_SESSION_BUS_ADDRESS", m_address}});
        const auto item = m_bus->readLine(kDeadline, "ITEM ");
        ASSERT_TRUE(item) << "no StatusNotifierItem registered\n" << log();
        m_service = item->substr(5);
        const std::string menu = property("Menu");
        static const std::regex objectPath("'(/[^']*)'");
        std::smatch match;
        ASSERT_TRUE(std::regex_search(menu, match, objectPath)) << menu;
        m_menuPath = match[1];
    }

    // gdbus, in a UTF-8 locale of its own so that labels come out whole; its output.
    std::string call(const std::string& path, const std::string& method,
                     const std::vector<std::string>& arguments) const {
        return gdbusCall(m_sandbox, m_address, m_service, path, method, arguments).output;
    }

    std::string property(const std::string& name) const {
        return call("/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                    {"org.kde.StatusNotifierItem", name});
    }

    // The menu's top-level items, each as its id and "label[ keys][ (disabled)]",
    // "-" for a separator.
    std::vector<std::pair<int, std::string>> menu() const {
        static const std::regex item(R"(<\((\d+), \{([^}]*)\}, @av \[\]\)>)");
        static const std::regex label(R"('label': <'([^']*)'>)");
        static const std::regex keys(R"('shortcut': <\[\[([^\]]*)\]\]>)");
        const std::string layout =
            call(m_menuPath, "com.canonical.dbusmenu.GetLayout", {"0", "-1", "[]"});
        std::vector<std::pair<int, std::string>> items;
        for (std::sregex_iterator it(layout.begin(), layout.end(), item), end; it != end; ++it) {
            const std::string properties = (*it)[2];
            std::smatch match;
            std::string text = std::regex_search(properties, match, label) ? match[1].str() : "-";
            if (std::regex_search(properties, match, keys)) {
                text += " " + match[1].str();
            }
            if (properties.find("'enabled': <false>") != std::string::npos) {
                text += " (disabled)";
            }
            items.emplace_back(std::stoi((*it)[1]), text);
        }
        return items;
    }
    std::vector<std::string> labels() const {
        std::vector<std::string> result;
        for (const auto& [id, text] : menu()) {
            result.push_back(text);
        }
        return result;
    }
    static std::vector<std::string> menuWith(const std::string& switchItem) {
        return {"Tarnwick (disabled)",           "-", switchItem,
                "Settings\u2026 'Control', ','", "-", "Quit Tarnwick 'Control', 'Q'"};
    }

    void choose(const std::string& text) const {
        for (const auto& [id, itemText] : menu()) {
            if (itemText.starts_with(text)) {
                call(m_menuPath, "com.canonical.dbusmenu.Event",
                     {std::to_string(id), "clicked", "<int32 0>", "0"});
                return;
            }
        }
        ADD_FAILURE() << "no item " << text << " in " << testing::PrintToString(labels());
    }
    // Chooses the switch item; its label then names the opposite, and the file keeps the switch.
    void flip(bool on) const {
        choose(on ? "Enable Triggers" : "Disable Triggers");
        const auto then = menuWith(on ? "Disable Triggers" : "Enable Triggers");
        EXPECT_TRUE(eventually([&] { return labels() == then; }, kDeadline))
            << testing::PrintToString(labels());
        EXPECT_TRUE(savedSwitch(on)) << readWholeFile(m_sandbox.configFile());
    }

    std::unique_ptr<Process> m_bus;
    std::string m_address;
    std::string m_service;
    std::string m_menuPath;
};

// What the switch does to the triggers is the delegate's test; here, that a
// tray host sees the menu and that choosing its items over D-Bus works.
TEST_F(TrayTest, TheMenuSwitchesTriggersKeepsTheSwitchAndQuits) {
    writeConfig({}, false);
    startOnBus();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(eventually([&] { return labels() == menuWith("Enable Triggers"); }, kDeadline))
        << testing::PrintToString(labels()) << log();
    // Our icon goes out as pixels, not all of them blank, and the tool tip names us.
    EXPECT_TRUE(std::regex_search(property("IconPixmap"), std::regex(R"(\[byte [^\]]*0x(?!00))")));
    EXPECT_NE(property("ToolTip").find("'Tarnwick'"), std::string::npos);
    flip(true);
    flip(false);
    choose("Quit Tarnwick");
    EXPECT_EQ(m_app->waitForExit(kDeadline), 0) << log();
    EXPECT_TRUE(logged().empty()) << log();
}

// The examples replace a broken file: the user is told, not only the log.
TEST_F(TrayTest, ARejectedFileIsSaidInANotification) {
    m_sandbox.writeConfig("{broken");
    startOnBus();
    ASSERT_FALSE(HasFatalFailure());
    const auto notification = m_bus->readLine(kDeadline, "NOTIFY ");
    ASSERT_TRUE(notification) << log();
    EXPECT_EQ(*notification, "NOTIFY Tarnwick: " + logged().at(0).substr(10));
    choose("Quit Tarnwick");
    EXPECT_EQ(m_app->waitForExit(kDeadline), 0) << log();
}

// A left click (the host's Activate) opens the same menu, whose keys choose
// its items: once it is up and has the keyboard, q quits.
TEST_F(TrayTest, ALeftClickOpensTheMenuWhoseKeysChooseItems) {
    startOnBus();
    ASSERT_FALSE(HasFatalFailure());
    call("/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", {"0", "0"});
    static constexpr std::uint8_t kQ = 24;
    EXPECT_TRUE(eventually(
        [&] {
            m_client->chord({}, kQ);
            return m_app->waitForExit(100ms).has_value();
        },
        kDeadline))
        << log();
    EXPECT_EQ(m_app->waitForExit(kDeadline), 0) << log();
}

} // namespace
} // namespace tarnwick::test
