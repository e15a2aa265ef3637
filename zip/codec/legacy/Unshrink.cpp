#include "zip/codec/legacy/Unshrink.h"

#include <algorithm>

namespace mzb {
namespace {

constexpr unsigned kFirstFree = 257;
constexpr unsigned kControl = 256;
constexpr unsigned kMinCodeSize = 9;
constexpr unsigned kMaxCodeSize = 13;
constexpr unsigned kWiden = 1;
constexpr unsigned kPartialClear = 2;

} // namespace

void TUnshrinker::AdvanceFreeCode() {
    while (freeCode_ < kMaxCodes && prefix_[freeCode_] != kUnused) {
        ++freeCode_;
    }
}

// Frees every code that no other code extends.
void TUnshrinker::PartialClear() {
    std::array<bool, kMaxCodes> isPrefix{};
    for (unsigned c = kFirstFree; c < kMaxCodes; ++c) {
        if (prefix_[c] != kUnused && prefix_[c] != kNoPrefix) {
            isPrefix[prefix_[c]] = true;
        }
    }
    for (unsigned c = kFirstFree; c < kMaxCodes; ++c) {
        if (!isPrefix[c]) {
            prefix_[c] = kUnused;
        }
    }
    freeCode_ = kFirstFree;
    AdvanceFreeCode();
}

unsigned TUnshrinker::Expand(unsigned code) {
    unsigned top = kMaxCodes;
    // A chain longer than the table has a loop in it.
    while (code != kNoPrefix) {
        if (top == 0 || prefix_[code] == kUnused) {
            return kMaxCodes;
        }
        stack_[--top] = suffix_[code];
        code = prefix_[code];
    }
    return top;
}

TDecodeResult TUnshrinker::Unshrink(TDecoderInput& input, TDecoderOutput& output) {
    reader_.Begin(input);
    std::size_t pos = window_.Begin(false);
    for (unsigned c = 0; c < 256; ++c) {
        prefix_[c] = kNoPrefix;
        suffix_[c] = static_cast<std::uint8_t>(c);
    }
    std::fill(prefix_.begin() + 256, prefix_.end(), kUnused);
    freeCode_ = kFirstFree;

    unsigned codeSize = kMinCodeSize;
    unsigned previous = kMaxCodes;
    while (reader_.HasBits(codeSize)) {
        const unsigned code = reader_.Take(codeSize);
        if (code == kControl) {
            if (!reader_.HasBits(codeSize)) {
                break;
            }
            const unsigned what = reader_.Take(codeSize);
            if (what == kWiden && codeSize < kMaxCodeSize) {
                ++codeSize;
            } else if (what == kPartialClear) {
                PartialClear();
            } else {
                return TDecodeResult::DataError;
            }
            continue;
        }
        if (previous == kMaxCodes) {
            // The first code can only be a byte.
            if (code >= 256) {
                return TDecodeResult::DataError;
            }
        } else if (freeCode_ < kMaxCodes) {
            // The new code is the previous string plus the first byte of this
            // one; when this one is the code being defined, its first byte is
            // the previous string's first byte.
            std::uint8_t first;
            if (prefix_[code] != kUnused) {
                const unsigned start = Expand(code);
                if (start == kMaxCodes) {
                    return TDecodeResult::DataError;
                }
                first = stack_[start];
            } else if (code == freeCode_) {
                const unsigned start = Expand(previous);
                if (start == kMaxCodes) {
                    return TDecodeResult::DataError;
                }
                first = stack_[start];
            } else {
                return TDecodeResult::DataError;
            }
            prefix_[freeCode_] = static_cast<std::uint16_t>(previous);
            suffix_[freeCode_] = first;
            AdvanceFreeCode();
        } else if (prefix_[code] == kUnused) {
            return TDecodeResult::DataError;
        }
        const unsigned start = Expand(code);
        if (start == kMaxCodes) {
            return TDecodeResult::DataError;
        }
        pos = window_.Put(pos, stack_.data() + start, kMaxCodes - start, output);
        previous = code;
    }
    window_.Finish(pos, output);
    return TDecodeResult::Complete;
}

} // namespace mzb
