#pragma once
// The traditional encryption of archive entries: three 32-bit keys stepped
// by the CRC-32 table and a linear congruential step, started from the
// password for every entry. Each byte of a stream is encrypted or
// decrypted with the key state left by all the bytes before it.

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

} // namespace mzb
