// Letter case, folded in one place for the whole program: only a to z and A to Z change,
// whatever the locale, and the comparisons built on it.

#include "base/ascii.h"

#include <gtest/gtest.h>

TEST(Ascii, OnlyTheTwentySixLettersChangeCase) {
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool lower = byte >= 'a' && byte <= 'z', upper = byte >= 'A' && byte <= 'Z';
        EXPECT_EQ(UpperAscii(c), lower ? static_cast<char>(byte - 32) : c) << byte;
        EXPECT_EQ(LowerAscii(c), upper ? static_cast<char>(byte + 32) : c) << byte;
    }
    std::string text = "az AZ @[`{ \xE4";
    UpperCaseAscii(text);
    EXPECT_EQ(text, "AZ AZ @[`{ \xE4");
    EXPECT_EQ(LowerCaseAscii(text), "az az @[`{ \xE4");
}

TEST(Ascii, ComparisonsIgnoreCaseButNotLength) {
    EXPECT_TRUE(EqualIgnoringCase("Tw00012345", "TW00012345"));
    EXPECT_FALSE(EqualIgnoringCase("TW0001234", "TW00012345"));
    EXPECT_FALSE(EqualIgnoringCase("TW00012345", "TW00012346"));
    EXPECT_TRUE(StartsWithIgnoringCase("usb0::0x0d3f", "USB0::"));
    EXPECT_TRUE(StartsWithIgnoringCase("OK", ""));
    EXPECT_FALSE(StartsWithIgnoringCase("O", "OK"));
    EXPECT_FALSE(StartsWithIgnoringCase("OX", "OK"));
    // A C string that ends before the count does not match, whatever follows its end.
    EXPECT_FALSE(StartsWithIgnoringCase("OK\0AY", "OKAY", 4));
    EXPECT_TRUE(StartsWithIgnoringCase("data is the latest upda", "DATA IS THE LATEST UPDATE", 23));
}
