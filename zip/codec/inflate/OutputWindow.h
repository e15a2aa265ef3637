#pragma once
// Decoded bytes on their way to the sink, together with the history that
// back-references copy from.
//
// Layout: [history | kSpanChunks chunks | slack]. Decoders write at a
// position they keep in a local pointer; once it reaches FullAt() they call
// Drain, which hands every whole chunk to the sink and slides the last
// kHistory bytes to the front. Several chunks per slide keep the history
// move a small share of the work next to the decoding itself. Blocks reach
// the sink as exactly kChunk bytes, except the last one of an entry. The
// slack lets a decoder finish one match (and overshoot it by a word copy)
// past FullAt() without a bounds check per byte.

#include "zip/codec/inflate/DecoderIO.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mzb {

class TOutputWindow {
public:
    static constexpr std::size_t kHistory = 32768;
    static constexpr std::size_t kChunk = kMaxDecodedBlock;
    static constexpr std::size_t kSpanChunks = 8;
    static constexpr std::size_t kSlack = 512;

    TOutputWindow();

    // Starts a new entry and returns the first write position. With
    // zeroHistory the entry starts after kHistory zero bytes (the legacy
    // formats define bytes before the start as zeros); otherwise it starts at
    // 0 and a back-reference may reach at most the current position.
    std::size_t Begin(bool zeroHistory);

    std::uint8_t* Data() { return data_.get(); }
    static constexpr std::size_t FullAt() { return kHistory + kSpanChunks * kChunk; }

    // Requires pos >= FullAt(); returns the new position, below FullAt(),
    // with at least kHistory bytes of history before it.
    std::size_t Drain(std::size_t pos, TDecoderOutput& sink);

    // Appends n bytes of any length, draining as needed; returns the new
    // position.
    std::size_t Put(std::size_t pos, const std::uint8_t* bytes, std::size_t n,
                    TDecoderOutput& sink);

    // Hands everything not yet passed on to the sink.
    void Finish(std::size_t pos, TDecoderOutput& sink);

private:
    void EmitChunks(std::size_t pos, TDecoderOutput& sink, bool all);

    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t flushed_ = 0;
};

} // namespace mzb
