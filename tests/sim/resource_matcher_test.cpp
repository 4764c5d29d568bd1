// Which resource names a VISA search expression finds, and how a USB instrument name reads.

#include "visa/resource_matcher.h"

#include <gtest/gtest.h>

#include <tuple>

#include "instrument/resource_name.h"
#include "visa/usb_resource_name.h"

// Names as instruments and other resources present them; letters match regardless of case.
TEST(SimSearchExpression, FindsWholeNamesByRepeatsClassesAndEscapes) {
    const char* program = "USB?*::0x0d3f::0x1141::TW?*::INSTR";
    const std::tuple<const char*, const char*, ResourceMatch> cases[] = {
        {program, "USB0::0x0D3F::0x1141::TW12345678::INSTR", ResourceMatch::kMatch},
        {program, "USB12::0x0D3F::0x1141::TW1::INSTR", ResourceMatch::kMatch},
        {program, "usb0::0x0d3f::0x1141::tw12345678::instr", ResourceMatch::kMatch},
        {program, "USB0::0x0D3F::0x1141::TX12345678::INSTR", ResourceMatch::kNoMatch},
        {program, "USB0::0x0D3F::0x1142::TW12345678::INSTR", ResourceMatch::kNoMatch},
        {program, "USB::0x0D3F::0x1141::TW::INSTR", ResourceMatch::kMatch},  // "?*" may be empty
        {program, "USB0::0x0D3F::0x1141::TW1::INSTR::X", ResourceMatch::kNoMatch},  // whole name
        {program, "GPIB0::0x0D3F::0x1141::TW1::INSTR", ResourceMatch::kNoMatch},
        {"AB*C", "AC", ResourceMatch::kMatch},
        {"AB*C", "ABBBC", ResourceMatch::kMatch},
        {"AB*C", "ABXC", ResourceMatch::kNoMatch},
        {"AB+C", "AC", ResourceMatch::kNoMatch},
        {"AB+C", "ABBC", ResourceMatch::kMatch},
        {"?*", "", ResourceMatch::kMatch},
        {"?*::INSTR", "ASRL1::INSTR", ResourceMatch::kMatch},
        {"GPIB[0-9]::1", "GPIB7::1", ResourceMatch::kMatch},
        {"GPIB[0-9]::1", "GPIBx::1", ResourceMatch::kNoMatch},
        {"[a-c]+", "AbCcB", ResourceMatch::kMatch},  // classes ignore letter case too
        {"[^T]W?*", "TW1", ResourceMatch::kNoMatch},
        {"[^T]W?*", "XW1", ResourceMatch::kMatch},
        {"[0-9a-f]+", "0x1f", ResourceMatch::kNoMatch},
        {"0x[0-9a-f]+", "0X1F", ResourceMatch::kMatch},
        {"A\\*B", "A*B", ResourceMatch::kMatch},
        {"A\\*B", "AB", ResourceMatch::kNoMatch},
    };
    for (const auto& [expression, name, expected] : cases)
        EXPECT_EQ(MatchResourceExpression(expression, name), expected)
            << expression << " ~ " << name;
}

TEST(SimSearchExpression, MalformedExpressionsAreRefused) {
    for (const char* bad : {"*USB", "+", "USB**", "USB*+", "[0-9", "[]", "A]", "[9-0]", "A\\"})
        EXPECT_EQ(MatchResourceExpression(bad, "USB"), ResourceMatch::kMalformed) << bad;
}

TEST(SimSearchExpression, ManyRepeatsStayLinear) {
    // Regression guard for backtracking matchers: this would take ages with naive recursion.
    std::string expression;
    for (int i = 0; i < 30; ++i) expression += "?*";
    expression += "X";
    EXPECT_EQ(MatchResourceExpression(expression, std::string(200, 'A')), ResourceMatch::kNoMatch);
}

// USB instrument names field by field, as an operator may type them: each form a vendor
// library accepts, and the near misses it refuses.
TEST(UsbResourceName, ReadsEachFieldInEveryFormVisaAllows) {
    struct Case {
        const char* name;
        unsigned board;
        uint16_t vendor, product;
        const char* serial;
        int interfaceNumber;
    };
    const Case accepted[] = {
        {"USB0::0x0D3F::0x1141::TW00012345::INSTR", 0, 0x0d3f, 0x1141, "TW00012345", -1},
        {"USB::0x0D3F::0x1141::TW00012345::INSTR", 0, 0x0d3f, 0x1141, "TW00012345", -1},
        {"usb3::0X0d3f::0x1141::tw1::instr", 3, 0x0d3f, 0x1141, "tw1", -1},
        {"USB0::3391::4417::TW1::INSTR", 0, 0x0d3f, 0x1141, "TW1", -1},  // decimal ids
        {"USB0::0x0D3F::0x1141::TW1::2::INSTR", 0, 0x0d3f, 0x1141, "TW1", 2},
        {"USB0::0xFFFF::65535::TW1::255::INSTR", 0, 0xffff, 0xffff, "TW1", 255},
        {"USB0::0x0D3F::0x1141::INSTR", 0, 0x0d3f, 0x1141, "", -1},  // no serial
    };
    for (const Case& c : accepted) {
        UsbResourceName parsed;
        ASSERT_TRUE(ParseUsbResourceName(c.name, parsed)) << c.name;
        EXPECT_EQ(parsed.board, c.board) << c.name;
        EXPECT_EQ(parsed.vendor, c.vendor) << c.name;
        EXPECT_EQ(parsed.product, c.product) << c.name;
        EXPECT_EQ(parsed.serial, c.serial) << c.name;
        EXPECT_EQ(parsed.interfaceNumber, c.interfaceNumber) << c.name;
        EXPECT_EQ(SerialFromResource(c.name), c.serial);  // what listings and choices show
    }
    for (const char* refused : {
             "USB0::0x0D3F::0x1141::TW1",              // no INSTR
             "USB0::0x0D3F::0x1141::TW1::RAW",         // another resource class
             "GPIB0::0x0D3F::0x1141::TW1::INSTR",      // another interface type
             "USBx::0x0D3F::0x1141::TW1::INSTR",       // board not a number
             "USB0::0x::0x1141::TW1::INSTR",           // "0x" without digits
             "USB0::0x0D3G::0x1141::TW1::INSTR",       // not hexadecimal
             "USB0::0x10000::0x1141::TW1::INSTR",      // beyond 16 bits
             "USB0::65536::0x1141::TW1::INSTR",        // beyond 16 bits, decimal
             "USB0::::0x1141::TW1::INSTR",             // empty id
             "USB0::0x0D3F::0x1141::::INSTR",          // empty serial field
             "USB0::0x0D3F::0x1141::TW1::256::INSTR",  // interface beyond a byte
             "USB0::0x0D3F::0x1141::TW1::0x1::INSTR",  // interface in hexadecimal
             "USB0::0x0D3F::0x1141::TW1::1::2::INSTR",
             "USB0::0x0D3F::INSTR",
         }) {
        UsbResourceName parsed;
        EXPECT_FALSE(ParseUsbResourceName(refused, parsed)) << refused;
    }
}

TEST(UsbResourceName, WritesTheFormVendorLibrariesList) {
    UsbResourceName name;
    name.vendor = 0xd3f, name.product = 0x1141, name.serial = "TW00012345";
    EXPECT_EQ(FormatUsbResourceName(name), "USB0::0x0D3F::0x1141::TW00012345::INSTR");
    name.interfaceNumber = 1;
    EXPECT_EQ(FormatUsbResourceName(name), "USB0::0x0D3F::0x1141::TW00012345::1::INSTR");
    name.serial.clear(), name.interfaceNumber = -1;
    EXPECT_EQ(FormatUsbResourceName(name), "USB0::0x0D3F::0x1141::INSTR");
}
