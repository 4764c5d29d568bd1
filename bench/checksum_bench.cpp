// The checksum over the largest region, as the section transfer computes it before the
// data goes out.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "writer/section_transfer.h"

namespace {

constexpr uint32_t kMainProgramRegion = 0xD0000;

void BM_Checksum(benchmark::State& state) {
    // Three bytes of slack: the last word may reach past the counted bytes.
    std::vector<uint8_t> region(kMainProgramRegion + 3);
    uint32_t x = 0x12345678u;
    for (uint8_t& b : region) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(region.data());
        benchmark::DoNotOptimize(ComputeChecksum(region.data(), kMainProgramRegion));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMainProgramRegion));
    state.counters["bytes"] = kMainProgramRegion;
}

}  // namespace

BENCHMARK(BM_Checksum)->Unit(benchmark::kMicrosecond)->Repetitions(5)->MinTime(0.2);
