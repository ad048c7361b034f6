#include "config/AppConfig.h"

#include <gtest/gtest.h>

#include <set>

namespace tarnwick {
namespace {

TEST(Enumerations, RawValuesMatchExactlyAndCaseSensitively) {
    EXPECT_EQ(screenCornerFromRawValue("bottomRight"), ScreenCorner::bottomRight);
    for (const char* text : {"TopLeft", "Top-Left", "", " topLeft", "topLeft ", "topleft"}) {
        EXPECT_EQ(screenCornerFromRawValue(text), std::nullopt) << text;
    }
    EXPECT_EQ(triggerKindFromRawValue("hotkey"), TriggerKind::hotkey);
    EXPECT_EQ(triggerKindFromRawValue("Hotkey"), std::nullopt);
    EXPECT_EQ(triggerKindFromRawValue("Hot Corner"), std::nullopt);

    for (ScreenCorner corner : allScreenCorners) {
        EXPECT_EQ(screenCornerFromRawValue(rawValue(corner)), corner);
    }
    for (TriggerKind kind : allTriggerKinds) {
        EXPECT_EQ(triggerKindFromRawValue(rawValue(kind)), kind);
    }
}

TEST(Enumerations, CasesComeInTheirFixedOrderWithTheirLabels) {
    const std::vector<std::string_view> corners{"topLeft", "topRight", "bottomLeft", "bottomRight"};
    const std::vector<std::string_view> labels{"Top-Left", "Top-Right", "Bottom-Left",
                                               "Bottom-Right"};
    for (std::size_t i = 0; i < allScreenCorners.size(); ++i) {
        EXPECT_EQ(rawValue(allScreenCorners[i]), corners[i]);
        EXPECT_EQ(label(allScreenCorners[i]), labels[i]);
    }
    EXPECT_EQ(allTriggerKinds[0], TriggerKind::corner);
    EXPECT_EQ(label(TriggerKind::corner), "Hot Corner");
    EXPECT_EQ(label(TriggerKind::hotkey), "Hotkey");
}

TEST(Trigger, SummaryNamesOnlyTheFieldOfItsKind) {
    const HotkeyCombo combo{17, 2304, "\u2318\u2325T"};
    EXPECT_EQ((Trigger{TriggerKind::hotkey, ScreenCorner::topLeft}.summary()), "Not set");
    EXPECT_EQ((Trigger{TriggerKind::hotkey, std::nullopt, combo}.summary()), "\u2318\u2325T");
    EXPECT_EQ((Trigger{TriggerKind::hotkey, std::nullopt, HotkeyCombo{1, 0, ""}}.summary()), "");
    EXPECT_EQ((Trigger{TriggerKind::corner, std::nullopt, combo}.summary()), "\u2014");
    EXPECT_EQ((Trigger{TriggerKind::corner, ScreenCorner::bottomLeft}.summary()), "Bottom-Left");
}

TEST(Records, EqualityCountsEveryFieldIncludingStaleOnes) {
    EXPECT_NE((HotkeyCombo{17, 2304, "\u2318\u2325T"}), (HotkeyCombo{17, 2304, "\u2325\u2318T"}));
    EXPECT_EQ((HotkeyCombo{17, 2304, "x"}), (HotkeyCombo{17, 2304, "x"}));

    const Trigger plain{TriggerKind::corner, ScreenCorner::topLeft};
    const Trigger stale{TriggerKind::corner, ScreenCorner::topLeft, HotkeyCombo{1, 2, "z"}};
    EXPECT_NE(plain, stale);

    const CommandBinding a("n", plain, "c");
    CommandBinding b = a;
    EXPECT_EQ(a, b);
    b.id = CommandBinding("n", plain, "c").id;
    EXPECT_NE(a, b);
}

TEST(Records, DefaultsAndFreshIds) {
    const Trigger trigger{TriggerKind::corner};
    std::set<std::string> ids;
    for (int i = 0; i < 100; ++i) {
        const CommandBinding binding("n", trigger, "c");
        EXPECT_TRUE(binding.enabled);
        const std::string text = binding.id.toString();
        // Version 4, RFC 4122 variant.
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        ids.insert(text);
    }
    EXPECT_EQ(ids.size(), 100u);

    const AppConfig config;
    EXPECT_TRUE(config.bindings.empty());
    EXPECT_TRUE(config.globalEnabled);
    EXPECT_EQ(config.cornerSensitivity, 6.0);
}

TEST(Uuid, ParsesEitherCaseAndWritesUpperCase) {
    const auto lower = Uuid::parse("0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->toString(), "0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0");
    EXPECT_EQ(Uuid::parse("0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0"), lower);

    for (const std::string& text :
         {std::string(""), std::string("0f1e2d3c4b5a49688776a5b4c3d2e1f0"),
          std::string("0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0 "),
          std::string("{0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f}"),
          std::string("0g1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0"),
          std::string("0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0", 36).substr(0, 35) + '\0'}) {
        EXPECT_EQ(Uuid::parse(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace tarnwick
