#pragma once
// The deflate decoder (RFC 1951): stored, fixed and dynamic blocks.
//
// One object decodes any number of entries one after the other; its buffers
// (input, window, tables) are allocated once, at construction.

#include "zip/codec/inflate/DecoderIO.h"
#include "zip/codec/inflate/HuffmanTable.h"
#include "zip/codec/inflate/InputBuffer.h"
#include "zip/codec/inflate/OutputWindow.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mzb {

class TInflater {
public:
    TInflater();

    // Decodes one entry's deflate stream. A damaged or truncated stream ends
    // quietly as DataError with whatever whole chunks were already written;
    // so do the input and output errors of TDecoderInput/TDecoderOutput named
    // in DecoderIO.h. Other exceptions pass through, and so do those of the
    // final flush after the last block, which the reader handles itself.
    TDecodeResult Inflate(TDecoderInput& input, TDecoderOutput& output);

private:
    void DecodeBlocks();
    void CopyStoredBlock();
    void ReadDynamicTables();
    void DecodeCodes(const std::uint32_t* tables);

    // Bit reader.
    void TopUp();
    void Fill();
    std::uint32_t Take(unsigned n);
    bool ConsumedPastEnd() const;

    TInputBuffer input_;
    TOutputWindow window_;
    TDecoderOutput* sink_ = nullptr;
    std::size_t pos_ = 0;

    // The bit buffer holds count_ unread bits, least significant first; the
    // bits above them are either zero or the low bits of *in_, so a wide load
    // may be OR-ed in at any time. in_ never passes inLimit_ by more than two
    // loads: up to there at least 16 bytes can be read, real or pad.
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    const std::uint8_t* in_ = nullptr;
    const std::uint8_t* inLimit_ = nullptr;
    // Pad bytes loaded into the bit buffer after the real input ran out.
    std::size_t padLoaded_ = 0;

    // Two table pairs, the dynamic one and the fixed one. Each pair is one
    // block, its distance table a constant offset after its literal/length
    // table, so the decoding loop keeps a single pointer for both.
    std::unique_ptr<std::uint32_t[]> entries_;
    std::uint32_t* dynamicTables_ = nullptr;
    std::uint32_t* fixedTables_ = nullptr;
};

} // namespace mzb
