// Sections written into the simulated instrument's writer: what ends up in its flash, what
// it saw on the line (frames, pauses) and how each of its failures ends the section.

#include <gtest/gtest.h>

#include <memory>

#include "firmware/firmware_info.h"
#include "firmware/memory_stream.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "sim_instrument.h"
#include "sim_visa.h"
#include "ui/error_table.h"
#include "writer/section_transfer.h"

namespace {

const std::string kSuccessLog =
    "    Loading ... OK\r\n    Check Sum ... OK\r\n    Write to flash ... OK\r\n";

class SimWriterTest : public ::testing::Test {
  protected:
    // An instrument in writer mode, connected, with timing checks on; the recording window's
    // pauses move the instrument's clock.
    void Start(std::vector<SimFault> faults = {}) {
        SimScenario scenario = SimScenario::SingleInstrument("writer");
        scenario.timingChecks = true;
        scenario.faults = std::move(faults);
        sim = std::make_unique<SimVisa>(scenario, &clock);
        window = RecordingWindow();
        window.onSleep = [this](uint32_t ms) { clock.Advance(ms); };
        link = std::make_unique<InstrumentLink>(*sim, window, "0x0d3f", "0x1141");
        link->OpenResourceManager();
        ASSERT_EQ(link->SearchInstruments(), 1);
        window.DeviceListSelect(0);
        ASSERT_EQ(link->ConnectDevice(), kOk);
    }

    void Load(const std::vector<uint32_t>& payloadSizes = {}) {
        file = ValidK4417F(payloadSizes).Bytes();
        MemoryStream stream(file);
        ASSERT_EQ(ParseFirmwareFile(stream, info), kOk);
    }

    const ImageSection& Section(int index) const {
        const ImageSection* s = info.sections;
        for (int i = 0; i < index; ++i) s = s->next;
        return *s;
    }
    const SectionSpec& Row(int index) const { return ModelCatalogue[0].sections[index]; }

    int Write(int index) { return WriteSection(*link, window, Section(index), Row(index)); }

    bool FlashHolds(const ImageSection& s) {
        return sim->instrument(0).flash().Holds(s.id * kSimSectorSize, s.data.get(), s.bytesRead);
    }

    VirtualClock clock;
    std::unique_ptr<SimVisa> sim;
    RecordingWindow window;
    std::unique_ptr<InstrumentLink> link;
    std::string file;
    FirmwareInfo info;
};

}  // namespace

TEST_F(SimWriterTest, WholeFileLeavesEverySectionInFlashAndASecondWriteIsAlreadyTheLatest) {
    Start();
    // The main program spans two sectors.
    Load({0x100, 16, 16, 65520, 16, 16});
    for (int i = 0; i < SectionCount(ModelCatalogue[0]); ++i) {
        SCOPED_TRACE(i);
        window.texts.clear();
        window.progress.clear();
        ASSERT_EQ(Write(i), kOk);
        EXPECT_EQ(window.Log(), kSuccessLog);
        EXPECT_TRUE(FlashHolds(Section(i)));
    }
    // The last section: one sector sent, then one erase and one program line.
    EXPECT_EQ(window.progress, (std::vector<std::string>{"pos 0", "step 1", "range 0 4", "stepit",
                                                         "stepit", "stepit"}));
    EXPECT_EQ(sim->instrument(0).sectionsBegun(), 6);
    EXPECT_EQ(clock.NowMs(), window.TotalSleepMs());  // no read ever waited for a timeout

    window.texts.clear();
    EXPECT_EQ(Write(0), kErrLatestUpdate);
    EXPECT_EQ(window.Log(),
              "    Loading ... OK\r\n    Check Sum ... OK\r\n    Write to flash ... ");
    EXPECT_EQ(sim->violations(), std::vector<std::string>{});
}

TEST_F(SimWriterTest, WriterRefusalAtEachStepGivesItsCodeAndNothingFollows) {
    const std::string loaded = "    Loading ... OK\r\n";
    const std::string summed = loaded + "    Check Sum ... OK\r\n";
    struct Case {
        const char* step;
        const char* text;
        int code;
        std::string log;
    };
    const Case cases[] = {
        {"reset", "NG", kErrResetReply, ""},
        {"end_load_data", "NG", kErrEndLoadReply, "    Loading ... "},
        {"end_load", "OK\r\n", kErrEndLoadReply, "    Loading ... "},
        {"select", "NG", kErrSelectReply, loaded},
        {"checksum_length", "NG", kErrChecksumLengthReply, loaded},
        {"checksum", "", kErrChecksumEmpty, loaded + "    Check Sum ... "},
        {"checksum", "12345", kErrChecksumMismatch, loaded + "    Check Sum ... Check Sum Error"},
        {"flash_check", "OK ", kErrFlashCheckReply, summed},
        {"final", "ERASE NG", kErrEraseNg, summed + "    Write to flash ... "},
        {"final", "PROGRAM NG", kErrProgramNg, summed + "    Write to flash ... "},
        {"final", "DATA IS THE LATEST UPDA", kErrLatestUpdate, summed + "    Write to flash ... "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " answered " + c.text);
        SimFault fault;
        fault.section = 1;
        fault.step = c.step;
        fault.text = c.text;
        Start({fault});
        Load();
        EXPECT_EQ(Write(0), c.code);
        EXPECT_EQ(window.Log(), c.log);
        EXPECT_EQ(sim->calls().back().op, "viRead");
        EXPECT_FALSE(FlashHolds(Section(0)));
        EXPECT_EQ(sim->violations(), std::vector<std::string>{});
    }
}

TEST_F(SimWriterTest, FailedOrTimedOutCallAnywhereGivesIoErrorAndNothingFollows) {
    Start();
    Load();
    ASSERT_EQ(Write(0), kOk);
    const size_t writes = sim->callsOf("viWrite").size();
    const size_t reads = sim->callsOf("viRead").size();

    for (const char* op : {"viWrite", "viRead"}) {
        const size_t count = std::string(op) == "viWrite" ? writes : reads;
        for (size_t nth = 1; nth <= count; ++nth) {
            for (const char* action : {"fail", "timeout"}) {
                SCOPED_TRACE(std::string(op) + " " + std::to_string(nth) + " " + action);
                SimFault fault;
                fault.op = op;
                fault.nth = static_cast<int>(nth);
                fault.action = action;
                Start({fault});
                EXPECT_EQ(Write(0), kErrIo);
                EXPECT_EQ(sim->calls().back().op, op);
                EXPECT_EQ(sim->calls().back().nth, static_cast<int>(nth));
                EXPECT_EQ(sim->violations(), std::vector<std::string>{});
            }
        }
    }
}
