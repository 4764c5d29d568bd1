// Which resource names a VISA search expression finds.

#include "visa/resource_matcher.h"

#include <gtest/gtest.h>

#include <tuple>

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
