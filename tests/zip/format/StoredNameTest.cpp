#include "zip/format/StoredName.h"

#include "zip/format/Crc32.h"

#include <gtest/gtest.h>
#include <string>

namespace mzb {
namespace {

TEST(StoredName, Decoding) {
    struct Case {
        std::string raw;
        bool utf8;
        bool legacy;
        std::string name;
    };
    const Case cases[] = {
        {"dir\\sub\\a.txt", false, false, "dir/sub/a.txt"},
        {"\x8E\x99\x9A\xE1", false, true, "ÄÖÜß"},
        {"\xB0\xDB\xFF", false, true, "░█\u00A0"},
        {"\xC3\xA4", true, true, "ä"},          // flagged UTF-8 is never re-decoded
        {"\xC3\xA4", false, false, "\xC3\xA4"}, // bytes of a non-DOS host kept
        {"plain", false, true, "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeStoredName(c.raw, c.utf8, c.legacy), c.name) << c.raw;
    }
    EXPECT_EQ(EncodeStoredName("a\\b/", "c"), "a/b/c");
}

std::string Block(std::uint16_t id, const std::string& data) {
    std::string b;
    b += static_cast<char>(id & 0xFF);
    b += static_cast<char>(id >> 8);
    b += static_cast<char>(data.size() & 0xFF);
    b += static_cast<char>(data.size() >> 8);
    return b + data;
}

std::string UnicodePath(std::uint32_t crc, const std::string& name) {
    std::string d(1, '\x01');
    for (int i = 0; i < 4; ++i) {
        d += static_cast<char>(crc >> (8 * i));
    }
    return Block(0x7075, d + name);
}

TEST(StoredName, UnicodePathExtraField) {
    const std::string raw = "\x80.txt";
    const std::uint32_t crc = Crc32(raw.data(), raw.size());
    const std::string good = UnicodePath(crc, "€\\x.txt");
    EXPECT_EQ(UnicodePathFromExtra(good, raw), "€/x.txt");
    // After another block.
    EXPECT_EQ(UnicodePathFromExtra(Block(0x5455, "12345") + good, raw), "€/x.txt");
    // Made for other bytes: the name was changed by a tool that did not
    // know the field.
    EXPECT_FALSE(UnicodePathFromExtra(UnicodePath(crc ^ 1, "€.txt"), raw));
    // Cut short, or a block claiming more than there is.
    EXPECT_FALSE(UnicodePathFromExtra(good.substr(0, good.size() - 1), raw));
    EXPECT_FALSE(UnicodePathFromExtra(good.substr(0, 3), raw));
    EXPECT_FALSE(UnicodePathFromExtra("", raw));
    std::string wrongVersion = good;
    wrongVersion[4] = 2;
    EXPECT_FALSE(UnicodePathFromExtra(wrongVersion, raw));
}

} // namespace
} // namespace mzb
