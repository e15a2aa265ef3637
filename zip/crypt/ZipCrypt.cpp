#include "zip/crypt/ZipCrypt.h"

#include "zip/format/Crc32.h"

#include <algorithm>
#include <chrono>
#include <sys/random.h>

namespace mzb {

TZipCryptKeys::TZipCryptKeys(std::string_view password) {
    for (const char c : password) {
        Update(static_cast<std::uint8_t>(c));
    }
}

namespace {

// The keys in locals for the length of a buffer: written through a byte
// pointer, which may alias anything, keys held in members would be stored
// and reloaded on every byte.
struct Keys {
    std::uint32_t k0, k1, k2;

    std::uint8_t StreamByte() const {
        const std::uint32_t t = (k2 & 0xFFFFu) | 2u;
        return static_cast<std::uint8_t>(((t * (t ^ 1u)) & 0xFFFFu) >> 8);
    }
    void Update(std::uint8_t plain) {
        k0 = Crc32Byte(k0, plain);
        k1 = (k1 + (k0 & 0xFFu)) * 134775813u + 1u;
        k2 = Crc32Byte(k2, static_cast<std::uint8_t>(k1 >> 24));
    }
};

} // namespace

void TZipCryptKeys::Update(std::uint8_t plain) {
    Keys k{key0_, key1_, key2_};
    k.Update(plain);
    key0_ = k.k0;
    key1_ = k.k1;
    key2_ = k.k2;
}

void TZipCryptKeys::Encrypt(std::uint8_t* data, std::size_t n) {
    Keys k{key0_, key1_, key2_};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t plain = data[i];
        data[i] = plain ^ k.StreamByte();
        k.Update(plain);
    }
    key0_ = k.k0;
    key1_ = k.k1;
    key2_ = k.k2;
}

void TZipCryptKeys::Decrypt(std::uint8_t* data, std::size_t n) {
    Keys k{key0_, key1_, key2_};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t plain = data[i] ^ k.StreamByte();
        data[i] = plain;
        k.Update(plain);
    }
    key0_ = k.k0;
    key1_ = k.k1;
    key2_ = k.k2;
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

TTraditionalCipher::TTraditionalCipher(std::string_view password, std::uint32_t crc,
                                       TFillerSource filler)
    : keys_(password), crc_(crc), filler_(std::move(filler)) {}

TTraditionalCipher::TTraditionalCipher(std::string_view password, std::uint8_t checkByte)
    : keys_(password), checkByte_(checkByte) {}

std::vector<std::uint8_t> TTraditionalCipher::Header() {
    const auto header = EncryptionHeader(keys_, crc_, filler_);
    return {header.begin(), header.end()};
}

bool TTraditionalCipher::CheckPassword(const std::uint8_t* header) {
    std::uint8_t plain[kEncryptionHeaderSize];
    std::copy(header, header + kEncryptionHeaderSize, plain);
    keys_.Decrypt(plain, sizeof plain);
    return plain[kEncryptionHeaderSize - 1] == checkByte_;
}

} // namespace mzb
