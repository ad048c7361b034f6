// From "Settings…" to the settings window's first frame, in process, on an
// Xvfb of its own: the QML engine, the views and the cards that the lazy
// list builds. The larger list runs first, while nothing is cached yet.
#include "settings/AppModel.h"
#include "settings/SettingsWindow.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"

#include "support/FakeDesktop.h"
#include "support/XServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace tarnwick {
namespace {

AppConfig configWith(int count) {
    AppConfig cfg;
    for (int i = 0; i < count; ++i) {
        cfg.bindings.emplace_back(
            "binding " + std::to_string(i),
            i % 2 == 0 ? Trigger{TriggerKind::corner, ScreenCorner::topLeft}
                       : Trigger{TriggerKind::hotkey, std::nullopt, HotkeyCombo{17, 2304, "⌥⌘T"}},
            "echo " + std::to_string(i));
    }
    return cfg;
}

void BM_SettingsFirstFrame(benchmark::State& state) {
    QTemporaryDir dir;
    ConfigStore store(dir.path().toStdString());
    AppModel model(store);
    model.setConfig(configWith(static_cast<int>(state.range(0))));
    QtMainQueue queue;
    test::FakeDesktop desktop;
    double ms = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        SettingsWindow window({model, queue, desktop.keys(), desktop.windowEffects(), {}, {}});
        QEventLoop loop;
        QObject::connect(&window.view(), &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        window.present();
        loop.exec();
        ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000);
    }
    state.counters["first_frame_ms"] = ms;
}
BENCHMARK(BM_SettingsFirstFrame)
    ->Arg(500)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarnwick

int main(int argc, char* argv[]) {
    auto server = tarnwick::test::XServer::startXvfb();
    if (!server) {
        return 1;
    }
    ::setenv("DISPLAY", server->display().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
