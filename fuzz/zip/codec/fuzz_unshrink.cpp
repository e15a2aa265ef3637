// Unshrink over arbitrary bytes. The first byte picks the feeding, the next
// two the declared size, which the sink enforces.
#include "fuzz/zip/codec/FuzzDecoderIO.h"
#include "zip/reader/EntryDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    mzb::TEntryCoding coding;
    coding.Method = 1;
    coding.UncompressedSize = std::size_t{data[1]} | std::size_t{data[2]} << 8;
    coding.CompressedSize = size - 3;
    const std::size_t piece = (data[0] & 0x80) ? 1 + (data[0] & 0x38) : 1 << 20;
    static mzb::TEntryDecoder decoder;
    mzb::fuzz::PieceInput in(data + 3, size - 3, piece);
    mzb::fuzz::LimitedOutput out(coding.UncompressedSize);
    try {
        decoder.Decode(coding, in, out);
    } catch (const mzb::EBiggerThanUncompressed&) {
        // Shrink has no end marker of its own; the reader's size limit stops it.
    }
    return 0;
}
