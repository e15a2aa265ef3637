#include "zip/codec/legacy/Explode.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace mzb {
namespace {

constexpr unsigned kLiteralSymbols = 256;
constexpr unsigned kLengthSymbols = 64;
constexpr unsigned kDistanceSymbols = 64;
constexpr unsigned kLiteralBits = 9;
constexpr unsigned kLengthBits = 7;
constexpr unsigned kSmallDistanceBits = 7;
constexpr unsigned kLargeDistanceBits = 8;
// Above this compressed size the distance tree gets a wider first level.
constexpr std::uint64_t kLargeEntry = 200000;

constexpr std::uint16_t kEightKDictionary = 0x0002;
constexpr std::uint16_t kLiteralTree = 0x0004;

constexpr std::size_t kLiteralCapacity =
    HuffmanTableCapacity(kLiteralSymbols, kLiteralBits, kHuffMaxCodeLength);
constexpr std::size_t kLengthCapacity =
    HuffmanTableCapacity(kLengthSymbols, kLengthBits, kHuffMaxCodeLength);
constexpr std::size_t kDistanceCapacity =
    HuffmanTableCapacity(kDistanceSymbols, kLargeDistanceBits, kHuffMaxCodeLength);

constexpr std::array<std::uint32_t, kLiteralSymbols> MakeSymbolTemplates() {
    std::array<std::uint32_t, kLiteralSymbols> t{};
    for (unsigned s = 0; s < kLiteralSymbols; ++s) {
        t[s] = HuffEntry(0, 0, s);
    }
    return t;
}
constexpr auto kSymbolTemplates = MakeSymbolTemplates();

// Shannon-Fano codes as the format assigns them: lengths sorted ascending
// (stably), then codes counted upwards from the longest length down, each
// step adding the increment of the length seen before. Returns false for
// lengths whose codes overflow 16 bits.
bool AssignCodes(const std::uint8_t* lengths, unsigned n, std::uint16_t* codes) {
    std::array<std::uint16_t, kLiteralSymbols> order;
    std::iota(order.begin(), order.begin() + n, 0);
    std::stable_sort(order.begin(), order.begin() + n,
                     [&](std::uint16_t a, std::uint16_t b) { return lengths[a] < lengths[b]; });
    std::uint32_t code = 0;
    std::uint32_t increment = 0;
    unsigned lastLength = 0;
    for (unsigned i = n; i-- > 0;) {
        const unsigned s = order[i];
        code += increment;
        if (code > 0xFFFF) {
            return false;
        }
        if (lengths[s] != lastLength) {
            lastLength = lengths[s];
            increment = 1u << (16 - lastLength);
        }
        codes[s] = static_cast<std::uint16_t>(code >> (16 - lengths[s]));
    }
    return true;
}

} // namespace

TExploder::TExploder()
    : literalEntries_(new std::uint32_t[kLiteralCapacity]),
      lengthEntries_(new std::uint32_t[kLengthCapacity]),
      distanceEntries_(new std::uint32_t[kDistanceCapacity]) {
    literal_.Entries = literalEntries_.get();
    length_.Entries = lengthEntries_.get();
    distance_.Entries = distanceEntries_.get();
}

bool TExploder::ReadTree(THuffmanTable& table, unsigned symbols, unsigned bits) {
    std::array<std::uint8_t, kLiteralSymbols> lengths;
    const unsigned records = reader_.Take(8) + 1;
    unsigned filled = 0;
    for (unsigned r = 0; r < records; ++r) {
        const unsigned record = reader_.Take(8);
        const unsigned count = (record >> 4) + 1;
        const auto length = static_cast<std::uint8_t>((record & 0x0F) + 1);
        if (count > symbols - filled) {
            return false;
        }
        std::fill_n(lengths.begin() + filled, count, length);
        filled += count;
    }
    std::array<std::uint16_t, kLiteralSymbols> codes;
    return filled == symbols && !reader_.PastEnd() &&
           AssignCodes(lengths.data(), symbols, codes.data()) &&
           BuildHuffmanTable(table, bits, lengths.data(), codes.data(), symbols,
                             kSymbolTemplates.data()) == THuffmanBuild::Complete;
}

unsigned TExploder::DecodeSymbol(const THuffmanTable& table) {
    const std::uint32_t peek = reader_.Peek(kHuffMaxCodeLength);
    std::uint32_t e = table.Entries[peek & ((1u << table.Bits) - 1)];
    unsigned consumed = 0;
    if (e & kHuffSubTable) {
        consumed = e & kHuffBitsMask;
        e = table.Entries[HuffSubTableIndex(e, peek >> consumed)];
    }
    // Complete trees leave no invalid entries; the length is never zero.
    reader_.Skip(consumed + (e & kHuffBitsMask));
    return e >> 16;
}

TDecodeResult TExploder::Explode(const TEntryCoding& coding, TDecoderInput& input,
                                 TDecoderOutput& output) {
    const bool largeDictionary = (coding.Flags & kEightKDictionary) != 0;
    const bool literalTree = (coding.Flags & kLiteralTree) != 0;
    const unsigned lowDistanceBits = largeDictionary ? 7 : 6;
    const unsigned minimumMatch = literalTree ? 3 : 2;
    const unsigned distanceBits =
        coding.CompressedSize > kLargeEntry ? kLargeDistanceBits : kSmallDistanceBits;

    reader_.Begin(input);
    // Back-references before the entry's start read zeros, as the format says.
    std::size_t pos = window_.Begin(true);
    std::uint8_t* const w = window_.Data();
    if ((literalTree && !ReadTree(literal_, kLiteralSymbols, kLiteralBits)) ||
        !ReadTree(length_, kLengthSymbols, kLengthBits) ||
        !ReadTree(distance_, kDistanceSymbols, distanceBits)) {
        return TDecodeResult::DataError;
    }

    std::uint64_t left = coding.UncompressedSize;
    while (left > 0) {
        if (pos >= TOutputWindow::FullAt()) {
            pos = window_.Drain(pos, output);
        }
        if (reader_.Take(1) != 0) {
            w[pos++] =
                static_cast<std::uint8_t>(literalTree ? DecodeSymbol(literal_) : reader_.Take(8));
            --left;
        } else {
            const unsigned low = reader_.Take(lowDistanceBits);
            const std::size_t distance = ((DecodeSymbol(distance_) << lowDistanceBits) | low) + 1;
            std::size_t length = DecodeSymbol(length_);
            if (length == kLengthSymbols - 1) {
                length += reader_.Take(8);
            }
            length += minimumMatch;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, left));
            const std::uint8_t* src = w + pos - distance;
            for (std::size_t i = 0; i < n; ++i) {
                w[pos + i] = src[i];
            }
            pos += n;
            left -= n;
        }
        if (reader_.PastEnd()) {
            return TDecodeResult::DataError;
        }
    }
    window_.Finish(pos, output);
    return TDecodeResult::Complete;
}

} // namespace mzb
