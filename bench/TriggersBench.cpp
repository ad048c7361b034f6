#include "AllocationCounter.h"

#include "support/FakePointerSource.h"
#include "triggers/HotCornerMonitor.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick {
namespace {

// Mostly mid-screen motion, with a pass through a corner and onto the second screen.
constexpr std::array<Point, 8> pointerPath{{
    {500, 400},
    {510, 405},
    {2, 798},
    {3, 797},
    {520, 410},
    {1500, 600},
    {1002, 2},
    {530, 415},
}};

constexpr std::array<Point, 8> hitTestPoints{{
    {500, 400},
    {2, 798},
    {998, 799},
    {1, 1},
    {999, 2},
    {10, 790},
    {6, 794},
    {-3, -3},
}};

void BM_EvaluatePerPointerEvent(benchmark::State& state) {
    test::FakePointerSource source;
    source.screens = {{0, 0, 1000, 800}, {1000, 0, 1280, 1024}};
    HotCornerMonitor monitor{source};
    std::uint64_t entries = 0;
    monitor.onCorner = [&entries](ScreenCorner) { ++entries; };
    monitor.start();

    std::size_t step = 0;
    const std::uint64_t allocationsBefore = bench::allocationCount();
    for (auto _ : state) {
        source.moveTo(pointerPath[step]);
        step = (step + 1) % pointerPath.size();
    }
    const std::uint64_t allocations = bench::allocationCount() - allocationsBefore;

    benchmark::DoNotOptimize(entries);
    state.counters["allocs_per_event"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EvaluatePerPointerEvent);

void BM_CornerHitTest(benchmark::State& state) {
    const Rect screen{0, 0, 1000, 800};
    std::size_t step = 0;
    for (auto _ : state) {
        auto hit = HotCornerMonitor::corner(hitTestPoints[step], screen, 6.0);
        benchmark::DoNotOptimize(hit);
        step = (step + 1) % hitTestPoints.size();
    }
}
BENCHMARK(BM_CornerHitTest);

} // namespace
} // namespace tarnwick
