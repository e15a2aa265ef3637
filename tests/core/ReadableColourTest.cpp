#include "core/base/ReadableColour.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kNavy{0, 0, 128};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};

// The figures the accessibility guidelines' own examples and checkers give.
TEST(ReadableColour, ContrastIsTheGuidelinesRatio) {
    EXPECT_NEAR(ContrastRatio(kBlack, kWhite), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(kWhite, kBlack), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(kNavy, kWhite), 16.0, 0.02);
    EXPECT_NEAR(ContrastRatio(kBlue, kWhite), 8.59, 0.01);
    EXPECT_NEAR(ContrastRatio(kRed, kWhite), 4.0, 0.01);
    EXPECT_NEAR(ContrastRatio({0x77, 0x77, 0x77}, kWhite), 4.48, 0.01);
    EXPECT_DOUBLE_EQ(ContrastRatio(kNavy, kNavy), 1.0);
}

// Blue hues keep red equal to green below blue; red hues keep green equal
// to blue below red.
bool SameHue(Rgb wanted, Rgb shown) {
    if (wanted.Blue > wanted.Red) {
        return shown.Red == shown.Green && shown.Blue > shown.Red;
    }
    return shown.Green == shown.Blue && shown.Red > shown.Green;
}

TEST(ReadableColour, KeepsTheHueAndMovesOnlyAsFarAsTheBackgroundNeeds) {
    struct Case {
        const char* what;
        Rgb wanted;
        Rgb background;
        bool kept; // readable as it is
    } const cases[] = {
        {"navy on a light window", kNavy, {0xef, 0xef, 0xef}, true},
        {"blue on a white field", kBlue, kWhite, true},
        {"navy on a dark window", kNavy, {0x35, 0x35, 0x35}, false},
        {"blue on a dark field", kBlue, {0x2a, 0x2a, 0x2a}, false},
        {"navy on black", kNavy, kBlack, false},
        {"red on a light window", kRed, {0xef, 0xef, 0xef}, false},
        {"red on a dark window", kRed, {0x35, 0x35, 0x35}, false},
        {"navy on middle grey", kNavy, {0x77, 0x77, 0x77}, false},
        {"red on middle grey", kRed, {0x76, 0x76, 0x76}, false},
    };
    for (const Case& c : cases) {
        const Rgb shown = ReadableOn(c.wanted, c.background);
        const double contrast = ContrastRatio(shown, c.background);
        EXPECT_GE(contrast, kReadableContrast) << c.what;
        EXPECT_EQ(shown == c.wanted, c.kept) << c.what;
        if (!c.kept) {
            // The nearest lightness that reads, not simply black or white.
            EXPECT_LT(contrast, kReadableContrast + 0.3) << c.what;
            EXPECT_TRUE(SameHue(c.wanted, shown)) << c.what;
        }
    }
}

} // namespace
} // namespace mzb
