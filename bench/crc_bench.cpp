// Throughput of our CRC-32 beside zlib's and libdeflate's on the same data.
#include "BenchSupport.h"
#include "zip/format/Crc32.h"

#include <cstdio>
#include <libdeflate.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr std::size_t kDataSize = 100u * 1000u * 1000u;
constexpr int kRounds = 5;

// Keeps the last checksum so that the runs can be compared with each other.
template <typename F> double Best(F&& run, std::uint32_t& result) {
    return mzb::bench::BestMegabytesPerSecond(kDataSize, kRounds, [&] { result = run(); });
}

} // namespace

int main() {
    const std::vector<std::uint8_t> data = mzb::bench::SeededRandomBytes(kDataSize, 20261208);

    std::uint32_t ours = 0, portable = 0, zlib = 0, libdeflate = 0;
    const double oursRate = Best([&] { return mzb::Crc32(data.data(), data.size()); }, ours);
    const double portableRate = Best(
        [&] {
            return mzb::Crc32UpdatePortable(mzb::kCrc32Init, data.data(), data.size()) ^
                   0xFFFFFFFFu;
        },
        portable);
    const double zlibRate = Best(
        [&] {
            // zlib takes at most 4 GiB per call; 100 MB fits in one.
            return static_cast<std::uint32_t>(
                crc32(0, data.data(), static_cast<uInt>(data.size())));
        },
        zlib);
    const double libdeflateRate =
        Best([&] { return libdeflate_crc32(0, data.data(), data.size()); }, libdeflate);

    std::printf("CRC-32 over %zu MB of seeded data (best of %d)\n", kDataSize / 1000000, kRounds);
    std::printf("  ours            %9.0f MB/s\n", oursRate);
    std::printf("  ours (tables)   %9.0f MB/s\n", portableRate);
    std::printf("  zlib crc32      %9.0f MB/s\n", zlibRate);
    std::printf("  libdeflate      %9.0f MB/s\n", libdeflateRate);
    std::printf("  ours/zlib       %9.2f\n", oursRate / zlibRate);
    std::printf("  ours/libdeflate %9.2f\n", oursRate / libdeflateRate);
    std::printf("  tables/zlib     %9.2f\n", portableRate / zlibRate);

    if (ours != zlib || ours != libdeflate || ours != portable) {
        std::printf("MISMATCH: ours %08x tables %08x zlib %08x libdeflate %08x\n", ours, portable,
                    zlib, libdeflate);
        return 1;
    }
    std::printf("  all agree: %08x\n", ours);
    return 0;
}
