#pragma once
// Lookup tables for prefix codes read least significant bit first (deflate's
// Huffman codes, implode's Shannon-Fano codes).
//
// A table is a first level of 2^bits entries indexed by the next `bits`
// input bits; codes longer than that continue in sub-tables placed after the
// first level, each indexed by the bits that follow. One 32-bit entry:
//
//   bits  0- 4  code length: the bits this entry consumes (excluding extra)
//   bit      5  kHuffLiteral  value is a literal byte
//   bit      6  kHuffSubTable value is the index of a sub-table, bits 8-12 its
//                             index width; the code length is meaningless
//   bit      7  kHuffEnd      end of block (value 0) or an invalid code
//                             (value kHuffInvalidValue)
//   bits  8-12  extra bits that follow the code (length and distance bases)
//   bits 16-31  value: symbol, literal, or base of a length or distance
//
// The caller gives a template entry per symbol (flags, extra bits, value);
// the builder adds the code length and places it.

#include <cstddef>
#include <cstdint>

namespace mzb {

inline constexpr std::uint32_t kHuffLengthMask = 0x1F;
inline constexpr std::uint32_t kHuffLiteral = 0x20;
inline constexpr std::uint32_t kHuffSubTable = 0x40;
inline constexpr std::uint32_t kHuffEnd = 0x80;
inline constexpr std::uint32_t kHuffInvalidValue = 0xFFFF;
inline constexpr std::uint32_t kHuffInvalid = kHuffEnd | (kHuffInvalidValue << 16);

constexpr std::uint32_t HuffEntry(std::uint32_t flags, std::uint32_t extraBits,
                                  std::uint32_t value) {
    return flags | (extraBits << 8) | (value << 16);
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
    unsigned Bits;          // first-level width actually used
};

// Builds a table for count symbols with the given code lengths (0 = unused,
// at most kHuffMaxCodeLength). codes gives each symbol's code, most
// significant bit first; nullptr assigns deflate's canonical codes. The
// first level is requestedBits wide, narrowed to the longest code.
THuffmanBuild BuildHuffmanTable(THuffmanTable& table, unsigned requestedBits,
                                const std::uint8_t* lengths, const std::uint16_t* codes,
                                unsigned count, const std::uint32_t* templates);

} // namespace mzb
