// Throughput of our traditional encryption and decryption on 100 MB,
// beside our CRC-32 on the same data: every encrypted byte costs two CRC
// table steps, a multiply and the key-stream byte, so CRC-32 is the yardstick.
// Then AES-256 (counter mode and the authentication code over the same data)
// and the cost of one AES key derivation at each strength, which every AES
// entry pays once.
#include "BenchSupport.h"
#include "zip/crypt/AesCipher.h"
#include "zip/crypt/ZipCrypt.h"
#include "zip/format/Crc32.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kDataSize = 100u * 1000u * 1000u;
constexpr int kRounds = 3;

} // namespace

int main() {
    const std::vector<std::uint8_t> original = mzb::bench::SeededRandomBytes(kDataSize, 20261208);
    const std::uint32_t crc = mzb::Crc32(original.data(), original.size());

    // Each round works on the output of the one before; only the speed counts here.
    std::vector<std::uint8_t> work = original;
    const double encryptRate = mzb::bench::BestMegabytesPerSecond(kDataSize, kRounds, [&] {
        mzb::TZipCryptKeys("benchmark password").Encrypt(work.data(), work.size());
    });
    const double decryptRate = mzb::bench::BestMegabytesPerSecond(kDataSize, kRounds, [&] {
        mzb::TZipCryptKeys("benchmark password").Decrypt(work.data(), work.size());
    });
    std::uint32_t crcResult = 0;
    const double crcRate = mzb::bench::BestMegabytesPerSecond(
        kDataSize, kRounds, [&] { crcResult = mzb::Crc32(original.data(), original.size()); });

    std::vector<std::uint8_t> data = original;
    mzb::TZipCryptKeys("benchmark password").Encrypt(data.data(), data.size());
    const bool changed = data != original;
    mzb::TZipCryptKeys("benchmark password").Decrypt(data.data(), data.size());

    std::printf("traditional encryption over %zu MB of seeded data (best of %d)\n",
                kDataSize / 1000000, kRounds);
    std::printf("  encrypt         %9.0f MB/s\n", encryptRate);
    std::printf("  decrypt         %9.0f MB/s\n", decryptRate);
    std::printf("  CRC-32 (ours)   %9.0f MB/s\n", crcRate);
    std::printf("  encrypt/CRC-32  %9.3f\n", encryptRate / crcRate);
    std::printf("  decrypt/CRC-32  %9.3f\n", decryptRate / crcRate);

    // One entry of 100 MB: the transform's cost, without the derivation.
    auto writer = mzb::TAesCipher::ForWriting(3, "benchmark password");
    const double aesRate = mzb::bench::BestMegabytesPerSecond(
        kDataSize, kRounds, [&] { writer->Encrypt(work.data(), work.size()); });
    std::printf("  AES-256 encrypt %9.0f MB/s (counter mode and HMAC-SHA1)\n", aesRate);
    std::printf("  AES/CRC-32      %9.3f\n", aesRate / crcRate);

    constexpr int kDerivations = 200;
    const std::uint8_t salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (std::uint8_t strength = 1; strength <= 3; ++strength) {
        double best = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kDerivations; ++i) {
                (void)mzb::DeriveAesKeys(strength, "benchmark password", salt);
            }
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count() / kDerivations);
        }
        std::printf("  AES-%d key derivation %6.3f ms per entry (best of %d rounds of %d)\n",
                    64 + 64 * strength, best, kRounds, kDerivations);
    }

    if (!changed || data != original || crcResult != crc) {
        std::printf("MISMATCH: decryption did not give the data back\n");
        return 1;
    }
    std::printf("  round trip ok\n");
    return 0;
}
