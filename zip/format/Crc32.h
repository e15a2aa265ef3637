#pragma once
// CRC-32 of the ZIP format (reflected, polynomial 0xEDB88320).
//
// The functions work on the raw register: a caller starts with 0xFFFFFFFF,
// feeds any number of pieces and inverts the register at the end, so a file
// can be checked block by block while it is copied.

#include <array>
#include <cstddef>
#include <cstdint>

namespace mzb {

inline constexpr std::uint32_t kCrc32Init = 0xFFFFFFFFu;

// The classic one-byte table; the traditional encryption's key schedule
// steps its keys through it one byte at a time.
extern const std::array<std::uint32_t, 256> kCrc32Table;

inline std::uint32_t Crc32Byte(std::uint32_t reg, std::uint8_t b) {
    return kCrc32Table[(reg ^ b) & 0xFFu] ^ (reg >> 8);
}

// Advances the register over n bytes. Uses carry-less multiplication where
// the processor has it, sixteen table look-ups per 16 bytes elsewhere.
std::uint32_t Crc32Update(std::uint32_t reg, const std::uint8_t* data, std::size_t n);

// The finished CRC-32 of one buffer (initial register and final inversion
// included).
inline std::uint32_t Crc32(const void* data, std::size_t n) {
    return Crc32Update(kCrc32Init, static_cast<const std::uint8_t*>(data), n) ^ 0xFFFFFFFFu;
}

// The finished CRC-32 of A followed by B, from the finished CRC-32s of each
// and the length of B: pieces of one file checksummed apart, even at the
// same time, give the file's CRC without a second pass.
std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB);

// The portable table path alone, so tests can hold the accelerated path
// against it on machines that have both.
std::uint32_t Crc32UpdatePortable(std::uint32_t reg, const std::uint8_t* data, std::size_t n);

} // namespace mzb
