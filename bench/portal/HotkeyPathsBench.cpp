// The real binary's two hotkey paths in one run, tries taken in turn: a
// shortcut fired through kglobalaccel on the headless KDE desktop (portal
// Activated, Wayland client) against a key pressed through XTest on an Xvfb
// (our own grab, X11 client). Each try runs the stamp helper, which writes
// its first instant; the figure is from the trigger sent to that instant.
// Figures, not pass/fail. Run: build/ci/bench/portal/tarnwick_hotkey_paths_bench [tries]
#include "portal/KdeChain.h"
#include "portal/PortalTestBus.h"
#include "support/Eventually.h"
#include "support/TestClient.h"
#include "support/XServer.h"

#include <QDBusMessage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

using namespace tarnwick::test;
constexpr auto kId = "6A0C1F3E-2B4D-4E5F-8A9B-000000000001";
constexpr std::uint8_t kSuper = 133, kAlt = 64, kT = 28; // X key codes

std::int64_t nowNs() { // CLOCK_REALTIME, the stamp helper's clock
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Sends one activation; the instant it went.
using Trigger = std::function<std::int64_t()>;

// Tarnwick in a sandbox of its own, Super+Alt+T running the stamp helper.
struct App {
    explicit App(std::string label) : name(std::move(label)) {
        sandbox.writeConfig(
            std::string(R"({"globalEnabled":true,"cornerSensitivity":6,"bindings":[{"id":")") +
            kId + R"(","name":"Stamp","enabled":true,"command":"')" STAMP_HELPER "' '" +
            stamps().string() +
            R"('","trigger":{"kind":"hotkey","hotkey":{"display":"T","keyCode":17,"modifiers":2304}}}]})");
    }
    std::filesystem::path stamps() const { return sandbox.root() / "stamps"; }
    std::vector<std::int64_t> read() const {
        std::vector<std::int64_t> values;
        std::istringstream lines(readWholeFile(stamps()));
        for (std::string line; std::getline(lines, line);) {
            values.push_back(std::stoll(line));
        }
        return values;
    }
    // One try: from the instant the trigger went to its command's stamp, in
    // milliseconds; negative when no command ran.
    double fire(const Trigger& trigger) {
        const std::size_t before = read().size();
        const std::int64_t sent = trigger();
        if (!eventually([&] { return read().size() > before; }, 3s)) {
            return -1;
        }
        return static_cast<double>(read()[before] - sent) / 1e6;
    }
    // Until a command runs: the program may still be starting.
    void warmUp(const Trigger& trigger) {
        for (int i = 0; i < 20 && fire(trigger) < 0; ++i) {
        }
    }
    void start(std::map<std::string, std::string> environment) {
        process = Process::spawn({TARNWICK_BINARY}, sandbox.environment(environment),
                                 sandbox.root() / "stderr");
    }

    std::string name;
    Sandbox sandbox;
    std::unique_ptr<Process> process;
    std::vector<double> ms;
    int missed = 0;
};

void print(const App& app) {
    auto v = app.ms;
    std::sort(v.begin(), v.end());
    const auto at = [&](std::size_t percent) { return v[(v.size() - 1) * percent / 100]; };
    std::printf("%-34s median %6.2f ms  p90 %6.2f ms  max %6.2f ms  (%zu tries, %d missed)\n",
                app.name.c_str(), at(50), at(90), v.back(), v.size(), app.missed);
}

} // namespace

int main(int argc, char** argv) {
    const int tries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    App portal("portal: invokeShortcut -> command");
    KdeChain chain(portal.sandbox);
    auto x = XServer::startXvfb();
    auto keyboard = x ? TestClient::connect(x->display()) : nullptr;
    if (!chain.ready() || !keyboard) {
        std::fprintf(stderr, "no desktop:\n%s", chain.logs().c_str());
        return 1;
    }
    portal.start(chain.environment());
    App x11("X11: XTest key press -> command");
    x11.start(
        {{"DISPLAY", x->display()},
         {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (x11.sandbox.root() / "none").string()}});

    const auto driver = PrivateBus::connectTo(chain.busAddress(), "driver");
    auto invoke =
        QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/component/tarnwick",
                                       "org.kde.kglobalaccel.Component", "invokeShortcut");
    invoke << QString::fromLatin1(kId);
    const Trigger fireShortcut = [&] {
        const std::int64_t sent = nowNs();
        driver.send(invoke);
        return sent;
    };
    // Super and Alt held, then T: the grab fires on T's press.
    const Trigger pressKey = [&] {
        keyboard->key(kSuper, true);
        keyboard->key(kAlt, true);
        keyboard->sync();
        const std::int64_t sent = nowNs();
        keyboard->key(kT, true);
        for (const std::uint8_t key : {kT, kAlt, kSuper}) {
            keyboard->key(key, false);
        }
        keyboard->sync();
        return sent;
    };
    portal.warmUp(fireShortcut);
    x11.warmUp(pressKey);
    for (int i = 0; i < tries; ++i) {
        for (auto [app, trigger] :
             {std::pair{&portal, &fireShortcut}, std::pair{&x11, &pressKey}}) {
            const double ms = app->fire(*trigger);
            ms < 0 ? void(++app->missed) : app->ms.push_back(ms);
            // Lets the program reap its command before the next one.
            std::this_thread::sleep_for(30ms);
        }
    }
    if (portal.ms.empty() || x11.ms.empty()) {
        std::fprintf(stderr, "no command ran:\n%s\n%s",
                     readWholeFile(portal.sandbox.root() / "stderr").c_str(),
                     readWholeFile(x11.sandbox.root() / "stderr").c_str());
        return 1;
    }
    print(portal);
    print(x11);
    return 0;
}
