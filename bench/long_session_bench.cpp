// A dialog left open all day: a thousand files loaded, good and bad, then a hundred updates
// ending every way. What is left unfreed at exit is the sanitized tests' leak checker's to
// find; this measures whether the heap in use creeps up while the program runs.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "firmware_builder.h"
#include "heap_counter.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "ui/update_dialog.h"

namespace {

// Files ending a load in five ways, so that the hundredth load ends as the thousandth does.
std::vector<std::string> LoadVariants() {
    K4417FFile unknownModel;
    unknownModel.modelName = "K4417G";
    FirmwareBuilder lengthPastTheFile = ValidK4417F();
    lengthPastTheFile.Section(5).lengthField = 0xFFFFFFF0u;
    return {ValidK4417F().Bytes(), ValidK4417F().DropTail(1).Bytes(),
            "#ImageRev=" + std::string(16, '1') + "\n#FileStart\n",
            ValidK4417F(unknownModel).Bytes(), lengthPastTheFile.Bytes()};
}

// Each update's ending: the first completes, the others fail at another step each.
std::vector<SimFault> UpdateEndings() {
    return {SimFault(),
            SimFault::AtCall("viOpen", 1, "fail"),
            SimFault::AtCall("viRead", 2, "timeout"),
            SimFault::AtStep(2, "reset", "NG"),
            SimFault::AtStep(3, "checksum", "12345"),
            SimFault::AtStep(4, "final", "PROGRAM NG"),
            SimFault::AtCall("viWrite", 20, "fail"),
            SimFault::AtStep(6, "flash_check", "", "silent"),
            SimFault::AtCall("viFindRsrc", 1, "fail"),
            SimFault::AtStep(1, "final", "DATA IS THE LATEST UPDATE")};
}

struct Session {
    VirtualClock clock;
    std::unique_ptr<SimVisa> sim;
    RecordingWindow window;
    std::unique_ptr<UpdateDialog> core;

    explicit Session(SimScenario scenario) {
        window.onSleep = [this](uint32_t ms) { clock.Advance(ms); };
        sim = std::make_unique<SimVisa>(std::move(scenario), &clock);
        core = std::make_unique<UpdateDialog>(*sim, window, "0x0d3f", "0x1141");
        core->Initialise();
    }
    void Load(const std::string& path) {
        window.filesToChoose.push_back(path);
        window.texts.clear();
        window.boxes.clear();
        core->LoadFirmwareFile();
    }
};

void BM_LongSession(benchmark::State& state) {
    std::vector<std::unique_ptr<TempFile>> files;
    for (const std::string& bytes : LoadVariants())
        files.push_back(std::make_unique<TempFile>(bytes));
    const std::vector<SimFault> endings = UpdateEndings();

    for (auto _ : state) {
        int64_t afterHundredLoads = 0, afterTenUpdates = 0;
        {
            Session session(SimScenario{});
            for (int load = 1; load <= 1000; ++load) {
                session.Load(files[static_cast<size_t>(load) % files.size()]->path());
                if (load == 100) afterHundredLoads = ReadHeapCount().live;
            }
            state.counters["load_growth"] =
                static_cast<double>(ReadHeapCount().live - afterHundredLoads);
        }
        for (int run = 1; run <= 100; ++run) {
            SimScenario scenario = SimScenario::SingleInstrument("normal");
            const SimFault& ending = endings[static_cast<size_t>(run - 1) % endings.size()];
            if (ending.callLevel() || ending.section != 0) scenario.faults.push_back(ending);
            {
                Session session(scenario);
                session.Load(files[0]->path());
                session.window.boxAnswers.push_back(kIdYes);
                session.core->RunUpdate();
                const bool completed = session.window.Log().find("Completed") != std::string::npos;
                if (completed != (run % 10 == 1)) {
                    state.SkipWithError("an update did not end as planned");
                    return;
                }
            }  // measured with the dialog and the instrument gone, as after the last run
            if (run == 10) afterTenUpdates = ReadHeapCount().live;
        }
        state.counters["update_growth"] =
            static_cast<double>(ReadHeapCount().live - afterTenUpdates);
    }
}

}  // namespace

BENCHMARK(BM_LongSession)->Unit(benchmark::kMillisecond)->Iterations(1);
