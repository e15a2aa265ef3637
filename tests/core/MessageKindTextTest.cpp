#include "core/base/MessageKindText.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(MessageKindTextTest, EachKindHasItsTitleAndOnlyTheCustomOneNoIcon) {
    struct Case {
        MessageKind kind;
        const char* title; // nullptr: the application's title
        bool icon;
    };
    const Case cases[] = {
        {MessageKind::Warning, "Warning", true},
        {MessageKind::Error, "Error", true},
        {MessageKind::Information, "Information", true},
        {MessageKind::Confirmation, "Confirm", true},
        {MessageKind::Custom, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        for (const char* application : {"Backup Tool", "Other"}) {
            EXPECT_EQ(MessageKindTitle(c.kind, application),
                      c.title != nullptr ? c.title : application);
        }
        EXPECT_EQ(MessageKindHasIcon(c.kind), c.icon);
    }
}

} // namespace
} // namespace mzb
