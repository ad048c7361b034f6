#include "config/ConfigJson.h"
#include "config/ConfigStore.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <limits>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>

namespace tarnwick {
namespace {
namespace fs = std::filesystem;
using test::readWholeFile;

TEST(Records, CornerRawValuesAndFreshIds) {
    const char* const raw[] = {"topLeft", "topRight", "bottomLeft", "bottomRight"};
    for (std::size_t i = 0; i < allScreenCorners.size(); ++i) {
        EXPECT_EQ(screenCornerFromRawValue(raw[i]), allScreenCorners[i]);
        EXPECT_EQ(rawValue(allScreenCorners[i]), raw[i]);
    }
    const std::string id = CommandBinding("n", Trigger{TriggerKind::corner}, "c").id.toString();
    EXPECT_TRUE(id[14] == '4' && id != Uuid::random().toString()) << id;
    EXPECT_FALSE(Uuid::parse("0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0 "));
}

const Uuid firstId = *Uuid::parse("11111111-2222-4333-8444-555555555555");
const Uuid secondId = *Uuid::parse("aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee");

TEST(ConfigJsonEncode, SeedInThePrettyFormSortedAndIndented) {
    AppConfig seed = ConfigStore::seed();
    seed.bindings[0].id = firstId;
    seed.bindings[1].id = secondId;
    const std::string compact =
        R"({"bindings":[{"command":"xset dpms force off","enabled":true,)"
        R"("id":"11111111-2222-4333-8444-555555555555","name":"Sleep display",)"
        R"("trigger":{"corner":"topLeft","kind":"corner"}},{"command":"x-terminal-emulator",)"
        R"("enabled":true,"id":"AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE","name":"Open Terminal",)"
        R"("trigger":{"hotkey":{"display":"⌘⌥T","keyCode":17,"modifiers":2304},"kind":"hotkey"}}],)"
        R"("cornerSensitivity":6,"globalEnabled":true})";
    EXPECT_EQ(encodeConfig(seed, JsonLayout::compact), compact);
    // Pretty is two spaces a level, keys sorted, as the JSON library lays it
    // out, but with " : " between key and value.
    std::string pretty = nlohmann::json::parse(compact).dump(2) + "\n";
    for (auto at = pretty.find("\": "); at != std::string::npos; at = pretty.find("\": ", at + 3)) {
        pretty.insert(at + 1, " ");
    }
    EXPECT_EQ(encodeConfig(seed), pretty);
    EXPECT_EQ(
        encodeConfig(AppConfig{}),
        "{\n  \"bindings\" : [],\n  \"cornerSensitivity\" : 6,\n  \"globalEnabled\" : true\n}\n");
}

TEST(ConfigJsonEncode, CompactFormEscapesAndKeepsStaleFieldsThroughARoundTrip) {
    AppConfig config;
    config.globalEnabled = false;
    config.cornerSensitivity = 1.2345678901; // more digits than %g gives, fewer than %.17g
    config.bindings.emplace_back(firstId, "caf\u00E9 \"x\"\t",
                                 Trigger{TriggerKind::corner, std::nullopt, HotkeyCombo{0, 0, ""}},
                                 "cd /tmp && echo 100% \\ done\n\x01\x1f\b\f\r", false);
    config.bindings.emplace_back(
        secondId, "s\xFF",
        Trigger{TriggerKind::hotkey, ScreenCorner::bottomRight, HotkeyCombo{4294967295u, 1, "x"}},
        "c");
    const auto json = encodeConfig(config, JsonLayout::compact);
    // Ill-formed UTF-8 is written as U+FFFD: the file must stay readable.
    EXPECT_EQ(
        json,
        R"({"bindings":[{"command":"cd \/tmp && echo 100% \\ done\n\u0001\u001f\b\f\r",)"
        R"("enabled":false,"id":"11111111-2222-4333-8444-555555555555",)"
        R"("name":"café \"x\"\t","trigger":{"hotkey":{"display":"","keyCode":0,"modifiers":0},)"
        R"("kind":"corner"}},{"command":"c",)"
        R"("enabled":true,"id":"AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE","name":"s�",)"
        R"("trigger":{"corner":"bottomRight","hotkey":{"display":"x",)"
        R"("keyCode":4294967295,"modifiers":1},"kind":"hotkey"}}],)"
        R"("cornerSensitivity":1.2345678901,"globalEnabled":false})");
    const AppConfig back = decodeConfig(json.value_or("")).value_or(AppConfig{});
    config.bindings[1].name = "s\uFFFD";
    EXPECT_EQ(back.bindings, config.bindings);
    EXPECT_FALSE(back.globalEnabled);
    EXPECT_EQ(back.cornerSensitivity, 1.2345678901);
}

// A good document; the cases below change one thing in it.
const std::string good =
    R"({"bindings":[{"command":"c","enabled":true,"id":"0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0",)"
    R"("name":"n","trigger":{"kind":"hotkey","hotkey":{"display":"d","keyCode":17,)"
    R"("modifiers":2304}}}],"cornerSensitivity":6,"globalEnabled":true})";

std::string edited(const std::string& from, const std::string& to = "", std::string text = good) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(std::min(at, text.size()), from.size(), to);
}

TEST(ConfigJsonDecode, OneBadFieldFailsTheWholeDocument) {
    const std::string bad[] = {
        edited(R"("enabled":true,)"),
        edited(R"("id":"0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0",)"),
        edited(R"("name":"n")", R"("name":null)"),
        edited(R"("kind":"hotkey")", R"("kind":"Hotkey")"),
        edited(R"("kind":"hotkey",)", R"("kind":"hotkey","corner":"TopLeft",)"),
        edited("17", "-1"),
        edited("17", "4294967296"),
        edited("17", "17.5"),
        edited("17", "\"17\""),
        edited(R"(,"modifiers":2304)"),
        edited(R"("display":"d",)"),
        edited(R"("enabled":true)", R"("enabled":1)"),
        edited(R"("command":"c")", R"("command":5)"),
        edited("0f1e2d3c-", "0f1e2d3c"),
        edited(R"("cornerSensitivity":6,)"),
        edited(R"(,"globalEnabled":true)"),
        edited(R"("cornerSensitivity":6)", R"("cornerSensitivity":"6")"),
        R"({"bindings":{},"cornerSensitivity":6,"globalEnabled":true})",
        good.substr(0, 60),
        good + "x",
        "// comment\n" + good,
        "[]",
        ""};
    for (const std::string& text : bad) {
        EXPECT_FALSE(decodeConfig(text)) << text;
    }
}

// The seed's records, whatever their ids.
bool isSeed(AppConfig config) {
    const AppConfig seed = ConfigStore::seed();
    for (std::size_t i = 0; i < std::min(config.bindings.size(), seed.bindings.size()); ++i) {
        config.bindings[i].id = seed.bindings[i].id;
    }
    return encodeConfig(config) == encodeConfig(seed);
}

class ConfigStoreTest : public testing::Test {
protected:
    void write(const std::string& bytes) const {
        fs::create_directories(dir);
        std::ofstream(file, std::ios::binary) << bytes;
    }
    AppConfig load() {
        ConfigStore store(dir);
        problem = store.load();
        return store.config;
    }
    // The last load put the file aside and said why and under which name.
    void expectKeptAside(const std::string& why) const {
        ASSERT_TRUE(problem && problem->kind == StoreProblem::Kind::rejectedFile &&
                    problem->keptAs);
        EXPECT_TRUE(fs::exists(fs::symlink_status(*problem->keptAs)));
        for (const std::string& part : {why, problem->keptAs->filename().string()}) {
            EXPECT_NE(problem->message.find(part), std::string::npos) << problem->message;
        }
    }
    // Files set aside, or temporaries left behind.
    std::vector<fs::path> beside() const {
        std::vector<fs::path> found;
        std::ranges::copy_if(fs::directory_iterator(dir), std::back_inserter(found),
                             [this](const fs::path& path) { return path != file; });
        return found;
    }

    test::Sandbox sandbox;
    fs::path dir = sandbox.root() / "store" / "Tarnwick";
    fs::path file = dir / "config.json";
    std::optional<StoreProblem> problem;
};

TEST_F(ConfigStoreTest, FirstStartWritesAPrivateSeedThatLaterStartsOnlyRead) {
    const AppConfig first = load();
    EXPECT_FALSE(problem);
    EXPECT_TRUE(isSeed(first));
    EXPECT_EQ(readWholeFile(file), encodeConfig(first));
    EXPECT_EQ(fs::status(dir.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    // A second name for the file tells whether it was replaced.
    fs::create_hard_link(file, sandbox.root() / "link");
    // What a killed save left goes at the next start; names merely like it stay.
    const std::string others[] = {".config.json.a1B2c", ".config.json.a1B2c3d",
                                  ".config.json.a1-2c3", "config.json.a1B2c3",
                                  ".config.jsn.a1B2c3"};
    for (const std::string& name : others) {
        std::ofstream(dir / name) << "{";
    }
    std::ofstream(dir / ".config.json.a1B2c3") << "{";
    // A valid file in another layout is read as it is and left alone.
    const std::string foreign =
        edited("17", "17.0", edited(R"("kind")", R"("corner":null,"kind")"));
    write(foreign);
    EXPECT_EQ(load().bindings.at(0).trigger,
              (Trigger{TriggerKind::hotkey, std::nullopt, HotkeyCombo{17, 2304, "d"}}));
    EXPECT_FALSE(problem);
    EXPECT_EQ(readWholeFile(file), foreign);
    EXPECT_EQ(fs::hard_link_count(file), 2u);
    EXPECT_FALSE(fs::exists(dir / ".config.json.a1B2c3"));
    EXPECT_EQ(beside().size(), std::size(others));
}

TEST_F(ConfigStoreTest, WhatCannotBeUsedIsSetAsideWholeUnderAStampedNameForTheSeed) {
    const std::string seed = encodeConfig(ConfigStore::seed()).value_or("");
    const std::string tooLarge(ConfigStore::maximumFileSize + 1, ' ');
    // What takes the file's place, what it holds, and the reason given.
    const std::tuple<std::function<void()>, std::string, std::string> cases[] = {
        {[&] { write(""); }, "", "it is empty"},
        {[&] { write(seed.substr(0, 99)); }, seed.substr(0, 99), "not valid JSON"},
        {[&] { write("[1,2,3]"); }, "[1,2,3]", "not valid JSON"},
        {[&] { write(tooLarge); }, tooLarge, "larger than 16 MiB"},
        // Must not block the start.
        {[&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, "", "not a regular file"},
        {[&] { fs::create_symlink(dir / "nowhere", file); }, "", "does not exist"},
        {[&] { fs::create_symlink(file, file); }, "", std::generic_category().message(ELOOP)}};
    for (const auto& [make, bytes, why] : cases) {
        fs::create_directories(dir);
        fs::remove(file);
        make();
        EXPECT_TRUE(isSeed(load()));
        expectKeptAside(why);
        EXPECT_TRUE(decodeConfig(readWholeFile(file)));
        if (problem && problem->keptAs &&
            fs::is_regular_file(fs::symlink_status(*problem->keptAs))) {
            EXPECT_EQ(readWholeFile(*problem->keptAs), bytes);
        }
    }
    // Each under a name of its own, even within one second.
    for (const fs::path& path : beside()) {
        EXPECT_TRUE(std::regex_match(path.filename().string(),
                                     std::regex(R"(config\.json\.rejected-\d{8}T\d{6}Z(-[2-7])?)")))
            << path;
    }
    EXPECT_EQ(beside().size(), std::size(cases));
}

TEST_F(ConfigStoreTest, WhatCannotBeSetAsideIsNeverOverwritten) {
    fs::create_directories(dir.parent_path());
    std::ofstream(dir) << "mine";
    EXPECT_TRUE(isSeed(load()));
    EXPECT_EQ(readWholeFile(dir), "mine");
    fs::remove(dir);
    write("{broken");
    ConfigStore store(dir);
    store.setAside = [](const fs::path&) -> std::optional<fs::path> { return std::nullopt; };
    problem = store.load();
    EXPECT_TRUE(problem && problem->kind == StoreProblem::Kind::rejectedFile && !problem->keptAs);
    EXPECT_FALSE(store.save().reason.empty());
    EXPECT_EQ(readWholeFile(file), "{broken");
    EXPECT_TRUE(beside().empty());
    // Once the directory lets it go, the next save moves it first.
    store.setAside = fileops::setAside;
    EXPECT_TRUE(store.save());
    ASSERT_EQ(beside().size(), 1u);
    EXPECT_EQ(readWholeFile(beside()[0]), "{broken");
    EXPECT_EQ(readWholeFile(file), encodeConfig(store.config));
}

TEST_F(ConfigStoreTest, FailedSaveLeavesTheOldFileWholeAndNothingBeside) {
    ConfigStore store(dir);
    store.load();
    const std::string before = readWholeFile(file);
    store.config.cornerSensitivity = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(store.save());
    store.config.cornerSensitivity = 6;
    // One byte more than load() reads back.
    store.config.bindings[0].command.clear();
    const std::size_t rest = encodeConfig(store.config)->size();
    store.config.bindings[0].command.assign(ConfigStore::maximumFileSize + 1 - rest, 'x');
    EXPECT_FALSE(store.save());
    store.config.bindings[0].command = std::string(8192, 'x');
    // A file-size limit makes the write fail part way, as a full disk would.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit original = limit;
    limit.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const SaveResult saved = store.save();
    ::setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(saved.reason.find(std::generic_category().message(EFBIG)), std::string::npos)
        << saved.reason;
    EXPECT_EQ(readWholeFile(file), before);
    EXPECT_TRUE(beside().empty());
}

// An absolute XDG_CONFIG_HOME is followed, as every run of the program shows.
TEST_F(ConfigStoreTest, DefaultDirectoryIsInHomeWithoutAnAbsoluteXdgConfigHome) {
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", sandbox.home().c_str(), 1);
    EXPECT_EQ(ConfigStore::defaultDirectory(), sandbox.home() / ".config" / "Tarnwick");
}

} // namespace
} // namespace tarnwick
