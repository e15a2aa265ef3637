#pragma once
// The compressor's output side: bits packed least significant first, as RFC
// 1951 orders them, into a small buffer that is handed to the sink when full.

#include "zip/codec/deflate/DeflateIO.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>

namespace mzb {

class TDeflateBitWriter {
public:
    static constexpr std::size_t kBufferSize = 1024;

    void start(TDeflateSink& sink) {
        sink_ = &sink;
        bits_ = 0;
        bitCount_ = 0;
        used_ = 0;
        handedOut_ = 0;
    }

    // Invariant between calls: fewer than 32 bits wait in bits_, and used_ is
    // below kBufferSize, so one call may add up to 32 bits.
    void put(std::uint32_t value, unsigned count) {
        assert(count <= 32 && (count == 32 || value >> count == 0));
        bits_ |= std::uint64_t{value} << bitCount_;
        bitCount_ += count;
        if (bitCount_ >= 32) {
            const std::uint32_t low = std::uint32_t(bits_);
            const std::uint8_t bytes[4] = {std::uint8_t(low), std::uint8_t(low >> 8),
                                           std::uint8_t(low >> 16), std::uint8_t(low >> 24)};
            std::memcpy(buffer_.data() + used_, bytes, 4);
            used_ += 4;
            bits_ >>= 32;
            bitCount_ -= 32;
            if (used_ >= kBufferSize) {
                drain();
            }
        }
    }

    // Pads with zero bits to the next byte boundary.
    void alignToByte() {
        while (bitCount_ > 0) {
            buffer_[used_++] = std::uint8_t(bits_);
            bits_ >>= 8;
            bitCount_ = bitCount_ > 8 ? bitCount_ - 8 : 0;
            if (used_ >= kBufferSize) {
                drain();
            }
        }
        bits_ = 0;
    }

    // Bytes that bypass the buffer (stored data); the stream must be aligned.
    void putBytes(const std::uint8_t* data, std::size_t size) {
        assert(bitCount_ == 0);
        drain();
        if (size != 0) {
            sink_->Write(data, size);
            handedOut_ += size;
        }
    }

    void finish() {
        alignToByte();
        drain();
    }

    // Everything produced so far, counting a started byte as whole.
    std::uint64_t bytesProduced() const { return handedOut_ + used_ + (bitCount_ + 7) / 8; }

private:
    void drain() {
        if (used_ != 0) {
            sink_->Write(buffer_.data(), used_);
            handedOut_ += used_;
            used_ = 0;
        }
    }

    TDeflateSink* sink_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned bitCount_ = 0;
    std::size_t used_ = 0;
    std::uint64_t handedOut_ = 0;
    std::array<std::uint8_t, kBufferSize + 8> buffer_{};
};

} // namespace mzb
