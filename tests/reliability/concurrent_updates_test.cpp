// Several instruments updated at once, as the command line does: a thread per instrument,
// each with its own dialog core, window and sessions, all through one simulated VISA
// library. A fault on one instrument must stay with it.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "update_fixture.h"

namespace {

constexpr size_t kInstruments = 4;
constexpr size_t kFaulty = 2;

std::string Resource(size_t i) {
    return "USB0::0x0D3F::0x1141::TW0000000" + std::to_string(i) + "::INSTR";
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A dialog of its own on the shared simulated instrument, as one thread of the command line.
struct Dialog {
    Dialog(SimVisa& visa, VirtualClock& clock) : core(visa, window, "0x0d3f", "0x1141") {
        window.onSleep = [&clock](uint32_t ms) { clock.Advance(ms); };
        core.Initialise();
    }
    bool Completed() const { return window.Log().find(kCompletedLine) != std::string::npos; }
    RecordingWindow window;
    Updater core;
};

}  // namespace

TEST(ConcurrentUpdates, EveryThreadUpdatesItsOwnInstrumentAndAFaultStaysWithItsOwn) {
    FirmwareBuilder firmware = ValidK4417F();
    TempFile file(firmware.Bytes());
    SimScenario scenario = Bench();
    scenario.instruments.clear();
    std::vector<std::unique_ptr<TempFile>> flashFiles;
    for (size_t i = 0; i < kInstruments; ++i) {
        flashFiles.push_back(std::make_unique<TempFile>("", ".flash"));
        SimInstrumentSpec instrument = Bench().instruments.front();
        instrument.resource = Resource(i);
        instrument.flashFile = flashFiles.back()->path();
        scenario.instruments.push_back(instrument);
    }
    // The second section's checksum comes back wrong, on that one instrument only.
    SimFault fault = SimFault::AtStep(2, "checksum", "12345");
    fault.resource = Resource(kFaulty);
    scenario.faults.push_back(fault);
    VirtualClock clock;
    SimVisa visa(scenario, &clock);

    std::vector<std::unique_ptr<Dialog>> dialogs(kInstruments);
    std::vector<uint64_t> endMs(kInstruments);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < kInstruments; ++i)
        threads.emplace_back([&, i] {
            Dialog& dialog = *(dialogs[i] = std::make_unique<Dialog>(visa, clock));
            dialog.window.filesToChoose.push_back(file.path());
            dialog.core.LoadFirmwareFile();
            if (!dialog.window.IsEnabled(IDC_UPDATE)) return;
            dialog.window.devices = {Resource(i)};
            dialog.window.selected = 0;
            dialog.window.boxAnswers.push_back(kIdYes);
            dialog.core.RunUpdate();
            endMs[i] = clock.NowMs();
        });
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(visa.openSessionCount(), 0) << "instrument session left open";
    EXPECT_EQ(visa.violations(), std::vector<std::string>());
    // Each call has its own number among its kind, whichever thread made it.
    std::map<std::string, std::set<int>> numbers;
    for (const SimCall& call : visa.calls()) numbers[call.op].insert(call.nth);
    for (const auto& [op, nths] : numbers)
        EXPECT_EQ(nths.size(), static_cast<size_t>(*nths.rbegin())) << op;
    for (size_t i = 0; i < kInstruments; ++i) {
        SCOPED_TRACE(Resource(i));
        Dialog& dialog = *dialogs[i];
        // Each thread's time holds its own pauses only.
        EXPECT_EQ(endMs[i], dialog.window.TotalSleepMs());
        if (i == kFaulty) {
            EXPECT_NE(dialog.window.Log().find("\r\nError number: 1"), std::string::npos)
                << dialog.window.Log();
            EXPECT_EQ(visa.instrument(i).sectionsBegun(), 2);
        } else {
            EXPECT_TRUE(dialog.Completed()) << dialog.window.Log();
            for (size_t s = 0; s < firmware.SectionCount(); ++s) {
                const std::string bytes = SectionBytes(firmware.Section(s));
                EXPECT_TRUE(visa.instrument(i).flash().Holds(
                    kK4417FIds[s] * kSimSectorSize, reinterpret_cast<const uint8_t*>(bytes.data()),
                    bytes.size()))
                    << "section " << s;
            }
        }
        // What each instrument keeps on disk is its own flash, whole.
        const uint8_t* flash = visa.instrument(i).flash().data();
        EXPECT_TRUE(FileBytes(flashFiles[i]->path()) ==
                    std::string(reinterpret_cast<const char*>(flash), kSimFlashSize));
    }
}
