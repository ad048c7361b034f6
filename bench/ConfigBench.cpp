// Encoding and decoding a large configuration (target: under 5 ms each for
// 1,000 bindings).
#include "config/ConfigJson.h"
#include "config/ConfigStore.h"

#include <benchmark/benchmark.h>

namespace tarnwick {
namespace {

AppConfig largeConfig(std::size_t count) {
    AppConfig config;
    for (std::size_t i = 0; i < count; ++i) {
        const bool corner = i % 2 == 0;
        Trigger trigger{corner ? TriggerKind::corner : TriggerKind::hotkey};
        if (corner) {
            trigger.corner = allScreenCorners[i % 4];
        } else {
            trigger.hotkey = HotkeyCombo{static_cast<std::uint32_t>(i % 50), 2304,
                                         "\u2318\u2325" + std::to_string(i)};
        }
        config.bindings.emplace_back("Binding number " + std::to_string(i), trigger,
                                     "cd /tmp/work && echo \"run " + std::to_string(i) + "\"",
                                     i % 3 != 0);
    }
    config.cornerSensitivity = 7.5;
    return config;
}

void BM_EncodeConfig1000(benchmark::State& state) {
    const AppConfig config = largeConfig(1000);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto json = encodeConfig(config);
        bytes = json->size();
        benchmark::DoNotOptimize(json);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodeConfig1000)->Unit(benchmark::kMillisecond);

void BM_DecodeConfig1000(benchmark::State& state) {
    const std::string json = *encodeConfig(largeConfig(1000));
    for (auto _ : state) {
        auto config = decodeConfig(json);
        benchmark::DoNotOptimize(config);
    }
}
BENCHMARK(BM_DecodeConfig1000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarnwick
