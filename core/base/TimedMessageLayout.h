#pragma once
// The geometry of the program's timed message window, computed from the
// window font's measures and the measured text, so that every size rule is
// tested without a window. All values are device-independent pixels.

#include <optional>
#include <string_view>

namespace mzb {

// The text whose width, divided by its 52 letters, is the average
// character width, and whose height is the character height.
inline constexpr std::string_view kMeasureLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr int kMessageIconSize = 32;

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c);

struct TimedMessageMetrics {
    int HorzMargin = 0;
    int VertMargin = 0;
    int HorzSpacing = 0;
    int VertSpacing = 0;
    int ButtonWidth = 0;
    int ButtonHeight = 0;
};

// `lettersWidth` and `lettersHeight` measure kMeasureLetters on one line;
// `okWidth` is the width of the button's caption on one line.
TimedMessageMetrics MessageMetrics(int lettersWidth, int lettersHeight, int okWidth);

struct MessageRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const MessageRect&) const = default;
};

struct TimedMessageLayout {
    int ClientWidth = 0;
    int ClientHeight = 0;
    std::optional<MessageRect> Icon; // only for a kind with an icon
    MessageRect Message;
    MessageRect Button;
};

// `textWidth` and `textHeight` are the text's measures, word-wrapped within
// half the screen width with tabs expanded.
TimedMessageLayout LayOutTimedMessage(const TimedMessageMetrics& metrics, int textWidth,
                                      int textHeight, bool hasIcon, bool rightToLeft);

// The top-left corner that centres a window (its size including the frame)
// on the screen, each half rounded down.
struct MessagePoint {
    int X = 0;
    int Y = 0;

    bool operator==(const MessagePoint&) const = default;
};
MessagePoint CentredOnScreen(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

} // namespace mzb
