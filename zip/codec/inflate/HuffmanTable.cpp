#include "zip/codec/inflate/HuffmanTable.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace mzb {
namespace {

constexpr unsigned kMaxSymbols = 288;
constexpr unsigned kMaxFirstLevelBits = 12;

// Each byte with its bits in reverse order.
constexpr std::array<std::uint8_t, 256> MakeReversedBytes() {
    std::array<std::uint8_t, 256> r{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned i = 0; i < 8; ++i) {
            r[b] |= ((b >> i) & 1u) << (7 - i);
        }
    }
    return r;
}
constexpr auto kReversedBytes = MakeReversedBytes();

// A table is rebuilt for every dynamic block, and every code is reversed
// twice there: a byte-wise lookup instead of a loop over the bits.
std::uint32_t ReverseBits(std::uint32_t code, unsigned length) {
    const std::uint32_t r16 =
        (std::uint32_t{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
    return r16 >> (16 - length);
}

} // namespace

THuffmanBuild BuildHuffmanTable(THuffmanTable& table, unsigned requestedBits,
                                const std::uint8_t* lengths, const std::uint16_t* codes,
                                unsigned count, const std::uint32_t* templates) {
    assert(count <= kMaxSymbols && requestedBits >= 1 && requestedBits <= kMaxFirstLevelBits);
    for (unsigned s = 0; s < count; ++s) {
        // A template brings its extra bits in the bit count only.
        assert(HuffCodeLength(templates[s]) == 0 &&
               (templates[s] & kHuffBitsMask) + kHuffMaxCodeLength <= kHuffBitsMask);
    }

    std::array<unsigned, kHuffMaxCodeLength + 1> perLength{};
    unsigned maxLength = 0;
    for (unsigned s = 0; s < count; ++s) {
        assert(lengths[s] <= kHuffMaxCodeLength);
        ++perLength[lengths[s]];
        maxLength = std::max<unsigned>(maxLength, lengths[s]);
    }

    // Kraft sum, counted in units of the longest code.
    std::int64_t left = 1;
    for (unsigned len = 1; len <= kHuffMaxCodeLength; ++len) {
        left = (left << 1) - perLength[len];
        if (left < 0) {
            return THuffmanBuild::OverSubscribed;
        }
    }
    const unsigned used = count - perLength[0];
    // A lone code of length 1 leaves half the code space unused, yet it is how
    // a stream says "one symbol only"; it counts as complete.
    const bool complete = left == 0 || used == 0 || (used == 1 && maxLength == 1);

    const unsigned bits = requestedBits;
    const std::uint32_t firstSize = 1u << bits;
    table.Bits = bits;
    std::uint32_t* const t = table.Entries;

    std::array<std::uint16_t, kMaxSymbols> canonical;
    if (codes == nullptr) {
        std::array<std::uint32_t, kHuffMaxCodeLength + 2> next{};
        std::uint32_t code = 0;
        for (unsigned len = 1; len <= kHuffMaxCodeLength; ++len) {
            code = (code + perLength[len - 1]) << 1;
            next[len] = code;
        }
        next[0] = 0;
        for (unsigned s = 0; s < count; ++s) {
            canonical[s] = lengths[s] != 0 ? static_cast<std::uint16_t>(next[lengths[s]]++) : 0;
        }
        codes = canonical.data();
    }

    // The template's bit count holds the extra bits; the code's own length
    // (what is left of it in a sub-table) adds to both counts.
    const auto withLength = [&](unsigned s, unsigned n) {
        return templates[s] + n + (n << kHuffCodeLengthShift);
    };

    // The first level grows one code length at a time: the 2^(len-1)
    // entries built so far are repeated once, which is exactly what a code
    // shorter than len needs in a table indexed by len bits, and then the
    // codes of length len take their own places. Unused codes stay the
    // invalid entry the first level started from. One pass per length
    // replaces a loop per symbol whose trip count varies with its length.
    std::array<std::uint16_t, kMaxSymbols> byLength;
    std::array<unsigned, kHuffMaxCodeLength + 2> lengthStart{};
    for (unsigned len = 1; len <= kHuffMaxCodeLength; ++len) {
        lengthStart[len + 1] = lengthStart[len] + perLength[len];
    }
    {
        std::array<unsigned, kHuffMaxCodeLength + 2> fill = lengthStart;
        for (unsigned s = 0; s < count; ++s) {
            if (lengths[s] != 0) {
                byLength[fill[lengths[s]]++] = static_cast<std::uint16_t>(s);
            }
        }
    }
    t[0] = kHuffInvalid;
    for (unsigned len = 1; len <= bits; ++len) {
        const std::uint32_t half = 1u << (len - 1);
        std::copy_n(t, half, t + half);
        for (unsigned k = lengthStart[len]; k < lengthStart[len + 1]; ++k) {
            const unsigned s = byLength[k];
            t[ReverseBits(codes[s], len)] = withLength(s, len);
        }
    }

    // Sub-table widths: the longest code under each first-level prefix. The
    // prefixes that have one are listed as they are first seen, so that
    // placing the sub-tables does not scan the whole first level.
    std::array<std::uint8_t, 1u << kMaxFirstLevelBits> subBits;
    std::fill_n(subBits.begin(), firstSize, std::uint8_t{0});
    std::array<std::uint32_t, 1u << kMaxFirstLevelBits> subStart;
    std::array<std::uint16_t, kMaxSymbols> subPrefixes;
    unsigned subCount = 0;
    for (unsigned s = 0; s < count; ++s) {
        const unsigned len = lengths[s];
        if (len > bits) {
            const std::uint32_t prefix = ReverseBits(codes[s], len) & (firstSize - 1);
            if (subBits[prefix] == 0) {
                subPrefixes[subCount++] = static_cast<std::uint16_t>(prefix);
            }
            subBits[prefix] = std::max<std::uint8_t>(subBits[prefix], len - bits);
        }
    }
    std::uint32_t nextFree = firstSize;
    for (unsigned k = 0; k < subCount; ++k) {
        const std::uint32_t prefix = subPrefixes[k];
        const std::uint32_t size = 1u << subBits[prefix];
        subStart[prefix] = nextFree;
        t[prefix] = HuffEntry(kHuffSubTable, bits, nextFree) |
                    (std::uint32_t{subBits[prefix]} << kHuffCodeLengthShift);
        std::fill(t + nextFree, t + nextFree + size, kHuffInvalid);
        nextFree += size;
    }

    for (unsigned k = lengthStart[bits + 1]; k < used; ++k) {
        // Codes that are not prefix-free (only an incomplete implode tree
        // can give them) overwrite each other here; they stay inside their
        // own sub-table all the same.
        const unsigned s = byLength[k];
        const unsigned len = lengths[s];
        const std::uint32_t reversed = ReverseBits(codes[s], len);
        const std::uint32_t prefix = reversed & (firstSize - 1);
        std::uint32_t* const sub = t + subStart[prefix];
        const std::uint32_t size = 1u << subBits[prefix];
        const std::uint32_t entry = withLength(s, len - bits);
        for (std::uint32_t i = reversed >> bits; i < size; i += 1u << (len - bits)) {
            sub[i] = entry;
        }
    }
    return complete ? THuffmanBuild::Complete : THuffmanBuild::Incomplete;
}

} // namespace mzb
