// Unreduce over arbitrary bytes. The first byte picks the
// compression factor (methods 2 to 5) and the feeding, the next two the
// declared size.
#include "fuzz/FuzzDecoderIO.h"
#include "zip/EntryDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    mzb::TEntryCoding coding;
    coding.Method = static_cast<std::uint16_t>(2 + (data[0] & 3));
    coding.UncompressedSize = std::size_t{data[1]} | std::size_t{data[2]} << 8;
    coding.CompressedSize = size - 3;
    const std::size_t piece = (data[0] & 0x80) ? 1 + (data[0] & 0x38) : 1 << 20;
    static mzb::TEntryDecoder decoder;
    mzb::fuzz::PieceInput in(data + 3, size - 3, piece);
    mzb::fuzz::LimitedOutput out(coding.UncompressedSize);
    const mzb::TDecodeResult r = decoder.Decode(coding, in, out);
    if (r == mzb::TDecodeResult::Complete && out.Bytes.size() != coding.UncompressedSize) {
        std::abort();
    }
    return 0;
}
