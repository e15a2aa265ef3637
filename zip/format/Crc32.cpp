#include "zip/format/Crc32.h"

#include "zip/base/ByteOrder.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MZB_CRC_CLMUL 1
#endif

namespace mzb {

namespace {

constexpr std::uint32_t kPolyReflected = 0xEDB88320u;
constexpr int kSlices = 16;

using SliceTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// Table k gives the register change of one byte followed by k zero bytes,
// which lets sixteen independent look-ups replace sixteen dependent steps.
constexpr SliceTables MakeSliceTables() {
    SliceTables t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t r = b;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1u) ? (r >> 1) ^ kPolyReflected : r >> 1;
        }
        t[0][b] = r;
    }
    for (int k = 1; k < kSlices; ++k) {
        for (std::uint32_t b = 0; b < 256; ++b) {
            const std::uint32_t prev = t[k - 1][b];
            t[k][b] = (prev >> 8) ^ t[0][prev & 0xFFu];
        }
    }
    return t;
}

constexpr SliceTables kSlice = MakeSliceTables();

inline std::uint32_t Fold4(std::uint32_t w, int table) {
    return kSlice[table][w & 0xFFu] ^ kSlice[table - 1][(w >> 8) & 0xFFu] ^
           kSlice[table - 2][(w >> 16) & 0xFFu] ^ kSlice[table - 3][w >> 24];
}

std::uint32_t BytewiseUpdate(std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        reg = kSlice[0][(reg ^ p[i]) & 0xFFu] ^ (reg >> 8);
    }
    return reg;
}

#ifdef MZB_CRC_CLMUL

// x^n mod P in the normal (unreflected) bit order, P = 0x104C11DB7.
constexpr std::uint32_t XPowModP(unsigned n) {
    std::uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    }
    return r;
}

constexpr std::uint64_t Reflect32(std::uint32_t v) {
    std::uint64_t r = 0;
    for (int i = 0; i < 32; ++i) {
        if (v & (1u << i)) {
            r |= std::uint64_t(1) << (31 - i);
        }
    }
    return r;
}

// The multiplier that moves a 64-bit half forward by `bits` bits. The
// product of two reflected operands comes out one bit short, hence the
// 33-bit constant (reflected value shifted left by one).
constexpr std::uint64_t FoldConstant(unsigned bits) {
    return Reflect32(XPowModP(bits)) << 1;
}

// Low half of a 128-bit lane is multiplied by x^(d+32), high half by
// x^(d-32), where d is the folding distance in bits.
constexpr std::uint64_t kFold512Lo = FoldConstant(512 + 32);
constexpr std::uint64_t kFold512Hi = FoldConstant(512 - 32);
constexpr std::uint64_t kFold128Lo = FoldConstant(128 + 32);
constexpr std::uint64_t kFold128Hi = FoldConstant(128 - 32);

__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldLane(__m128i lane, __m128i k,
                                                                 __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(lane, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(lane, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// Folds 64-byte blocks in four lanes, then the lanes into one, then any
// further 16-byte blocks; the last 128 bits are left to the tables, which
// finish the reduction without a Barrett step. Needs n >= 64.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t
ClmulUpdate(std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
    auto load = [](const std::uint8_t* q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    };
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = load(p + 16);
    __m128i x2 = load(p + 32);
    __m128i x3 = load(p + 48);
    p += 64;
    n -= 64;

    const __m128i k512 =
        _mm_set_epi64x(static_cast<long long>(kFold512Hi), static_cast<long long>(kFold512Lo));
    while (n >= 64) {
        x0 = FoldLane(x0, k512, load(p));
        x1 = FoldLane(x1, k512, load(p + 16));
        x2 = FoldLane(x2, k512, load(p + 32));
        x3 = FoldLane(x3, k512, load(p + 48));
        p += 64;
        n -= 64;
    }

    const __m128i k128 =
        _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));
    __m128i x = FoldLane(x0, k128, x1);
    x = FoldLane(x, k128, x2);
    x = FoldLane(x, k128, x3);
    while (n >= 16) {
        x = FoldLane(x, k128, load(p));
        p += 16;
        n -= 16;
    }

    alignas(16) std::uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
    reg = Crc32UpdatePortable(0, rest, sizeof rest);
    return BytewiseUpdate(reg, p, n);
}

// Below this the set-up of the lanes costs more than the tables.
constexpr std::size_t kClmulMinimum = 128;

const bool kHasClmul = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}();

#endif

} // namespace

constexpr std::array<std::uint32_t, 256> kCrc32Table = kSlice[0];

std::uint32_t Crc32UpdatePortable(std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
    while (n >= 16) {
        reg = Fold4(GetLE32(p) ^ reg, 15) ^ Fold4(GetLE32(p + 4), 11) ^ Fold4(GetLE32(p + 8), 7) ^
              Fold4(GetLE32(p + 12), 3);
        p += 16;
        n -= 16;
    }
    return BytewiseUpdate(reg, p, n);
}

std::uint32_t Crc32Update(std::uint32_t reg, const std::uint8_t* data, std::size_t n) {
#ifdef MZB_CRC_CLMUL
    if (n >= kClmulMinimum && kHasClmul) {
        return ClmulUpdate(reg, data, n);
    }
#endif
    return Crc32UpdatePortable(reg, data, n);
}

// --- combining ------------------------------------------------------------------
//
// A finished CRC is the remainder of the message polynomial (with the initial
// register and final inversion folded in), so appending B multiplies A's part
// by x^(8 * length of B) modulo P, and B's standalone CRC already carries the
// rest: crc(A B) = crc(A) * x^(8|B|) mod P xor crc(B). In the reflected order
// used here bit 31 is the coefficient of x^0.

namespace {

constexpr std::uint32_t kOne = 0x80000000u; // the polynomial 1

// a * b mod P, both reflected.
constexpr std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t bit = kOne; bit != 0; bit >>= 1) {
        if (a & bit) {
            product ^= b;
        }
        b = (b & 1u) ? (b >> 1) ^ kPolyReflected : b >> 1;
    }
    return product;
}

// x^(2^k) mod P for k = 0..66 (a 64-bit length times 8): squaring the previous one doubles the
// power.
constexpr std::array<std::uint32_t, 67> MakePowersOfTwo() {
    std::array<std::uint32_t, 67> t{};
    t[0] = kOne >> 1; // x^1
    for (std::size_t k = 1; k < t.size(); ++k) {
        t[k] = MultiplyModP(t[k - 1], t[k - 1]);
    }
    return t;
}

constexpr std::array<std::uint32_t, 67> kXPowTwo = MakePowersOfTwo();

} // namespace

std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB) {
    // x^(8 * lengthB) as the product of the powers for lengthB's set bits
    // (shifted by 3 for the factor 8).
    std::uint32_t shift = kOne;
    for (std::size_t k = 3; lengthB != 0; lengthB >>= 1, ++k) {
        if (lengthB & 1u) {
            shift = MultiplyModP(shift, kXPowTwo[k]);
        }
    }
    return MultiplyModP(shift, crcA) ^ crcB;
}

} // namespace mzb
