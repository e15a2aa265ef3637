#pragma once
// A plain bit reader for the legacy decoders: bits least significant first,
// fed a byte at a time from a TInputBuffer. Once the input is used up it
// supplies zero bits and remembers how many, so a decoder can tell a code
// that ran past the end of its input (PastEnd) from one that did not.

#include "zip/codec/inflate/InputBuffer.h"

#include <cstdint>

namespace mzb {

class TLsbBitReader {
public:
    void Begin(TDecoderInput& source) {
        input_.Begin(source);
        in_ = end_ = input_.Begin();
        bits_ = 0;
        count_ = 0;
        padBits_ = 0;
    }

    // n <= 32.
    std::uint32_t Peek(unsigned n) {
        while (count_ < n) {
            LoadByte();
        }
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
    }
    void Skip(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }
    std::uint32_t Take(unsigned n) {
        const std::uint32_t v = Peek(n);
        Skip(n);
        return v;
    }

    // Some bit taken so far lay beyond the end of the input.
    bool PastEnd() const { return padBits_ > count_; }
    // At least n more real input bits remain.
    bool HasBits(unsigned n) {
        Peek(n);
        return padBits_ + n <= count_;
    }

private:
    void LoadByte() {
        if (in_ == end_ && !input_.AtEnd()) {
            in_ = input_.Refill(in_, 1);
            end_ = input_.End();
        }
        if (in_ < end_) {
            bits_ |= std::uint64_t{*in_++} << count_;
        } else {
            padBits_ += 8;
        }
        count_ += 8;
    }

    TInputBuffer input_;
    const std::uint8_t* in_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    unsigned padBits_ = 0;
};

} // namespace mzb
