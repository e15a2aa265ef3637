#include "zip/crypt/ZipCrypt.h"

#include <gtest/gtest.h>
#include <string>

namespace mzb {
namespace {

TEST(ZipCryptTest, DecryptUndoesEncryptAcrossPieces) {
    std::string plain;
    for (int i = 0; i < 5000; ++i) {
        plain += static_cast<char>(i * 7 + i / 13);
    }
    std::string data = plain;
    auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
    TZipCryptKeys(std::string_view("pass word")).Encrypt(bytes, data.size());
    EXPECT_NE(data, plain);
    TZipCryptKeys keys("pass word");
    for (std::size_t at = 0, piece = 1; at < data.size();
         at += piece, piece = piece * 3 % 4097 + 1) {
        keys.Decrypt(bytes + at, std::min(piece, data.size() - at));
    }
    EXPECT_EQ(data, plain);
}

TEST(ZipCryptTest, WrongPasswordGivesOtherBytes) {
    std::string data(64, 'a');
    auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
    TZipCryptKeys("right").Encrypt(bytes, data.size());
    TZipCryptKeys("wrong").Decrypt(bytes, data.size());
    EXPECT_NE(data, std::string(64, 'a'));
}

} // namespace
} // namespace mzb
