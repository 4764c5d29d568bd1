// Start-up identity: what the operator sees when the built-in line or another identity
// line is in effect.

#include "app/device_identity.h"

#include <gtest/gtest.h>

#include "recording_window.h"

namespace {

const RecordedBox kCheckIdentity{"Check VID, PID and MAC !", "WARNING:", kMbOk, false};
const RecordedBox kCheckMac{"Check MAC format xx-xx-xx !", "WARNING:", kMbOk, false};

class DeviceIdentityTest : public ::testing::Test {
  protected:
    DeviceIdentity identity;
    RecordingWindow window;
};

TEST_F(DeviceIdentityTest, BuiltInLineResolvesQuietlyToNormalisedIds) {
    for (int run = 0; run < 2; ++run) {  // a second start must not normalise again
        ASSERT_TRUE(ResolveIdentity(identity, window));
        EXPECT_EQ(identity.leadingToken + " " + identity.vid + " " + identity.pid,
                  "ABC 0x0d3f 0x1141");
        EXPECT_EQ(identity.macPart1 + "|" + identity.macPart2 + "|" + identity.macPart3,
                  "02|5C|3E");
        EXPECT_EQ(identity.defaultFlag, 1);
    }
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(DeviceIdentityTest, IdsAreReadAsLeadingDecimalDigitsUnlessAlreadyHex) {
    const std::pair<const char*, const char*> cases[] = {
        {"100", "0x0064"},    {"0X1A", "0X1A"},
        {"12ab", "0x000c"},   {"", "0x0000"},
        {"ab12", "0x0000"},   {"70000", "0x11170"},
        {"-1", "0xffffffff"}, {"99999999999", "0x7fffffff"},  // atol saturates
    };
    for (const auto& [text, normalised] : cases)
        EXPECT_EQ(NormaliseUsbId(text), normalised) << text;
}

TEST_F(DeviceIdentityTest, AnotherIdentityIsShownInAnInfoBox) {
    ASSERT_TRUE(
        ResolveIdentityFrom(identity, window, "DEV 100 0X1A 02-5C-3E-11", kDefaultIdentityLine));
    EXPECT_EQ(identity.defaultFlag, 0);
    const RecordedBox info{"VID:0x0064\nPID:0X1A\nMAC:02-5C-3E",
                           "INFO:", kMbOk | kMbIconInformation, false};
    EXPECT_EQ(window.boxes, std::vector<RecordedBox>{info});
    // A command line without ids falls back to the built-in line.
    ASSERT_TRUE(ResolveIdentityFrom(identity, window, "TOKEN", kDefaultIdentityLine));
    EXPECT_EQ(identity.defaultFlag, 1);
}

TEST_F(DeviceIdentityTest, BuiltInLinesAreCheckedFieldsFirstThenMac) {
    const std::string tooLong = "0x" + std::string(20, '0');  // 22 + 6: one past 49 in the search
    const std::pair<std::string, const RecordedBox*> cases[] = {
        {"ABC 3391 4417 02-5C-3E-11", nullptr},
        {"ABC  4417 02-5C-3E", nullptr},  // the empty VID has become 0x0000
        {"ABC " + tooLong.substr(0, 21) + " 0x0001 02-5C-3E", nullptr},
        {"ABC 3391 4417", &kCheckIdentity},
        {" 3391 4417 02-5C-3E", &kCheckIdentity},
        {"ABC " + tooLong + " 0x0001 02-5C-3E", &kCheckIdentity},
        {"ABC 3391 0x" + std::string(300, 'F') + " 02-5C", &kCheckIdentity},
        {"ABC 3391 4417 02-5C", &kCheckMac},
        {"ABC 3391 4417 02--3E", &kCheckMac},
    };
    for (const auto& [line, box] : cases) {
        window.boxes.clear();
        EXPECT_EQ(ResolveIdentityFrom(identity, window, "", line), box == nullptr) << line;
        EXPECT_EQ(window.boxes, box ? std::vector<RecordedBox>{*box} : std::vector<RecordedBox>{})
            << line;
    }
}

TEST_F(DeviceIdentityTest, SubStringsAreFieldsCountedFromZero) {
    std::string out = "stale";
    EXPECT_TRUE(ExtractSubString(out, "a  b", 1, ' '));
    EXPECT_EQ(out, "");
    EXPECT_EQ(ExtractSubString("a  b", 2, ' '), "b");
    EXPECT_TRUE(ExtractSubString(out, "a b ", 2, ' '));  // after a trailing separator: empty
    out = "stale";
    EXPECT_FALSE(ExtractSubString(out, "a b ", 3, ' '));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(ExtractSubString(out, "a b", -1, ' '));
    // The text ends at its first zero byte, as a C string does.
    EXPECT_FALSE(ExtractSubString(out, std::string("a\0b c", 5), 1, ' '));
}

}  // namespace
