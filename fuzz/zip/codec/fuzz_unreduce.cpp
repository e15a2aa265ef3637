// Unreduce over arbitrary bytes. The first byte picks the
// compression factor (methods 2 to 5) and the feeding, the next two the
// declared size.
#include "fuzz/zip/codec/FuzzDecoderIO.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0) {
        mzb::fuzz::DecodeSizedEntry(data, size, static_cast<std::uint16_t>(2 + (data[0] & 3)), 0);
    }
    return 0;
}
