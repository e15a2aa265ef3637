#include "core/project/PasswordScramble.h"

namespace mzb {
namespace {

// Characters, not bytes: UTF-8 continuation bytes do not count.
std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

std::string KeyFor(std::string_view projectName) {
    std::string key(projectName);
    key += std::to_string(CharacterCount(projectName));
    return key;
}

std::string Xor(std::string bytes, std::string_view projectName) {
    const std::string key = KeyFor(projectName);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(bytes[i] ^ key[i % key.size()]);
    }
    return bytes;
}

std::string BytesFromDecimalRuns(std::string_view text) {
    std::string bytes;
    unsigned value = 0;
    bool inRun = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            // Only the low 8 bits are kept, so they can be kept all along
            // without ever overflowing on a long run.
            value = (value * 10 + static_cast<unsigned>(c - '0')) & 0xFF;
            inRun = true;
        } else if (inRun) {
            bytes.push_back(static_cast<char>(value));
            value = 0;
            inRun = false;
        }
    }
    if (inRun) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

} // namespace

std::string EncodePassword(std::string_view plain, std::string_view projectName) {
    std::string stored;
    for (const char c : Xor(std::string(plain), projectName)) {
        stored += '#';
        stored += std::to_string(static_cast<unsigned char>(c));
    }
    return stored;
}

std::string DecodePassword(std::string_view stored, std::string_view projectName) {
    std::string bytes = !stored.empty() && stored.front() == '#' ? BytesFromDecimalRuns(stored)
                                                                 : std::string(stored);
    return Xor(std::move(bytes), projectName);
}

} // namespace mzb
