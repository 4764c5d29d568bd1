// 32 instruments updated at once with the full-size file by the engine's batch run, as
// `fwtool update --all` does it: one parsed image, a thread per instrument, all through one
// simulated VISA library on the real clock, with the real pauses. The figures to hold
// against one instrument alone (BM_Update): the wall time until the last one completed, and
// the heap each instrument's run takes beyond the one parsed image.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/result_code.h"
#include "base/run_clock.h"
#include "fleet/batch_run.h"
#include "fleet/firmware_image.h"
#include "full_size_file.h"
#include "heap_counter.h"
#include "instrument_side_visa.h"
#include "real_sleep_window.h"
#include "sim_visa.h"

namespace {

constexpr int kAtOnce = 32;
using Clock = std::chrono::steady_clock;

std::string Resource(int i) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "TW%08d", 100 + i);
    return std::string("USB0::0x0D3F::0x1141::") + serial + "::INSTR";
}

// Real pauses from every run's thread, each measured against what was asked.
class MeasuredPauses : public RunClock {
  public:
    void Sleep(uint32_t ms) override {
        const Clock::time_point start = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        const double slept =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ExcludeFromHeapCount bookkeeping;
        std::lock_guard<std::mutex> lock(mutex_);
        PauseStats& stats = pauses_[ms];
        ++stats.count;
        stats.askedMs += ms;
        stats.sleptMs += slept;
        stats.minOverMs = std::min(stats.minOverMs, slept - ms);
        stats.maxOverMs = std::max(stats.maxOverMs, slept - ms);
    }
    uint64_t NowMs() override {
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
                .count());
    }
    const std::map<uint32_t, PauseStats>& pauses() const { return pauses_; }

  private:
    std::mutex mutex_;
    std::map<uint32_t, PauseStats> pauses_;
};

// When each run ended, and how; log lines and progress are dropped.
class EndTimes : public FleetEvents {
  public:
    void Log(const std::string&, const std::string&) override {}
    void Progress(const std::string&, int, int, int) override {}
    void End(const RunEnd& end) override {
        const Clock::time_point now = Clock::now();
        ExcludeFromHeapCount bookkeeping;
        std::lock_guard<std::mutex> lock(mutex_);
        ends_.push_back({end.code, now});
    }
    struct Ended {
        int code;
        Clock::time_point at;
    };
    const std::vector<Ended>& ends() const { return ends_; }

  private:
    std::mutex mutex_;
    std::vector<Ended> ends_;
};

void BM_UpdateAtOnce(benchmark::State& state) {
    const FullSizeFile& file = FullSizeK4417F();
    SimScenario scenario = SimScenario::SingleInstrument("normal");
    const SimInstrumentSpec model = scenario.instruments.front();
    scenario.instruments.clear();
    std::vector<std::string> chosen;
    for (int i = 0; i < kAtOnce; ++i) {
        chosen.push_back(Resource(i));
        scenario.instruments.push_back(model);
        scenario.instruments.back().resource = chosen.back();
    }
    scenario.timingChecks = true;
    SteadyClock instrumentClock;
    SimVisa sim(scenario, &instrumentClock);
    InstrumentSideVisa visa(sim);

    FirmwareImage image;
    if (LoadFirmwareImage(file.path, image) != kOk) {
        state.SkipWithError("the full-size file does not load");
        return;
    }
    MeasuredPauses pauses;
    EndTimes events;
    const BatchSetup setup{visa, image, events, pauses};

    Clock::time_point start;
    HeapCount before, after;
    for (auto _ : state) {
        ResetHeapPeak();
        before = ReadHeapCount();
        start = Clock::now();
        RunBatch(setup, chosen);
        after = ReadHeapCount();
    }

    double slowestMs = 0, fastestMs = 1e30;
    for (const EndTimes::Ended& end : events.ends()) {
        if (end.code != kOk) {
            state.SkipWithError(("an update ended with " + std::to_string(end.code)).c_str());
            return;
        }
        const double ms = std::chrono::duration<double, std::milli>(end.at - start).count();
        slowestMs = std::max(slowestMs, ms);
        fastestMs = std::min(fastestMs, ms);
    }
    double leastOverMs = 1e30, overMs = 0, count = 0;
    for (const auto& [asked, stats] : pauses.pauses()) {
        leastOverMs = std::min(leastOverMs, stats.minOverMs);
        overMs += stats.sleptMs - stats.askedMs;
        count += static_cast<double>(stats.count);
    }
    state.counters["instruments"] = kAtOnce;
    state.counters["wall_ms"] = slowestMs;
    state.counters["fastest_ms"] = fastestMs;
    state.counters["least_over_ms"] = leastOverMs;
    state.counters["mean_over_ms"] = overMs / count;
    state.counters["violations"] = static_cast<double>(sim.violations().size());
    // The program's peak during the runs beyond what it held before them, the parsed image
    // included; the simulated instruments' own bookkeeping is counted apart.
    state.counters["heap_per_instrument"] =
        static_cast<double>(after.programPeak - before.programLive) / kAtOnce;
}

}  // namespace

// About 55 s: one run.
BENCHMARK(BM_UpdateAtOnce)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
