// Eight instruments updated at once with the full-size file, as the command line does it:
// a thread per instrument, each with its own dialog core, window and sessions, all through
// one simulated VISA library on the real clock, with the real pauses. The figure to hold
// against one instrument alone (BM_Update) is the wall time until the last one completed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "full_size_file.h"
#include "real_sleep_window.h"
#include "sim_visa.h"
#include "ui/control_ids.h"
#include "update/updater.h"

namespace {

constexpr int kAtOnce = 8;

std::string Resource(int i) {
    return "USB0::0x0D3F::0x1141::TW0000010" + std::to_string(i) + "::INSTR";
}

// Holds every thread until all are ready, so that the updates start together.
class StartLine {
  public:
    explicit StartLine(int count) : waiting_(count) {}
    void ArriveAndWait() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (--waiting_ == 0) {
            start_ = std::chrono::steady_clock::now();
            go_.notify_all();
        }
        go_.wait(lock, [this] { return waiting_ == 0; });
    }
    std::chrono::steady_clock::time_point start() const { return start_; }

  private:
    std::mutex mutex_;
    std::condition_variable go_;
    int waiting_;
    std::chrono::steady_clock::time_point start_;
};

// One operator's dialog on its own thread, its instrument chosen in the list beforehand.
struct Operator {
    Operator(SimVisa& visa, const std::string& file, const std::string& resource)
        : core(visa, window, "0x0d3f", "0x1141") {
        window.fileToChoose = file;
        core.Initialise();
        core.LoadFirmwareFile();
        window.DeviceListAdd(resource);
        window.DeviceListSelect(0);
    }
    RealSleepWindow window;
    Updater core;
};

void BM_UpdateAtOnce(benchmark::State& state) {
    const FullSizeFile& file = FullSizeK4417F();
    SimScenario scenario = SimScenario::SingleInstrument("normal");
    const SimInstrumentSpec model = scenario.instruments.front();
    scenario.instruments.clear();
    for (int i = 0; i < kAtOnce; ++i) {
        scenario.instruments.push_back(model);
        scenario.instruments.back().resource = Resource(i);
    }
    scenario.timingChecks = true;
    SteadyClock instrumentClock;
    SimVisa sim(scenario, &instrumentClock);

    std::vector<std::unique_ptr<Operator>> operators;
    for (int i = 0; i < kAtOnce; ++i)
        operators.push_back(std::make_unique<Operator>(sim, file.path, Resource(i)));
    if (operators.front()->core.selectedModel() == nullptr) {
        state.SkipWithError("the full-size file does not load");
        return;
    }

    StartLine startLine(kAtOnce);
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (auto& op : operators)
            threads.emplace_back([&startLine, &op] {
                startLine.ArriveAndWait();
                op->core.RunUpdate();  // the Update click
            });
        for (std::thread& t : threads) t.join();
    }

    double slowestMs = 0, fastestMs = 1e30, leastOverMs = 1e30, overMs = 0, pauses = 0;
    for (const auto& op : operators) {
        const RealSleepWindow& w = op->window;
        if (!w.completed) {
            state.SkipWithError(("an update did not complete: " + w.texts.at(IDC_LOG)).c_str());
            return;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(w.completedAt - startLine.start()).count();
        slowestMs = std::max(slowestMs, ms);
        fastestMs = std::min(fastestMs, ms);
        for (const auto& [asked, stats] : w.pauses) {
            leastOverMs = std::min(leastOverMs, stats.minOverMs);
            overMs += stats.sleptMs - stats.askedMs;
            pauses += static_cast<double>(stats.count);
        }
    }
    state.counters["instruments"] = kAtOnce;
    state.counters["wall_ms"] = slowestMs;
    state.counters["fastest_ms"] = fastestMs;
    state.counters["least_over_ms"] = leastOverMs;
    state.counters["mean_over_ms"] = overMs / pauses;
    state.counters["violations"] = static_cast<double>(sim.violations().size());
}

}  // namespace

// About 50 s: one run.
BENCHMARK(BM_UpdateAtOnce)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
