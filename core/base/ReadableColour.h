#pragma once
// Text colours that stay readable on any desktop palette. The windows name
// a few texts by colour (navy labels, a blue archive path, a red schedule
// switch); on a dark palette those exact colours all but vanish, so each is
// drawn in its own hue at the lightness that gives the contrast the
// accessibility guidelines ask of body text against the background the
// palette actually has.

namespace mzb {

struct Rgb {
    int Red = 0; // each 0 to 255, sRGB
    int Green = 0;
    int Blue = 0;

    bool operator==(const Rgb&) const = default;
};

// The guidelines' contrast ratio of two colours, 1 (equal) to 21 (black on
// white), the same whichever is the text.
double ContrastRatio(Rgb a, Rgb b);

// What normal-sized text needs against its background.
inline constexpr double kReadableContrast = 4.5;

// The wanted colour itself when it reaches kReadableContrast against the
// background; otherwise the colour of the same hue and saturation whose
// lightness is the nearest that does, lighter on a dark background and
// darker on a light one. Black or white reach it on any background, so the
// result always does.
Rgb ReadableOn(Rgb wanted, Rgb background);

} // namespace mzb
