// Runs the real tarnwick binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
namespace fs = std::filesystem;

struct ProcessRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return text;
}

// Runs the binary with argv and extra environment, stdout and stderr apart.
// Small outputs only: stdout is read before stderr.
ProcessRun runTarnwick(std::vector<std::string> argv, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0) {
            env.push_back(entry);
        }
    }
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (auto& s : strings) {
            result.push_back(s.data());
        }
        result.push_back(nullptr);
        return result;
    };
    auto argp = pointers(argv);
    auto envp = pointers(env);

    int out[2];
    int err[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, TARNWICK_BINARY, &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    ProcessRun run;
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return run;
    }
    run.out = drain(out[0]);
    run.err = drain(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnwick-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_home = pattern;
    }
    void TearDown() override { fs::remove_all(m_home); }

    std::vector<std::string> isolatedEnvironment() const {
        return {"HOME=" + m_home.string(), "XDG_CONFIG_HOME=" + (m_home / "xdg").string()};
    }

    fs::path m_home;
};

TEST_F(CommandLine, SelfTestPrintsFourteenLinesAndTouchesNoConfiguration) {
    for (const std::vector<std::string>& argv :
         {std::vector<std::string>{"tarnwick", "--selftest"},
          std::vector<std::string>{"tarnwick", "x", "--selftest", "-v"},
          std::vector<std::string>{"--selftest"}}) {
        const ProcessRun run = runTarnwick(argv, isolatedEnvironment());
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 14) << run.out;
        EXPECT_EQ(run.out.rfind("Tarnwick self-test\n", 0), 0u);
        EXPECT_NE(run.out.find("\nSelf-test complete: 0 failure(s)\n"), std::string::npos);
        EXPECT_EQ(run.err, "");
        // zsh's login files may be read from HOME, but nothing is written.
        EXPECT_TRUE(fs::is_empty(m_home)) << "selftest wrote into HOME";
    }
}

// The application mode needs an X server; without one it says so and stops
// before touching the configuration.
TEST_F(CommandLine, WithoutTheExactSwitchTheApplicationModeIsChosen) {
    for (const char* near : {"--selftestx", "-selftest", "--SELFTEST"}) {
        const ProcessRun run = runTarnwick({"tarnwick", near}, isolatedEnvironment());
        EXPECT_EQ(run.exitStatus, 1) << near;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "tarnwick: no X display: DISPLAY is not set\n");
    }
    EXPECT_TRUE(fs::is_empty(m_home));
}

} // namespace
