#include "core/base/MessageKindText.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(MessageKindTextTest, EachKindHasItsTitleAndOnlyTheCustomOneNoIcon) {
    EXPECT_EQ(MessageKindTitle(MessageKind::Warning, "app"), "Warning");
    EXPECT_EQ(MessageKindTitle(MessageKind::Error, "app"), "Error");
    EXPECT_EQ(MessageKindTitle(MessageKind::Information, "app"), "Information");
    EXPECT_EQ(MessageKindTitle(MessageKind::Confirmation, "app"), "Confirm");
    EXPECT_EQ(MessageKindTitle(MessageKind::Custom, "app"), "app");
    EXPECT_TRUE(MessageKindHasIcon(MessageKind::Confirmation));
    EXPECT_FALSE(MessageKindHasIcon(MessageKind::Custom));
}

} // namespace
} // namespace mzb
