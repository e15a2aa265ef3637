#include "zip/codec/legacy/Unreduce.h"

#include <algorithm>

namespace mzb {
namespace {

constexpr std::uint8_t kDle = 144;

// Bits of an index into a follower set of n members; a set of one still
// spends a bit on it.
constexpr unsigned IndexBits(unsigned n) {
    unsigned bits = 1;
    while ((1u << bits) < n) {
        ++bits;
    }
    return bits;
}

struct TBadIndex {};

} // namespace

bool TUnreducer::ReadFollowerSets() {
    for (int j = 255; j >= 0; --j) {
        const unsigned n = reader_.Take(6);
        // Six bits could say up to 63; the format allows at most 32.
        if (n > 32) {
            return false;
        }
        followerCount_[j] = static_cast<std::uint8_t>(n);
        for (unsigned i = 0; i < n; ++i) {
            followers_[j][i] = static_cast<std::uint8_t>(reader_.Take(8));
        }
        if (reader_.PastEnd()) {
            return false;
        }
    }
    return true;
}

std::uint8_t TUnreducer::NextByte(std::uint8_t last) {
    const unsigned n = followerCount_[last];
    if (n == 0 || reader_.Take(1) != 0) {
        return static_cast<std::uint8_t>(reader_.Take(8));
    }
    const unsigned index = reader_.Take(IndexBits(n));
    if (index >= n) {
        throw TBadIndex{};
    }
    return followers_[last][index];
}

TDecodeResult TUnreducer::Unreduce(const TEntryCoding& coding, TDecoderInput& input,
                                   TDecoderOutput& output) {
    const unsigned factor = coding.Method - 1u;
    const unsigned lengthMask = 0xFFu >> factor;
    reader_.Begin(input);
    // Back-references before the entry's start read zeros, as the format says.
    std::size_t pos = window_.Begin(true);
    std::uint8_t* const w = window_.Data();
    if (!ReadFollowerSets()) {
        return TDecodeResult::DataError;
    }

    std::uint64_t left = coding.UncompressedSize;
    std::uint8_t last = 0;
    int state = 0;
    unsigned v = 0;
    std::size_t length = 0;
    try {
        while (left > 0) {
            const std::uint8_t c = NextByte(last);
            last = c;
            if (reader_.PastEnd()) {
                return TDecodeResult::DataError;
            }
            if (pos >= TOutputWindow::FullAt()) {
                pos = window_.Drain(pos, output);
            }
            switch (state) {
            case 0:
                if (c != kDle) {
                    w[pos++] = c;
                    --left;
                } else {
                    state = 1;
                }
                break;
            case 1:
                if (c != 0) {
                    v = c;
                    length = v & lengthMask;
                    state = length == lengthMask ? 2 : 3;
                } else {
                    w[pos++] = kDle;
                    --left;
                    state = 0;
                }
                break;
            case 2:
                length += c;
                state = 3;
                break;
            default: {
                const std::size_t distance = (std::size_t{v >> (8 - factor)} << 8) + c + 1;
                const std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(length + 3, left));
                const std::uint8_t* src = w + pos - distance;
                for (std::size_t i = 0; i < n; ++i) {
                    w[pos + i] = src[i];
                }
                pos += n;
                left -= n;
                state = 0;
                break;
            }
            }
        }
    } catch (const TBadIndex&) {
        return TDecodeResult::DataError;
    }
    window_.Finish(pos, output);
    return TDecodeResult::Complete;
}

} // namespace mzb
