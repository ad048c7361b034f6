// Tarnwick side by side with sxhkd, xbindkeys and a minimal corner watcher,
// each alone on one Xvfb, driven through XTest; prints a markdown table.
// Figures, not pass/fail. Run after a ci build:
//   build/ci/bench/compare/tarnwick_compare [--quick] [--only 2,3,...] [--before BINARY]
// --quick takes a handful of events per figure and skips the 60 s wait;
// --only runs the figures of those numbers (the table's first column);
// --before measures another build of tarnwick beside this one, as
// "Tarnwick before". A figure runs in rounds, each tool a part of it in
// each round on a fresh start, so that a busy spell of the machine falls on
// every tool alike.
#include "support/Process.h"
#include "support/Sandbox.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <nlohmann/json.hpp>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using tarnwick::test::Process;
using tarnwick::test::Sandbox;
using tarnwick::test::TestClient;
using tarnwick::test::XServer;

constexpr std::uint8_t kSuper = 133, kAlt = 64, kT = 28;
constexpr std::uint16_t kSuperAlt = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;
constexpr int kMidX = 640, kMidY = 400, kCornerX = 1279, kCornerY = 0;
// Twice Tarnwick's longest listening pause: every tool is at rest after it.
constexpr milliseconds kRest = 200ms;

// Per tool and figure, all rounds together.
struct Counts {
    int rounds, presses, tries, starts, reopens;
    milliseconds motion, settle, afterClose;
};
constexpr Counts kFull{5, 200, 1000, 10, 10, 5000ms, 2000ms, 60000ms};
constexpr Counts kQuick{1, 5, 2, 2, 2, 200ms, 300ms, 0ms};

constexpr const char* kTarnwick = "Tarnwick";
constexpr const char* kBefore = "Tarnwick before";
constexpr const char* kWatcher = "reference watcher";
constexpr const char* kZsh = "floor: zsh -lc";
constexpr const char* kSh = "floor: sh -c";

std::int64_t nowNs() {
    // CLOCK_REALTIME, the stamp helper's clock.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double toMs(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

template <typename Condition>
bool waitUntil(Condition condition, milliseconds deadline, milliseconds step = 1ms) {
    const auto until = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(step);
    }
    return true;
}

// The stamp helper's file: a CLOCK_REALTIME ns line per command run.
struct Stamps {
    fs::path file;

    std::string command() const {
        return "'" + std::string(STAMP_HELPER) + "' '" + file.string() + "'";
    }
    std::vector<std::int64_t> read() const {
        std::vector<std::int64_t> values;
        std::istringstream lines(tarnwick::test::readWholeFile(file));
        for (std::string line; std::getline(lines, line);) {
            values.push_back(std::stoll(line));
        }
        return values;
    }
    std::size_t count() const { return read().size(); }
    // The count-th stamp once it is there.
    std::optional<std::int64_t> waitFor(std::size_t count) const {
        std::vector<std::int64_t> values;
        const auto arrived = [&] { return (values = read()).size() >= count; };
        return waitUntil(arrived, 2s) ? std::optional(values[count - 1]) : std::nullopt;
    }
};

// Our own client for what TestClient does not do: grab probes, and watching
// top-level windows come and go.
class Observer {
public:
    explicit Observer(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {
        if (ok()) {
            m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
            const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
            xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(m_c);
        }
    }
    ~Observer() { xcb_disconnect(m_c); }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    bool ok() const { return xcb_connection_has_error(m_c) == 0; }

    // Whether another client holds Super+Alt+T. Our grab and its release go
    // out together, so that ours never stands in the way of the tool's own.
    bool hotkeyTaken() {
        const auto cookie = xcb_grab_key_checked(m_c, 0, m_root, kSuperAlt, kT, XCB_GRAB_MODE_ASYNC,
                                                 XCB_GRAB_MODE_ASYNC);
        xcb_ungrab_key(m_c, kT, m_root, kSuperAlt);
        xcb_generic_error_t* error = xcb_request_check(m_c, cookie);
        const bool taken = error != nullptr && error->error_code == XCB_ACCESS;
        std::free(error);
        return taken;
    }

    // The window of the next event of that type (map, unmap: the window
    // field sits at the same place) that passes the filter.
    template <typename Filter>
    std::optional<xcb_window_t> waitFor(std::uint8_t type, milliseconds deadline, Filter filter) {
        const auto until = Clock::now() + deadline;
        while (ok() && Clock::now() < until) {
            xcb_generic_event_t* event = xcb_poll_for_event(m_c);
            if (event == nullptr) {
                pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
                ::poll(&p, 1, 5);
                continue;
            }
            const auto map = *reinterpret_cast<const xcb_map_notify_event_t*>(event);
            std::free(event);
            if ((map.response_type & 0x7f) == type && filter(map)) {
                return map.window;
            }
        }
        return std::nullopt;
    }

    // What a window manager's close button sends; there is none on Xvfb.
    void askToClose(xcb_window_t window) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom("WM_PROTOCOLS");
        message.data.data32[0] = atom("WM_DELETE_WINDOW");
        xcb_send_event(m_c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(m_c);
    }

private:
    xcb_atom_t atom(const char* name) {
        const auto length = static_cast<std::uint16_t>(std::strlen(name));
        auto* reply = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, length, name), nullptr);
        const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return value;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
};

struct Series {
    std::vector<double> ms;
    int missed = 0;
};

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// Nearest rank.
std::string quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return number(values[std::max<std::size_t>(rank, 1) - 1]);
}

// Rows come in tool by tool and are printed figure by figure.
struct Table {
    std::vector<std::pair<std::string, std::string>> rows;
    std::vector<std::string> notes;

    void add(const std::string& figure, const std::string& tool, const std::string& n,
             const std::string& cells, const std::string& unit) {
        rows.emplace_back(figure,
                          "| " + figure + " | " + tool + " | " + n + " | " + cells + " | " + unit);
    }
    void series(const std::string& figure, const std::string& tool, const Series& s) {
        const std::string n = std::to_string(s.ms.size()) +
                              (s.missed > 0 ? " (" + std::to_string(s.missed) + " missed)" : "");
        const auto& v = s.ms;
        add(figure, tool, n,
            v.empty() ? "– | – | – | –"
                      : quantile(v, 0.5) + " | " + quantile(v, 0.9) + " | " + quantile(v, 0.99) +
                            " | " + quantile(v, 1),
            "ms |");
    }
    void value(const std::string& figure, const std::string& tool, const std::string& n,
               double value, const std::string& unit) {
        add(figure, tool, n, number(value) + " | | |", unit + " |");
    }
    void note(const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
        notes.push_back(text);
    }
    void print() {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::printf("| Figure | Tool | n | median | p90 | p99 | max | unit |\n"
                    "|---|---|---|---:|---:|---:|---:|---|\n");
        for (const auto& row : rows) {
            std::printf("%s\n", row.second.c_str());
        }
        std::printf(notes.empty() ? "" : "\n");
        for (const auto& text : notes) {
            std::printf("- %s\n", text.c_str());
        }
    }
};

struct Bench {
    Counts counts;
    // The figures to run, by number; empty for all.
    std::string only;
    // Another build of tarnwick to measure beside this one; empty for none.
    std::string before;
    std::unique_ptr<XServer> server;
    std::unique_ptr<TestClient> input;
    std::unique_ptr<Observer> observer;
    Table table;
    bool failed = false;

    // Whether any of these figures runs.
    bool wants(std::string_view figures) const {
        return only.empty() || only.find_first_of(figures) != std::string::npos;
    }
};

// A tool under test in a sandbox of its own, stopped when this goes.
struct Tool {
    Sandbox sandbox;
    Stamps stamps{sandbox.root() / "stamps"};
    std::unique_ptr<Process> process;
    // From just before the spawn to the grab (or "ready"), in ms.
    double startMs = 0;
    bool hotkeys = false;
};

// Super+Alt+T and the top-right corner, both running command.
std::string tarnwickConfig(const std::string& command) {
    const std::string quoted = nlohmann::json(command).dump();
    return R"({"bindings":[{"command":)" + quoted +
           R"(,"enabled":true,"id":"6A0C1F3E-2B4D-4E5F-8A9B-000000000001","name":"Hotkey",)"
           R"("trigger":{"hotkey":{"display":"\u2325\u2318T","keyCode":17,"modifiers":2304},)"
           R"("kind":"hotkey"}},)"
           R"({"command":)" +
           quoted +
           R"(,"enabled":true,"id":"6A0C1F3E-2B4D-4E5F-8A9B-000000000002","name":"Corner",)"
           R"("trigger":{"corner":"topRight","kind":"corner"}}],)"
           R"("cornerSensitivity":6,"globalEnabled":true})";
}

// The session bus points nowhere, so that nothing of the user's is reached.
std::vector<std::string> tarnwickEnvironment(const Sandbox& sandbox, const Bench& b) {
    return sandbox.environment(
        {{"DISPLAY", b.server->display()},
         {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (sandbox.root() / "none").string()}});
}

// The server drops a stopped tool's grabs a moment after it is gone; until
// then a probe would take them for the next tool's.
void waitForReleasedHotkey(Bench& b) {
    waitUntil([&] { return !b.observer->hotkeyTaken(); }, 5s);
}

// Starts the named tool with its bindings running the stamp command, and
// waits until it holds its grab (or, the watcher, says it listens).
std::unique_ptr<Tool> startTool(Bench& b, const std::string& name) {
    auto tool = std::make_unique<Tool>();
    const fs::path root = tool->sandbox.root();
    const std::string command = tool->stamps.command();
    // sxhkd runs commands through $SHELL -c.
    auto env = tool->sandbox.environment({{"DISPLAY", b.server->display()}, {"SHELL", "/bin/sh"}});
    std::vector<std::string> argv{WATCHER_BINARY, command};
    tool->hotkeys = name != kWatcher;
    if (name == kTarnwick || name == kBefore) {
        tool->sandbox.writeConfig(tarnwickConfig(command));
        argv = {name == kTarnwick ? TARNWICK_BINARY : b.before};
        env = tarnwickEnvironment(tool->sandbox, b);
    } else if (name == "sxhkd") {
        std::ofstream(root / "sxhkdrc") << "super + alt + t\n    " << command << "\n";
        argv = {"sxhkd", "-c", (root / "sxhkdrc").string()};
    } else if (name == "xbindkeys") {
        std::ofstream(root / "xbindkeysrc") << "\"" << command << "\"\n    Mod4+Mod1 + t\n";
        argv = {"xbindkeys", "-n", "-f", (root / "xbindkeysrc").string()};
    }
    waitForReleasedHotkey(b);
    const std::int64_t spawned = nowNs();
    tool->process = Process::spawn(argv, env, root / "stderr");
    const auto grabbed = [&] { return b.observer->hotkeyTaken(); };
    if (!tool->process ||
        !(tool->hotkeys ? waitUntil(grabbed, 20s) : tool->process->readLine(20s) == "ready")) {
        std::fprintf(stderr, "%s did not get ready; its stderr:\n%s\n", name.c_str(),
                     tarnwick::test::readWholeFile(root / "stderr").c_str());
        return nullptr;
    }
    tool->startMs = toMs(nowNs() - spawned);
    return tool;
}

// Runs trigger count times; each returns the instant its event was sent.
template <typename Trigger> Series measure(const Stamps& stamps, int count, Trigger trigger) {
    Series s;
    std::size_t seen = stamps.count();
    for (int i = 0, streak = 0; i < count && streak < 3; ++i) {
        const std::int64_t sent = trigger();
        if (const auto stamp = stamps.waitFor(seen + 1)) {
            ++seen;
            streak = 0;
            s.ms.push_back(toMs(*stamp - sent));
        } else {
            ++s.missed;
            ++streak;
            seen = stamps.count();
        }
        // Lets the tool reap its command before the next event.
        std::this_thread::sleep_for(30ms);
    }
    return s;
}

// Super and Alt held, then T: the grab fires on T's press, the instant taken.
std::int64_t pressHotkey(TestClient& in) {
    in.key(kSuper, true);
    in.key(kAlt, true);
    in.sync();
    const std::int64_t sent = nowNs();
    in.key(kT, true);
    in.key(kT, false);
    in.key(kAlt, false);
    in.key(kSuper, false);
    in.sync();
    return sent;
}

void restAt(TestClient& in, int x, int y) {
    in.moveTo(x, y);
    in.sync();
    std::this_thread::sleep_for(kRest);
}

// After rest into the corner pixel: one move from mid-screen, or a glide of
// 20 diagonal moves of 30 px 1 ms apart of which only the last is in the
// corner square. The instant of that last move.
std::int64_t enterCorner(TestClient& in, bool glide, milliseconds rest = kRest) {
    const int steps = glide ? 20 : 1, step = 30;
    in.moveTo(glide ? kCornerX - steps * step : kMidX, glide ? kCornerY + steps * step : kMidY);
    in.sync();
    std::this_thread::sleep_for(rest);
    auto next = Clock::now();
    std::int64_t sent = 0;
    for (int left = steps - 1; left >= 0; --left) {
        std::this_thread::sleep_until(next += 1ms);
        sent = nowNs();
        in.moveTo(kCornerX - left * step, kCornerY + left * step);
    }
    in.sync();
    return sent;
}

// What a tool's part of a figure found, added up over the rounds: the
// latencies, or the missed stays of so many tries, or CPU time.
struct Tally {
    Series series;
    int tries = 0;
    std::int64_t restNs = 0, movingNs = 0, moves = 0;

    void add(const Tally& other) {
        series.ms.insert(series.ms.end(), other.series.ms.begin(), other.series.ms.end());
        series.missed += other.series.missed;
        tries += other.tries;
        restNs += other.restNs;
        movingNs += other.movingNs;
        moves += other.moves;
    }
};

// Enters, stays 20 ms, leaves, tries times; the tries that ran no command
// are missed. The rest before each entry varies, so that entries meet a
// tool that watches for motion in every phase of its listening (at rest,
// paused, catching up).
Tally shortStays(Bench& b, Tool& tool, bool glide, int tries) {
    TestClient& in = *b.input;
    const std::size_t before = tool.stamps.count();
    for (int i = 0; i < tries; ++i) {
        enterCorner(in, glide, milliseconds(1 + i * 7 % 40));
        std::this_thread::sleep_for(20ms);
        in.moveTo(kMidX, kMidY);
        in.sync();
    }
    // A late run still counts.
    const auto ran = [&] { return static_cast<int>(tool.stamps.count() - before); };
    waitUntil([&] { return ran() >= tries; }, 700ms, 10ms);
    Tally t;
    t.series.missed = tries - ran();
    t.tries = tries;
    return t;
}

// CPU time of the process's threads in ns: what utime + stime of
// /proc/<pid>/stat add up to, without their 10 ms ticks. Children excluded.
std::int64_t cpuNs(pid_t pid) {
    std::int64_t total = 0;
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::int64_t onCpu = 0;
        if (std::ifstream(task.path() / "schedstat") >> onCpu) {
            total += onCpu;
        }
    }
    return total;
}

// The tool's CPU time at rest for as many ms as it then takes raw motions
// made at 1 kHz around mid-screen.
Tally cpuAtRestAndMoving(Bench& b, pid_t pid, int moves) {
    TestClient& in = *b.input;
    restAt(in, kMidX, kMidY);
    const std::int64_t start = cpuNs(pid);
    std::this_thread::sleep_for(milliseconds(moves));
    const std::int64_t rested = cpuNs(pid);
    auto next = Clock::now();
    for (int i = 0; i < moves; ++i) {
        std::this_thread::sleep_until(next += 1ms);
        in.moveTo(600 + i % 80, 380 + i % 40);
    }
    // What is still queued gets handled, and counted.
    in.sync();
    std::this_thread::sleep_for(kRest);
    Tally t;
    t.restNs = rested - start;
    t.movingNs = cpuNs(pid) - rested;
    t.moves = moves;
    return t;
}

// Spawns argv, as Tarnwick's runner does, and reaps it; the instant just
// before the spawn.
std::int64_t spawnAndReap(std::vector<std::string> argv, std::vector<std::string> env) {
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result(strings.size() + 1, nullptr);
        std::transform(strings.begin(), strings.end(), result.begin(),
                       [](auto& s) { return s.data(); });
        return result;
    };
    auto args = pointers(argv), envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const std::int64_t sent = nowNs();
    if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0) {
        ::waitpid(pid, nullptr, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return sent;
}

// A bare shell that the tools run their commands through, started from here.
Tally floorOf(Bench& b, const std::string& name, int count) {
    Sandbox sandbox;
    const Stamps stamps{sandbox.root() / "stamps"};
    const auto env = sandbox.environment({{"DISPLAY", b.server->display()}});
    const std::vector<std::string> shell = name == kZsh
                                               ? std::vector<std::string>{"/bin/zsh", "-lc"}
                                               : std::vector<std::string>{"/bin/sh", "-c"};
    Tally t;
    t.series = measure(stamps, count, [&] {
        return spawnAndReap({shell[0], shell[1], stamps.command()}, env);
    });
    return t;
}

// One round of a figure for one tool, on a fresh start. A tool ended from
// outside meanwhile (seen on a busy machine) loses that part, which runs
// again, once, on another fresh start.
template <typename Part>
std::optional<Tally> onFreshStart(Bench& b, const std::string& name, Part part) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto tool = startTool(b, name);
        if (!tool) {
            b.table.note(name + " did not start; its figures are missing");
            return std::nullopt;
        }
        Tally t = part(*tool);
        const auto ended = tool->process->waitForExit(0ms);
        if (!ended) {
            return t;
        }
        b.table.note(name + " ended during a figure, with status " + std::to_string(*ended) +
                     (attempt == 0 ? "; it ran again on a fresh start" : "; a part is missing"));
    }
    return std::nullopt;
}

struct Figure {
    std::string digit;
    std::vector<std::string> tools;
    // One round of it for one tool.
    std::function<Tally(Tool&)> part;
    // Its rows from a tool's tally.
    std::function<void(Table&, const std::string& tool, const Tally&)> rows;
};

// Each round, every tool does its part, starting each time with another.
void run(Bench& b, const Figure& figure) {
    if (!b.wants(figure.digit)) {
        return;
    }
    std::map<std::string, Tally> tallies;
    std::map<std::string, bool> complete;
    for (int round = 0; round < b.counts.rounds; ++round) {
        const auto count = static_cast<std::ptrdiff_t>(figure.tools.size());
        for (std::ptrdiff_t i = 0; i < count; ++i) {
            const std::string& name = figure.tools[static_cast<std::size_t>((i + round) % count)];
            std::fprintf(stderr, "figure %s, round %d: %s\n", figure.digit.c_str(), round + 1,
                         name.c_str());
            std::optional<Tally> t;
            if (name == kZsh || name == kSh) {
                t = floorOf(b, name, b.counts.presses / b.counts.rounds);
            } else {
                t = onFreshStart(b, name, figure.part);
            }
            complete.try_emplace(name, true).first->second &= t.has_value();
            tallies[name].add(t.value_or(Tally{}));
        }
    }
    for (const std::string& name : figure.tools) {
        figure.rows(b.table, name, tallies[name]);
        b.failed = b.failed || (name == kTarnwick && !complete[name]);
    }
}

void runFigures(Bench& b, const std::vector<std::string>& tarnwicks) {
    TestClient& in = *b.input;
    const int n = b.counts.presses / b.counts.rounds;
    const auto installed = [&](const std::string& tool) {
        const std::string lookup = "command -v " + tool + " >/dev/null";
        if (std::system(lookup.c_str()) == 0) {
            return true;
        }
        b.table.note(tool + " is not installed: skipped");
        return false;
    };
    std::vector<std::string> hotkeyTools = tarnwicks;
    for (const std::string tool : {"sxhkd", "xbindkeys"}) {
        if (b.wants("15") && installed(tool)) {
            hotkeyTools.push_back(tool);
        }
    }
    std::vector<std::string> cornerTools = tarnwicks;
    cornerTools.push_back(kWatcher);
    std::vector<std::string> allTools = hotkeyTools;
    allTools.push_back(kWatcher);
    const auto series = [](const std::string& title) {
        return [title](Table& t, const std::string& tool, const Tally& tally) {
            t.series(title, tool, tally.series);
        };
    };
    const auto latency = [&](auto trigger) {
        return [&b, n, trigger](Tool& x) {
            restAt(*b.input, kMidX, kMidY);
            Tally t;
            t.series = measure(x.stamps, n, trigger);
            return t;
        };
    };
    auto withFloors = hotkeyTools;
    withFloors.insert(withFloors.end(), {kZsh, kSh});
    run(b, {"1", withFloors, latency([&] { return pressHotkey(in); }), series("1 hotkey → run")});
    auto cornersAndFloor = cornerTools;
    cornersAndFloor.push_back(kZsh);
    run(b, {"2", cornersAndFloor, latency([&] { return enterCorner(in, false); }),
            series("2 corner, one move → run")});
    run(b, {"3", cornerTools, latency([&] { return enterCorner(in, true); }),
            series("3 corner, glide → run")});
    const int tries = b.counts.tries / b.counts.rounds;
    for (const bool glide : {false, true}) {
        const std::string title =
            glide ? "4b 20 ms stay after a glide" : "4a 20 ms stay after one move";
        run(b, {"4", cornerTools,
                [&b, glide, tries](Tool& x) { return shortStays(b, x, glide, tries); },
                [title](Table& t, const std::string& tool, const Tally& tally) {
                    t.value(title, tool, std::to_string(tally.tries), tally.series.missed,
                            "runs missed");
                }});
    }
    const int moves = static_cast<int>(b.counts.motion / 1ms) / b.counts.rounds;
    run(b, {"5", allTools,
            [&b, moves](Tool& x) { return cpuAtRestAndMoving(b, x.process->pid(), moves); },
            [](Table& t, const std::string& tool, const Tally& tally) {
                const std::string made = std::to_string(tally.moves);
                const double count = static_cast<double>(std::max<std::int64_t>(tally.moves, 1));
                t.value("5a CPU per 1,000 raw motions (1 kHz)", tool, made,
                        toMs(tally.movingNs) * 1000 / count, "ms");
                t.value("5b CPU per 1,000 ms at rest", tool, made,
                        toMs(tally.restNs) * 1000 / count, "ms");
            }});
}

// Fresh starts, each timed to its hotkey grab: the last thing start-up does,
// after the motion selection. The builds take turns.
void measureStarts(Bench& b, const std::vector<std::string>& tarnwicks) {
    std::map<std::string, Series> ready;
    for (int i = 0; i < b.counts.starts; ++i) {
        for (const std::string& name : tarnwicks) {
            std::fprintf(stderr, "start %d: %s\n", i + 1, name.c_str());
            if (const auto tarnwick = startTool(b, name)) {
                ready[name].ms.push_back(tarnwick->startMs);
            } else {
                ++ready[name].missed;
            }
        }
    }
    for (const std::string& name : tarnwicks) {
        b.table.series("6 start → hotkey grabbed (ready)", name, ready[name]);
    }
}

double rssMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    return -1;
}

// A second start hands over to the first, which shows its settings window;
// adds the ms until it is mapped, then closes it as a window manager would.
void openAndClose(Bench& b, const std::string& binary, Tool& tarnwick, Series& into) {
    const std::int64_t sent = nowNs();
    const auto second = Process::spawn({binary}, tarnwickEnvironment(tarnwick.sandbox, b),
                                       tarnwick.sandbox.root() / "second.stderr");
    const auto managed = [](const xcb_map_notify_event_t& e) { return e.override_redirect == 0; };
    const auto window = b.observer->waitFor(XCB_MAP_NOTIFY, 10s, managed);
    const std::int64_t mapped = nowNs();
    if (!second || second->waitForExit(10s) != 0 || !window) {
        ++into.missed;
        return;
    }
    into.ms.push_back(toMs(mapped - sent));
    b.observer->askToClose(*window);
    const auto same = [&](const xcb_map_notify_event_t& e) { return e.window == *window; };
    if (!b.observer->waitFor(XCB_UNMAP_NOTIFY, 5s, same)) {
        b.table.note("the settings window did not close on WM_DELETE_WINDOW");
    }
}

void measureMemoryAndWindow(Bench& b, const std::string& name) {
    std::fprintf(stderr, "measuring the memory and settings window of %s\n", name.c_str());
    const std::string binary = name == kTarnwick ? TARNWICK_BINARY : b.before;
    const auto t = onFreshStart(b, name, [&](Tool& x) {
        const pid_t pid = x.process->pid();
        std::this_thread::sleep_for(b.counts.settle);
        const double never = rssMb(pid);
        Series first, again;
        openAndClose(b, binary, x, first);
        std::this_thread::sleep_for(b.counts.afterClose);
        const double after = rssMb(pid);
        for (int i = 0; i < b.counts.reopens; ++i) {
            openAndClose(b, binary, x, again);
        }
        Table& table = b.table;
        table.value("7a RSS, settings never opened", name, "1", never, "MB");
        table.value("7b RSS, " + std::to_string(b.counts.afterClose / 1s) +
                        " s after settings opened and closed",
                    name, "1", after, "MB");
        table.series("7c second start → settings mapped, first time", name, first);
        table.series("7d second start → settings mapped, reopened", name, again);
        return Tally{};
    });
    b.failed = b.failed || (!t && name == kTarnwick);
}

} // namespace

int main(int argc, char* argv[]) {
    bool quick = false;
    std::string only, before;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--before" && i + 1 < argc) {
            before = fs::absolute(argv[++i]).string();
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--only 1,2,...,7] [--before BINARY]\n",
                         argv[0]);
            return 2;
        }
    }
    const auto began = Clock::now();
    Bench b{quick ? kQuick : kFull,
            only,
            before,
            XServer::startXvfb("1280x800x24"),
            nullptr,
            nullptr,
            {},
            false};
    if (b.server) {
        b.input = TestClient::connect(b.server->display());
        b.observer = std::make_unique<Observer>(b.server->display());
    }
    if (!b.input || !b.observer->ok()) {
        std::fprintf(stderr, "no Xvfb to run on\n");
        return 1;
    }
    std::vector<std::string> tarnwicks{kTarnwick};
    if (!before.empty()) {
        tarnwicks.emplace_back(kBefore);
    }
    runFigures(b, tarnwicks);
    if (b.wants("6")) {
        measureStarts(b, tarnwicks);
    }
    for (const std::string& name : tarnwicks) {
        if (b.wants("7")) {
            measureMemoryAndWindow(b, name);
        }
    }
    b.table.print();
    std::fprintf(stderr, "took %.1f s\n",
                 std::chrono::duration<double>(Clock::now() - began).count());
    return b.failed ? 1 : 0;
}
