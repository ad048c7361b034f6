// The real binary's tray icon as a StatusNotifierItem host sees it: Xvfb, a
// private session bus, a fake watcher, and the menu read and clicked over
// com.canonical.dbusmenu.
#include "ChildProcess.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace tarnwick::test {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// QtDBus wants an application object for its connection thread.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv.data()); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "tray_menu_tests";
    std::array<char*, 2> m_argv{m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};
[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

const std::string kSeparator = "<separator>";
const std::string kSettings = "Settings\u2026";

struct MenuItem {
    int id = 0;
    std::string label;
    std::string type;
    bool enabled = true;
    bool visible = true;
    std::vector<std::vector<std::string>> shortcut;
    std::vector<MenuItem> children;

    std::string title() const { return type == "separator" ? kSeparator : label; }
};

std::vector<std::vector<std::string>> readShortcut(const QVariant& value) {
    std::vector<std::vector<std::string>> result;
    const auto arg = value.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QStringList keys;
        arg >> keys;
        std::vector<std::string> combo;
        for (const QString& key : keys) {
            combo.push_back(key.toStdString());
        }
        result.push_back(combo);
    }
    arg.endArray();
    return result;
}

// One (ia{sv}av) node of a GetLayout reply.
MenuItem readItem(const QDBusArgument& arg) {
    MenuItem item;
    QVariantMap properties;
    arg.beginStructure();
    arg >> item.id >> properties;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        item.children.push_back(readItem(child.variant().value<QDBusArgument>()));
    }
    arg.endArray();
    arg.endStructure();
    item.label = properties.value(QStringLiteral("label")).toString().toStdString();
    item.type = properties.value(QStringLiteral("type")).toString().toStdString();
    item.enabled = properties.value(QStringLiteral("enabled"), true).toBool();
    item.visible = properties.value(QStringLiteral("visible"), true).toBool();
    if (properties.contains(QStringLiteral("shortcut"))) {
        item.shortcut = readShortcut(properties.value(QStringLiteral("shortcut")));
    }
    return item;
}

std::vector<std::string> titles(const std::vector<MenuItem>& items) {
    std::vector<std::string> result;
    for (const MenuItem& item : items) {
        result.push_back(item.title());
    }
    return result;
}

std::vector<std::string> menuTitles(const std::string& switchTitle) {
    return {"Tarnwick", kSeparator, switchTitle, kSettings, kSeparator, "Quit Tarnwick"};
}

class TrayMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.path().empty());
        m_x = XServer::startXvfb();
        ASSERT_TRUE(m_x) << "Xvfb did not start";
        startBus();
        ASSERT_FALSE(HasFatalFailure());
        startWatcher();
        ASSERT_FALSE(HasFatalFailure());
        startTarnwick();
        ASSERT_FALSE(HasFatalFailure());
        connectToBus();
    }

    void TearDown() override {
        if (m_connected) {
            QDBusConnection::disconnectFromBus(m_connectionName);
        }
    }

    void startBus() {
        // Our own policy and no service directories: nothing gets activated.
        const fs::path config = m_dir.path() / "bus.conf";
        std::ofstream(config)
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type>\n"
            << "<listen>unix:path=" << (m_dir.path() / "bus").string() << "</listen>\n"
            << "<auth>EXTERNAL</auth>\n"
               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        m_bus = ChildProcess::start(
            {"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address"},
            environmentWith({}), m_dir.path() / "dbus-daemon.err");
        ASSERT_TRUE(m_bus);
        const auto address = m_bus->readLine(10s);
        ASSERT_TRUE(address && !address->empty())
            << "dbus-daemon gave no address: " << readWholeFile(m_dir.path() / "dbus-daemon.err");
        m_address = *address;
    }

    void startWatcher() {
        m_watcher = ChildProcess::start({FAKE_SNI_WATCHER},
                                        environmentWith({{"DBUS_SESSION_BUS_ADDRESS", m_address}}),
                                        m_dir.path() / "watcher.err");
        ASSERT_TRUE(m_watcher);
        ASSERT_TRUE(m_watcher->readLineStartingWith("READY", 10s))
            << "the watcher did not come up: " << readWholeFile(m_dir.path() / "watcher.err");
    }

    void startTarnwick() {
        const fs::path runtime = m_dir.path() / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        m_app = ChildProcess::start({TARNWICK_BINARY},
                                    environmentWith({{"DISPLAY", m_x->display()},
                                                     {"DBUS_SESSION_BUS_ADDRESS", m_address},
                                                     {"XDG_CONFIG_HOME", configHome().string()},
                                                     {"XDG_RUNTIME_DIR", runtime.string()},
                                                     {"QT_QPA_PLATFORM", ""},
                                                     {"WAYLAND_DISPLAY", ""},
                                                     {"XDG_SESSION_TYPE", ""}}),
                                    m_dir.path() / "tarnwick.err");
        ASSERT_TRUE(m_app);
        const auto item = m_watcher->readLineStartingWith("ITEM ", 20s);
        ASSERT_TRUE(item) << "tarnwick registered no StatusNotifierItem; its stderr:\n"
                          << appErrors();
        std::istringstream words(*item);
        std::string tag;
        std::string service;
        std::string path;
        words >> tag >> service >> path;
        m_service = QString::fromStdString(service);
        m_itemPath = QString::fromStdString(path);
    }

    void connectToBus() {
        static int connections = 0;
        m_connectionName = QStringLiteral("tray-test-%1").arg(++connections);
        QDBusConnection bus =
            QDBusConnection::connectToBus(QString::fromStdString(m_address), m_connectionName);
        m_connected = true;
        ASSERT_TRUE(bus.isConnected()) << bus.lastError().message().toStdString();
        const QVariant menu = itemProperty("Menu");
        ASSERT_TRUE(menu.canConvert<QDBusObjectPath>()) << "the item has no Menu property";
        m_menuPath = menu.value<QDBusObjectPath>().path();
    }

    fs::path configHome() const { return m_dir.path() / "config"; }
    std::string appErrors() const { return readWholeFile(m_dir.path() / "tarnwick.err"); }

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(m_service, path, interface, method);
        message.setArguments(arguments);
        return QDBusConnection(m_connectionName).call(message, QDBus::Block, 5000);
    }

    QVariant itemProperty(const char* name) {
        const QDBusMessage reply = call(
            m_itemPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
            {QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(name)});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            ADD_FAILURE() << "Get " << name << ": " << reply.errorMessage().toStdString();
            return {};
        }
        return reply.arguments().at(0).value<QDBusVariant>().variant();
    }

    // The top-level items of the exported menu; empty on a failed call.
    std::vector<MenuItem> menu() {
        const QDBusMessage reply = call(m_menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                        QStringLiteral("GetLayout"), {0, -1, QStringList()});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
            ADD_FAILURE() << "GetLayout: " << reply.errorMessage().toStdString()
                          << "\ntarnwick's stderr:\n"
                          << appErrors();
            return {};
        }
        return readItem(reply.arguments().at(1).value<QDBusArgument>()).children;
    }

    // Polls, as the menu is rebuilt after the click is handled.
    std::vector<MenuItem> menuOnceTitled(const std::vector<std::string>& expected) {
        std::vector<MenuItem> items;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        do {
            items = menu();
            if (titles(items) == expected) {
                break;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return items;
    }

    void click(const std::vector<MenuItem>& items, const std::string& title) {
        for (const MenuItem& item : items) {
            if (item.title() == title) {
                const QDBusMessage reply = call(
                    m_menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
                    {item.id, QStringLiteral("clicked"),
                     QVariant::fromValue(QDBusVariant(QVariant(0))), QVariant::fromValue(0u)});
                EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage)
                    << "Event on \"" << title << "\": " << reply.errorMessage().toStdString();
                return;
            }
        }
        ADD_FAILURE() << "no item \"" << title << "\" to click";
    }

    // The saved switch, -1 when unreadable; polled until it is awaited or the time is up.
    int savedGlobalEnabled(bool awaited) {
        int saved = -1;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        do {
            const QByteArray bytes =
                QByteArray::fromStdString(readWholeFile(configHome() / "Tarnwick" / "config.json"));
            const QJsonValue value =
                QJsonDocument::fromJson(bytes).object().value(QStringLiteral("globalEnabled"));
            saved = value.isBool() ? int{value.toBool()} : -1;
            if (saved == int{awaited}) {
                break;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return saved;
    }

    // Declared in start order, so that they stop in reverse.
    TempDir m_dir;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<ChildProcess> m_bus;
    std::unique_ptr<ChildProcess> m_watcher;
    std::unique_ptr<ChildProcess> m_app;
    std::string m_address;
    QString m_service;
    QString m_itemPath;
    QString m_menuPath;
    QString m_connectionName;
    bool m_connected = false;
};

TEST_F(TrayMenuTest, ExportsTheSixItemsInOrder) {
    const std::vector<MenuItem> items = menu();
    ASSERT_EQ(titles(items), menuTitles("Disable Triggers"));

    EXPECT_FALSE(items[0].enabled) << "the header must be disabled";
    for (const std::size_t i : {2u, 3u, 5u}) {
        EXPECT_TRUE(items[i].enabled) << items[i].label;
    }
    for (const MenuItem& item : items) {
        EXPECT_TRUE(item.visible) << item.title();
        EXPECT_TRUE(item.children.empty()) << item.title();
        if (item.type == "separator") {
            EXPECT_TRUE(item.label.empty());
        }
    }
    // The true ellipsis, not three dots.
    EXPECT_EQ(items[3].label, "Settings\xE2\x80\xA6");

    using Shortcut = std::vector<std::vector<std::string>>;
    EXPECT_EQ(items[3].shortcut, (Shortcut{{"Control", ","}}));
    EXPECT_EQ(items[5].shortcut, (Shortcut{{"Control", "Q"}}));
    EXPECT_TRUE(items[0].shortcut.empty());
    EXPECT_TRUE(items[2].shortcut.empty());
}

TEST_F(TrayMenuTest, StatusItemCarriesTheToolTipAndAnIcon) {
    const QDBusArgument toolTip = itemProperty("ToolTip").value<QDBusArgument>();
    QString iconName;
    QString title;
    QString text;
    toolTip.beginStructure();
    toolTip >> iconName;
    toolTip.beginArray();
    while (!toolTip.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray bytes;
        toolTip.beginStructure();
        toolTip >> width >> height >> bytes;
        toolTip.endStructure();
    }
    toolTip.endArray();
    toolTip >> title >> text;
    toolTip.endStructure();
    EXPECT_EQ(title.toStdString(), "Tarnwick");

    EXPECT_EQ(itemProperty("Title").toString().toStdString(), "Tarnwick");
    EXPECT_EQ(itemProperty("Status").toString().toStdString(), "Active");

    // Our SVG goes out as ARGB pixmaps; at least one with visible pixels.
    const QDBusArgument pixmaps = itemProperty("IconPixmap").value<QDBusArgument>();
    bool visiblePixels = false;
    int count = 0;
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray argb;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> argb;
        pixmaps.endStructure();
        ++count;
        EXPECT_EQ(argb.size(), static_cast<qsizetype>(width) * height * 4);
        for (qsizetype i = 0; i + 3 < argb.size(); i += 4) {
            visiblePixels = visiblePixels || argb[i] != 0;
        }
    }
    pixmaps.endArray();
    EXPECT_GT(count, 0) << "no IconPixmap";
    EXPECT_TRUE(visiblePixels) << "the icon is fully transparent";
}

TEST_F(TrayMenuTest, SwitchItemFlipsItsTitleAndSavesTheSwitch) {
    ASSERT_EQ(savedGlobalEnabled(true), 1) << "the seeded config has the switch on";

    click(menu(), "Disable Triggers");
    std::vector<MenuItem> items = menuOnceTitled(menuTitles("Enable Triggers"));
    ASSERT_EQ(titles(items), menuTitles("Enable Triggers"));
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(savedGlobalEnabled(false), 0);
    EXPECT_NE(
        readWholeFile(configHome() / "Tarnwick" / "config.json").find("\"globalEnabled\" : false"),
        std::string::npos);
    // Switched off, the seed's Super+Alt+T hotkey runs nothing.
    const std::string hotkeyLine = "Tarnwick: hotkey ran \"x-terminal-emulator\"";
    ASSERT_EQ(m_x->run("xdotool key super+alt+t"), 0);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(appErrors().find(hotkeyLine), std::string::npos) << appErrors();

    click(items, "Enable Triggers");
    items = menuOnceTitled(menuTitles("Disable Triggers"));
    ASSERT_EQ(titles(items), menuTitles("Disable Triggers"));
    EXPECT_EQ(savedGlobalEnabled(true), 1);
    EXPECT_TRUE(m_app->running()) << appErrors();
    // Switched on again, it runs (the terminal may be missing: any outcome counts).
    ASSERT_EQ(m_x->run("xdotool key super+alt+t"), 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (appErrors().find(hotkeyLine) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(appErrors().find(hotkeyLine), std::string::npos) << appErrors();
}

TEST_F(TrayMenuTest, QuitEndsTheProcessWithStatusZero) {
    click(menu(), "Quit Tarnwick");
    const auto status = m_app->waitForExit(10s);
    ASSERT_TRUE(status) << "tarnwick still runs after Quit";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status) << "\n"
                                    << appErrors();
    EXPECT_EQ(WEXITSTATUS(*status), 0) << appErrors();
}

} // namespace
} // namespace tarnwick::test
