#pragma once
// The Implode decoder (method 6): a 4 KiB or 8 KiB sliding dictionary whose
// literals, lengths and distances are coded with two or three Shannon-Fano
// trees stored at the start of the data.

#include "zip/codec/inflate/DecoderIO.h"
#include "zip/codec/inflate/HuffmanTable.h"
#include "zip/codec/inflate/LsbBitReader.h"
#include "zip/codec/inflate/OutputWindow.h"

#include <cstdint>
#include <memory>

namespace mzb {

class TExploder {
public:
    TExploder();

    // Decodes until coding.UncompressedSize bytes are produced; general-purpose
    // bit 1 selects the 8 KiB dictionary, bit 2 the literal tree. A tree that
    // cannot be read or is not a complete code, or input that ends first, is
    // DataError.
    TDecodeResult Explode(const TEntryCoding& coding, TDecoderInput& input, TDecoderOutput& output);

private:
    bool ReadTree(THuffmanTable& table, unsigned symbols, unsigned bits);
    unsigned DecodeSymbol(const THuffmanTable& table);

    TLsbBitReader reader_;
    TOutputWindow window_;
    std::unique_ptr<std::uint32_t[]> literalEntries_;
    std::unique_ptr<std::uint32_t[]> lengthEntries_;
    std::unique_ptr<std::uint32_t[]> distanceEntries_;
    THuffmanTable literal_{};
    THuffmanTable length_{};
    THuffmanTable distance_{};
};

} // namespace mzb
