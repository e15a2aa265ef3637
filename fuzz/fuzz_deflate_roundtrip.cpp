// Round trip: whatever bytes and level the fuzzer picks, our deflate's output
// must inflate back to exactly those bytes. The first byte chooses the level
// and how the input is cut into reads; the rest is the data.

#include "tests/support/DeflateStreams.h"
#include "tests/support/ZlibOracle.h"
#include "zip/Deflate.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static mzb::Deflater deflater; // reused, as the writer reuses it across entries
    const int level = mzb::kMinDeflateLevel + data[0] % 9;
    static constexpr std::size_t kPieces[] = {SIZE_MAX, 1, 31, 4096};
    const std::size_t piece = kPieces[(data[0] / 9) % 4];
    const std::uint8_t* input = data + 1;
    const std::size_t inputSize = size - 1;

    mzb::test::MemorySource source(input, inputSize, piece);
    mzb::test::MemorySink sink;
    const mzb::DeflateResult result = deflater.deflate(source, sink, level);

    bool ok = result.compressedSize == sink.bytes.size();
    if (result.method == 0) {
        ok = ok && sink.bytes.size() == inputSize &&
             std::equal(sink.bytes.begin(), sink.bytes.end(), input);
    } else {
        const auto inflated = mzb::test::ZlibInflateRaw(sink.bytes.data(), sink.bytes.size());
        ok = ok && result.method == 8 && inflated && inflated->size() == inputSize &&
             std::equal(inflated->begin(), inflated->end(), input);
    }
    if (!ok) {
        std::fprintf(stderr, "round trip failed at level %d, %zu bytes\n", level, inputSize);
        std::abort();
    }
    return 0;
}
