// The portal client against a fake desktop portal of the documented dialect
// on a bus of the test's own: what it asks, what it reports, and how it
// meets a missing, refusing or vanishing portal. KDE's dialect is the real
// KDE desktop's test.
#include "platform/portal/GlobalShortcutsPortal.h"

#include "portal/FakePortal.h"
#include "portal/PortalTestBus.h"

#include <gtest/gtest.h>

namespace tarnwick::test {

namespace {

using portal::GlobalShortcutsPortal;
using Calls = std::vector<std::string>;
using Assigned = std::vector<ShortcutAssignment>;

const ShortcutRequest kAlpha{"a", "Alpha", "CTRL+SHIFT+y"};
const ShortcutRequest kBeta{"b", "Beta", "LOGO+ALT+t"};
const ShortcutRequest kGamma{"c", "Gamma", "ALT+F9"};

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_bus.address.empty());
        m_fake = std::make_unique<FakePortal>(m_bus.address);
        // The desktop gives Beta no key: another program holds it.
        m_fake->keys["b"] = "";
        startClient();
    }
    void TearDown() override {
        m_portal.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
    void startClient() {
        m_portal.reset();
        const auto connection = m_bus.connect(QStringLiteral("client"));
        m_portal =
            std::make_unique<GlobalShortcutsPortal>(connection, "io.github.tarnwick.Tarnwick");
        m_portal->setHandlers({[this](const std::string& id) { activated.push_back(id); },
                               [this](const Assigned& a) { assigned.push_back(a); },
                               [this](const std::string& why) { reasons.push_back(why); }});
    }
    // Binds and waits for the report; the calls the portal got meanwhile.
    Calls bind(const std::vector<ShortcutRequest>& set) {
        const auto before = assigned.size();
        const auto seen = m_fake->calls.size();
        m_portal->bind(set);
        EXPECT_TRUE(spinUntil([&] { return assigned.size() > before; })) << reasons.size();
        return Calls(m_fake->calls.begin() + static_cast<long>(seen), m_fake->calls.end());
    }
    // What a new session holding set takes.
    static Calls session(const std::string& set) {
        return {"CreateSession tarnwick", "BindShortcuts" + set, "ListShortcuts"};
    }
    void activate(const QString& session, const char* id) {
        m_fake->activate(session, QString::fromLatin1(id));
        spinFor(50ms);
    }

    Sandbox m_sandbox;
    PrivateBus m_bus{m_sandbox};
    std::unique_ptr<FakePortal> m_fake;
    std::unique_ptr<GlobalShortcutsPortal> m_portal;
    Calls activated;
    std::vector<Assigned> assigned;
    Calls reasons;
};

TEST_F(PortalTest, BindsReportsActivatesAndRebinds) {
    m_fake->appear();
    EXPECT_EQ(bind({kAlpha, kBeta}), session(" a=Alpha/CTRL+SHIFT+y b=Beta/LOGO+ALT+t"));
    EXPECT_EQ(assigned.back(), (Assigned{{"a", "CTRL+SHIFT+Y"}, {"b", ""}}));
    const QString first = m_fake->session();
    EXPECT_EQ(first, m_portal->sessionHandle());

    // Only our session's bound ids count; Deactivated is not listened to.
    activate(first, "a");
    activate(first + "x", "a");
    activate(first, "zz");
    EXPECT_EQ(activated, Calls{"a"});

    // The user gives Alpha another key in the desktop's settings.
    m_fake->changeKey(first, "a", "Meta+F9");
    ASSERT_TRUE(spinUntil([&] { return assigned.size() == 2; }));
    EXPECT_EQ(assigned.back(), (Assigned{{"a", "Meta+F9"}, {"b", ""}}));

    // The same set again asks nothing; a changed set gets a new session.
    EXPECT_EQ(bind({kAlpha, kBeta}), Calls{});
    EXPECT_EQ(assigned.back(), assigned[1]);
    auto calls = bind({ShortcutRequest{"a", "Renamed", "CTRL+SHIFT+y"}, kGamma});
    calls.erase(calls.begin());
    EXPECT_EQ(calls, session(" a=Renamed/CTRL+SHIFT+y c=Gamma/ALT+F9"));
    EXPECT_EQ(assigned.back(), (Assigned{{"a", "Meta+F9"}, {"c", "ALT+F9"}}));
    activate(m_fake->session(), "b");
    activate(m_fake->session(), "c");
    EXPECT_EQ(activated, (Calls{"a", "c"}));

    // Nothing to bind: the session goes, and none is made.
    EXPECT_EQ(bind({}), Calls{"Close"});
    EXPECT_EQ(assigned.back(), Assigned{});
    EXPECT_TRUE(m_fake->session().isEmpty());
    EXPECT_EQ(reasons, Calls{});
}

TEST_F(PortalTest, BindsWhileOneIsOnItsWayWaitAndTheLastSetWins) {
    m_fake->appear();
    m_fake->hold();
    m_portal->bind({kAlpha});
    ASSERT_TRUE(spinUntil([&] { return m_fake->heldCalls() == 1; }));
    m_portal->bind({kBeta});
    m_portal->bind({kGamma});
    spinFor(100ms);
    m_fake->release();
    ASSERT_TRUE(spinUntil([&] {
        return !assigned.empty() && assigned.back().size() == 1 && assigned.back()[0].id == "c";
    }));
    spinFor(100ms);
    const auto& calls = m_fake->calls;
    EXPECT_EQ(std::ranges::count_if(calls, [](auto& c) { return c.find("b=") != c.npos; }), 0);
    EXPECT_EQ(calls.back(), "ListShortcuts");
    EXPECT_EQ(m_fake->session(), m_portal->sessionHandle());
    EXPECT_EQ(assigned.back(), (Assigned{{"c", "ALT+F9"}}));
    EXPECT_EQ(reasons, Calls{});
}

// Refused making the session or binding in it: said once till a success,
// and no session is left open.
TEST_F(PortalTest, RefusalsAreReportedOnceAndNothingIsLeftOpen) {
    m_fake->appear();
    m_fake->codes["CreateSession"] = 1;
    m_portal->bind({kAlpha});
    ASSERT_TRUE(spinUntil([&] { return !reasons.empty(); }));
    m_fake->codes = {{"BindShortcuts", 2}};
    m_portal->bind({kBeta});
    spinFor(200ms);
    EXPECT_EQ(reasons, Calls{"global shortcuts were refused in the desktop's dialog"});
    EXPECT_TRUE(m_fake->session().isEmpty());
    m_fake->codes.clear();
    bind({kAlpha});
    m_fake->codes["BindShortcuts"] = 2;
    m_portal->bind({kGamma});
    ASSERT_TRUE(spinUntil([&] { return reasons.size() == 2; }));
    EXPECT_EQ(reasons[1], "the desktop portal refused global shortcuts (BindShortcuts answered 2)");
    EXPECT_TRUE(spinUntil([&] { return m_fake->session().isEmpty(); }));
}

TEST_F(PortalTest, AMissingVanishingOrClosingPortalIsReportedAndBoundAgainWhenBack) {
    m_portal->bind({kAlpha});
    ASSERT_TRUE(spinUntil([&] { return !reasons.empty(); }));
    m_fake->appear();
    ASSERT_TRUE(spinUntil([&] { return assigned.size() == 1; }));
    m_fake->vanish();
    ASSERT_TRUE(spinUntil([&] { return reasons.size() == 2; }));
    EXPECT_TRUE(m_portal->sessionHandle().isEmpty());
    m_fake->appear();
    ASSERT_TRUE(spinUntil([&] { return assigned.size() == 2; }));
    EXPECT_EQ(assigned.back(), (Assigned{{"a", "CTRL+SHIFT+Y"}}));
    activate(m_fake->session(), "a");
    EXPECT_EQ(activated, Calls{"a"});

    // The portal ends the session: unavailable until the next bind.
    m_fake->closeFromPortal(m_fake->session());
    ASSERT_TRUE(spinUntil([&] { return reasons.size() == 3; }));
    EXPECT_EQ(bind({kAlpha}).front().substr(0, 13), "CreateSession");
    // The session goes with its object; then a portal without the interface.
    m_portal.reset();
    ASSERT_TRUE(spinUntil([&] { return m_fake->session().isEmpty(); }));
    m_fake->vanish();
    m_fake->appear(FakePortal::Interfaces::none);
    startClient();
    m_portal->bind({kAlpha});
    ASSERT_TRUE(spinUntil([&] { return reasons.size() == 4; }));
    EXPECT_EQ(reasons, (Calls{"no desktop portal on the session bus",
                              "the desktop portal left the session bus",
                              "the desktop closed the global shortcuts session",
                              "the desktop portal has no GlobalShortcuts interface"}));
}

} // namespace
} // namespace tarnwick::test
