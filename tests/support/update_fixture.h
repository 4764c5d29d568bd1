#pragma once
// The one rig of the tests: the updater core as the dialog holds it, a recording window and
// the simulated instrument on a virtual clock that the window's pauses move. Everything the
// program does lands in one trace, in order: "frame 0A" (a writer frame, by its command
// byte), "write 6" (any other write, by its size), "write failed", "read", "read failed",
// "sleep 10", "pump". Tests expect result codes as the numbers the operator reads in the log.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "base/run_clock.h"
#include "firmware_builder.h"
#include "os/instrument_lock.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "ui/control_ids.h"
#include "ui/update_dialog.h"

using Trace = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

constexpr char kFirstResource[] = "USB0::0x0D3F::0x1141::TW00012345::INSTR";
constexpr char kCompletedLine[] = "--------------- Completed ---------------";

inline Trace Repeat(const Trace& part, int times) {
    Trace out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Trace Join(std::initializer_list<Trace> parts) {
    Trace out;
    for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// One instrument in `mode`, reporting revisions older than any test file's, pauses checked.
inline SimScenario Bench(const std::string& mode = "normal", std::vector<SimFault> faults = {}) {
    SimScenario scenario = SimScenario::SingleInstrument(mode);
    scenario.instruments[0].resource = kFirstResource;
    scenario.timingChecks = true;
    scenario.faults = std::move(faults);
    return scenario;
}

// An instrument like Bench's at another resource.
inline SimInstrumentSpec Attached(const std::string& resource, const std::string& mode = "normal") {
    SimInstrumentSpec setup = Bench(mode).instruments[0];
    setup.resource = resource;
    return setup;
}

// The virtual clock as the engine's runs see it, from any thread (each thread has its own
// time); `onSleep` runs after every pause.
class SimRunClock : public RunClock {
  public:
    explicit SimRunClock(VirtualClock& clock) : clock_(clock) {}
    void Sleep(uint32_t ms) override {
        clock_.Advance(ms);
        if (onSleep) onSleep();
    }
    uint64_t NowMs() override { return clock_.NowMs(); }
    std::function<void()> onSleep;

  private:
    VirtualClock& clock_;
};

// Instrument locks of a test's own, in a folder it makes: tests in other processes use the
// same serials on the machine's.
class TestLockFolder {
  public:
    TestLockFolder() {
#ifndef _WIN32
        char name[] = "/tmp/fwtool-test-locks-XXXXXX";
        if (mkdtemp(name)) path_ = name;
        os::UseInstrumentLockFolder(path_);
#endif
    }
    ~TestLockFolder() {
        os::UseInstrumentLockFolder("");
        if (!path_.empty()) std::filesystem::remove_all(path_);
    }
    const std::string& path() const {
        return path_;
    }

  private:
    std::string path_;
};

class UpdateFixture : public ::testing::Test {
  protected:
    TestLockFolder lockFolder;
    // A fresh dialog core and instrument, as after the dialog's construction.
    void Start(SimScenario scenario = Bench()) {
        core.reset();  // closes its sessions on the library it came from
        sim.reset();
        window = RecordingWindow();
        clock = VirtualClock();
        trace.clear();
        window.onSleep = [this](uint32_t ms) {
            Flush();
            trace.push_back("sleep " + std::to_string(ms));
            clock.Advance(ms);
        };
        window.onPump = [this] {
            Flush();
            trace.push_back("pump");
        };
        sim = std::make_unique<SimVisa>(std::move(scenario), &clock);
        core = std::make_unique<UpdateDialog>(*sim, window, "0x0d3f", "0x1141");
        core->Initialise();
        first = seen = sim->calls().size();
    }
    // Start with the instrument connected; the trace starts after connecting.
    void StartConnected(SimScenario scenario) {
        Start(std::move(scenario));
        ASSERT_EQ(Connect(), 0);
    }
    // Start, then the browse button with a file built from `file`: Update is enabled.
    void StartLoaded(SimScenario scenario, const K4417FFile& file = K4417FFile{}) {
        Start(std::move(scenario));
        firmware = ValidK4417F(file);
        ASSERT_TRUE(Load(firmware.Bytes())) << "the test file did not load";
        window.boxes.clear();
    }
    // The browse button choosing a file holding `bytes`; true when Update ended up enabled.
    bool Load(const std::string& bytes) {
        file = std::make_unique<TempFile>(bytes);
        return LoadPath(file->path());
    }
    bool LoadPath(const std::string& path) {
        window.filesToChoose.push_back(path);
        core->LoadFirmwareFile();
        return window.IsEnabled(IDC_UPDATE);
    }
    // The Update button, the confirmation answered with `answer`.
    void PressUpdate(int answer = kIdYes) {
        window.boxAnswers.push_back(answer);
        core->RunUpdate();
    }
    bool Completed() const { return window.Log().find(kCompletedLine) != std::string::npos; }
    // The number in the log's last "Error number: N" line, or -1.
    int ReportedCode() const {
        const std::string log = window.Log(), marker = "\r\nError number: ";
        const size_t at = log.rfind(marker);
        return at == std::string::npos ? -1 : std::atoi(log.c_str() + at + marker.size());
    }

    // Search, select the first entry and connect, as the update does; the trace starts here.
    int Connect() {
        std::vector<std::string> found;
        link().SearchInstruments(found);
        window.DeviceListReset();
        for (const std::string& resource : found) window.DeviceListAdd(resource);
        window.DeviceListSelect(0);
        const int code = link().ConnectDevice(window.DeviceListText(255));
        first = seen = sim->calls().size();
        trace.clear();
        return code;
    }
    InstrumentLink& link() { return core->link(); }
    SimInstrument& instrument(size_t index = 0) { return sim->instrument(index); }
    bool FlashHolds(uint32_t at, const uint8_t* bytes, size_t count, size_t index = 0) {
        return instrument(index).flash().Holds(at, bytes, count);
    }
    // Whether the flash holds the loaded file's section `index` at its region.
    bool FlashHoldsSection(size_t index, size_t instrumentIndex = 0) {
        const std::string bytes = SectionBytes(firmware.Section(index));
        return FlashHolds(uint32_t{kK4417FIds[index]} * kSimSectorSize,
                          reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                          instrumentIndex);
    }

    Trace Calls() {
        Flush();
        return trace;
    }
    // Every write since the trace began, as sent (long ones only by their head).
    std::vector<Bytes> Writes() const {
        std::vector<Bytes> out;
        for (size_t i = first; i < sim->calls().size(); ++i)
            if (sim->calls()[i].op == "viWrite") out.push_back(sim->calls()[i].bytes);
        return out;
    }

    // What every ending after a connection attempt must leave behind.
    void ExpectEndedCleanly() {
        EXPECT_TRUE(window.IsEnabled(IDC_BROWSE));
        EXPECT_TRUE(window.IsEnabled(IDC_UPDATE));
        EXPECT_EQ(core->transferInProgress(), 0);
        EXPECT_TRUE(core->CanClose());
        EXPECT_EQ(sim->openSessionCount(), 0) << "instrument session left open";
        EXPECT_EQ(sim->violations(), Trace{});
    }

    // In the order of need: the core talks to the simulation, which reads the clock.
    RecordingWindow window;
    VirtualClock clock;
    SimRunClock runClock{clock};  // for the engine's runs, which need no window
    std::unique_ptr<SimVisa> sim;
    std::unique_ptr<UpdateDialog> core;
    FirmwareBuilder firmware;
    std::unique_ptr<TempFile> file;
    Trace trace;

  private:
    void Flush() {
        for (; seen < sim->calls().size(); ++seen) {
            const SimCall& c = sim->calls()[seen];
            if (c.op != "viRead" && c.op != "viWrite") continue;
            if (c.op == "viRead") {
                trace.push_back(c.status == VI_SUCCESS ? "read" : "read failed");
            } else if (c.status != VI_SUCCESS) {
                trace.push_back("write failed");
            } else if (c.byteCount == 12 && c.bytes[0] == 0xAB) {
                char entry[16];
                std::snprintf(entry, sizeof entry, "frame %02X", c.bytes[5]);
                trace.push_back(entry);
            } else {
                trace.push_back("write " + std::to_string(c.byteCount));
            }
        }
    }

    size_t first = 0, seen = 0;
};
