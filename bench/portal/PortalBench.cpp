// The portal client on the headless KDE desktop of tests/support: how long a
// bind takes to report its keys, and a shortcut fired through kglobalaccel
// takes to reach the activated handler. Figures, not pass/fail. Run:
//   build/ci/bench/portal/tarnwick_portal_bench [tries]
#include "platform/portal/GlobalShortcutsPortal.h"

#include "portal/KdeChain.h"
#include "portal/PortalTestBus.h"

#include <QDBusMessage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void print(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::printf("%-40s median %6.2f ms   max %6.2f ms   (%zu tries)\n", what,
                samples[samples.size() / 2], samples.back(), samples.size());
}

} // namespace

int main(int argc, char** argv) {
    const int tries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    test::Sandbox sandbox;
    test::KdeChain chain(sandbox);
    if (!chain.ready()) {
        std::fprintf(stderr, "the KDE desktop did not start:\n%s", chain.logs().c_str());
        return 1;
    }
    const auto driver = test::PrivateBus::connectTo(chain.busAddress(), "driver");
    portal::GlobalShortcutsPortal shortcuts(test::PrivateBus::connectTo(chain.busAddress(), "app"),
                                            "io.github.tarnwick.Tarnwick");
    int activations = 0;
    Clock::time_point fired;
    std::vector<double> binds, latencies;
    bool reported = false;
    shortcuts.setHandlers({[&](const std::string&) {
                               latencies.push_back(ms(Clock::now() - fired));
                               ++activations;
                           },
                           [&](const std::vector<ShortcutAssignment>&) { reported = true; },
                           [](const std::string& why) {
                               std::fprintf(stderr, "unavailable: %s\n", why.c_str());
                               std::exit(1);
                           }});
    for (int i = 0; i < 5; ++i) {
        reported = false;
        const auto start = Clock::now();
        shortcuts.bind({{"a", "Alpha " + std::to_string(i), "CTRL+SHIFT+y"},
                        {"n" + std::to_string(i), "New", "LOGO+ALT+F" + std::to_string(i + 1)}});
        test::spinUntil([&] { return reported; });
        binds.push_back(ms(Clock::now() - start));
    }
    auto invoke =
        QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/component/tarnwick",
                                       "org.kde.kglobalaccel.Component", "invokeShortcut");
    invoke << QStringLiteral("a");
    for (int i = 0; i < tries; ++i) {
        const int before = activations;
        fired = Clock::now();
        driver.send(invoke);
        if (!test::spinUntil([&] { return activations > before; }, std::chrono::seconds(5))) {
            std::fprintf(stderr, "no Activated for try %d\n", i);
            return 1;
        }
    }
    print("bind() to assigned (a new shortcut each)", binds);
    print("invokeShortcut to activated handler", latencies);
    return 0;
}
