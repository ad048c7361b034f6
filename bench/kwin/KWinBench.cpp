// Entering the top-left corner until its command starts, through our own X11
// watcher and through KWin's screen edges, in one run under one real KWin
// (kwin_x11 on an Xvfb of its own); and KWin's part of it, from the first
// contact to its call of CornerEntered. Figures, not pass/fail. Run:
//   build/ci/bench/kwin/tarnwick_kwin_bench [entries, default 20]
#include "kwin/KWinSession.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <thread>

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace tarnwick::test;

std::int64_t nowNs() {
    // CLOCK_REALTIME: the stamp helper's clock, and dbus-monitor's.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// All numbers of a kind in a file, in order: the stamps, or the times of the
// CornerEntered calls that dbus-monitor saw.
std::vector<std::int64_t> stamps(const fs::path& file) {
    std::vector<std::int64_t> values;
    std::istringstream lines(readWholeFile(file));
    for (std::string line; std::getline(lines, line);) {
        values.push_back(std::stoll(line));
    }
    return values;
}
std::vector<std::int64_t> calls(const fs::path& monitor) {
    static const std::regex call(R"(time=(\d+)\.(\d{6}) .*member=CornerEntered)");
    std::vector<std::int64_t> values;
    const std::string text = readWholeFile(monitor);
    for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
        values.push_back(std::stoll((*it)[1]) * 1'000'000'000 + std::stoll((*it)[2]) * 1000);
    }
    return values;
}

void summarise(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-50s no figures\n", what);
        return;
    }
    std::ranges::sort(ms);
    std::printf("%-50s median %7.2f ms   min %7.2f   max %7.2f   (n=%zu)\n", what,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

struct Bench {
    Sandbox sandbox;
    std::unique_ptr<XServer> x = XServer::startXvfb("1280x800x24");
    std::unique_ptr<TestClient> client = x ? TestClient::connect(x->display()) : nullptr;
    std::unique_ptr<KWinSession> kwin;
    fs::path stampFile = sandbox.root() / "corner.stamps";

    bool start() {
        // The top-left corner freed of KWin 5's Present Windows.
        kwin = client ? KWinSession::start(sandbox, x->display(),
                                           "[Effect-windowview]\nBorderActivateAll=9\n")
                      : nullptr;
        sandbox.writeConfig(
            R"({"bindings":[{"command":"')" STAMP_HELPER "' '" + stampFile.string() +
            R"('","enabled":true,"id":"11111111-2222-4333-8444-555555555552","name":"Corner",)"
            R"("trigger":{"corner":"topLeft","kind":"corner"}}],)"
            R"("cornerSensitivity":6,"globalEnabled":true})");
        return kwin != nullptr;
    }
    std::unique_ptr<Process> app(const std::string& name, bool throughKWin) {
        auto process = Process::spawn(
            {TARNWICK_BINARY},
            sandbox.environment({{"DISPLAY", x->display()},
                                 {"DBUS_SESSION_BUS_ADDRESS", kwin->address},
                                 {"TARNWICK_KWIN_CORNERS", throughKWin ? "1" : "0"}}),
            sandbox.root() / (name + ".err"));
        eventually([&] { return throughKWin ? kwin->scriptLoaded() : true; }, 10s);
        std::this_thread::sleep_for(1s);
        return process;
    }
    void quit(std::unique_ptr<Process>& app) const {
        kwin->call("io.github.tarnwick.Tarnwick", "/io/github/tarnwick/Tarnwick",
                   "io.github.tarnwick.Tarnwick.Quit");
        app->waitForExit(10s);
    }
    // From mid-screen, past KWin's cooldown, into the corner; then pushing
    // every 2 ms, as a mouse moved on does, until the command has started.
    // The first contact's instant, or nothing when nothing started.
    std::optional<std::int64_t> enter(std::size_t count, bool keepPushing) {
        client->moveTo(640, 400);
        client->sync();
        std::this_thread::sleep_for(500ms);
        const std::int64_t contact = nowNs();
        client->moveTo(0, 0);
        client->sync();
        const auto until = std::chrono::steady_clock::now() + 2s;
        while (stamps(stampFile).size() < count) {
            if (std::chrono::steady_clock::now() > until) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(2ms);
            if (keepPushing) {
                client->moveTo(0, 0);
                client->sync();
            }
        }
        return contact;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    const int entries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    Bench bench;
    if (!bench.start()) {
        std::fputs("no KWin session\n", stderr);
        return 1;
    }
    std::vector<double> watcher, kwinPart, ourPart, total;
    auto app = bench.app("x11", false);
    for (int i = 0; i < entries; ++i) {
        if (const auto contact = bench.enter(watcher.size() + 1, false)) {
            watcher.push_back(static_cast<double>(stamps(bench.stampFile).back() - *contact) / 1e6);
        }
    }
    bench.quit(app);

    const fs::path monitor = bench.sandbox.root() / "monitor";
    auto watch = Process::spawn({"sh", "-c", "exec dbus-monitor \"$@\" >&2", "sh", "--address",
                                 bench.kwin->address, "member='CornerEntered'"},
                                bench.sandbox.environment(), monitor);
    app = bench.app("kwin", true);
    const std::size_t before = stamps(bench.stampFile).size();
    for (int i = 0; i < entries; ++i) {
        const std::size_t count = stamps(bench.stampFile).size() + 1;
        const auto contact = bench.enter(count, true);
        const auto called = calls(monitor);
        if (contact && called.size() == count - before) {
            const std::int64_t started = stamps(bench.stampFile).back();
            kwinPart.push_back(static_cast<double>(called.back() - *contact) / 1e6);
            ourPart.push_back(static_cast<double>(started - called.back()) / 1e6);
            total.push_back(static_cast<double>(started - *contact) / 1e6);
        }
    }
    bench.quit(app);

    std::printf("Corner entry to command start, %d entries each, one KWin run:\n", entries);
    summarise("X11 watcher: entry -> command", watcher);
    summarise("KWin: first contact -> command", total);
    summarise("  of which KWin: first contact -> CornerEntered", kwinPart);
    summarise("  of which ours: CornerEntered -> command", ourPart);
    return 0;
}
