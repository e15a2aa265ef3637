#include "zip/ZipCrypt.h"

#include "zip/Crc32.h"

#include <chrono>
#include <sys/random.h>

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

std::uint32_t TClockSeededRandom::SeedFromClock() {
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(now).count() % 86'400'000);
}

void TClockSeededRandom::Fill(std::uint8_t* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(Below(32767) >> 7);
    }
}

void SystemFiller(std::uint8_t* out, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::getrandom(out + got, n - got, 0);
        if (r <= 0) {
            TClockSeededRandom(TClockSeededRandom::SeedFromClock()).Fill(out, n);
            return;
        }
        got += static_cast<std::size_t>(r);
    }
}

std::array<std::uint8_t, kEncryptionHeaderSize>
EncryptionHeader(TZipCryptKeys& keys, std::uint32_t crc, const TFillerSource& filler) {
    std::array<std::uint8_t, kEncryptionHeaderSize> header{};
    filler(header.data(), kEncryptionFillerSize);
    header[10] = static_cast<std::uint8_t>(crc >> 16);
    header[11] = static_cast<std::uint8_t>(crc >> 24);
    keys.Encrypt(header.data(), header.size());
    return header;
}

} // namespace mzb
