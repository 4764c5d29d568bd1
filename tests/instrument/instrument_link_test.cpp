// The instrument sessions against a library whose every answer the test decides: what the
// device list shows, what is opened and closed, and what reaches the callers of reads.

#include "instrument/instrument_link.h"

#include <gtest/gtest.h>

#include <cstring>

#include "recording_window.h"
#include "scripted_visa.h"

namespace {

class InstrumentLinkTest : public ::testing::Test {
  protected:
    InstrumentLinkTest() { link.OpenResourceManager(); }

    ScriptedVisa visa;
    RecordingWindow window;
    InstrumentLink link{visa, window, "0x0d3f", "0x1141"};
};

TEST_F(InstrumentLinkTest, SearchExpressionFitsFortyNineCharactersOrIsRefused) {
    EXPECT_EQ(link.searchExpression(), "USB?*::0x0d3f::0x1141::TW?*::INSTR");
    EXPECT_EQ(link.searchExpression().size(), 34u);
    EXPECT_EQ(BuildSearchExpression("0x" + std::string(19, '0'), "0x0001").size(), 49u);
    EXPECT_EQ(BuildSearchExpression("0x" + std::string(20, '0'), "0x0001"), "");
}

TEST_F(InstrumentLinkTest, ThreeInstrumentsAreListedSortedWithNoneSelected) {
    visa.resources = {"USB0::0x0D3F::0x1141::TW003::INSTR", "USB0::0x0D3F::0x1141::TW001::INSTR",
                      "USB1::0x0D3F::0x1141::TW002::INSTR"};
    window.selected = 0;
    EXPECT_EQ(link.SearchInstruments(), 3);
    EXPECT_EQ(window.devices, (std::vector<std::string>{"USB0::0x0D3F::0x1141::TW001::INSTR",
                                                        "USB0::0x0D3F::0x1141::TW003::INSTR",
                                                        "USB1::0x0D3F::0x1141::TW002::INSTR"}));
    EXPECT_EQ(window.selected, -1);
    EXPECT_EQ(visa.calls.front(), "viOpenDefaultRM");
    EXPECT_EQ(visa.calls[1], "viFindRsrc USB?*::0x0d3f::0x1141::TW?*::INSTR");
    // The find list is closed once the search is over.
    EXPECT_EQ(visa.calls.back(), "viClose 2");
}

TEST_F(InstrumentLinkTest, SearchThatFindsNothingEmptiesTheList) {
    visa.resources = {"USB0::0x0D3F::0x1141::TW001::INSTR"};
    ASSERT_EQ(link.SearchInstruments(), 1);
    ASSERT_EQ(window.devices.size(), 1u);

    visa.resources.clear();
    EXPECT_EQ(link.SearchInstruments(), 0);
    EXPECT_TRUE(window.devices.empty());
}

TEST_F(InstrumentLinkTest, FailedSearchAddsNothingAndPassesOnTheLibraryCount) {
    visa.resources = {"USB0::0x0D3F::0x1141::TW001::INSTR"};
    visa.findStatus = VI_ERROR_INV_EXPR;
    EXPECT_EQ(link.SearchInstruments(), 0);
    visa.countOnFailure = 2;
    EXPECT_EQ(link.SearchInstruments(), 2);
    EXPECT_TRUE(window.devices.empty());
    // A positive completion code is a failure too.
    visa.findStatus = VI_SUCCESS_MAX_CNT;
    visa.countOnFailure = 0;
    EXPECT_EQ(link.SearchInstruments(), 0);
    EXPECT_TRUE(window.devices.empty());
}

TEST_F(InstrumentLinkTest, RefusedIdentitySearchesNothing) {
    InstrumentLink refused(visa, window, "0x" + std::string(40, 'F'), "0x1141");
    window.devices = {"left over"};
    visa.calls.clear();
    EXPECT_EQ(refused.SearchInstruments(), 0);
    EXPECT_TRUE(window.devices.empty());
    EXPECT_TRUE(visa.calls.empty());
}

TEST_F(InstrumentLinkTest, UnterminatedResourceNameIsCutAtTheBuffer) {
    visa.resources = {std::string(VI_FIND_BUFLEN, 'A'), std::string(300, 'B')};
    EXPECT_EQ(link.SearchInstruments(), 2);
    ASSERT_EQ(window.devices.size(), 2u);
    EXPECT_EQ(window.devices[0], std::string(VI_FIND_BUFLEN - 1, 'A'));
    EXPECT_EQ(window.devices[1], std::string(VI_FIND_BUFLEN - 1, 'B'));
}

TEST_F(InstrumentLinkTest, ConnectOpensTheSelectedEntryAndSetsTheIoTimeout) {
    visa.resources = {"USB0::0x0D3F::0x1141::TW002::INSTR", "USB0::0x0D3F::0x1141::TW001::INSTR"};
    link.SearchInstruments();
    window.DeviceListSelect(1);
    EXPECT_EQ(link.ConnectDevice(), 0);
    EXPECT_EQ(visa.openedName, "USB0::0x0D3F::0x1141::TW002::INSTR");
    EXPECT_EQ(visa.openMode, VI_NULL);
    EXPECT_EQ(visa.openTimeout, 1000u);
    EXPECT_EQ(visa.attribute, 0x3FFF001Au);
    EXPECT_EQ(visa.attributeValue, 5000u);
    EXPECT_EQ(link.instrumentSession(), ScriptedVisa::kInstrument);
}

TEST_F(InstrumentLinkTest, ConnectWithLongNameOpensAtMost254Characters) {
    window.devices = {std::string(300, 'N')};
    window.selected = 0;
    EXPECT_EQ(link.ConnectDevice(), 0);
    EXPECT_EQ(visa.openedName, std::string(254, 'N'));
}

TEST_F(InstrumentLinkTest, FailedOpenGivesThreeAndNoSession) {
    visa.openStatus = VI_ERROR_RSRC_NFOUND;
    EXPECT_EQ(link.ConnectDevice(), 3);
    EXPECT_EQ(visa.openedName, "");  // nothing selected: the empty name is tried
    EXPECT_EQ(link.instrumentSession(), 0u);

    visa.openStatus = VI_SUCCESS_MAX_CNT;  // positive completion codes fail too
    EXPECT_EQ(link.ConnectDevice(), 3);
}

TEST_F(InstrumentLinkTest, FailedTimeoutKeepsTheSessionOpenUntilDisconnect) {
    visa.setAttributeStatus = VI_ERROR_NSUP_ATTR;
    EXPECT_EQ(link.ConnectDevice(), 3);
    EXPECT_EQ(link.instrumentSession(), ScriptedVisa::kInstrument);
    EXPECT_TRUE(visa.closed.empty());

    link.DisconnectDevice();
    EXPECT_EQ(visa.closed, (std::vector<ViUInt32>{ScriptedVisa::kInstrument}));
    EXPECT_EQ(link.instrumentSession(), 0u);
}

TEST_F(InstrumentLinkTest, DisconnectWithoutSessionIsHarmless) {
    link.DisconnectDevice();
    link.DisconnectDevice();
    EXPECT_EQ(visa.closed, (std::vector<ViUInt32>{0, 0}));
    EXPECT_EQ(link.instrumentSession(), 0u);
}

TEST_F(InstrumentLinkTest, ResourceManagerClosesOnceAtTheEnd) {
    EXPECT_EQ(link.resourceManager(), ScriptedVisa::kRm);
    link.CloseResourceManager();
    EXPECT_EQ(visa.closed, (std::vector<ViUInt32>{ScriptedVisa::kRm}));
}

TEST_F(InstrumentLinkTest, WriteSendsTheWholeBufferOnceAndOnlyTheStatusCounts) {
    link.ConnectDevice();
    const char frame[] = "\xAB\x00\x00\x00\x08\x01guard!";
    EXPECT_EQ(link.WriteDevice(frame, 12), VI_SUCCESS);  // although half was "written"
    ASSERT_EQ(visa.written.size(), 1u);
    EXPECT_EQ(visa.written[0], std::string(frame, 12));

    visa.writeStatuses = {VI_ERROR_TMO};
    EXPECT_EQ(link.WriteDevice("*IDN?\n", 6), VI_ERROR_TMO);
}

TEST_F(InstrumentLinkTest, ReplyIsTerminatedAndUpperCased) {
    char buffer[kReplyMax + 1];
    std::memset(buffer, 'x', sizeof buffer);
    uint32_t count = 99;
    visa.reads = {{VI_SUCCESS, "ok\r\n"}};
    EXPECT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::string(buffer, 5), std::string("OK\r\n\0", 5));
    EXPECT_EQ(visa.readMax, kReplyMax);

    // Only a to z change, and only up to the first zero byte.
    visa.reads = {{VI_SUCCESS, std::string("rtnok \xE4z{\0ab", 12)}};
    EXPECT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS);
    EXPECT_EQ(std::string(buffer, 13), std::string("RTNOK \xE4Z{\0ab\0", 13));
}

TEST_F(InstrumentLinkTest, FailedReadsReturnTheirStatusUnchanged) {
    char buffer[kReplyMax + 1];
    uint32_t count = 0;
    visa.reads = {{VI_ERROR_TMO, ""}, {VI_SUCCESS_TERM_CHAR, "ok\n"}};
    EXPECT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_ERROR_TMO);
    EXPECT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(std::string(buffer, 3), "ok\n");  // left as the library wrote it

    // A reply filling the whole maximum without its end is a failure for the caller.
    visa.reads = {{VI_SUCCESS_MAX_CNT, std::string(kReplyMax, 'a')}};
    EXPECT_EQ(link.ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(count, kReplyMax);
}

TEST_F(InstrumentLinkTest, CountBeyondTheMaximumNeverWritesPastTheBuffer) {
    struct {
        char reply[17];
        char guard[8];
    } memory;
    std::memset(&memory, '#', sizeof memory);
    uint32_t count = 0;
    visa.reads = {{VI_SUCCESS, std::string(16, 'a'), 5000}};
    EXPECT_EQ(link.ReadDevice(memory.reply, 16, &count), VI_SUCCESS);
    EXPECT_EQ(count, 16u);
    EXPECT_EQ(std::string(memory.reply, 17), std::string(16, 'A') + '\0');
    EXPECT_EQ(std::string(memory.guard, 8), std::string(8, '#'));
}

}  // namespace
