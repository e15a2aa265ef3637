#include "zip/ZipCrypt.h"

#include "zip/Crc32.h"

namespace mzb {

TZipCryptKeys::TZipCryptKeys(std::string_view password) {
    for (const char c : password) {
        Update(static_cast<std::uint8_t>(c));
    }
}

void TZipCryptKeys::Update(std::uint8_t plain) {
    key0_ = Crc32Byte(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFFu)) * 134775813u + 1u;
    key2_ = Crc32Byte(key2_, static_cast<std::uint8_t>(key1_ >> 24));
}

void TZipCryptKeys::Encrypt(std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t plain = data[i];
        data[i] = plain ^ KeyStreamByte();
        Update(plain);
    }
}

void TZipCryptKeys::Decrypt(std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t plain = data[i] ^ KeyStreamByte();
        data[i] = plain;
        Update(plain);
    }
}

} // namespace mzb
