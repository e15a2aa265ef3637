#pragma once
// The Shrink decoder (method 1): LZW with codes of 9 to 13 bits, where code
// 256 announces either a wider code size or a partial clear of the table.

#include "zip/codec/inflate/DecoderIO.h"
#include "zip/codec/inflate/LsbBitReader.h"
#include "zip/codec/inflate/OutputWindow.h"

#include <array>
#include <cstdint>

namespace mzb {

class TUnshrinker {
public:
    // Decodes until the compressed bytes are used up. A code that is neither
    // defined nor the next one to be defined, a bad control code, or a code
    // size beyond 13 bits is DataError.
    TDecodeResult Unshrink(TDecoderInput& input, TDecoderOutput& output);

    static constexpr unsigned kMaxCodes = 8192;

private:
    void PartialClear();
    void AdvanceFreeCode();
    // Writes the string of code into stack_ back to front; returns its first
    // index, or kMaxCodes when the prefix chain does not end.
    unsigned Expand(unsigned code);

    TLsbBitReader reader_;
    TOutputWindow window_;
    static constexpr std::uint16_t kUnused = 0xFFFF;
    static constexpr std::uint16_t kNoPrefix = 0xFFFE;
    // prefix_[c] is kUnused for a free code.
    std::array<std::uint16_t, kMaxCodes> prefix_;
    std::array<std::uint8_t, kMaxCodes> suffix_;
    std::array<std::uint8_t, kMaxCodes> stack_;
    unsigned freeCode_ = 257;
};

} // namespace mzb
