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
#include "update_fixture.h"

namespace {

const std::string kSecond = "USB0::0x0D3F::0x1141::TW00067890::INSTR";

const std::string kSectionOk =
    "    Loading ... OK\r\n    Check Sum ... OK\r\n    Write to flash ... OK\r\n";
const std::string kCompleted = kCompletedLine;

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
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

class UpdateRunTest : public UpdateFixture {
  protected:
    int SectionsWritten(size_t instrument) {
        int n = 0;
        for (size_t i = 0; i < kK4417FIds.size(); ++i) n += FlashHoldsSection(i, instrument);
        return n;
    }
    int SleepsOf(uint32_t ms) const {
        return static_cast<int>(std::count(window.sleeps.begin(), window.sleeps.end(), ms));
    }
};

TEST_F(UpdateRunTest, NormalFirmwareIsSwitchedToTheWriterAndEverySectionWritten) {
    K4417FFile file;
    file.payloadSizes = {64, 48, 48, 3000, 128, 32};  // the main program needs three writes
    StartLoaded(Bench("normal"), file);
    PressUpdate();

    EXPECT_EQ(window.Log(),
              "Connect ... OK\r\nTo Writer ... OK\r\nConnect ... OK\r\nTesting ... OK\r\n"
              "Check Revision ... OK\r\n" +
                  Repeat(kSectionOk, 6) + kCompleted);
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst, kCompletedBox}));
    EXPECT_EQ(window.texts[IDC_SECTION_COUNTER], "6 / 6");
    EXPECT_EQ(SectionsWritten(0), 6);
    EXPECT_TRUE(sim->instrument(0).inWriterMode());
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
    SimScenario lostReply = Bench("writer");
    lostReply.faults.push_back(SimFault::AtCall("viRead", 1, "silent"));
    struct Case {
        const char* what;
        SimScenario scenario;
        K4417FFile file;
        std::string log;
    };
    const Case cases[] = {
        {"already in writer mode", Bench("writer"), K4417FFile{}, checked},
        {"first identification lost", lostReply, K4417FFile{}, checked},
        {"ImageRev beginning with '0'", Bench("writer"), zeroImageRev, tested},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartLoaded(c.scenario, c.file);
        PressUpdate();
        EXPECT_EQ(window.Log(), c.log + Repeat(kSectionOk, 6) + kCompleted);
        EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst, kCompletedBox}));
        EXPECT_EQ(SleepsOf(3500), 0);
        EXPECT_EQ(SectionsWritten(0), 6);
        ExpectEndedCleanly();
    }
}

TEST_F(UpdateRunTest, NoInstrumentShowsOnlyTheBox) {
    StartLoaded(SimScenario{});
    const auto enabledBefore = window.enabled;
    window.texts[IDC_LOG] = "previous run";
    PressUpdate();

    EXPECT_EQ(window.Log(), "");
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{{"No instrument found.", "Search Instrument",
                                                       kMbOk | kMbIconInformation, true}}));
    EXPECT_EQ(window.enabled, enabledBefore);
    EXPECT_TRUE(sim->callsOf("viOpen").empty());
    EXPECT_TRUE(window.sleeps.empty());
    EXPECT_EQ(sim->openSessionCount(), 0);
}

TEST_F(UpdateRunTest, TwoInstrumentsKeepTheOperatorsChoiceBetweenRuns) {
    SimScenario scenario = Bench("writer");
    scenario.instruments.push_back(Attached(kSecond, "writer"));
    StartLoaded(scenario);

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
    scenario.instruments.push_back(Attached("USB0::0x0D3F::0x1141::tw00000077::INSTR"));
    StartLoaded(scenario);
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
        {"reply with fewer than three commas",
         [](SimScenario& s, K4417FFile&) { s.instruments[0].idnReply = "WRITER,K4417F\n"; },
         "Connect ... OK\r\nTesting ... OK\r\nCheck Revision ... \r\nError number: 21",
         {kConfirmFirst, ErrorBox("Can't verify which firmware revision currently used.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimScenario scenario = Bench();
        K4417FFile file;
        c.setup(scenario, file);
        StartLoaded(scenario, file);
        PressUpdate();

        EXPECT_EQ(window.Log(), c.log);
        EXPECT_EQ(window.boxes, c.boxes);
        EXPECT_EQ(sim->instrument(0).sectionsBegun(), 0);
        ExpectEndedCleanly();
    }
}

TEST_F(UpdateRunTest, FailureInTheThirdSectionKeepsTheFirstTwo) {
    SimScenario scenario = Bench("writer");
    scenario.faults.push_back(SimFault::AtStep(3, "final", "PROGRAM NG"));
    StartLoaded(scenario);
    PressUpdate();

    EXPECT_EQ(window.Log(), "Connect ... OK\r\nTesting ... OK\r\nCheck Revision ... OK\r\n" +
                                Repeat(kSectionOk, 2) +
                                "    Loading ... OK\r\n    Check Sum ... OK\r\n"
                                "    Write to flash ... \r\nError number: 18");
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kConfirmFirst}));
    EXPECT_EQ(window.texts[IDC_SECTION_COUNTER], "3 / 6");
    EXPECT_TRUE(FlashHoldsSection(0, 0));
    EXPECT_TRUE(FlashHoldsSection(1, 0));
    EXPECT_EQ(SectionsWritten(0), 2);
    ExpectEndedCleanly();
}

TEST_F(UpdateRunTest, WindowCannotCloseOrStartAgainWhileSectionsAreWritten) {
    StartLoaded(Bench("writer"));
    struct Seen {
        int32_t flag;
        bool canClose, browse, update;
    };
    std::vector<Seen> seen;
    window.onPump = [&] {
        seen.push_back({core->transferInProgress(), core->CanClose(), window.IsEnabled(IDC_BROWSE),
                        window.IsEnabled(IDC_UPDATE)});
        // Clicks that slip through in the middle of the transfer change nothing.
        core->RunUpdate();
        core->LoadFirmwareFile();
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

// The section list should always match the model's table; if it ever runs short, the
// run refuses the file at that row instead of writing from a missing section.
TEST_F(UpdateRunTest, SectionListRunningShortIsRefusedAtTheMissingRow) {
    K4417FFile file;
    file.imageRev = "0.2";  // no revision check, so the transfer itself meets the gap
    StartLoaded(Bench("writer"), file);
    ImageSection* second = core->firmware().sections->next;
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
    Start();  // a fresh dialog: no file chosen, no model selected
    window.texts[IDC_LOG] = "untouched";
    PressUpdate();

    EXPECT_EQ(window.Log(), "untouched");
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(sim->callsOf("viFindRsrc").empty());
}

TEST_F(UpdateRunTest, ClosingTheDialogClosesTheResourceManagerOnce) {
    StartLoaded(Bench());
    core.reset();
    EXPECT_EQ(sim->callsOf("viClose").size(), 1u);
}

}  // namespace
