#pragma once
// The fixed alphabets of RFC 1951 and the construction of length-limited
// Huffman codes for them.

#include <array>
#include <cstdint>

namespace mzb {

inline constexpr int kLengthCodes = 29;
inline constexpr int kLiteralLengthSymbols =
    256 + 1 + kLengthCodes;                            // literals, end of block, lengths
inline constexpr int kFixedLiteralLengthSymbols = 288; // the fixed code also defines 286, 287
inline constexpr int kDistanceCodes = 30;
inline constexpr int kBitLengthCodes = 19;
inline constexpr int kEndOfBlock = 256;
inline constexpr int kMaxCodeBits = 15;
inline constexpr int kMaxBitLengthBits = 7;

inline constexpr std::array<std::uint8_t, kLengthCodes> kLengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr std::array<std::uint16_t, kLengthCodes> kLengthBase = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr std::array<std::uint8_t, kDistanceCodes> kDistanceExtraBits = {
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
inline constexpr std::array<std::uint16_t, kDistanceCodes> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
// Code-length symbols 16, 17 and 18 repeat: the previous length 3-6 times,
// zero 3-10 times, zero 11-138 times.
inline constexpr std::array<std::uint8_t, kBitLengthCodes> kBitLengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
inline constexpr std::array<std::uint8_t, kBitLengthCodes> kBitLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Builds Huffman code lengths of at most `maxBits` for `count` symbols
// (count <= kFixedLiteralLengthSymbols). Symbols of frequency 0 get length 0,
// except that the result always holds at least two codes, so every code it
// describes is complete and every decoder accepts it. Scratch space lives in
// the object so that no block allocates.
class HuffmanBuilder {
public:
    void buildLengths(const std::uint32_t* freq, int count, int maxBits, std::uint8_t* lengths);

private:
    static constexpr int kMaxSymbols = kFixedLiteralLengthSymbols;
    // Frequencies below this are sorted by counting: a small block's
    // leaves then cost no comparisons, whose outcome is a coin toss.
    static constexpr std::uint32_t kCountingLimit = 512;

    void sortLeavesByCounting(int leafCount, std::uint32_t maxFreq);

    std::array<std::uint64_t, kMaxSymbols> leaves_{}; // frequency << 16 | symbol, sorted
    std::array<std::uint64_t, kMaxSymbols> sorted_{};
    std::array<std::uint16_t, kCountingLimit> firstOfFreq_{};
    std::array<std::uint32_t, kMaxSymbols> nodeWeight_{};
    std::array<std::uint16_t, 2 * kMaxSymbols> parent_{}; // leaves first, then inner nodes
    std::array<std::uint16_t, 2 * kMaxSymbols> depth_{};
};

// Canonical codes for the given lengths (RFC 1951, 3.2.2), bit-reversed so
// that they can be sent least significant bit first.
void buildCanonicalCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes);

} // namespace mzb
