#include "core/base/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace mzb {
namespace {

// Hue in turns (0 to 1), saturation and lightness 0 to 1.
struct Hsl {
    double Hue = 0;
    double Saturation = 0;
    double Lightness = 0;
};

double Linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb c) {
    return 0.2126 * Linear(c.Red) + 0.7152 * Linear(c.Green) + 0.0722 * Linear(c.Blue);
}

Hsl ToHsl(Rgb c) {
    const double r = c.Red / 255.0;
    const double g = c.Green / 255.0;
    const double b = c.Blue / 255.0;
    const double high = std::max({r, g, b});
    const double low = std::min({r, g, b});
    Hsl hsl;
    hsl.Lightness = (high + low) / 2;
    const double span = high - low;
    if (span == 0) {
        return hsl;
    }
    hsl.Saturation = span / (1 - std::abs(2 * hsl.Lightness - 1));
    double sector = 0;
    if (high == r) {
        sector = std::fmod((g - b) / span + 6, 6);
    } else if (high == g) {
        sector = (b - r) / span + 2;
    } else {
        sector = (r - g) / span + 4;
    }
    hsl.Hue = sector / 6;
    return hsl;
}

int Channel(double value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

Rgb ToRgb(const Hsl& hsl) {
    const double chroma = (1 - std::abs(2 * hsl.Lightness - 1)) * hsl.Saturation;
    const double sector = hsl.Hue * 6;
    const double second = chroma * (1 - std::abs(std::fmod(sector, 2) - 1));
    double r = 0;
    double g = 0;
    double b = 0;
    switch (static_cast<int>(sector) % 6) {
    case 0:
        r = chroma, g = second;
        break;
    case 1:
        r = second, g = chroma;
        break;
    case 2:
        g = chroma, b = second;
        break;
    case 3:
        g = second, b = chroma;
        break;
    case 4:
        r = second, b = chroma;
        break;
    default:
        r = chroma, b = second;
        break;
    }
    const double base = hsl.Lightness - chroma / 2;
    return {Channel(r + base), Channel(g + base), Channel(b + base)};
}

} // namespace

double ContrastRatio(Rgb a, Rgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb ReadableOn(Rgb wanted, Rgb background) {
    if (ContrastRatio(wanted, background) >= kReadableContrast) {
        return wanted;
    }
    const bool lighten =
        ContrastRatio({255, 255, 255}, background) >= ContrastRatio({0, 0, 0}, background);
    Hsl hsl = ToHsl(wanted);
    // Contrast grows steadily as the lightness moves toward the chosen end,
    // so halving finds the nearest lightness; `enough` always reaches it,
    // judged on the rounded channels that will be drawn.
    double notEnough = hsl.Lightness;
    double enough = lighten ? 1.0 : 0.0;
    for (int step = 0; step < 24; ++step) {
        hsl.Lightness = (notEnough + enough) / 2;
        if (ContrastRatio(ToRgb(hsl), background) >= kReadableContrast) {
            enough = hsl.Lightness;
        } else {
            notEnough = hsl.Lightness;
        }
    }
    hsl.Lightness = enough;
    return ToRgb(hsl);
}

} // namespace mzb
