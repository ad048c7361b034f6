// What KWin's settings make of the corners, as the cards say it; which way
// corners reach the program in which session; the script for a set of corners.
#include "platform/kwin/KWinConfig.h"
#include "platform/kwin/KWinCorners.h"

#include <gtest/gtest.h>

namespace tarnwick::kwin {
namespace {

EdgeSettings settingsOf(const std::vector<std::string>& cascade) {
    KConfigGroups config;
    for (const std::string& file : cascade) {
        mergeKConfig(file, config);
    }
    return EdgeSettings::from(config);
}

TEST(KWinConfig, CornersHeldByKWinAndItsDelaysAsTheCardsSayThem) {
    struct Case {
        std::vector<std::string> cascade; // the user's file first
        EdgeSettings expected;
    };
    const std::vector<Case> cases{
        // Unset, the top-left corner is Present Windows'; "9" is none.
        {{}, {150, 350, 1, {"Present Windows (all desktops)", "", "", ""}}},
        {{"[Effect-windowview]\nBorderActivateAll=9\n"}, {150, 350, 1, {}}},
        // Actions by any case, flags and comments; an unknown action is none.
        {{"# mine\n[ElectricBorders]\nTopLeft[$i]=showdesktop\n  TopRight = KRunner \n"
          "BottomLeft=Nonsense\n[Windows]\nElectricBorderDelay=300\n"},
         {300, 350, 1, {"Show Desktop", "KRunner", "", ""}}},
        // Effects by KWin's numbers (7 top-left, 1 top-right, 5 bottom-left,
        // 3 bottom-right), while they are on; the window switcher; scripts
        // only when switched on.
        {{"[Effect-overview]\nBorderActivate=9,3\n[Effect-windowview]\nBorderActivateAll=7\n"
          "[TabBox]\nBorderAlternativeActivate=1\n[Script-tiler]\nBorderActivate=5\n"
          "[Script-idle]\nBorderActivate=7\n[Plugins]\ntilerEnabled=true\n"},
         {150,
          350,
          1,
          {"Present Windows (all desktops)", "the alternative window switcher", "the script tiler",
           "Overview"}}},
        {{"[Effect-desktopgrid]\nBorderActivate=7\n[Plugins]\ndesktopgridEnabled=false\n"
          "windowviewEnabled=false\n"},
         {150, 350, 1, {}}},
        // The user's file wins over the system's; nonsense numbers are KWin's defaults.
        {{"[Windows]\nElectricBorderCooldown=x\nElectricBorderPushbackPixels=0\n",
          "[Windows]\nElectricBorderPushbackPixels=5\nElectricBorderDelay=-4\n"
          "[ElectricBorders]\nBottomRight=LockScreen\n"},
         {0, 350, 0, {"Present Windows (all desktops)", "", "", "Lock Screen"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settingsOf(c.cascade), c.expected) << (c.cascade.empty() ? "" : c.cascade[0]);
    }

    const CornerNotes defaults = EdgeSettings{}.notes();
    EXPECT_TRUE(defaults.available);
    EXPECT_EQ(defaults.behaviour,
              "KWin fires it after 150 ms of pushing, not again for 200 ms, and during drags too");
    EXPECT_EQ(defaults.heldBy, (std::array<std::string, 4>{}));
    EXPECT_EQ(defaults.size, "decided by KWin");
    const CornerNotes atOnce = EdgeSettings{400, 100, 0, {"", "Overview", "", ""}}.notes();
    EXPECT_EQ(atOnce.behaviour,
              "KWin fires it at first touch, not again for 50 ms, and during drags too");
    EXPECT_EQ(atOnce.heldBy[1], "KWin uses this corner for Overview");
}

TEST(KWinCorners, TheRouteOfCornersInEachSession) {
    struct Case {
        SessionFacts session;
        CornerRoute expected;
    };
    const std::vector<Case> cases{
        {{false, "KDE", true, false}, CornerRoute::pointer},
        {{false, "GNOME", false, false}, CornerRoute::pointer},
        {{true, "KDE", true, false}, CornerRoute::kwin},
        {{true, "ubuntu:kde", true, false}, CornerRoute::kwin},
        {{true, "KDE", false, false}, CornerRoute::none},
        {{true, "GNOME", true, false}, CornerRoute::none},
        {{true, "sway", false, false}, CornerRoute::none},
        {{false, "", false, true}, CornerRoute::kwin},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cornerRoute(c.session), c.expected) << c.session.currentDesktop.toStdString();
    }
}

TEST(KWinCorners, TheScriptRegistersExactlyTheCornersAskedFor) {
    const QString script =
        QString::fromUtf8(cornerScript({ScreenCorner::topRight, ScreenCorner::bottomLeft}));
    EXPECT_EQ(script.count(QStringLiteral("registerScreenEdge(")), 2);
    EXPECT_TRUE(script.contains(
        QStringLiteral("registerScreenEdge(KWin.ElectricTopRight, enter(\"topRight\"));\n"
                       "registerScreenEdge(KWin.ElectricBottomLeft, enter(\"bottomLeft\"));\n")));
    EXPECT_FALSE(script.contains(QLatin1Char('@')));
}

} // namespace
} // namespace tarnwick::kwin
