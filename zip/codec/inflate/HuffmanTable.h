#pragma once
// Lookup tables for prefix codes read least significant bit first (deflate's
// Huffman codes, implode's Shannon-Fano codes).
//
// A table is a first level of 2^bits entries indexed by the next `bits`
// input bits; codes longer than that continue in sub-tables placed after the
// first level, each indexed by the bits that follow. One 32-bit entry:
//
//   bits  0- 5  bits to consume: code length plus extra bits. A sub-table
//               pointer consumes the first level's `bits`, and the entries of
//               its sub-table then count only the code's remaining length.
//   bits  8-12  code length alone (as counted above); for a pointer, the
//               sub-table's index width
//   bit     13  kHuffSubTable value is the index of a sub-table
//   bit     14  kHuffEnd      end of block (value 0) or an invalid code
//                             (value kHuffInvalidValue)
//   bit     15  kHuffLiteral  value is a literal byte
//   bits 16-31  value: symbol, literal, or base of a length or distance
//
// Bits 6 and 7 stay zero, so the low byte is the consumed count itself: a
// decoder may subtract a whole entry from a bit count whose low byte is all
// it reads, and a 64-bit shift by the entry (the hardware keeps 6 bits of the
// count) consumes the code and its extra bits at once. The extra value is
// then the consumed bits above the code length.
//
// The caller gives a template entry per symbol (flags, extra bits, value);
// the builder adds the code length and places it.

#include <cstddef>
#include <cstdint>

namespace mzb {

inline constexpr std::uint32_t kHuffBitsMask = 0x3F;
inline constexpr unsigned kHuffCodeLengthShift = 8;
inline constexpr std::uint32_t kHuffCodeLengthMask = 0x1F;
inline constexpr std::uint32_t kHuffSubTable = 0x2000;
inline constexpr std::uint32_t kHuffEnd = 0x4000;
inline constexpr std::uint32_t kHuffLiteral = 0x8000;
inline constexpr std::uint32_t kHuffInvalidValue = 0xFFFF;
inline constexpr std::uint32_t kHuffInvalid = kHuffEnd | (kHuffInvalidValue << 16);

constexpr std::uint32_t HuffEntry(std::uint32_t flags, std::uint32_t extraBits,
                                  std::uint32_t value) {
    return flags | extraBits | (value << 16);
}

// The code length of an entry, without its extra bits.
constexpr unsigned HuffCodeLength(std::uint32_t entry) {
    return (entry >> kHuffCodeLengthShift) & kHuffCodeLengthMask;
}

// Where the entry lies that a sub-table pointer leads to: `next` holds the
// input bits that follow the first level's, least significant first.
constexpr std::size_t HuffSubTableIndex(std::uint32_t pointer, std::uint64_t next) {
    return (pointer >> 16) + (next & ((std::uint64_t{1} << HuffCodeLength(pointer)) - 1));
}

// The longest code any caller uses (implode's codes reach 16 bits).
inline constexpr unsigned kHuffMaxCodeLength = 16;

// Entries a table needs at most, whatever the code lengths: every sub-table
// holds at least one code longer than the first level, so there are at most
// `symbols` of them, each no wider than maxLength - bits.
constexpr std::size_t HuffmanTableCapacity(unsigned symbols, unsigned bits, unsigned maxLength) {
    return (std::size_t{1} << bits) + std::size_t{symbols} * (std::size_t{1} << (maxLength - bits));
}

// The table builder's answer, numbered as callers have always seen it.
enum class THuffmanBuild {
    Complete = 0,       // also all lengths zero (every entry invalid), and a
                        // single code of length 1
    Incomplete = 1,     // built; the unused codes are invalid entries
    OverSubscribed = 2, // not built
};

struct THuffmanTable {
    std::uint32_t* Entries; // at least HuffmanTableCapacity(...) of them
    unsigned Bits;          // first-level width
};

// Builds a table for count symbols with the given code lengths (0 = unused,
// at most kHuffMaxCodeLength). codes gives each symbol's code, most
// significant bit first; nullptr assigns deflate's canonical codes. The
// first level is always requestedBits wide, whatever the longest code, so a
// decoder may treat the width as a constant.
THuffmanBuild BuildHuffmanTable(THuffmanTable& table, unsigned requestedBits,
                                const std::uint8_t* lengths, const std::uint16_t* codes,
                                unsigned count, const std::uint32_t* templates);

} // namespace mzb
