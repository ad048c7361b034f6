// The portal client on a real KDE Plasma 5.27 desktop (KWin, kglobalaccel,
// xdg-desktop-portal and its KDE backend, headless), shortcuts fired
// through kglobalaccel as a key press would.
#include "platform/portal/GlobalShortcutsPortal.h"

#include "portal/KdeChain.h"
#include "portal/PortalTestBus.h"

#include <QDBusMessage>

#include <gtest/gtest.h>

namespace tarnwick::test {
namespace {

using portal::GlobalShortcutsPortal;
using Assigned = std::vector<ShortcutAssignment>;
using Ids = std::vector<std::string>;

constexpr int kMeta = 0x10000000, kF9 = 0x01000038; // Qt's key codes, as kglobalaccel has them

// One start of the program: its own connection, hence its own session.
struct Client {
    Client(const KdeChain& chain, const QString& name)
        : portal(PrivateBus::connectTo(chain.busAddress(), name), "io.github.tarnwick.Tarnwick") {
        portal.setHandlers({[this](const std::string& id) { activated.push_back(id); },
                            [this](const Assigned& a) { assigned.push_back(a); },
                            [this](const std::string& why) { reasons.push_back(why); }});
    }
    Assigned bind(const std::vector<ShortcutRequest>& set) {
        const auto before = assigned.size();
        portal.bind(set);
        EXPECT_TRUE(spinUntil([&] { return assigned.size() > before; }));
        return assigned.empty() ? Assigned{} : assigned.back();
    }
    GlobalShortcutsPortal portal;
    Ids activated;
    std::vector<Assigned> assigned;
    Ids reasons;
};

class KdePortalTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_chain.ready()) << m_chain.logs(); }

    // kglobalaccel's component: the portal gives a program started outside an
    // app-<id> scope no application id, so the token alone names it.
    QDBusMessage kglobalaccel(const QString& path, const QString& interface, const QString& method,
                              const QVariantList& arguments) {
        auto call = QDBusMessage::createMethodCall("org.kde.kglobalaccel", path, interface, method);
        call.setArguments(arguments);
        return PrivateBus::connectTo(m_chain.busAddress(), "driver").call(call);
    }
    // Fires the shortcut as its key would; what the client got for it.
    Ids invoke(Client& client, const QString& id) {
        const auto before = client.activated.size();
        const auto reply = kglobalaccel("/component/tarnwick", "org.kde.kglobalaccel.Component",
                                        "invokeShortcut", {id});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        spinUntil([&] { return client.activated.size() > before; }, 500ms);
        spinFor(100ms); // time for a second one that must not come
        return Ids(client.activated.begin() + static_cast<long>(before), client.activated.end());
    }

    Sandbox m_sandbox;
    KdeChain m_chain{m_sandbox};
};

TEST_F(KdePortalTest, BindsFiresRebindsAndKeepsTheUsersKey) {
    auto first = std::make_unique<Client>(m_chain, "first");
    // KWin holds Alt+F4: the desktop assigns Beta no key, and says so.
    EXPECT_EQ(first->bind({{"a", "Alpha", "CTRL+SHIFT+y"}, {"b", "Beta", "ALT+F4"}}),
              (Assigned{{"a", "Ctrl+Shift+Y"}, {"b", ""}}));
    EXPECT_EQ(invoke(*first, "a"), Ids{"a"});
    EXPECT_EQ(invoke(*first, "a"), Ids{"a"});
    EXPECT_EQ(invoke(*first, "b"), Ids{"b"});

    // Reload: Alpha renamed and asked for another key, Beta disabled, Gamma added.
    EXPECT_EQ(first->bind({{"a", "Alpha 2", "CTRL+ALT+y"}, {"c", "Gamma", "LOGO+ALT+t"}}),
              (Assigned{{"a", "Ctrl+Shift+Y"}, {"c", "Meta+Alt+T"}}));
    EXPECT_EQ(invoke(*first, "b"), Ids{});
    EXPECT_EQ(invoke(*first, "c"), Ids{"c"});
    EXPECT_EQ(invoke(*first, "a"), Ids{"a"});

    // The user gives Gamma another key in the desktop's settings.
    kglobalaccel(
        "/kglobalaccel", "org.kde.KGlobalAccel", "setForeignShortcut",
        {QStringList{"tarnwick", "c", "", ""}, QVariant::fromValue(QList<int>{kMeta | kF9})});
    ASSERT_TRUE(spinUntil([&] { return first->assigned.size() == 3; }));
    EXPECT_EQ(first->assigned.back(), (Assigned{{"a", "Ctrl+Shift+Y"}, {"c", "Meta+F9"}}));

    // The next start asks for the same keys and keeps the user's.
    first.reset();
    Client second(m_chain, "second");
    EXPECT_EQ(second.bind({{"a", "Alpha 2", "CTRL+ALT+y"}, {"c", "Gamma", "LOGO+ALT+t"}}),
              (Assigned{{"a", "Ctrl+Shift+Y"}, {"c", "Meta+F9"}}));
    EXPECT_EQ(invoke(second, "c"), Ids{"c"});
    EXPECT_EQ(invoke(second, "b"), Ids{});
    EXPECT_EQ(second.reasons, Ids{});

    // Another portal takes over; KDE's backend keeps our session and refuses
    // a new one for this connection, and the log says so once.
    const auto portal = Process::spawn({"/usr/libexec/xdg-desktop-portal", "--replace"},
                                       m_sandbox.environment(m_chain.environment()),
                                       m_sandbox.root() / "portal-2.log");
    ASSERT_TRUE(spinUntil([&] { return !second.reasons.empty(); }));
    EXPECT_EQ(second.reasons,
              Ids{"the desktop portal restarted and will not make our session again "
                  "(CreateSession answered 2); the shortcuts come back at our next start"});
    EXPECT_EQ(invoke(second, "c"), Ids{});
    EXPECT_EQ(Client(m_chain, "third").bind({{"a", "Alpha 2", "CTRL+ALT+y"}}),
              (Assigned{{"a", "Ctrl+Shift+Y"}}));
}

} // namespace
} // namespace tarnwick::test
