// Which resource names a VISA search expression finds.

#include "search_expression.h"

#include <gtest/gtest.h>

namespace {

const char kProgramExpression[] = "USB?*::0x0d3f::0x1141::TW?*::INSTR";

SimMatch Match(const char* expression, const char* name) {
    return SimMatchExpression(expression, name);
}

}  // namespace

TEST(SimSearchExpression, TheProgramsExpressionFindsOnlyTwSerialsOfItsModel) {
    EXPECT_EQ(Match(kProgramExpression, "USB0::0x0D3F::0x1141::TW12345678::INSTR"),
              SimMatch::kMatch);
    EXPECT_EQ(Match(kProgramExpression, "USB12::0x0D3F::0x1141::TW1::INSTR"), SimMatch::kMatch);
    EXPECT_EQ(Match(kProgramExpression, "usb0::0x0d3f::0x1141::tw12345678::instr"),
              SimMatch::kMatch);
    EXPECT_EQ(Match(kProgramExpression, "USB0::0x0D3F::0x1141::TX12345678::INSTR"),
              SimMatch::kNoMatch);
    EXPECT_EQ(Match(kProgramExpression, "USB0::0x0D3F::0x1142::TW12345678::INSTR"),
              SimMatch::kNoMatch);
    // "?*" is any number of any character, none included.
    EXPECT_EQ(Match(kProgramExpression, "USB::0x0D3F::0x1141::TW::INSTR"), SimMatch::kMatch);
    // The whole name must match.
    EXPECT_EQ(Match(kProgramExpression, "USB0::0x0D3F::0x1141::TW1::INSTR::X"), SimMatch::kNoMatch);
    EXPECT_EQ(Match(kProgramExpression, "GPIB0::0x0D3F::0x1141::TW1::INSTR"), SimMatch::kNoMatch);
}

TEST(SimSearchExpression, RepeatsApplyToWhatPrecedesThem) {
    EXPECT_EQ(Match("AB*C", "AC"), SimMatch::kMatch);
    EXPECT_EQ(Match("AB*C", "ABBBC"), SimMatch::kMatch);
    EXPECT_EQ(Match("AB*C", "ABXC"), SimMatch::kNoMatch);
    EXPECT_EQ(Match("AB+C", "AC"), SimMatch::kNoMatch);
    EXPECT_EQ(Match("AB+C", "ABBC"), SimMatch::kMatch);
    EXPECT_EQ(Match("?*", ""), SimMatch::kMatch);
    EXPECT_EQ(Match("?*::INSTR", "ASRL1::INSTR"), SimMatch::kMatch);
}

TEST(SimSearchExpression, ClassesRangesAndNegation) {
    EXPECT_EQ(Match("GPIB[0-9]::1", "GPIB7::1"), SimMatch::kMatch);
    EXPECT_EQ(Match("GPIB[0-9]::1", "GPIBx::1"), SimMatch::kNoMatch);
    EXPECT_EQ(Match("[a-c]+", "AbCcB"), SimMatch::kMatch);  // classes ignore letter case too
    EXPECT_EQ(Match("[^T]W?*", "TW1"), SimMatch::kNoMatch);
    EXPECT_EQ(Match("[^T]W?*", "XW1"), SimMatch::kMatch);
    EXPECT_EQ(Match("[0-9a-f]+", "0x1f"), SimMatch::kNoMatch);
    EXPECT_EQ(Match("0x[0-9a-f]+", "0X1F"), SimMatch::kMatch);
    EXPECT_EQ(Match("A\\*B", "A*B"), SimMatch::kMatch);
    EXPECT_EQ(Match("A\\*B", "AB"), SimMatch::kNoMatch);
}

TEST(SimSearchExpression, MalformedExpressionsAreRefused) {
    for (const char* bad : {"*USB", "+", "USB**", "USB*+", "[0-9", "[]", "A]", "[9-0]", "A\\"})
        EXPECT_EQ(Match(bad, "USB"), SimMatch::kMalformed) << bad;
}

TEST(SimSearchExpression, ManyRepeatsStayLinear) {
    // Regression guard for backtracking matchers: this would take ages with naive recursion.
    std::string expression;
    for (int i = 0; i < 30; ++i) expression += "?*";
    expression += "X";
    EXPECT_EQ(Match(expression.c_str(), std::string(200, 'A').c_str()), SimMatch::kNoMatch);
}
