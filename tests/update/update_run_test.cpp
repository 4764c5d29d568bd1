// Whole update runs as the operator and the simulated instrument see them: the log, the
// boxes, the buttons, the pauses and what ends up in the instrument's flash.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "ui/control_ids.h"
#include "ui/error_table.h"
#include "update/updater.h"

namespace {

const std::string kFirst = "USB0::0x0D3F::0x1141::TW00012345::INSTR";
const std::string kSecond = "USB0::0x0D3F::0x1141::TW00067890::INSTR";

const std::string kSectionOk =
    "    Loading ... OK\r\n    Check Sum ... OK\r\n    Write to flash ... OK\r\n";
const std::string kCompleted = "--------------- Completed ---------------";

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

SimInstrumentSpec Instrument(const std::string& resource, const std::string& mode = "normal") {
    SimInstrumentSpec setup;
    setup.resource = resource;
    setup.revision = SimRevisionField(SimRegionRevisions{});
    setup.mode = mode;
    return setup;
}

SimScenario OneInstrument(const std::string& mode = "normal") {
    SimScenario scenario;
    scenario.instruments.push_back(Instrument(kFirst, mode));
    scenario.timingChecks = true;
    return scenario;
}

RecordedBox Confirmation(const std::string& text) {
    return {text, "Confirm Firmware Update", kMbYesNo | kMbIconQuestion, true};
}
RecordedBox ErrorBox(const std::string& text) {
    return {text, "Error", kMbOk | kMbIconHand, true};
}
const RecordedBox kCompletedBox = {"Update is completed\nPlease cycle the power of K4417F!",
                                   "Firmware Update", kMbOk | kMbIconInformation, true};
const RecordedBox kConfirmFirst =
    Confirmation("Are you sure you want to update K4417F SN:TW00012345?");

class UpdateRunTest : public ::testing::Test {
  protected:
    // Attaches the instruments, opens the core as the dialog does and loads the file, so
    // that Update is enabled. Can be called again for a fresh dialog and instrument.
    void Start(SimScenario scenario, const K4417FFile& file = K4417FFile{}) {
        core_.reset();
        visa_.reset();
        window = RecordingWindow();
        clock_ = VirtualClock();
        window.onSleep = [this](uint32_t ms) { clock_.Advance(ms); };

        firmware = ValidK4417F(file);
        file_ = std::make_unique<TempFile>(firmware.Bytes());
        visa_ = std::make_unique<SimVisa>(std::move(scenario), &clock_);
        core_ = std::make_unique<Updater>(*visa_, window, "0x0d3f", "0x1141");
        core_->Initialise();
        window.filesToChoose.push_back(file_->path());
        core_->LoadFirmwareFile();
        ASSERT_TRUE(window.IsEnabled(IDC_UPDATE)) << "the test file did not load";
        window.boxes.clear();
    }

    // The operator presses Update and answers the confirmation.
    void PressUpdate(int answer = kIdYes) {
        window.boxAnswers.push_back(answer);
        core_->RunUpdate();
    }

    // Whether the instrument's flash holds the file's section `index` at its region.
    bool FlashHolds(size_t instrument, size_t index) {
        const std::string bytes = SectionBytes(firmware.Section(index));
        const uint32_t offset = uint32_t{kK4417FIds[index]} * kSimSectorSize;
        return visa_->instrument(instrument)
            .flash()
            .Holds(offset, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    int SectionsWritten(size_t instrument) {
        int n = 0;
        for (size_t i = 0; i < kK4417FIds.size(); ++i) n += FlashHolds(instrument, i) ? 1 : 0;
        return n;
    }

    // What every ending after a connection attempt must leave behind.
    void ExpectEndedCleanly() {
        EXPECT_TRUE(window.IsEnabled(IDC_BROWSE));
        EXPECT_TRUE(window.IsEnabled(IDC_UPDATE));
        EXPECT_EQ(core_->transferInProgress(), 0);
        EXPECT_TRUE(core_->CanClose());
        EXPECT_EQ(visa_->openSessionCount(), 0) << "instrument session left open";
        EXPECT_EQ(visa_->violations(), std::vector<std::string>());
    }

    int SleepsOf(uint32_t ms) const {
        return static_cast<int>(std::count(window.sleeps.begin(), window.sleeps.end(), ms));
    }

    // In the order of need: the core talks to the simulation, which reads the clock.
    RecordingWindow window;
    VirtualClock clock_;
    FirmwareBuilder firmware;
    std::unique_ptr<TempFile> file_;
    std::unique_ptr<SimVisa> visa_;
    std::unique_ptr<Updater> core_;
};

TEST_F(UpdateRunTest, NormalFirmwareIsSwitchedToTheWriterAndEverySectionWritten) {
    K4417FFile file;
    file.payloadSizes = {64, 48, 48, 3000, 128, 32};  // the main program needs three writes
    Start(OneInstrument("normal"), file);
    PressUpdate();

    EXPECT_EQ(window.Log(),
              "Connect ... OK\r\nTo Writer ... OK\r\nConnect ... OK\r\nTesting ... OK\r\n"
              "Check Revision ... OK\r\n" +
                  Repeat(kSectionOk, 6) + kCompleted);
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst, kCompletedBox}));
    EXPECT_EQ(window.texts[IDC_SECTION_COUNTER], "6 / 6");
    EXPECT_EQ(SectionsWritten(0), 6);
    EXPECT_TRUE(visa_->instrument(0).inWriterMode());
    ExpectEndedCleanly();

    // The switch pause comes first and once; every frame and every data block pauses.
    ASSERT_FALSE(window.sleeps.empty());
    EXPECT_EQ(window.sleeps.front(), 3500u);
    EXPECT_EQ(SleepsOf(3500), 1);
    EXPECT_EQ(SleepsOf(10), 6 * 8);
    EXPECT_EQ(SleepsOf(25), 5 + 3);
    EXPECT_EQ(window.sleeps.size(), 1u + 48u + 8u);
}

// Runs that need no switch: the instrument is already the writer (even when the reply to
// its first identification is lost), or the file's ImageRev skips the revision check.
TEST_F(UpdateRunTest, RunsWithoutTheSwitchGoStraightToTesting) {
    const std::string tested = "Connect ... OK\r\nTesting ... OK\r\n";
    const std::string checked = tested + "Check Revision ... OK\r\n";
    K4417FFile zeroImageRev;
    zeroImageRev.imageRev = "0.9.1";
    zeroImageRev.revisions = {"0", "00", "00", "0000", "0000", "00"};  // all older
    SimScenario lostReply = OneInstrument("writer");
    lostReply.faults.push_back(SimFault::AtCall("viRead", 1, "silent"));
    struct Case {
        const char* what;
        SimScenario scenario;
        K4417FFile file;
        std::string log;
    };
    const Case cases[] = {
        {"already in writer mode", OneInstrument("writer"), K4417FFile{}, checked},
        {"first identification lost", lostReply, K4417FFile{}, checked},
        {"ImageRev beginning with '0'", OneInstrument("writer"), zeroImageRev, tested},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.scenario, c.file);
        PressUpdate();
        EXPECT_EQ(window.Log(), c.log + Repeat(kSectionOk, 6) + kCompleted);
        EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst, kCompletedBox}));
        EXPECT_EQ(SleepsOf(3500), 0);
        EXPECT_EQ(SectionsWritten(0), 6);
        ExpectEndedCleanly();
    }
}

TEST_F(UpdateRunTest, NoInstrumentShowsOnlyTheBox) {
    Start(SimScenario{});
    const auto enabledBefore = window.enabled;
    window.texts[IDC_LOG] = "previous run";
    PressUpdate();

    EXPECT_EQ(window.Log(), "");
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{{"No instrument found.", "Search Instrument",
                                                       kMbOk | kMbIconInformation, true}}));
    EXPECT_EQ(window.enabled, enabledBefore);
    EXPECT_TRUE(visa_->callsOf("viOpen").empty());
    EXPECT_TRUE(window.sleeps.empty());
    EXPECT_EQ(visa_->openSessionCount(), 0);
}

TEST_F(UpdateRunTest, TwoInstrumentsKeepTheOperatorsChoiceBetweenRuns) {
    SimScenario scenario = OneInstrument("writer");
    scenario.instruments.push_back(Instrument(kSecond, "writer"));
    Start(scenario);

    // First run: nothing chosen yet, so the first entry; the operator declines.
    PressUpdate(kIdNo);
    EXPECT_EQ(window.Log(), "Connect ... OK\r\n\r\nError number: 2");
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{Confirmation(
                                "2 instruments are Found. Are you sure you want to update "
                                "K4417F SN:TW00012345?")}));
    ExpectEndedCleanly();

    // The operator picks the second instrument in the list; the next run keeps it.
    window.DeviceListSelect(1);
    window.boxes.clear();
    PressUpdate();
    ASSERT_FALSE(window.boxes.empty());
    EXPECT_EQ(window.boxes.front(), Confirmation("2 instruments are Found. Are you sure you want "
                                                 "to update K4417F SN:TW00067890?"));
    EXPECT_EQ(window.DeviceListText(255), kSecond);
    EXPECT_EQ(SectionsWritten(1), 6);
    EXPECT_EQ(SectionsWritten(0), 0);
    ExpectEndedCleanly();
}

TEST_F(UpdateRunTest, ResourceNameWithoutTWShowsItsFirstTenCharacters) {
    SimScenario scenario;
    scenario.instruments.push_back(Instrument("USB0::0x0D3F::0x1141::tw00000077::INSTR"));
    Start(scenario);
    PressUpdate(kIdNo);

    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{Confirmation(
                                "Are you sure you want to update K4417F SN:USB0::0x0D?")}));
    ExpectEndedCleanly();
}

// Endings before any section is written: code, log, boxes, and a clean end every time.
TEST_F(UpdateRunTest, FailuresBeforeTheTransferAreReportedAndCleanedUp) {
    struct Case {
        const char* what;
        std::function<void(SimScenario&, K4417FFile&)> setup;
        std::string log;
        std::vector<RecordedBox> boxes;
    };
    const std::string maker = "ZENTROVA CORP.,K4417F,TW00012345,0100.1..01....01.0100\n";
    const std::vector<Case> cases = {
        {"connect fails",
         [](SimScenario& s, K4417FFile&) {
             s.faults.push_back(SimFault::AtCall("viOpen", 1, "fail"));
         },
         "Connect ... \r\nError number: 3",
         {ErrorBox("Failed to connect device.")}},
        {"timeout cannot be set",
         [](SimScenario& s, K4417FFile&) {
             s.faults.push_back(SimFault::AtCall("viSetAttribute", 1, "fail"));
         },
         "Connect ... \r\nError number: 3",
         {ErrorBox("Failed to connect device.")}},
        {"switch command fails",
         [](SimScenario& s, K4417FFile&) {
             s.faults.push_back(SimFault::AtCall("viWrite", 2, "fail"));
         },
         "Connect ... OK\r\nTo Writer ... \r\nError number: 4",
         {kConfirmFirst, ErrorBox("IO Error.")}},
        {"reconnect after the switch fails",
         [](SimScenario& s, K4417FFile&) {
             s.faults.push_back(SimFault::AtCall("viOpen", 2, "timeout"));
         },
         "Connect ... OK\r\nTo Writer ... OK\r\nConnect ... \r\nError number: 3",
         {kConfirmFirst, ErrorBox("Failed to connect device.")}},
        {"still the normal firmware after the switch",
         [&](SimScenario& s, K4417FFile&) { s.instruments[0].idnReply = maker; },
         "Connect ... OK\r\nTo Writer ... OK\r\nConnect ... OK\r\nTesting ... \r\nError number: 5",
         {kConfirmFirst, ErrorBox("Device is not in the Writer Operation Mode.")}},
        {"second identification times out",
         [](SimScenario& s, K4417FFile&) {
             s.instruments[0].mode = "writer";
             s.faults.push_back(SimFault::AtCall("viRead", 2, "timeout"));
         },
         "Connect ... OK\r\nTesting ... \r\nError number: 4",
         {kConfirmFirst, ErrorBox("IO Error.")}},
        {"reply without fields",
         [](SimScenario& s, K4417FFile&) { s.instruments[0].idnReply = ",,,"; },
         "Connect ... OK\r\nTesting ... \r\nError number: 7",
         {kConfirmFirst}},
        {"reply with fewer than three commas",
         [](SimScenario& s, K4417FFile&) { s.instruments[0].idnReply = "WRITER,K4417F\n"; },
         "Connect ... OK\r\nTesting ... OK\r\nCheck Revision ... \r\nError number: 21",
         {kConfirmFirst, ErrorBox("Can't verify which firmware revision currently used.")}},
        {"instrument newer than the file",
         [](SimScenario& s, K4417FFile& f) {
             s.instruments[0].mode = "writer";
             f.revisions[0] = "0";  // writer program; the instrument reports "1"
         },
         "Connect ... OK\r\nTesting ... OK\r\nCheck Revision ... \r\nError number: 22",
         {kConfirmFirst, ErrorBox("The firmware revision file is corrupted.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimScenario scenario = OneInstrument();
        K4417FFile file;
        c.setup(scenario, file);
        Start(scenario, file);
        PressUpdate();

        EXPECT_EQ(window.Log(), c.log);
        EXPECT_EQ(window.boxes, c.boxes);
        EXPECT_EQ(visa_->instrument(0).sectionsBegun(), 0);
        ExpectEndedCleanly();
    }
}

TEST_F(UpdateRunTest, FailureInTheThirdSectionKeepsTheFirstTwo) {
    SimScenario scenario = OneInstrument("writer");
    scenario.faults.push_back(SimFault::AtStep(3, "final", "PROGRAM NG"));
    Start(scenario);
    PressUpdate();

    EXPECT_EQ(window.Log(), "Connect ... OK\r\nTesting ... OK\r\nCheck Revision ... OK\r\n" +
                                Repeat(kSectionOk, 2) +
                                "    Loading ... OK\r\n    Check Sum ... OK\r\n"
                                "    Write to flash ... \r\nError number: 18");
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst}));
    EXPECT_EQ(window.texts[IDC_SECTION_COUNTER], "3 / 6");
    EXPECT_TRUE(FlashHolds(0, 0));
    EXPECT_TRUE(FlashHolds(0, 1));
    EXPECT_EQ(SectionsWritten(0), 2);
    ExpectEndedCleanly();
}

TEST_F(UpdateRunTest, WindowCannotCloseOrStartAgainWhileSectionsAreWritten) {
    Start(OneInstrument("writer"));
    struct Seen {
        int32_t flag;
        bool canClose, browse, update;
    };
    std::vector<Seen> seen;
    window.onPump = [&] {
        seen.push_back({core_->transferInProgress(), core_->CanClose(),
                        window.IsEnabled(IDC_BROWSE), window.IsEnabled(IDC_UPDATE)});
        // Clicks that slip through in the middle of the transfer change nothing.
        core_->RunUpdate();
        core_->LoadFirmwareFile();
    };
    PressUpdate();

    ASSERT_FALSE(seen.empty());
    for (const Seen& s : seen) {
        EXPECT_EQ(s.flag, 1);
        EXPECT_FALSE(s.canClose);
        EXPECT_FALSE(s.browse);
        EXPECT_FALSE(s.update);
    }
    EXPECT_EQ(window.fileDialogs, 1);  // only the load in Start
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst, kCompletedBox}));
    EXPECT_EQ(SectionsWritten(0), 6);
    ExpectEndedCleanly();
}

// A fault at each step of the first section's exchange, whether the writer answers
// wrongly or a VISA call fails: the run stops with the step's code, nothing completes.
TEST_F(UpdateRunTest, EveryProtocolStepFaultEndsTheRunWithItsCode) {
    struct WriterCase {
        const char* step;
        std::string text;
        int code;
    };
    const std::vector<WriterCase> writerCases = {
        {"reset", "NG", 6},
        {"end_load_data", "NG", 11},
        {"end_load", "OKAY", 11},
        {"select", "NG", 12},
        {"checksum_length", "NG", 13},
        {"checksum", "", 14},
        {"checksum", "12345", 1},
        {"flash_check", "NG", 15},
        {"final", "ERASE NG", 17},
        {"final", "PROGRAM NG", 18},
        {"final", "DATA IS THE LATEST UPDATE", 19},
    };
    std::vector<std::pair<SimFault, int>> faults;
    for (const WriterCase& w : writerCases)
        faults.push_back({SimFault::AtStep(1, w.step, w.text), w.code});
    // Every write and read of the first section, taken from a clean run.
    Start(OneInstrument("writer"));
    PressUpdate();
    bool inFirst = false;
    int resets = 0;
    for (const SimCall& call : visa_->calls()) {
        if (call.op == "viWrite" && call.byteCount == 12 && call.bytes[0] == 0xAB &&
            call.bytes[5] == 0x0A)
            inFirst = ++resets == 1;
        if (inFirst && (call.op == "viWrite" || call.op == "viRead"))
            faults.push_back({SimFault::AtCall(call.op, call.nth, "fail"), 4});
    }
    ASSERT_GT(faults.size(), writerCases.size() + 10);

    for (const auto& [fault, code] : faults) {
        SCOPED_TRACE(fault.op.empty() ? fault.step + " \"" + fault.text + "\""
                                      : fault.op + " #" + std::to_string(fault.nth));
        SimScenario scenario = OneInstrument("writer");
        scenario.faults.push_back(fault);
        Start(scenario);
        PressUpdate();

        const std::string ending = "\r\nError number: " + std::to_string(code);
        const std::string log = window.Log();
        EXPECT_EQ(log.substr(log.size() - std::min(log.size(), ending.size())), ending);
        EXPECT_EQ(log.find(kCompleted), std::string::npos);
        EXPECT_EQ(window.texts[IDC_SECTION_COUNTER], "1 / 6");
        // A lost progress line leaves the first section flashed; nothing goes further.
        EXPECT_LE(visa_->instrument(0).sectionsBegun(), 1);
        for (size_t later = 1; later < kK4417FIds.size(); ++later)
            EXPECT_FALSE(FlashHolds(0, later));
        EXPECT_EQ(window.boxes.size(), kErrorTable[code].showBox ? 2u : 1u);
        ExpectEndedCleanly();
    }
}

// The section list should always match the model's table; if it ever runs short, the
// run refuses the file at that row instead of writing from a missing section.
TEST_F(UpdateRunTest, SectionListRunningShortIsRefusedAtTheMissingRow) {
    K4417FFile file;
    file.imageRev = "0.2";  // no revision check, so the transfer itself meets the gap
    Start(OneInstrument("writer"), file);
    ImageSection* second = core_->firmware().sections->next;
    ImageSection* rest = std::exchange(second->next, nullptr);
    PressUpdate();
    second->next = rest;  // handed back, to be freed with the file

    EXPECT_EQ(window.Log(), "Connect ... OK\r\nTesting ... OK\r\n" + Repeat(kSectionOk, 2) +
                                "\r\nError number: 26");
    EXPECT_EQ(window.boxes,
              (std::vector<RecordedBox>{kConfirmFirst,
                                        ErrorBox("The firmware revision file is corrupted.")}));
    EXPECT_EQ(window.texts[IDC_SECTION_COUNTER], "3 / 6");
    EXPECT_EQ(SectionsWritten(0), 2);
    ExpectEndedCleanly();
}

TEST_F(UpdateRunTest, UpdateWithoutALoadedFileDoesNothing) {
    Start(OneInstrument());
    core_.reset();  // a fresh dialog: no file chosen, no model selected
    core_ = std::make_unique<Updater>(*visa_, window, "0x0d3f", "0x1141");
    core_->Initialise();
    window.texts[IDC_LOG] = "untouched";
    core_->RunUpdate();

    EXPECT_EQ(window.Log(), "untouched");
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(visa_->callsOf("viFindRsrc").empty());
}

TEST_F(UpdateRunTest, ClosingTheDialogClosesTheResourceManagerOnce) {
    Start(OneInstrument());
    core_.reset();
    EXPECT_EQ(visa_->callsOf("viClose").size(), 1u);
}

}  // namespace
