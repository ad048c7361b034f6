// The application id the portal reads from our cgroup, and what establishing
// it does where there is a host registry and where there is no systemd.
#include "platform/portal/ApplicationScope.h"

#include "portal/FakePortal.h"
#include "portal/PortalTestBus.h"

#include <gtest/gtest.h>

namespace tarnwick::test {
namespace {

using portal::ApplicationScope;

TEST(ApplicationScopeTest, TheIdComesFromTheUserUnitOfTheCgroup) {
    const std::string user = "0::/user.slice/user-1000.slice/user@1000.service/";
    const std::pair<std::string, std::string> cases[] = {
        {user + "app.slice/app-io.github.tarnwick.Tarnwick-4242.scope\n",
         "io.github.tarnwick.Tarnwick"},
        {user + "app.slice/app-kde-io.github.tarnwick.Tarnwick-4242.scope/sub\n",
         "io.github.tarnwick.Tarnwick"}, // a launcher's prefix, a cgroup below
        {user + "app.slice/app-io.github.tarnwick.Tarnwick@autostart.service\n",
         "io.github.tarnwick.Tarnwick"},
        {user + "app.slice/app-gnome-io.github.tarnwick.Tarnwick-autostart.service\n",
         "io.github.tarnwick.Tarnwick"},
        {user + "app.slice/app-org.foo\\x2dbar.Baz-12.scope\n", "org.foo-bar.Baz"},
        {"12:pids:/\n1:name=systemd:" + user.substr(3) + "app-org.a.B-1.scope\n0::/\n", ""},
        {"1:name=systemd:" + user.substr(3) + "app-org.a.B-1.scope\n", "org.a.B"}, // cgroup v1
        {user + "app.slice/app-konsole-4242.scope\n", ""},                         // no dot: no id
        {user + "session.slice/plasma-kwin_wayland.service\n", ""}, // not an app's unit
        {user + "app.slice/snap.foo.scope\n", ""},
        {"0::/system.slice/app-io.github.tarnwick.Tarnwick-1.scope\n", ""}, // no user manager
        {"0::/\n", ""},
        {"", ""},
    };
    for (const auto& [cgroup, id] : cases) {
        EXPECT_EQ(portal::applicationIdOfUnit(portal::userUnitOfCgroup(cgroup)), id) << cgroup;
    }
    EXPECT_EQ(portal::scopeNameFor("io.github.tarnwick.Tarnwick", 77),
              "app-io.github.tarnwick.Tarnwick-77.scope");
    EXPECT_EQ(portal::scopeNameFor("org.foo-bar.Baz", 1), "app-org.foo\\x2dbar.Baz-1.scope");
    EXPECT_EQ(portal::applicationIdOfUnit(portal::scopeNameFor("org.foo-bar.Baz", 1)),
              "org.foo-bar.Baz");
}

TEST(ApplicationScopeTest, RegistersWhereTheRegistryIsAndSaysWhyNotWithoutSystemd) {
    Sandbox sandbox;
    PrivateBus bus(sandbox);
    ASSERT_FALSE(bus.address.empty());
    FakePortal fake(bus.address);
    const auto connection = bus.connect(QStringLiteral("c"));
    const auto establish = [&] {
        std::string line;
        ApplicationScope scope(connection, "io.github.tarnwick.Tarnwick");
        scope.establish([&](const std::string& said) { line = said; });
        EXPECT_TRUE(spinUntil([&] { return !line.empty(); }));
        return line;
    };
    fake.appear(FakePortal::Interfaces::withRegistry);
    EXPECT_EQ(establish(),
              "the desktop portal knows us as io.github.tarnwick.Tarnwick (host registry)");
    EXPECT_EQ(fake.calls, std::vector<std::string>{"Register io.github.tarnwick.Tarnwick"});
    // A portal of 1.16's time, and no systemd user manager on the bus.
    fake.vanish();
    fake.appear();
    EXPECT_EQ(establish(),
              "no systemd user manager to start us in a unit of our own (The name "
              "org.freedesktop.systemd1 was not provided by any .service files): the desktop "
              "portal will not know our application id");
    std::string line;
    ApplicationScope(QDBusConnection(QStringLiteral("none")), "x.y.Z")
        .establish([&](const std::string& said) { line = said; });
    EXPECT_EQ(line, "no D-Bus session bus: the desktop portal cannot know our application id");
}

} // namespace
} // namespace tarnwick::test
