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
        bool dosHost;
        std::string name;
    };
    const Case cases[] = {
        {"dir\\sub\\a.txt", false, true, "dir/sub/a.txt"},
        {"dir\\sub\\a.txt", true, true, "dir/sub/a.txt"},
        {"a\\b.txt", false, false, "a\\b.txt"}, // a Linux name character
        {"a\\b.txt", true, false, "a\\b.txt"},
        {"\x8E\x99\x9A\xE1", false, true, "ÄÖÜß"},
        {"\xB0\xDB\xFF", false, true, "░█\u00A0"},
        {"\xC3\xA4", true, true, "ä"},                // flagged UTF-8 is never re-decoded
        {"caf\xE9.txt", false, false, "caf\xE9.txt"}, // bytes of a Unix host kept
        {"plain", false, true, "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeStoredName(c.raw, c.utf8, c.dosHost), c.name) << c.raw;
    }
    EXPECT_EQ(EncodeStoredName("a\\b/", "c"), "a\\b/c");
}

// Other tools refuse the whole archive when a flagged name does not decode,
// so only names that are UTF-8 get the flag.
TEST(StoredName, OnlyUtf8NamesWithNonAsciiBytesAreFlagged) {
    const struct {
        std::string name;
        bool flagged;
    } cases[] = {
        {"plain.txt", false},
        {"tab\tand\nbreak", false},
        {"d\xC3\xA9j\xC3\xA0/\xE2\x82\xAC\xF0\x9F\x98\x80", true},
        {"caf\xE9.txt", false},                 // Latin-1
        {"\xC3", false},                        // cut short
        {"\xC0\xAF", false},                    // overlong '/'
        {"\xED\xA0\x80", false},                // a surrogate
        {"\xF4\x90\x80\x80", false},            // beyond U+10FFFF
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", true}, // the largest of three and four bytes
        {"ok\xC3\xA4\xFF", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NeedsUtf8Flag(c.name), c.flagged) << c.name;
    }
}

TEST(StoredName, DosHostsAreMsDosAndWindowsFileSystems) {
    for (const std::uint16_t host : {0, 11, 14}) {
        EXPECT_TRUE(IsDosHost(static_cast<std::uint16_t>(host << 8 | 20))) << host;
    }
    for (const std::uint16_t host : {3, 7, 19}) {
        EXPECT_FALSE(IsDosHost(static_cast<std::uint16_t>(host << 8 | 20))) << host;
    }
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
    EXPECT_EQ(UnicodePathFromExtra(good, raw, true), "€/x.txt");
    EXPECT_EQ(UnicodePathFromExtra(good, raw, false), "€\\x.txt");
    // After another block.
    EXPECT_EQ(UnicodePathFromExtra(Block(0x5455, "12345") + good, raw, true), "€/x.txt");
    // Made for other bytes: the name was changed by a tool that did not
    // know the field.
    EXPECT_FALSE(UnicodePathFromExtra(UnicodePath(crc ^ 1, "€.txt"), raw, true));
    // Cut short, or a block claiming more than there is.
    EXPECT_FALSE(UnicodePathFromExtra(good.substr(0, good.size() - 1), raw, true));
    EXPECT_FALSE(UnicodePathFromExtra(good.substr(0, 3), raw, true));
    EXPECT_FALSE(UnicodePathFromExtra("", raw, true));
    std::string wrongVersion = good;
    wrongVersion[4] = 2;
    EXPECT_FALSE(UnicodePathFromExtra(wrongVersion, raw, true));
}

} // namespace
} // namespace mzb
