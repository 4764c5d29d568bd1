// Identification, the switch into writer mode and the revision check against the simulated
// instrument: how each reply is classified and which file passes the check.

#include "instrument/identification.h"

#include <gtest/gtest.h>

#include <cstring>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "update_fixture.h"

namespace {

// The revision field A to V: the instrument's regions then read G (writer program),
// JK and PQ (FPGA codes), ABCD (main program) and STUV (http program).
const std::string kReplyAtoV = "ZENTROVA CORP.,K4417F,TW00012345,ABCDEFGHIJKLMNOPQRSTUV\n";

class IdentificationTest : public UpdateFixture {
  protected:
    void Start(std::vector<SimFault> faults = {}) {
        UpdateFixture::Start(Bench("normal", std::move(faults)));
    }
    // The instrument answers "*IDN?" with exactly `idnReply`.
    int Identify(const std::string& idnReply) {
        Start({SimFault::AtCall("viRead", 1, "reply", idnReply)});
        EXPECT_EQ(Connect(), 0);
        return IdentifyDevice(link(), model, reply);
    }
    // A loaded file whose sections carry these revisions, in table order: the check's result.
    int Check(const std::vector<std::string>& revisions, const std::string& idnReply = kReplyAtoV) {
        ClearFirmwareInfo(info);
        for (const std::string& revision : revisions)
            std::strncpy(AppendSection(info)->revision, revision.c_str(), 4);
        return CheckRevisions(info, model, idnReply);
    }

    const ModelRecord& model = *FindModel("K4417F");
    std::string reply = "previous";
    FirmwareInfo info;
};

TEST_F(IdentificationTest, RepliesAreStoredUpperCasedAndClassifiedByTheirFirstField) {
    const std::tuple<std::string, int, std::string> cases[] = {
        {"zentrova corp.,k4417f,tw1,1\n", 5, "ZENTROVA CORP.,K4417F,TW1,1\n"},
        {",,ZENTROVA CORP.,X", 5, ",,ZENTROVA CORP.,X"},  // strtok skips leading commas
        {"", 7, ""},
        {",,,", 7, ",,,"},
        {"ZENTROVA CORP.\n", 0, "ZENTROVA CORP.\n"},  // the only field ends with the line end
        {" ZENTROVA CORP.,K4417F", 0, " ZENTROVA CORP.,K4417F"},
        {"WRITER,COUNTER,K4417F\n", 0, "WRITER,COUNTER,K4417F\n"},
    };
    for (const auto& [idnReply, code, stored] : cases) {
        EXPECT_EQ(Identify(idnReply), code) << idnReply;
        EXPECT_EQ(reply, stored);
        EXPECT_EQ(sim->callsOf("viWrite").at(0).text(), "*IDN?\n");
    }
}

TEST_F(IdentificationTest, FailedQueryOrReplyGivesFourAndKeepsThePreviousReply) {
    for (const SimFault& fault :
         {SimFault::AtCall("viWrite", 1, "fail"), SimFault::AtCall("viRead", 1, "timeout"),
          SimFault::AtCall("viRead", 1, "reply", std::string(300, 'Z'))}) {
        Start({fault});
        ASSERT_EQ(Connect(), 0);
        EXPECT_EQ(IdentifyDevice(link(), model, reply), 4) << fault.op << " " << fault.action;
        EXPECT_EQ(reply, "previous");
    }
}

TEST_F(IdentificationTest, SwitchedInstrumentAnswersAsTheWriterAfterReconnecting) {
    Start();
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(IdentifyDevice(link(), model, reply), 5);
    EXPECT_EQ(SwitchToWriter(link()), 0);
    EXPECT_EQ(sim->callsOf("viWrite").back().text(), "SYST:UPDATE COUNTER\n");
    EXPECT_EQ(sim->callsOf("viRead").size(), 1u);  // no reply is read after the switch
    link().DisconnectDevice();
    ASSERT_EQ(link().ConnectDevice(kFirstResource), 0);
    EXPECT_EQ(IdentifyDevice(link(), model, reply), 0);
    EXPECT_EQ(reply.rfind("WRITER,K4417F,", 0), 0u) << reply;
    // The simulated instrument's own revisions: 1, 01, 01, 0100, 0100.
    EXPECT_EQ(Check({"1", "01", "01", "0100", "0100", "00"}, reply), 0);
    EXPECT_TRUE(sim->violations().empty());

    Start({SimFault::AtCall("viWrite", 1, "timeout")});
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(SwitchToWriter(link()), 4);
}

TEST_F(IdentificationTest, RevisionCheckPassesEqualOrNewerSectionsAndStopsAtAnOlderOne) {
    EXPECT_EQ(Check({"G", "JK", "PQ", "ABCD", "STUV", "00"}), 0);
    // Longer texts beginning with the instrument's, and bytes above 0x7F (unsigned order).
    EXPECT_EQ(Check({"G123", "JKL", "\xE0", "ABCE", "T", "00"}), 0);
    // Each region is compared on its own: one older region is enough to stop.
    const std::vector<std::string> same = {"G", "JK", "PQ", "ABCD", "STUV", "00"};
    for (size_t row = 0; row < 5; ++row) {
        std::vector<std::string> older = same;
        --older[row].back();
        EXPECT_EQ(Check(older), 22) << older[row];
    }
    EXPECT_EQ(Check({"G", "JK", "PQ", "ABC", "STUV", "00"}), 22);
    // An empty Oem revision would sort below "00" if that row were ever compared.
    EXPECT_EQ(Check({"G", "JK", "PQ", "ABCD", "STUV", ""}), 0);
    // A file with fewer sections than rows is not trusted.
    EXPECT_EQ(Check({"G", "JK"}), 22);
}

TEST_F(IdentificationTest, RevisionFieldNeedsThreeCommasAndShortFieldsPassTheirRows) {
    EXPECT_EQ(Check({"G", "JK", "PQ", "ABCD", "STUV", "00"}, "ZENTROVA CORP.,K4417F,ABCD"), 21);
    EXPECT_EQ(Check({"", "", "", "", "", ""}, "A,B,C,"), 0);  // empty field: all pass
    EXPECT_EQ(Check({"", "", "", "ABC", "", ""}, "A,B,C,ABC"), 0);
    EXPECT_EQ(Check({"", "", "", "ABB", "", ""}, "A,B,C,ABC"), 22);
    EXPECT_EQ(Check({"", "", "", "ABB", "", ""}, ",,,ABC"), 22);  // the first comma may lead
}

TEST_F(IdentificationTest, FieldShowsTheFilesRevisionsWhenEveryRegionBeginsEachSectionRevision) {
    auto shows = [this](const std::vector<std::string>& revisions, const std::string& field) {
        Check(revisions);  // fills `info`
        return ShowsFileRevisions(info, model, field);
    };
    const std::string field = "ABCDEFGHIJKLMNOPQRSTUV";
    // The writer's one character and the FPGA codes' two begin the file's four.
    EXPECT_TRUE(shows({"G000", "JK00", "PQ", "ABCD", "STUV", "99"}, field));
    // Each region on its own differs; the OEM row is never shown.
    const std::vector<std::string> same = {"G", "JK", "PQ", "ABCD", "STUV", "00"};
    for (size_t row = 0; row < 5; ++row) {
        std::vector<std::string> other = same;
        ++other[row].back();
        EXPECT_FALSE(shows(other, field)) << other[row];
    }
    // A field too short for a region shows nothing there, even a part that matches.
    EXPECT_FALSE(shows({"G", "JK", "PQ", "ABCD", "ST", "00"}, "ABCDEFGHIJKLMNOPQRST"));
    EXPECT_FALSE(shows({"", "", "", "", "", ""}, ""));
    EXPECT_FALSE(shows({"G", "JK"}, field));  // fewer sections than rows
}

}  // namespace
