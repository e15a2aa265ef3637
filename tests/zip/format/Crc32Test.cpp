#include "zip/format/Crc32.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>
#include <zlib.h>

namespace mzb {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) {
        b = static_cast<std::uint8_t>(gen());
    }
    return v;
}

std::uint32_t ZlibCrc(const std::uint8_t* p, std::size_t n) {
    return static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(n)));
}

TEST(Crc32, CheckValueOfTheStandard) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
}

// Lengths around every path boundary (bytewise tail, 16-byte slices, the
// 64-byte lanes and the accelerated threshold) at every alignment mod 16.
TEST(Crc32, AgreesWithZlibOnLengthsAndAlignments) {
    const auto data = RandomBytes(4096 + 64, 1);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 300; ++n) {
        lengths.push_back(n);
    }
    for (std::size_t n : {511u, 512u, 513u, 1023u, 1024u, 1025u, 4095u, 4096u}) {
        lengths.push_back(n);
    }
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t n : lengths) {
            const std::uint8_t* p = data.data() + offset;
            ASSERT_EQ(Crc32(p, n), ZlibCrc(p, n)) << "offset " << offset << " length " << n;
            ASSERT_EQ(Crc32UpdatePortable(kCrc32Init, p, n) ^ 0xFFFFFFFFu, ZlibCrc(p, n))
                << "offset " << offset << " length " << n;
        }
    }
}

// The reader and writer feed the register block by block; any split must
// give the one-piece result.
TEST(Crc32, PiecewiseEqualsWhole) {
    const auto data = RandomBytes(100000, 2);
    const std::uint32_t whole = ZlibCrc(data.data(), data.size());
    std::mt19937 gen(3);
    for (int round = 0; round < 20; ++round) {
        std::uint32_t reg = kCrc32Init;
        std::size_t pos = 0;
        while (pos < data.size()) {
            std::size_t piece = std::min<std::size_t>(gen() % 9000, data.size() - pos);
            reg = Crc32Update(reg, data.data() + pos, piece);
            pos += piece;
        }
        ASSERT_EQ(reg ^ 0xFFFFFFFFu, whole);
    }
}

TEST(Crc32, ByteStepMatchesBlockUpdate) {
    const auto data = RandomBytes(1000, 4);
    std::uint32_t reg = kCrc32Init;
    for (std::uint8_t b : data) {
        reg = Crc32Byte(reg, b);
    }
    EXPECT_EQ(reg, Crc32Update(kCrc32Init, data.data(), data.size()));
}

// Long runs of one value stress the folding constants differently from
// random data (zero blocks leave only the carried register).
TEST(Crc32, UniformBlocks) {
    for (std::uint8_t value : {0x00, 0xFF, 0x80}) {
        std::vector<std::uint8_t> v(1 << 20, value);
        EXPECT_EQ(Crc32(v.data(), v.size()), ZlibCrc(v.data(), v.size())) << int(value);
    }
}

// Pieces checksummed apart, of any lengths (empty, odd, beyond 4 GiB's bit
// count in the shift), combine to zlib's CRC of the whole.
TEST(Crc32, CombineOfPiecesEqualsZlibOfTheWhole) {
    const auto data = RandomBytes(300000, 4);
    const std::uint32_t whole = ZlibCrc(data.data(), data.size());
    for (std::size_t cut : {0u, 1u, 7u, 32768u, 150001u, 299999u, 300000u}) {
        const std::uint32_t a = Crc32(data.data(), cut);
        const std::uint32_t b = Crc32(data.data() + cut, data.size() - cut);
        EXPECT_EQ(Crc32Combine(a, b, data.size() - cut), whole) << "cut at " << cut;
    }
    std::uint32_t crc = Crc32(data.data(), 1000);
    for (std::size_t pos = 1000; pos < data.size(); pos += 65536) {
        const std::size_t n = std::min<std::size_t>(65536, data.size() - pos);
        crc = Crc32Combine(crc, Crc32(data.data() + pos, n), n);
    }
    EXPECT_EQ(crc, whole);
    // A long run of zeros, whose shift uses the high powers.
    const std::vector<std::uint8_t> zeros(5u << 20, 0);
    const std::uint32_t zerosCrc = ZlibCrc(zeros.data(), zeros.size());
    EXPECT_EQ(Crc32Combine(Crc32(data.data(), 10), zerosCrc, zeros.size()),
              static_cast<std::uint32_t>(
                  crc32(ZlibCrc(data.data(), 10), zeros.data(), static_cast<uInt>(zeros.size()))));
}

} // namespace
} // namespace mzb
