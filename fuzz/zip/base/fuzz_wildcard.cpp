// The wildcard matcher on arbitrary patterns and names: the pattern is the
// input up to its first newline, the name is the rest. Cases up to a few
// hundred characters are held to the step-by-step transcription of the
// algorithm; every case must come out the same with the letters' case
// swapped.
#include "tests/support/WildcardReference.h"
#include "zip/base/Wildcard.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string SwapCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string_view pattern = input.substr(0, cut);
    const std::string_view text =
        cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

    const int result = static_cast<int>(mzb::MatchMask(pattern, text));
    if (result < 1 || result > 6) {
        std::abort();
    }
    // The transcription takes time quadratic in the name; keep it to cases
    // that stay fast.
    if (pattern.size() <= 32 && text.size() <= 256 &&
        mzb::test::WildcardReference::Match(pattern, text) != result) {
        std::abort();
    }
    if (static_cast<int>(mzb::MatchMask(SwapCase(pattern), SwapCase(text))) != result) {
        std::abort();
    }
    return 0;
}
