#pragma once
// The decoders' view of an entry's compressed bytes: one fixed buffer that is
// topped up from a TDecoderInput, with zero bytes standing behind the real
// ones once the source is used up, so that wide bit-buffer loads never need a
// bounds check of their own.

#include "zip/codec/inflate/DecoderIO.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mzb {

class TInputBuffer {
public:
    static constexpr std::size_t kCapacity = kMaxInputRead;
    // Zero bytes kept after End() once AtEnd(): a reader may load this many
    // bytes past the last real one.
    static constexpr std::size_t kPad = 16;

    TInputBuffer();

    // Starts a new entry: nothing buffered, source not yet used up.
    void Begin(TDecoderInput& source);

    // Moves the unread bytes from next on to the front and reads until at
    // least want (<= kCapacity) bytes are buffered or the source is used up.
    // Returns where next now is.
    const std::uint8_t* Refill(const std::uint8_t* next, std::size_t want);

    const std::uint8_t* Begin() const { return data_.get(); }
    const std::uint8_t* End() const { return end_; }
    bool AtEnd() const { return atEnd_; }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint8_t* end_ = nullptr;
    TDecoderInput* source_ = nullptr;
    bool atEnd_ = false;
};

} // namespace mzb
