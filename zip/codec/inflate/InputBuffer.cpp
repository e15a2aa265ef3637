#include "zip/codec/inflate/InputBuffer.h"

#include <cassert>
#include <cstring>
#include <stdexcept>

namespace mzb {

TInputBuffer::TInputBuffer() : data_(new std::uint8_t[kCapacity + kPad]), end_(data_.get()) {}

void TInputBuffer::Begin(TDecoderInput& source) {
    source_ = &source;
    end_ = data_.get();
    atEnd_ = false;
}

const std::uint8_t* TInputBuffer::Refill(const std::uint8_t* next, std::size_t want) {
    assert(want <= kCapacity && next >= data_.get() && next <= end_ + kPad);
    std::uint8_t* const front = data_.get();
    // Past End() there are only pad bytes: nothing real to keep.
    std::size_t kept = next < end_ ? static_cast<std::size_t>(end_ - next) : 0;
    std::memmove(front, next, kept);
    end_ = front + kept;
    while (kept < want && !atEnd_) {
        const std::size_t room = kCapacity - kept;
        const std::size_t got = source_->Read(end_, room);
        if (got > room) {
            // A source that overran the buffer has already corrupted memory;
            // stop before anything else is built on it.
            throw std::logic_error("decoder input delivered more bytes than asked for");
        }
        if (got == 0) {
            atEnd_ = true;
        }
        end_ += got;
        kept += got;
    }
    if (atEnd_) {
        std::memset(end_, 0, kPad);
    }
    return front;
}

} // namespace mzb
