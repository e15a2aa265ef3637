#include "zip/codec/inflate/HuffmanTable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mzb {
namespace {

// Canonical codes as RFC 1951, 3.2.2 assigns them.
std::vector<std::uint16_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::vector<unsigned> perLength(kHuffMaxCodeLength + 1);
    for (const auto len : lengths) {
        ++perLength[len];
    }
    perLength[0] = 0;
    std::vector<unsigned> next(kHuffMaxCodeLength + 1);
    unsigned code = 0;
    for (unsigned len = 1; len <= kHuffMaxCodeLength; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<std::uint16_t> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        codes[s] = lengths[s] != 0 ? static_cast<std::uint16_t>(next[lengths[s]]++) : 0;
    }
    return codes;
}

std::uint32_t Reversed(std::uint32_t code, unsigned length) {
    std::uint32_t r = 0;
    for (unsigned i = 0; i < length; ++i) {
        r |= ((code >> i) & 1u) << (length - 1 - i);
    }
    return r;
}

// An entry's fields read as the header lays them out, apart from the
// decoders' own helpers, so that a helper and the builder cannot agree on a
// wrong layout unseen.
unsigned ConsumedBits(std::uint32_t entry) {
    return entry & 0x3Fu;
}
unsigned CodeLengthField(std::uint32_t entry) {
    return (entry >> 8) & 0x1Fu;
}
std::uint32_t ValueField(std::uint32_t entry) {
    return entry >> 16;
}
constexpr std::uint32_t kSubTableBit = 1u << 13;
constexpr std::uint32_t kEndBit = 1u << 14;
constexpr std::uint32_t kLiteralBit = 1u << 15;

struct TTableCase {
    std::string Name;
    unsigned Bits;
    std::vector<std::uint8_t> Lengths;
    std::vector<std::uint16_t> Codes; // empty: canonical
    std::vector<std::uint8_t> Extra;  // extra bits per symbol; empty: none
    THuffmanBuild Expected;
};

std::vector<std::uint8_t> Repeat(std::initializer_list<std::pair<unsigned, std::uint8_t>> runs) {
    std::vector<std::uint8_t> v;
    for (const auto& [count, value] : runs) {
        v.insert(v.end(), count, value);
    }
    return v;
}

// Every 16-bit input is looked up the way the header describes (first
// level, then at most one sub-table) and checked against the symbol whose
// code it starts with: the bits consumed (code plus extra), the code length
// inside them, the value and the flags; inputs no code starts are invalid.
// The cases are the shapes the entry format and the builder could get wrong:
// codes just under, at and just over the first-level width, sub-table
// entries that carry up to 13 extra bits behind a 15-bit code, unused codes,
// one-code and empty tables, and caller-given codes up to 16 bits.
TEST(HuffmanTable, EveryInputDecodesToTheSymbolWhoseCodeItStartsWith) {
    const std::vector<std::uint8_t> skewed = {1, 2,  3,  4,  5,  6,  7,  8,
                                              9, 10, 11, 12, 13, 14, 15, 15};
    // Complemented canonical codes are still a complete prefix code, but
    // not the canonical one.
    const std::vector<std::uint8_t> implode = {1,  2,  3,  4,  5,  6,  7,  8, 9,
                                               10, 11, 12, 13, 14, 15, 16, 16};
    std::vector<std::uint16_t> implodeCodes = CanonicalCodes(implode);
    for (std::size_t s = 0; s < implode.size(); ++s) {
        implodeCodes[s] = static_cast<std::uint16_t>(~implodeCodes[s] & ((1u << implode[s]) - 1));
    }
    std::vector<std::uint8_t> distanceExtra;
    for (unsigned s = 0; s < 30; ++s) {
        distanceExtra.push_back(static_cast<std::uint8_t>(s < 4 ? 0 : s / 2 - 1));
    }
    // Distance codes 0-15 short, 16-29 long enough for a sub-table, so the
    // 13 extra bits of codes 26-29 sit behind a 15-bit code.
    std::vector<std::uint8_t> distanceLengths = Repeat({{8, 4}, {8, 5}, {6, 12}, {8, 15}});

    const std::vector<TTableCase> cases = {
        {"deflate fixed literal/length code",
         11,
         Repeat({{144, 8}, {112, 9}, {24, 7}, {8, 8}}),
         {},
         Repeat({{265, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {4, 5}, {1, 0}, {2, 0}}),
         THuffmanBuild::Complete},
        {"skewed code from 1 to 15 bits", 8, skewed, {}, {}, THuffmanBuild::Complete},
        {"skewed code with extra bits",
         8,
         skewed,
         {},
         {5, 4, 3, 2, 1, 0, 3, 0, 5, 13, 2, 1, 0, 4, 3, 2},
         THuffmanBuild::Complete},
        {"codes one under, at and one over the first-level width",
         6,
         Repeat({{16, 5}, {16, 6}, {32, 7}}),
         {},
         {},
         THuffmanBuild::Complete},
        {"distance code with sub-tables",
         8,
         distanceLengths,
         {},
         distanceExtra,
         THuffmanBuild::Incomplete},
        {"incomplete code", 7, {1, 0, 3, 0, 12}, {}, {0, 0, 2, 0, 3}, THuffmanBuild::Incomplete},
        {"one code of one bit", 11, {0, 0, 1, 0}, {}, {0, 0, 4, 0}, THuffmanBuild::Complete},
        {"no codes at all", 8, {0, 0, 0}, {}, {}, THuffmanBuild::Complete},
        {"caller-given codes up to 16 bits", 9, implode, implodeCodes, {}, THuffmanBuild::Complete},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto count = static_cast<unsigned>(c.Lengths.size());
        std::vector<std::uint32_t> templates(count);
        for (unsigned s = 0; s < count; ++s) {
            const unsigned extra = c.Extra.empty() ? 0 : c.Extra[s];
            templates[s] = HuffEntry(s % 2 != 0 ? kHuffLiteral : 0, extra, 1000 + 16 * s);
        }
        std::vector<std::uint32_t> entries(HuffmanTableCapacity(count, c.Bits, 16), 0xDEADBEEF);
        THuffmanTable table{entries.data(), 0};
        const auto codes = c.Codes.empty() ? CanonicalCodes(c.Lengths) : c.Codes;
        ASSERT_EQ(BuildHuffmanTable(table, c.Bits, c.Lengths.data(),
                                    c.Codes.empty() ? nullptr : c.Codes.data(), count,
                                    templates.data()),
                  c.Expected);
        ASSERT_EQ(table.Bits, c.Bits);

        // The symbol each input starts with, found the slow way.
        std::vector<int> owner(1u << 16, -1);
        for (unsigned s = 0; s < count; ++s) {
            const unsigned len = c.Lengths[s];
            if (len == 0) {
                continue;
            }
            for (std::uint32_t x = Reversed(codes[s], len); x < owner.size(); x += 1u << len) {
                ASSERT_EQ(owner[x], -1) << "the case's codes are not a prefix code";
                owner[x] = static_cast<int>(s);
            }
        }

        for (std::uint32_t input = 0; input < (1u << 16); ++input) {
            std::uint32_t e = entries[input & ((1u << c.Bits) - 1)];
            unsigned consumed = 0;
            if (e & kSubTableBit) {
                ASSERT_EQ(ConsumedBits(e), c.Bits) << input;
                consumed = c.Bits;
                const unsigned width = CodeLengthField(e);
                e = entries[ValueField(e) + ((input >> consumed) & ((1u << width) - 1))];
            }
            ASSERT_EQ(e & 0xC0u, 0u) << "bits 6 and 7 must stay clear, input " << input;

            const int symbol = owner[input];
            if (symbol < 0) {
                ASSERT_EQ(e, kEndBit | (0xFFFFu << 16)) << input;
                continue;
            }
            const unsigned len = c.Lengths[symbol];
            const unsigned extra = c.Extra.empty() ? 0 : c.Extra[symbol];
            ASSERT_EQ(consumed + ConsumedBits(e), len + extra) << input;
            ASSERT_EQ(consumed + CodeLengthField(e), len) << input;
            ASSERT_EQ(ValueField(e), 1000 + 16 * static_cast<unsigned>(symbol)) << input;
            ASSERT_EQ(e & (kLiteralBit | kSubTableBit | kEndBit),
                      symbol % 2 != 0 ? kLiteralBit : 0u)
                << input;
        }
    }
}

} // namespace
} // namespace mzb
