// Loading a full-size firmware file (the browse button's parse and validation) against one
// plain read of the same file, and the heap that loading needs beyond the file's bytes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "base/heap_buffer.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "full_size_file.h"
#include "heap_counter.h"

namespace {

// The least any loader has to do: open the file, read all of it into one buffer, close.
void BM_PlainRead(benchmark::State& state) {
    const FullSizeFile& file = FullSizeK4417F();
    for (auto _ : state) {
        StdioFile f(std::fopen(file.path.c_str(), "rb"));
        HeapBuffer buffer(static_cast<uint8_t*>(std::malloc(file.size)));
        if (!f || !buffer) {
            state.SkipWithError("cannot read the full-size file");
            break;
        }
        const size_t got = std::fread(buffer.get(), 1, file.size, f.get());
        benchmark::DoNotOptimize(buffer.get());
        if (got != file.size) {
            state.SkipWithError("short read");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));
}

// What the browse button does after the file dialog: open, parse, find the model, validate.
int LoadOnce(const FullSizeFile& file, FirmwareInfo& info) {
    const ModelRecord* model = nullptr;
    FileStream stream = OpenFirmwareFile(file.path);
    if (!stream.IsOpen()) return -1;
    return ParseAndValidate(stream, info, model);
}

void BM_Load(benchmark::State& state) {
    const FullSizeFile& file = FullSizeK4417F();
    for (auto _ : state) {
        FirmwareInfo info;
        if (LoadOnce(file, info) != 0) {
            state.SkipWithError("the full-size file does not load");
            break;
        }
        benchmark::DoNotOptimize(info.sections);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));

    // One more load, counted: the highest heap use while the file is loaded, less the
    // section bytes that the loaded file has to keep.
    const int64_t before = ReadHeapCount().live;
    ResetHeapPeak();
    {
        FirmwareInfo info;
        LoadOnce(file, info);
    }
    const HeapCount heap = ReadHeapCount();
    state.counters["heap_extra"] =
        static_cast<double>(heap.peak - before) - static_cast<double>(file.sectionBytes);
    state.counters["file_bytes"] = static_cast<double>(file.size);
}

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(0.2);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(0.2);
