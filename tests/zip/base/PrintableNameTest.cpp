#include "zip/base/PrintableName.h"

#include <gtest/gtest.h>
#include <string>

namespace mzb {
namespace {

TEST(PrintableName, ControlCharactersAndStrayBytesAreEscaped) {
    const struct {
        std::string name;
        const char* shown;
    } cases[] = {
        {"plain/naïve ✓.txt", "plain/naïve ✓.txt"}, // ordinary names print unchanged
        {"a\\b.txt", "a\\b.txt"},
        {"line\nbreak\r\ttab", "line\\nbreak\\r\\ttab"},
        {"esc\x1b[2J", "esc\\x1b[2J"},
        {std::string("\x01\x7f", 2), "\\x01\\x7f"},
        {"csi\xc2\x9b"
         "31m",
         "csi\\u009b31m"},               // a C1 control, encoded as UTF-8
        {"caf\xe9.txt", "caf\\xe9.txt"}, // Latin-1
        {"cut\xe2\x82", "cut\\xe2\\x82"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrintableName(c.name), c.shown) << c.shown;
    }
}

} // namespace
} // namespace mzb
