#include "zip/codec/deflate/DeflateTrees.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mzb {
namespace {

// Kraft sum in units of 2^-maxBits; a complete prefix code sums to 2^maxBits.
long KraftSum(const std::vector<std::uint8_t>& lengths, int maxBits) {
    long sum = 0;
    for (std::uint8_t len : lengths) {
        if (len != 0) {
            sum += 1L << (maxBits - len);
        }
    }
    return sum;
}

struct TreeCase {
    const char* name;
    std::vector<std::uint32_t> freq;
    int maxBits;
};

std::vector<std::uint32_t> Fibonacci(int n) {
    std::vector<std::uint32_t> f(std::size_t(n), 1);
    for (int i = 2; i < n; ++i) {
        f[std::size_t(i)] = f[std::size_t(i - 1)] + f[std::size_t(i - 2)];
    }
    return f;
}

// Every case must give a complete code within the limit that uses exactly the
// symbols that occur (or two symbols when fewer occur), with no rarer symbol
// getting a shorter code than a more frequent one.
TEST(HuffmanBuilder, BuildsCompleteLimitedCodes) {
    std::vector<std::uint32_t> skewed286(286, 1);
    skewed286[0] = 30000;
    std::vector<std::uint32_t> uniform(286, 7);
    std::vector<std::uint32_t> fibBitLen = Fibonacci(19);
    const std::vector<TreeCase> cases = {
        {"no symbols", std::vector<std::uint32_t>(30, 0), 15},
        {"only symbol 0", {5, 0, 0, 0}, 15},
        {"only symbol 3", {0, 0, 0, 9}, 15},
        {"two symbols", {0, 4, 0, 1}, 15},
        {"uniform 286", uniform, 15},
        {"skewed 286", skewed286, 15},
        {"fibonacci 30 deeper than 15", Fibonacci(30), 15},
        {"fibonacci 19 deeper than 7", fibBitLen, 7},
    };
    HuffmanBuilder builder;
    for (const TreeCase& c : cases) {
        std::vector<std::uint8_t> lengths(c.freq.size(), 99);
        builder.buildLengths(c.freq.data(), int(c.freq.size()), c.maxBits, lengths.data());
        EXPECT_EQ(KraftSum(lengths, c.maxBits), 1L << c.maxBits) << c.name;
        int used = 0;
        for (std::size_t s = 0; s < c.freq.size(); ++s) {
            EXPECT_LE(lengths[s], c.maxBits) << c.name;
            if (c.freq[s] != 0) {
                EXPECT_NE(lengths[s], 0) << c.name << " symbol " << s;
            }
            used += lengths[s] != 0;
            for (std::size_t t = 0; t < c.freq.size(); ++t) {
                if (c.freq[s] != 0 && c.freq[t] > c.freq[s]) {
                    EXPECT_LE(lengths[t], lengths[s]) << c.name;
                }
            }
        }
        int occurring = 0;
        for (std::uint32_t f : c.freq) {
            occurring += f != 0;
        }
        EXPECT_EQ(used, std::max(occurring, 2)) << c.name;
    }
}

// RFC 1951, 3.2.2: lengths (3,3,3,3,3,2,4,4) give the codes 010 011 100 101
// 110 00 1110 1111, here bit-reversed for sending.
TEST(HuffmanBuilder, CanonicalCodesFollowTheRfcExample) {
    const std::uint8_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
    const std::uint16_t expected[8] = {0b010, 0b110, 0b001, 0b101, 0b011, 0b00, 0b0111, 0b1111};
    std::uint16_t codes[8];
    buildCanonicalCodes(lengths, 8, codes);
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(codes[s], expected[s]) << s;
    }
}

} // namespace
} // namespace mzb
