#include "core/base/TimedMessageLayout.h"

#include <algorithm>
#include <cstdint>

namespace mzb {

int MulDivRounded(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c < 0 ? -c : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

TimedMessageMetrics MessageMetrics(int lettersWidth, int lettersHeight, int okWidth) {
    const int w = lettersWidth / static_cast<int>(kMeasureLetters.size());
    const int h = lettersHeight;
    TimedMessageMetrics m;
    m.HorzMargin = MulDivRounded(8, w, 4);
    m.VertMargin = MulDivRounded(8, h, 8);
    m.HorzSpacing = MulDivRounded(10, w, 4);
    m.VertSpacing = MulDivRounded(10, h, 8);
    m.ButtonWidth = std::max(MulDivRounded(50, w, 4), okWidth + 8);
    m.ButtonHeight = MulDivRounded(14, h, 8);
    return m;
}

TimedMessageLayout LayOutTimedMessage(const TimedMessageMetrics& m, int textWidth, int textHeight,
                                      bool hasIcon, bool rightToLeft) {
    const int iconTextWidth = textWidth + (hasIcon ? kMessageIconSize + m.HorzSpacing : 0);
    const int iconTextHeight = hasIcon ? std::max(textHeight, kMessageIconSize) : textHeight;

    TimedMessageLayout l;
    l.ClientWidth = std::max(iconTextWidth, m.ButtonWidth) + 2 * m.HorzMargin;
    l.ClientHeight = iconTextHeight + m.ButtonHeight + m.VertSpacing + 2 * m.VertMargin;
    if (hasIcon) {
        l.Icon = MessageRect{m.HorzMargin, m.VertMargin, kMessageIconSize, kMessageIconSize};
    }
    l.Message = {iconTextWidth - textWidth + m.HorzMargin, m.VertMargin, textWidth, textHeight};
    if (rightToLeft) {
        l.Message.Left = l.ClientWidth - l.Message.Left - l.Message.Width;
    }
    l.Button = {(l.ClientWidth - m.ButtonWidth) / 2, iconTextHeight + m.VertMargin + m.VertSpacing,
                m.ButtonWidth, m.ButtonHeight};
    return l;
}

MessagePoint CentredOnScreen(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    return {screenWidth / 2 - windowWidth / 2, screenHeight / 2 - windowHeight / 2};
}

} // namespace mzb
