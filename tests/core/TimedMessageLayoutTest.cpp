#include "core/base/TimedMessageLayout.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

// A font whose 52 letters measure 7 px each (with a remainder the average
// drops), 15 px high, with a 14 px "OK".
const TimedMessageMetrics kMetrics = MessageMetrics(52 * 7 + 51, 15, 14);

TEST(TimedMessageLayoutTest, MetricsRoundEachRatioToTheNearestPixel) {
    EXPECT_EQ(kMetrics.HorzMargin, 14);   // 8 * 7 / 4
    EXPECT_EQ(kMetrics.VertMargin, 15);   // 8 * 15 / 8
    EXPECT_EQ(kMetrics.HorzSpacing, 18);  // 17.5
    EXPECT_EQ(kMetrics.VertSpacing, 19);  // 18.75
    EXPECT_EQ(kMetrics.ButtonWidth, 88);  // 87.5
    EXPECT_EQ(kMetrics.ButtonHeight, 26); // 26.25
    // A caption wider than the font's button width widens the button.
    EXPECT_EQ(MessageMetrics(52 * 7, 15, 100).ButtonWidth, 108);
    EXPECT_EQ(MulDivRounded(-1, 1, 2), -1);
    EXPECT_EQ(MulDivRounded(3, 1, -2), -2);
}

TEST(TimedMessageLayoutTest, IconStandsLeftOfTheTextAndTheButtonIsCentredBelowBoth) {
    const TimedMessageLayout l = LayOutTimedMessage(kMetrics, 200, 30, true, false);
    EXPECT_EQ(l.ClientWidth, 200 + 32 + 18 + 2 * 14);
    // The icon is taller than the text, so it sets the height.
    EXPECT_EQ(l.ClientHeight, 32 + 26 + 19 + 2 * 15);
    ASSERT_TRUE(l.Icon.has_value());
    EXPECT_EQ(*l.Icon, (MessageRect{14, 15, 32, 32}));
    EXPECT_EQ(l.Message, (MessageRect{64, 15, 200, 30}));
    EXPECT_EQ(l.Button, (MessageRect{95, 66, 88, 26}));

    const TimedMessageLayout tall = LayOutTimedMessage(kMetrics, 200, 90, true, false);
    EXPECT_EQ(tall.ClientHeight, 90 + 26 + 19 + 2 * 15);
    EXPECT_EQ(tall.Button.Top, 90 + 15 + 19);
}

TEST(TimedMessageLayoutTest, CustomKindHasNoIconAndAShortTextGetsTheButtonsWidth) {
    const TimedMessageLayout l = LayOutTimedMessage(kMetrics, 20, 15, false, false);
    EXPECT_FALSE(l.Icon.has_value());
    EXPECT_EQ(l.ClientWidth, 88 + 2 * 14);
    EXPECT_EQ(l.ClientHeight, 15 + 26 + 19 + 2 * 15);
    EXPECT_EQ(l.Message.Left, 14);
    EXPECT_EQ(l.Button.Left, 14);
}

TEST(TimedMessageLayoutTest, RightToLeftMirrorsTheTextOnly) {
    const TimedMessageLayout l = LayOutTimedMessage(kMetrics, 200, 30, true, true);
    EXPECT_EQ(l.Message.Left, l.ClientWidth - 64 - 200);
    EXPECT_EQ(l.Icon->Left, 14);
}

TEST(TimedMessageLayoutTest, WindowIsCentredWithHalvesRoundedDown) {
    EXPECT_EQ(CentredOnScreen(1024, 768, 281, 131), (MessagePoint{512 - 140, 384 - 65}));
    EXPECT_EQ(CentredOnScreen(1023, 767, 280, 130), (MessagePoint{511 - 140, 383 - 65}));
}

} // namespace
} // namespace mzb
