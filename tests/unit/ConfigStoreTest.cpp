#include "config/ConfigStore.h"
#include "config/ConfigJson.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

unsigned permissions(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 0777u;
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isSeed(const AppConfig& config) {
    const AppConfig seed = ConfigStore::seed();
    if (config.bindings.size() != 2 || !config.globalEnabled || config.cornerSensitivity != 6.0) {
        return false;
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& got = config.bindings[i];
        const auto& want = seed.bindings[i];
        if (got.name != want.name || got.trigger != want.trigger || got.command != want.command ||
            got.enabled != want.enabled) {
            return false;
        }
    }
    return true;
}

class ConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnwick-store-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_dir = m_root / "config" / "Tarnwick";
        m_file = m_dir / "config.json";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_root, fs::perms::owner_all, ignored);
        fs::remove_all(m_root, ignored);
    }

    // The files beside config.json that hold rejected content.
    std::vector<fs::path> rejectedFiles() const {
        std::vector<fs::path> found;
        for (const auto& name : namesIn(m_dir)) {
            if (name.rfind("config.json.rejected-", 0) == 0) {
                found.push_back(m_dir / name);
            }
        }
        return found;
    }

    fs::path m_root;
    fs::path m_dir;
    fs::path m_file;
};

TEST_F(ConfigStoreTest, FirstStartCreatesPrivateDirectoryAndSeedFile) {
    ConfigStore store(m_dir);
    store.load();
    EXPECT_TRUE(isSeed(store.config));
    EXPECT_EQ(permissions(m_dir), 0700u);
    EXPECT_EQ(permissions(m_file), 0600u);
    EXPECT_EQ(namesIn(m_dir), std::vector<std::string>{"config.json"});

    const auto onDisk = decodeConfig(readFile(m_file));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->bindings, store.config.bindings);

    // The next start reads the same ids back and writes nothing.
    const std::string before = readFile(m_file);
    ConfigStore again(m_dir);
    again.load();
    EXPECT_EQ(again.config.bindings, store.config.bindings);
    EXPECT_EQ(readFile(m_file), before);
}

TEST_F(ConfigStoreTest, ValidFileIsLeftByteForByte) {
    fs::create_directories(m_dir);
    // Not in our own layout: compact, lower-case id, an unknown key.
    const std::string original =
        R"({"extra":1,"globalEnabled":false,"cornerSensitivity":2.5,"bindings":[{"command":"echo /","enabled":false,"id":"0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0","name":"n","trigger":{"kind":"corner","corner":"bottomRight"}}]})";
    writeFile(m_file, original);
    ConfigStore store(m_dir);
    store.load();
    EXPECT_EQ(readFile(m_file), original);
    EXPECT_FALSE(store.config.globalEnabled);
    EXPECT_EQ(store.config.cornerSensitivity, 2.5);
    ASSERT_EQ(store.config.bindings.size(), 1u);
    EXPECT_EQ(store.config.bindings[0].command, "echo /");

    // The next save normalises it: sorted keys, upper-case id, no unknown key.
    ASSERT_TRUE(store.save());
    const std::string saved = readFile(m_file);
    EXPECT_EQ(saved.find("extra"), std::string::npos);
    EXPECT_NE(saved.find("0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0"), std::string::npos);
    EXPECT_LT(saved.find("\"bindings\""), saved.find("\"cornerSensitivity\""));
    EXPECT_LT(saved.find("\"cornerSensitivity\""), saved.find("\"globalEnabled\""));
    EXPECT_NE(saved.find(R"("command" : "echo \/")"), std::string::npos);
}

TEST_F(ConfigStoreTest, RejectedFilesAreKeptAsideAndTheSeedTakesOver) {
    fs::create_directories(m_dir);
    const std::string valid = *encodeConfig(ConfigStore::seed());
    const std::string missingEnabled = [&] {
        std::string text = valid;
        text.erase(text.find("\"enabled\" : true,"), 17);
        return text;
    }();
    const std::pair<std::string, std::string> broken[] = {
        {"empty", ""},
        {"truncated", valid.substr(0, valid.size() / 2)},
        {"wrong type", "[1,2,3]"},
        {"missing enabled", missingEnabled},
        {"binary", std::string("\0\xFF\x01", 3)},
    };
    std::vector<std::string> kept;
    for (const auto& [what, content] : broken) {
        writeFile(m_file, content);
        kept.push_back(content);
        ConfigStore store(m_dir);
        store.load();
        EXPECT_TRUE(isSeed(store.config)) << what;
        EXPECT_TRUE(decodeConfig(readFile(m_file))) << what;
        EXPECT_EQ(permissions(m_file), 0600u);
    }
    // Every rejected file is still there, each under its own name, even
    // when several were set aside within the same second.
    std::vector<std::string> found;
    for (const auto& path : rejectedFiles()) {
        found.push_back(readFile(path));
    }
    std::sort(found.begin(), found.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(found, kept);
}

TEST_F(ConfigStoreTest, OversizedFileIsRejectedUnread) {
    fs::create_directories(m_dir);
    {
        std::ofstream out(m_file, std::ios::binary);
        out << R"({"bindings":[],"cornerSensitivity":6,"globalEnabled":true, "pad":")";
        out << std::string(ConfigStore::maximumFileSize, 'x') << "\"}";
    }
    const auto size = fs::file_size(m_file);
    ConfigStore store(m_dir);
    store.load();
    EXPECT_TRUE(isSeed(store.config));
    ASSERT_EQ(rejectedFiles().size(), 1u);
    EXPECT_EQ(fs::file_size(rejectedFiles()[0]), size);
}

TEST_F(ConfigStoreTest, DirectoryInPlaceOfTheFileIsSetAsideWithItsContent) {
    fs::create_directories(m_file);
    writeFile(m_file / "keep.txt", "mine");
    ConfigStore store(m_dir);
    store.load();
    EXPECT_TRUE(isSeed(store.config));
    EXPECT_TRUE(fs::is_regular_file(m_file));
    ASSERT_EQ(rejectedFiles().size(), 1u);
    EXPECT_EQ(readFile(rejectedFiles()[0] / "keep.txt"), "mine");
}

TEST_F(ConfigStoreTest, FifoInPlaceOfTheFileDoesNotBlockTheStart) {
    fs::create_directories(m_dir);
    ASSERT_EQ(::mkfifo(m_file.c_str(), 0600), 0);
    ConfigStore store(m_dir);
    store.load();
    EXPECT_TRUE(isSeed(store.config));
    EXPECT_TRUE(fs::is_regular_file(m_file));
    ASSERT_EQ(rejectedFiles().size(), 1u);
    EXPECT_TRUE(fs::is_fifo(rejectedFiles()[0]));
}

TEST_F(ConfigStoreTest, UnusableDirectoryLeavesTheSeedInMemoryAndTouchesNothing) {
    fs::create_directories(m_dir.parent_path());
    writeFile(m_dir, "a file where the directory should be");
    ConfigStore store(m_dir);
    store.load();
    EXPECT_TRUE(isSeed(store.config));
    EXPECT_FALSE(store.save());
    EXPECT_EQ(readFile(m_dir), "a file where the directory should be");
}

TEST_F(ConfigStoreTest, SaveWritesDefaultsBeforeAnyLoadAndRefusesNonFiniteValues) {
    ConfigStore store(m_dir);
    ASSERT_TRUE(store.save());
    const auto defaults = decodeConfig(readFile(m_file));
    ASSERT_TRUE(defaults);
    EXPECT_TRUE(defaults->bindings.empty());
    EXPECT_TRUE(defaults->globalEnabled);
    EXPECT_EQ(defaults->cornerSensitivity, 6.0);

    const std::string before = readFile(m_file);
    store.config.cornerSensitivity = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(store.save());
    EXPECT_EQ(readFile(m_file), before);
}

TEST_F(ConfigStoreTest, FailedWriteLeavesTheOldFileWholeAndNoTemporaryBehind) {
    ConfigStore store(m_dir);
    store.load();
    const std::string before = readFile(m_file);

    for (int i = 0; i < 200; ++i) {
        store.config.bindings.emplace_back("binding " + std::to_string(i),
                                           Trigger{TriggerKind::corner}, "echo padding");
    }
    // A file-size limit makes the write fail part way, as a full disk would.
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = store.save();
    ::setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(m_file), before);
    EXPECT_EQ(namesIn(m_dir), std::vector<std::string>{"config.json"});
    EXPECT_EQ(store.config.bindings.size(), 202u);
}

TEST_F(ConfigStoreTest, SymlinkedConfigIsWrittenThroughNotReplaced) {
    fs::create_directories(m_dir);
    const fs::path dotfiles = m_root / "dotfiles";
    fs::create_directories(dotfiles);
    ConfigStore seedWriter(dotfiles);
    seedWriter.load();
    fs::create_symlink(dotfiles / "config.json", m_file);

    ConfigStore store(m_dir);
    store.load();
    store.config.globalEnabled = false;
    ASSERT_TRUE(store.save());
    EXPECT_TRUE(fs::is_symlink(m_file));
    EXPECT_FALSE(decodeConfig(readFile(dotfiles / "config.json"))->globalEnabled);
}

TEST_F(ConfigStoreTest, SeedsDifferOnlyInIds) {
    const AppConfig a = ConfigStore::seed();
    const AppConfig b = ConfigStore::seed();
    ASSERT_EQ(a.bindings.size(), 2u);
    EXPECT_TRUE(isSeed(a));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NE(a.bindings[i].id, b.bindings[i].id);
        CommandBinding sameId = b.bindings[i];
        sameId.id = a.bindings[i].id;
        EXPECT_EQ(sameId, a.bindings[i]);
    }
    EXPECT_EQ(a.bindings[1].trigger.hotkey, (HotkeyCombo{17, 2304, "\u2318\u2325T"}));
}

TEST_F(ConfigStoreTest, DefaultDirectoryFollowsXdgThenHomeThenPasswd) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdgCopy = savedXdg ? savedXdg : "";
    const std::string homeCopy = savedHome ? savedHome : "";

    ::setenv("XDG_CONFIG_HOME", (m_root / "xdg").c_str(), 1);
    ::setenv("HOME", (m_root / "home").c_str(), 1);
    EXPECT_EQ(ConfigStore::defaultDirectory(), m_root / "xdg" / "Tarnwick");
    ConfigStore store;
    EXPECT_EQ(store.fileLocation(), (m_root / "xdg" / "Tarnwick" / "config.json").string());
    EXPECT_TRUE(fs::is_directory(m_root / "xdg" / "Tarnwick"));

    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(ConfigStore::defaultDirectory(), m_root / "home" / ".config" / "Tarnwick");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(ConfigStore::defaultDirectory(), m_root / "home" / ".config" / "Tarnwick");

    ::unsetenv("HOME");
    const auto fromPasswd = ConfigStore::defaultDirectory();
    ASSERT_TRUE(fromPasswd);
    EXPECT_EQ(fromPasswd->filename(), "Tarnwick");
    EXPECT_EQ(fromPasswd->parent_path().filename(), ".config");

    savedXdg ? ::setenv("XDG_CONFIG_HOME", xdgCopy.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    savedHome ? ::setenv("HOME", homeCopy.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
} // namespace tarnwick
