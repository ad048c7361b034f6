#include "config/ConfigJson.h"
#include "config/ConfigStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

const Uuid firstId = *Uuid::parse("11111111-2222-4333-8444-555555555555");
const Uuid secondId = *Uuid::parse("aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee");

AppConfig seedWithFixedIds() {
    AppConfig config = ConfigStore::seed();
    config.bindings[0].id = firstId;
    config.bindings[1].id = secondId;
    return config;
}

TEST(ConfigJsonEncode, SeedIsWrittenExactlyInThePrettySortedForm) {
    const std::string expected = R"({
  "bindings" : [
    {
      "command" : "xset dpms force off",
      "enabled" : true,
      "id" : "11111111-2222-4333-8444-555555555555",
      "name" : "Sleep display",
      "trigger" : {
        "corner" : "topLeft",
        "kind" : "corner"
      }
    },
    {
      "command" : "x-terminal-emulator",
      "enabled" : true,
      "id" : "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE",
      "name" : "Open Terminal",
      "trigger" : {
        "hotkey" : {
          "display" : "⌘⌥T",
          "keyCode" : 17,
          "modifiers" : 2304
        },
        "kind" : "hotkey"
      }
    }
  ],
  "cornerSensitivity" : 6,
  "globalEnabled" : true
}
)";
    EXPECT_EQ(encodeConfig(seedWithFixedIds()), expected);
}

TEST(ConfigJsonEncode, CompactFormDiffersOnlyInWhitespace) {
    AppConfig config = seedWithFixedIds();
    config.bindings[0].trigger.hotkey = HotkeyCombo{0, 0, "a b"};
    const auto pretty = encodeConfig(config, JsonLayout::pretty);
    const auto compact = encodeConfig(config, JsonLayout::compact);
    ASSERT_TRUE(pretty && compact);
    EXPECT_EQ(compact->find('\n'), std::string::npos);
    EXPECT_EQ(compact->substr(0, 25), R"({"bindings":[{"command":")");

    // Removing the whitespace outside strings from the pretty form gives the compact one.
    std::string squeezed;
    bool inString = false;
    for (std::size_t i = 0; i < pretty->size(); ++i) {
        const char c = (*pretty)[i];
        if (c == '"' && (i == 0 || (*pretty)[i - 1] != '\\')) {
            inString = !inString;
        }
        if (inString || (c != ' ' && c != '\n')) {
            squeezed.push_back(c);
        }
    }
    EXPECT_EQ(squeezed, *compact);
}

TEST(ConfigJsonEncode, EscapesSlashesAndControlsKeepsNonAsciiRaw) {
    AppConfig config;
    config.bindings.emplace_back("caf\u00E9 \"x\"\t", Trigger{TriggerKind::corner},
                                 "cd /tmp && echo 100% \\ done\n\x01");
    const auto json = encodeConfig(config, JsonLayout::compact);
    ASSERT_TRUE(json);
    EXPECT_NE(json->find(R"("command":"cd \/tmp && echo 100% \\ done\n\u0001")"), std::string::npos)
        << *json;
    EXPECT_NE(json->find("\"name\":\"caf\u00E9 \\\"x\\\"\\t\""), std::string::npos) << *json;
    EXPECT_NE(json->find(R"("trigger":{"kind":"corner"})"), std::string::npos) << *json;
    EXPECT_NE(json->find(R"("bindings":[)"), std::string::npos);

    const auto back = decodeConfig(*json);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bindings, config.bindings);
}

TEST(ConfigJsonEncode, IllFormedUtf8IsReplacedSoTheFileStaysReadable) {
    AppConfig config;
    config.bindings.emplace_back("bad \xFF name", Trigger{TriggerKind::corner}, "echo \xC0");
    const auto json = encodeConfig(config);
    ASSERT_TRUE(json);
    const auto back = decodeConfig(*json);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bindings[0].name, "bad \uFFFD name");
    EXPECT_EQ(back->bindings[0].command, "echo \uFFFD");
}

TEST(ConfigJsonEncode, NumbersAreShortestRoundTripAndWholeWithoutFraction) {
    const std::pair<double, const char*> cases[] = {{6.0, "6"},
                                                    {2.5, "2.5"},
                                                    {0.1, "0.1"},
                                                    {24.0, "24"},
                                                    {-3.0, "-3"},
                                                    {1e20, "1e+20"},
                                                    {12.345678901234567, "12.345678901234567"}};
    for (const auto& [value, text] : cases) {
        AppConfig config;
        config.cornerSensitivity = value;
        const auto json = encodeConfig(config, JsonLayout::compact);
        ASSERT_TRUE(json);
        EXPECT_NE(json->find(std::string("\"cornerSensitivity\":") + text + ","), std::string::npos)
            << *json;
        EXPECT_EQ(decodeConfig(*json)->cornerSensitivity, value);
    }
    AppConfig config;
    config.bindings.emplace_back(
        "max",
        Trigger{TriggerKind::hotkey, std::nullopt, HotkeyCombo{4294967295u, 4294967295u, ""}}, "c");
    const auto back = decodeConfig(*encodeConfig(config));
    EXPECT_EQ(back->bindings[0].trigger.hotkey->keyCode, 4294967295u);
}

TEST(ConfigJsonEncode, NonFiniteSensitivityFails) {
    for (double bad :
         {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        AppConfig config;
        config.cornerSensitivity = bad;
        EXPECT_EQ(encodeConfig(config), std::nullopt);
        EXPECT_EQ(encodeConfig(config, JsonLayout::compact), std::nullopt);
    }
}

TEST(ConfigJsonDecode, SeedRoundTripsBindingForBinding) {
    const AppConfig seed = ConfigStore::seed();
    for (JsonLayout layout : {JsonLayout::pretty, JsonLayout::compact}) {
        const auto back = decodeConfig(*encodeConfig(seed, layout));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->bindings, seed.bindings);
        EXPECT_TRUE(back->globalEnabled);
        EXPECT_EQ(back->cornerSensitivity, 6.0);
    }
}

// A valid document with one binding; each case below breaks one thing.
const char* const validBinding = R"({"command":"c","enabled":true,
  "id":"0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0","name":"n",
  "trigger":{"kind":"hotkey","hotkey":{"display":"d","keyCode":17,"modifiers":2304}}})";

std::string
document(const std::string& binding,
         const std::string& rootTail = R"("cornerSensitivity":6,"globalEnabled":true)") {
    return R"({"bindings":[)" + binding + "]," + rootTail + "}";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(ConfigJsonDecode, AcceptsTheLenientPartsOfTheFormat) {
    const auto base = decodeConfig(document(validBinding));
    ASSERT_TRUE(base);
    EXPECT_EQ(base->bindings[0].trigger.hotkey, (HotkeyCombo{17, 2304, "d"}));
    EXPECT_EQ(base->bindings[0].id.toString(), "0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0");

    const std::string b = validBinding;
    const std::pair<std::string, std::string> accepted[] = {
        {"null corner", replaced(b, R"("kind":"hotkey",)", R"("kind":"hotkey","corner":null,)")},
        {"null hotkey", replaced(b, R"("hotkey":{"display":"d","keyCode":17,"modifiers":2304})",
                                 R"("hotkey":null)")},
        {"unknown keys", replaced(b, R"("name":"n",)", R"("name":"n","colour":[1,{}],)")},
        {"whole float", replaced(b, "17", "17.0")},
        {"exponent", replaced(b, "2304", "2.304e3")},
        {"upper-case id", replaced(b, "0f1e2d3c-4b5a", "0F1E2D3C-4B5A")},
    };
    for (const auto& [what, binding] : accepted) {
        EXPECT_TRUE(decodeConfig(document(binding))) << what;
    }
    const auto noFields = decodeConfig(document(accepted[1].second));
    EXPECT_EQ(noFields->bindings[0].trigger.hotkey, std::nullopt);
    EXPECT_EQ(noFields->bindings[0].trigger.corner, std::nullopt);

    EXPECT_TRUE(decodeConfig(" \n{\"globalEnabled\":false,\"cornerSensitivity\":2.5,"
                             "\"bindings\":[],\"extra\":1}\n"));
    EXPECT_EQ(
        decodeConfig(document(validBinding, R"("cornerSensitivity":1e2,"globalEnabled":true)"))
            ->cornerSensitivity,
        100.0);
}

TEST(ConfigJsonDecode, OneBadFieldFailsTheWholeDocument) {
    const std::string b = validBinding;
    const std::pair<std::string, std::string> rejected[] = {
        {"no enabled", replaced(b, R"("enabled":true,)", "")},
        {"no id", replaced(b, R"("id":"0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0",)", "")},
        {"null name", replaced(b, R"("name":"n")", R"("name":null)")},
        {"no trigger kind", replaced(b, R"("kind":"hotkey",)", "")},
        {"capital kind", replaced(b, R"("kind":"hotkey")", R"("kind":"Hotkey")")},
        {"capital corner",
         replaced(b, R"("kind":"hotkey",)", R"("kind":"hotkey","corner":"TopLeft",)")},
        {"corner as number", replaced(b, R"("kind":"hotkey",)", R"("kind":"hotkey","corner":1,)")},
        {"keyCode -1", replaced(b, "17", "-1")},
        {"keyCode 2^32", replaced(b, "17", "4294967296")},
        {"keyCode 17.5", replaced(b, "17", "17.5")},
        {"keyCode string", replaced(b, "17", "\"17\"")},
        {"modifiers missing", replaced(b, R"(,"modifiers":2304)", "")},
        {"display missing", replaced(b, R"("display":"d",)", "")},
        {"hotkey not object",
         replaced(b, R"({"display":"d","keyCode":17,"modifiers":2304})", "[]")},
        {"enabled as 1", replaced(b, R"("enabled":true)", R"("enabled":1)")},
        {"enabled as string", replaced(b, R"("enabled":true)", R"("enabled":"true")")},
        {"command as number", replaced(b, R"("command":"c")", R"("command":5)")},
        {"bad id", replaced(b, "0f1e2d3c-", "0f1e2d3c")},
        {"binding not object", "[]"},
    };
    for (const auto& [what, binding] : rejected) {
        // Alone, and as the second of two otherwise good bindings.
        EXPECT_FALSE(decodeConfig(document(binding))) << what;
        EXPECT_FALSE(decodeConfig(document(b + "," + binding))) << what;
    }

    const std::pair<std::string, std::string> badDocuments[] = {
        {"empty", ""},
        {"array", "[]"},
        {"truncated", document(b).substr(0, 60)},
        {"no sensitivity", document(b, R"("globalEnabled":true)")},
        {"no globalEnabled", document(b, R"("cornerSensitivity":6)")},
        {"globalEnabled as 1", document(b, R"("cornerSensitivity":6,"globalEnabled":1)")},
        {"globalEnabled as word", document(b, R"("cornerSensitivity":6,"globalEnabled":"true")")},
        {"sensitivity as string", document(b, R"("cornerSensitivity":"6","globalEnabled":true)")},
        {"sensitivity overflows", document(b, R"("cornerSensitivity":1e999,"globalEnabled":true)")},
        {"bindings not array", R"({"bindings":{},"cornerSensitivity":6,"globalEnabled":true})"},
        {"bindings null", R"({"bindings":null,"cornerSensitivity":6,"globalEnabled":true})"},
        {"trailing garbage", document(b) + "x"},
        {"two documents", document(b) + document(b)},
        {"ill-formed UTF-8", replaced(document(b), R"("name":"n")", "\"name\":\"\xFF\"")},
        {"comment", "// hi\n" + document(b)},
    };
    for (const auto& [what, text] : badDocuments) {
        EXPECT_FALSE(decodeConfig(text)) << what;
    }
}

TEST(ConfigJsonDecode, StaleFieldsSurviveARoundTrip) {
    AppConfig config;
    config.bindings.emplace_back(
        "both", Trigger{TriggerKind::hotkey, ScreenCorner::bottomRight, HotkeyCombo{1, 2, "x"}},
        "c", false);
    const auto json = encodeConfig(config, JsonLayout::compact);
    EXPECT_NE(json->find(R"("corner":"bottomRight","hotkey":{)"), std::string::npos);
    EXPECT_EQ(decodeConfig(*json)->bindings, config.bindings);
}

} // namespace
} // namespace tarnwick
