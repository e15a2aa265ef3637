#pragma once
// The traditional encryption of archive entries: three 32-bit keys stepped
// by the CRC-32 table and a linear congruential step, started from the
// password for every entry. Each byte of a stream is encrypted or
// decrypted with the key state left by all the bytes before it.

#include "zip/crypt/EntryCipher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mzb {

class TZipCryptKeys {
public:
    // Keys initialised from the password, byte by byte as given.
    explicit TZipCryptKeys(std::string_view password);

    void Encrypt(std::uint8_t* data, std::size_t n);
    void Decrypt(std::uint8_t* data, std::size_t n);

private:
    std::uint8_t KeyStreamByte() const {
        const std::uint32_t t = (key2_ & 0xFFFFu) | 2u;
        return static_cast<std::uint8_t>(((t * (t ^ 1u)) & 0xFFFFu) >> 8);
    }
    void Update(std::uint8_t plain);

    std::uint32_t key0_ = 0x12345678u;
    std::uint32_t key1_ = 0x23456789u;
    std::uint32_t key2_ = 0x34567890u;
};

// The header in front of an encrypted entry's data: ten filler bytes, then
// bits 16..23 and 24..31 of the entry's CRC-32 (the last is what a reader
// checks a password against), all encrypted.
inline constexpr std::size_t kEncryptionHeaderSize = 12;
inline constexpr std::size_t kEncryptionFillerSize = 10;

// Readers never look at the filler, but it starts every entry's key
// stream: two entries with the same password and the same filler are
// encrypted with the same stream, and the XOR of their data leaks. So the
// filler has to differ between any two headers.

// The system's random source; the clock-seeded generator when that fails.
void SystemFiller(std::uint8_t* out, std::size_t n);

// The traditional generator: seed := seed * 0x08088405 + 1, and a draw below
// n is the high half of seed * n. Seeded from the clock it repeats within a
// millisecond, which is why it is only the fallback.
class TClockSeededRandom {
public:
    explicit TClockSeededRandom(std::uint32_t seed) : seed_(seed) {}
    // Milliseconds since midnight UTC.
    static std::uint32_t SeedFromClock();

    std::uint32_t Below(std::uint32_t n) {
        seed_ = seed_ * 0x08088405u + 1u;
        return static_cast<std::uint32_t>((std::uint64_t(seed_) * n) >> 32);
    }
    // Each byte a draw below 32 767 shifted right by 7.
    void Fill(std::uint8_t* out, std::size_t n);

private:
    std::uint32_t seed_;
};

// The encrypted header for an entry whose CRC-32 is crc. The keys, fresh
// from the password, go on to encrypt the entry's data.
std::array<std::uint8_t, kEncryptionHeaderSize>
EncryptionHeader(TZipCryptKeys& keys, std::uint32_t crc, const TFillerSource& filler);

// The traditional cipher behind the entry-cipher interface. Its password
// check compares one byte of the decrypted header (so one wrong password in
// 256 passes it, and the CRC-32 then catches it); it has no trailer.
class TTraditionalCipher final : public TEntryCipher {
public:
    // For writing: the header will carry the CRC's high bytes.
    TTraditionalCipher(std::string_view password, std::uint32_t crc, TFillerSource filler);
    // For reading: the check byte the entry's header must decrypt to.
    TTraditionalCipher(std::string_view password, std::uint8_t checkByte);

    std::size_t HeaderSize() const override { return kEncryptionHeaderSize; }
    std::size_t TrailerSize() const override { return 0; }
    bool DerivesKeys() const override { return false; }

    std::vector<std::uint8_t> Header() override;
    void Encrypt(std::uint8_t* data, std::size_t n) override { keys_.Encrypt(data, n); }
    std::vector<std::uint8_t> Trailer() override { return {}; }
    void MarkEntry(TZipHeaderInfo& entry) const override { entry.Flags |= kFlagEncrypted; }

    bool CheckPassword(const std::uint8_t* header) override;
    void Decrypt(std::uint8_t* data, std::size_t n) override { keys_.Decrypt(data, n); }
    bool CheckTrailer(const std::uint8_t*) override { return true; }
    bool ChecksCrc() const override { return true; }
    bool Authenticates() const override { return false; }

private:
    TZipCryptKeys keys_;
    std::uint32_t crc_ = 0;
    std::uint8_t checkByte_ = 0;
    TFillerSource filler_;
};

} // namespace mzb
