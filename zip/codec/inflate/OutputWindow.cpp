#include "zip/codec/inflate/OutputWindow.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace mzb {

TOutputWindow::TOutputWindow() : data_(new std::uint8_t[FullAt() + kSlack]) {}

std::size_t TOutputWindow::Begin(bool zeroHistory) {
    if (zeroHistory) {
        std::memset(data_.get(), 0, kHistory);
        flushed_ = kHistory;
    } else {
        flushed_ = 0;
    }
    return flushed_;
}

void TOutputWindow::EmitChunks(std::size_t pos, TDecoderOutput& sink, bool all) {
    while (pos - flushed_ >= kChunk || (all && pos > flushed_)) {
        const std::size_t n = std::min(kChunk, pos - flushed_);
        sink.Write(data_.get() + flushed_, n);
        flushed_ += n;
    }
}

std::size_t TOutputWindow::Drain(std::size_t pos, TDecoderOutput& sink) {
    assert(pos >= FullAt() && pos <= FullAt() + kSlack);
    EmitChunks(pos, sink, false);
    // Less than a chunk is left unflushed, so flushed_ > kHistory here.
    const std::size_t shift = flushed_ - kHistory;
    std::memmove(data_.get(), data_.get() + shift, pos - shift);
    flushed_ = kHistory;
    return pos - shift;
}

std::size_t TOutputWindow::Put(std::size_t pos, const std::uint8_t* bytes, std::size_t n,
                               TDecoderOutput& sink) {
    while (n > 0) {
        if (pos >= FullAt()) {
            pos = Drain(pos, sink);
        }
        const std::size_t step = std::min(n, FullAt() - pos);
        std::memcpy(data_.get() + pos, bytes, step);
        pos += step;
        bytes += step;
        n -= step;
    }
    return pos;
}

void TOutputWindow::Finish(std::size_t pos, TDecoderOutput& sink) {
    EmitChunks(pos, sink, true);
}

} // namespace mzb
