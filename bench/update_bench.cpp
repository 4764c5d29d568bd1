// A whole update of the full-size file against the simulated instrument, with the real
// pauses: how far the wall time lies above the floor that the instrument's fixed pauses
// set, how long the pauses really lasted, and what the program allocated meanwhile.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "base/big_endian.h"
#include "full_size_file.h"
#include "heap_counter.h"
#include "instrument_side_visa.h"
#include "real_sleep_window.h"
#include "sim_visa.h"
#include "ui/control_ids.h"
#include "ui/update_dialog.h"
#include "writer/writer_frame.h"

namespace {

// The writes the instrument received, sorted by the pause each one imposes.
struct ReceivedWrites {
    uint64_t frames = 0;      // 10 ms each
    uint64_t dataBlocks = 0;  // 25 ms each
    uint64_t switches = 0;    // 3500 ms each
    double FloorMs() const {
        return frames * double{kFramePauseMs} + dataBlocks * double{kDataPauseMs} +
               switches * double{kSwitchWaitMs};
    }
};

// Walks the successful writes in order: a load frame announces its data blocks, the
// selection and checksum-length frames one payload each; text commands are recognised by
// their words.
ReceivedWrites ClassifyWrites(const SimVisa& sim) {
    ReceivedWrites w;
    uint64_t dataLeft = 0;
    bool payloadNext = false;
    for (const SimCall& call : sim.calls()) {
        if (call.op != "viWrite" || call.status != VI_SUCCESS) continue;
        if (dataLeft > 0) {
            ++w.dataBlocks;
            dataLeft -= call.byteCount < dataLeft ? call.byteCount : dataLeft;
        } else if (payloadNext) {
            payloadNext = false;
        } else if (call.byteCount == 12 && call.bytes.size() == 12 &&
                   call.bytes[0] == kFrameStart) {
            ++w.frames;
            const uint8_t command = call.bytes[5];
            if (command == WCMD_LOAD) dataLeft = LoadBigEndian32(call.bytes.data() + 1) - 7;
            payloadNext = command == WCMD_SELECT_SECTION || command == WCMD_CHECKSUM_LENGTH;
        } else if (call.text().rfind("SYST:UPDATE COUNTER", 0) == 0) {
            ++w.switches;
        }
    }
    return w;
}

void BM_Update(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const FullSizeFile& file = FullSizeK4417F();

    SimScenario scenario = SimScenario::SingleInstrument("normal");
    scenario.timingChecks = true;  // the instrument itself checks every pause on the real clock
    SteadyClock instrumentClock;
    SimVisa sim(scenario, &instrumentClock);
    InstrumentSideVisa visa(sim);
    RealSleepWindow window;
    window.fileToChoose = file.path;
    UpdateDialog core(visa, window, "0x0d3f", "0x1141");
    core.Initialise();
    core.LoadFirmwareFile();
    if (core.selectedModel() == nullptr) {
        state.SkipWithError("the full-size file does not load");
        return;
    }

    Clock::time_point start;
    for (auto _ : state) {
        ResetHeapPeak();
        start = Clock::now();
        core.RunUpdate();  // the Update click
    }
    const HeapCount heap = ReadHeapCount();
    if (!window.completed) {
        state.SkipWithError(("the update did not complete: " + window.texts[IDC_LOG]).c_str());
        return;
    }

    const ReceivedWrites writes = ClassifyWrites(sim);
    double askedMs = 0, sleptMs = 0;
    for (const auto& [ms, stats] : window.pauses) {
        askedMs += stats.askedMs;
        sleptMs += stats.sleptMs;
        const std::string name = "pause" + std::to_string(ms);
        state.counters[name + "_count"] = static_cast<double>(stats.count);
        state.counters[name + "_mean_over_ms"] = (stats.sleptMs - stats.askedMs) / stats.count;
        state.counters[name + "_min_over_ms"] = stats.minOverMs;
        state.counters[name + "_max_over_ms"] = stats.maxOverMs;
    }
    state.counters["wall_ms"] =
        std::chrono::duration<double, std::milli>(window.completedAt - start).count();
    state.counters["floor_ms"] = writes.FloorMs();
    state.counters["frames"] = static_cast<double>(writes.frames);
    state.counters["data_blocks"] = static_cast<double>(writes.dataBlocks);
    state.counters["switches"] = static_cast<double>(writes.switches);
    state.counters["asked_ms"] = askedMs;
    state.counters["slept_ms"] = sleptMs;
    state.counters["violations"] = static_cast<double>(sim.violations().size());
    state.counters["program_allocations"] = static_cast<double>(heap.allocations);
    state.counters["program_allocated_bytes"] = static_cast<double>(heap.allocatedBytes);
    state.counters["program_largest_allocation"] = static_cast<double>(heap.largest);
    state.counters["file_bytes"] = static_cast<double>(file.size);
}

}  // namespace

// About 55 s of pauses: one run.
BENCHMARK(BM_Update)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
