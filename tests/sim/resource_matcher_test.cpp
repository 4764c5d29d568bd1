// Which resource names a VISA search expression finds.

#include "resource_matcher.h"

#include <gtest/gtest.h>

#include <tuple>

// Names as instruments and other resources present them; letters match regardless of case.
TEST(SimSearchExpression, FindsWholeNamesByRepeatsClassesAndEscapes) {
    const char* program = "USB?*::0x0d3f::0x1141::TW?*::INSTR";
    const std::tuple<const char*, const char*, SimMatch> cases[] = {
        {program, "USB0::0x0D3F::0x1141::TW12345678::INSTR", SimMatch::kMatch},
        {program, "USB12::0x0D3F::0x1141::TW1::INSTR", SimMatch::kMatch},
        {program, "usb0::0x0d3f::0x1141::tw12345678::instr", SimMatch::kMatch},
        {program, "USB0::0x0D3F::0x1141::TX12345678::INSTR", SimMatch::kNoMatch},
        {program, "USB0::0x0D3F::0x1142::TW12345678::INSTR", SimMatch::kNoMatch},
        {program, "USB::0x0D3F::0x1141::TW::INSTR", SimMatch::kMatch},         // "?*" may be empty
        {program, "USB0::0x0D3F::0x1141::TW1::INSTR::X", SimMatch::kNoMatch},  // whole name
        {program, "GPIB0::0x0D3F::0x1141::TW1::INSTR", SimMatch::kNoMatch},
        {"AB*C", "AC", SimMatch::kMatch},
        {"AB*C", "ABBBC", SimMatch::kMatch},
        {"AB*C", "ABXC", SimMatch::kNoMatch},
        {"AB+C", "AC", SimMatch::kNoMatch},
        {"AB+C", "ABBC", SimMatch::kMatch},
        {"?*", "", SimMatch::kMatch},
        {"?*::INSTR", "ASRL1::INSTR", SimMatch::kMatch},
        {"GPIB[0-9]::1", "GPIB7::1", SimMatch::kMatch},
        {"GPIB[0-9]::1", "GPIBx::1", SimMatch::kNoMatch},
        {"[a-c]+", "AbCcB", SimMatch::kMatch},  // classes ignore letter case too
        {"[^T]W?*", "TW1", SimMatch::kNoMatch},
        {"[^T]W?*", "XW1", SimMatch::kMatch},
        {"[0-9a-f]+", "0x1f", SimMatch::kNoMatch},
        {"0x[0-9a-f]+", "0X1F", SimMatch::kMatch},
        {"A\\*B", "A*B", SimMatch::kMatch},
        {"A\\*B", "AB", SimMatch::kNoMatch},
    };
    for (const auto& [expression, name, expected] : cases)
        EXPECT_EQ(SimMatchExpression(expression, name), expected) << expression << " ~ " << name;
}

TEST(SimSearchExpression, MalformedExpressionsAreRefused) {
    for (const char* bad : {"*USB", "+", "USB**", "USB*+", "[0-9", "[]", "A]", "[9-0]", "A\\"})
        EXPECT_EQ(SimMatchExpression(bad, "USB"), SimMatch::kMalformed) << bad;
}

TEST(SimSearchExpression, ManyRepeatsStayLinear) {
    // Regression guard for backtracking matchers: this would take ages with naive recursion.
    std::string expression;
    for (int i = 0; i < 30; ++i) expression += "?*";
    expression += "X";
    EXPECT_EQ(SimMatchExpression(expression, std::string(200, 'A')), SimMatch::kNoMatch);
}
