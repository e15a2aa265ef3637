#pragma once
// Builds bit streams by hand, least significant bit first, the order of
// deflate and the legacy ZIP methods, for streams no encoder would write.

#include <cstdint>
#include <vector>

namespace mzb::test {

class BitWriter {
public:
    // The low n bits of value, least significant first (n <= 32).
    BitWriter& Bits(std::uint32_t value, unsigned n);
    // A prefix code of n bits, most significant bit first, as deflate packs
    // Huffman codes.
    BitWriter& Code(std::uint32_t code, unsigned n);
    // Zero bits up to the next byte boundary.
    BitWriter& Align();
    BitWriter& Byte(std::uint8_t b) { return Bits(b, 8); }

    // The stream so far, the last byte padded with zero bits.
    std::vector<std::uint8_t> Bytes() const;

private:
    std::vector<std::uint8_t> bytes_;
    unsigned used_ = 0; // bits used in the last byte, 0 = none open
};

} // namespace mzb::test
