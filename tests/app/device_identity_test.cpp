// Start-up identity: what the operator sees when the built-in line or another identity
// line is in effect.

#include "app/device_identity.h"

#include <gtest/gtest.h>

#include "recording_window.h"

namespace {

const RecordedBox kCheckIdentityBox{"Check VID, PID and MAC !", "WARNING:", kMbOk, false};
const RecordedBox kCheckMacBox{"Check MAC format xx-xx-xx !", "WARNING:", kMbOk, false};

class DeviceIdentityTest : public ::testing::Test {
  protected:
    // An identity line given as the built-in line: no "INFO:" box follows.
    bool ResolveBuiltIn(const std::string& line) {
        return ResolveIdentityFrom(identity, window, std::string(), line);
    }
    // An identity that did not come from the built-in line.
    bool ResolveOther(const std::string& line) {
        return ResolveIdentityFrom(identity, window, line, kDefaultIdentityLine);
    }

    DeviceIdentity identity;
    RecordingWindow window;
};

TEST_F(DeviceIdentityTest, BuiltInLineResolvesQuietlyToNormalisedIds) {
    ASSERT_TRUE(ResolveIdentity(identity, window));
    EXPECT_EQ(identity.leadingToken, "ABC");
    EXPECT_EQ(identity.vid, "0x0d3f");
    EXPECT_EQ(identity.pid, "0x1141");
    EXPECT_EQ(identity.mac, "02-5C-3E");
    EXPECT_EQ(identity.macPart1 + "|" + identity.macPart2 + "|" + identity.macPart3, "02|5C|3E");
    EXPECT_EQ(identity.defaultFlag, 1);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(DeviceIdentityTest, ResolvingTwiceGivesTheSameIdentity) {
    // The normalised ids must not be normalised again into something else.
    ASSERT_TRUE(ResolveIdentity(identity, window));
    ASSERT_TRUE(ResolveIdentity(identity, window));
    EXPECT_EQ(identity.vid, "0x0d3f");
    EXPECT_EQ(identity.pid, "0x1141");
}

TEST_F(DeviceIdentityTest, IdsAreReadAsLeadingDecimalDigitsUnlessAlreadyHex) {
    EXPECT_EQ(NormaliseUsbId("100"), "0x0064");
    EXPECT_EQ(NormaliseUsbId("0X1A"), "0X1A");
    EXPECT_EQ(NormaliseUsbId("0x1a"), "0x1a");
    EXPECT_EQ(NormaliseUsbId("12ab"), "0x000c");
    EXPECT_EQ(NormaliseUsbId(""), "0x0000");
    EXPECT_EQ(NormaliseUsbId("ab12"), "0x0000");
    EXPECT_EQ(NormaliseUsbId("65535"), "0xffff");
    EXPECT_EQ(NormaliseUsbId("70000"), "0x11170");
    // atol's sign and 32-bit saturation: still at most ten characters.
    EXPECT_EQ(NormaliseUsbId("-1"), "0xffffffff");
    EXPECT_EQ(NormaliseUsbId("99999999999"), "0x7fffffff");
    EXPECT_EQ(NormaliseUsbId("-99999999999"), "0x80000000");
}

TEST_F(DeviceIdentityTest, AnotherIdentityIsShownInAnInfoBox) {
    ASSERT_TRUE(ResolveOther("DEV 100 0X1A 02-5C-3E"));
    EXPECT_EQ(identity.defaultFlag, 0);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0], (RecordedBox{"VID:0x0064\nPID:0X1A\nMAC:02-5C-3E",
                                            "INFO:", kMbOk | kMbIconInformation, false}));
}

TEST_F(DeviceIdentityTest, MacMustHaveThreeNonEmptyParts) {
    EXPECT_FALSE(ResolveBuiltIn("ABC 3391 4417 02-5C"));
    EXPECT_FALSE(ResolveBuiltIn("ABC 3391 4417 02--3E"));
    EXPECT_FALSE(ResolveBuiltIn("ABC 3391 4417 -5C-3E"));
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kCheckMacBox, kCheckMacBox, kCheckMacBox}));

    window.boxes.clear();
    ASSERT_TRUE(ResolveBuiltIn("ABC 3391 4417 02-5C-3E-11"));
    EXPECT_EQ(identity.macPart1 + "|" + identity.macPart2 + "|" + identity.macPart3, "02|5C|3E");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(DeviceIdentityTest, MissingFieldsAreRefusedBeforeTheMacIsLookedAt) {
    EXPECT_FALSE(ResolveBuiltIn("ABC 3391 4417"));
    EXPECT_FALSE(ResolveBuiltIn(" 3391 4417 02-5C-3E"));  // no leading token
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kCheckIdentityBox, kCheckIdentityBox}));
}

TEST_F(DeviceIdentityTest, EmptyVidPassesBecauseItBecomesZero) {
    ASSERT_TRUE(ResolveBuiltIn("ABC  4417 02-5C-3E"));
    EXPECT_EQ(identity.vid, "0x0000");
    EXPECT_EQ(identity.pid, "0x1141");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(DeviceIdentityTest, IdsTooLongForTheSearchAreRefusedAtStartUp) {
    // 27 characters of VID and PID together is the most the 49-character search holds.
    ASSERT_TRUE(ResolveBuiltIn("ABC 0x0000000000000000000 0x0001 02-5C-3E"));
    EXPECT_TRUE(window.boxes.empty());

    EXPECT_FALSE(ResolveBuiltIn("ABC 0x00000000000000000000 0x0001 02-5C-3E"));
    EXPECT_FALSE(ResolveBuiltIn("ABC 3391 0x" + std::string(300, 'F') + " 02-5C-3E"));
    EXPECT_EQ(window.boxes, (std::vector<RecordedBox>{kCheckIdentityBox, kCheckIdentityBox}));
}

TEST_F(DeviceIdentityTest, CommandLineWithoutIdsFallsBackToTheBuiltInLine) {
    ASSERT_TRUE(ResolveOther("JUSTATOKEN"));
    EXPECT_EQ(identity.defaultFlag, 1);
    EXPECT_EQ(identity.leadingToken, "ABC");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(DeviceIdentityTest, SubStringsFollowTheFrameworkRules) {
    std::string out = "stale";
    EXPECT_TRUE(ExtractSubString(out, "a  b", 1, ' '));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(ExtractSubString(out, "a  b", 2, ' '));
    EXPECT_EQ(out, "b");
    EXPECT_TRUE(ExtractSubString(out, "a b ", 2, ' '));  // a trailing separator: one empty field
    EXPECT_EQ(out, "");

    out = "stale";
    EXPECT_FALSE(ExtractSubString(out, "a b ", 3, ' '));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(ExtractSubString(out, "a b", -1, ' '));
    EXPECT_TRUE(ExtractSubString(out, "", 0, ' '));
    EXPECT_EQ(out, "");

    // The text ends at its first zero byte, as a C string does.
    EXPECT_FALSE(ExtractSubString(out, std::string("a\0b c", 5), 1, ' '));
    EXPECT_EQ(ExtractSubString("x y z w extra", 3, ' '), "w");
}

}  // namespace
