// Explode over arbitrary bytes. The first byte picks the
// flags (dictionary size, literal tree) and the feeding, the next two the
// declared size.
#include "fuzz/zip/codec/FuzzDecoderIO.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0) {
        mzb::fuzz::DecodeSizedEntry(data, size, 6, data[0] & 0x06);
    }
    return 0;
}
