// Identification, the switch into writer mode and the revision check, against replies the
// test writes down: how each instrument reply is classified and which file passes.

#include "instrument/identification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "scripted_visa.h"

namespace {

// Revision field whose characters are A to V: the instrument's parts then read
// G (writer), JK and PQ (FPGA), ABCD (main) and STUV (http).
const std::string kIdnPrefix = "ZENTROVA CORP.,K4417F,TW00012345,";
const std::string kRevisionField = "ABCDEFGHIJKLMNOPQRSTUV";

class IdentificationTest : public ::testing::Test {
  protected:
    IdentificationTest() {
        link.OpenResourceManager();
        link.ConnectDevice();
    }

    int Identify(const std::string& instrumentReply) {
        visa.reads = {{VI_SUCCESS, instrumentReply}};
        return IdentifyDevice(link, model, reply);
    }

    // A loaded file whose sections carry these revisions, in table order.
    void LoadFile(const std::vector<std::string>& revisions) {
        ClearFirmwareInfo(info);
        for (const std::string& revision : revisions) {
            ImageSection* section = AppendSection(info);
            ASSERT_NE(section, nullptr);
            std::strncpy(section->revision, revision.c_str(), sizeof section->revision - 1);
        }
    }
    ImageSection* Section(int index) {
        ImageSection* section = info.sections;
        while (index-- > 0) section = section->next;
        return section;
    }

    ScriptedVisa visa;
    RecordingWindow window;
    InstrumentLink link{visa, window, "0x0d3f", "0x1141"};
    const ModelRecord& model = *FindModel("K4417F");
    std::string reply = "previous";
    FirmwareInfo info;
};

TEST_F(IdentificationTest, NormalFirmwareNamesItsMakerInAnyLetterCase) {
    EXPECT_EQ(Identify("zentrova corp.,k4417f,tw00012345,abcd\n"), 5);
    EXPECT_EQ(reply, "ZENTROVA CORP.,K4417F,TW00012345,ABCD\n");
    EXPECT_EQ(visa.written, (std::vector<std::string>{"*IDN?\n"}));
    EXPECT_EQ(visa.readMax, kReplyMax);

    // strtok skips leading separators.
    EXPECT_EQ(Identify(",,ZENTROVA CORP.,K4417F"), 5);
}

TEST_F(IdentificationTest, RepliesWithoutFirstFieldGiveSeven) {
    EXPECT_EQ(Identify(""), 7);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(Identify(",,,"), 7);
    EXPECT_EQ(reply, ",,,");
}

TEST_F(IdentificationTest, AnythingButTheExactMakerCountsAsWriterMode) {
    EXPECT_EQ(Identify("ZENTROVA CORP.\n"), 0);  // the only field ends with the line end
    EXPECT_EQ(reply, "ZENTROVA CORP.\n");
    EXPECT_EQ(Identify(" ZENTROVA CORP.,K4417F"), 0);
    EXPECT_EQ(Identify("ZENTROVA,K4417F"), 0);
    EXPECT_EQ(Identify("WRITER,COUNTER,K4417F,1\n"), 0);
    EXPECT_EQ(Identify("writer,k4417f\n"), 0);
}

TEST_F(IdentificationTest, FailedQueryOrReadGivesFourAndKeepsThePreviousReply) {
    visa.writeStatuses = {VI_ERROR_IO};
    visa.reads = {{VI_SUCCESS, "ZENTROVA CORP.,X"}};
    EXPECT_EQ(IdentifyDevice(link, model, reply), 4);
    EXPECT_EQ(reply, "previous");
    EXPECT_EQ(visa.reads.size(), 1u);  // nothing read after a failed query

    visa.reads = {{VI_ERROR_TMO, ""}};
    EXPECT_EQ(IdentifyDevice(link, model, reply), 4);
    visa.reads = {{VI_SUCCESS_MAX_CNT, std::string(kReplyMax, 'Z')}};
    EXPECT_EQ(IdentifyDevice(link, model, reply), 4);
    EXPECT_EQ(reply, "previous");
}

TEST_F(IdentificationTest, SwitchToWriterSendsOneCommandAndReadsNothing) {
    EXPECT_EQ(SwitchToWriter(link), 0);
    EXPECT_EQ(visa.written, (std::vector<std::string>{"SYST:UPDATE COUNTER\n"}));
    EXPECT_EQ(visa.written[0].size(), 20u);

    visa.writeStatuses = {VI_ERROR_TMO};
    EXPECT_EQ(SwitchToWriter(link), 4);
    EXPECT_EQ(std::count(visa.calls.begin(), visa.calls.end(), "viRead"), 0);
}

TEST_F(IdentificationTest, RevisionCheckNeedsThreeCommas) {
    LoadFile({"G", "JK", "PQ", "ABCD", "STUV", "00"});
    EXPECT_EQ(CheckRevisions(info, model, "ZENTROVA CORP.,K4417F" + kRevisionField), 21);
    EXPECT_EQ(CheckRevisions(info, model, ""), 21);
    // An empty revision field: every row passes, whatever the file holds.
    LoadFile({"", "", "", "", "", ""});
    EXPECT_EQ(CheckRevisions(info, model, "A,B,C,"), 0);
}

TEST_F(IdentificationTest, EqualOrNewerFileRevisionsPass) {
    LoadFile({"G", "JK", "PQ", "ABCD", "STUV", "00"});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + kRevisionField + "\n"), 0);
    EXPECT_EQ(info.cursor, nullptr);  // the walk went past every section

    // Longer texts beginning with the instrument's revision, and bytes above 0x7F.
    LoadFile({"G123", "JKL", "\xE0", "ABCE", "T", "00"});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + kRevisionField), 0);
}

TEST_F(IdentificationTest, OlderSectionStopsTheCheckAtItsRow) {
    LoadFile({"G", "JK", "PP", "0000", "0000", "00"});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + kRevisionField), 22);
    EXPECT_EQ(info.cursor, Section(2));  // the rows after it were not compared

    LoadFile({"G", "JK", "PQ", "ABC", "STUV", "00"});  // ends where the instrument's goes on
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + kRevisionField), 22);
    EXPECT_EQ(info.cursor, Section(3));
}

TEST_F(IdentificationTest, OemCodeIsNeverComparedButKeepsRowsPaired) {
    // An empty Oem revision would sort below the instrument's "00" if it were compared.
    LoadFile({"G", "JK", "PQ", "ABCD", "STUV", ""});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + kRevisionField), 0);
    EXPECT_EQ(info.cursor, nullptr);
}

TEST_F(IdentificationTest, ShortRevisionFieldLetsRowsBeyondItPass) {
    // Three characters: only the main program has a revision to compare.
    LoadFile({"", "", "", "ABC", "", "00"});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + "ABC"), 0);
    LoadFile({"", "", "", "ABB", "", "00"});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + "ABC"), 22);
}

TEST_F(IdentificationTest, FileWithTooFewSectionsIsNotTrusted) {
    LoadFile({"G", "JK"});
    EXPECT_EQ(CheckRevisions(info, model, kIdnPrefix + kRevisionField), 22);
}

}  // namespace
