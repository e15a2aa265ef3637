// Round trip: whatever bytes and level the fuzzer picks, our deflate's output
// must inflate back to exactly those bytes, through zlib and through our own
// decoder. The first byte chooses the level, how the input is cut into reads
// and whether it is deflated as two pieces (the second with the first's end
// as history) joined into one stream; the rest is the data.

#include "tests/support/DeflateStreams.h"
#include "tests/support/ZlibOracle.h"
#include "zip/codec/deflate/Deflate.h"
#include "zip/codec/inflate/Inflate.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

class BufferInput : public mzb::TDecoderInput {
public:
    explicit BufferInput(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
        const std::size_t n = std::min(capacity, bytes_.size() - offset_);
        std::copy_n(bytes_.data() + offset_, n, buffer);
        offset_ += n;
        return n;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t offset_ = 0;
};

class BufferOutput : public mzb::TDecoderOutput {
public:
    void Write(const std::uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
    }
    std::vector<std::uint8_t> bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static mzb::TDeflater deflater; // reused, as the writer reuses it across entries
    const int level = mzb::kMinDeflateLevel + data[0] % 9;
    static constexpr std::size_t kPieces[] = {SIZE_MAX, 1, 31, 4096};
    const std::size_t piece = kPieces[(data[0] / 9) % 4];
    const std::uint8_t* input = data + 1;
    const std::size_t inputSize = size - 1;

    mzb::test::MemorySink sink;
    mzb::TDeflateResult result;
    if (data[0] >= 144 && inputSize >= 2) {
        const std::size_t cut = inputSize / 2;
        mzb::test::MemorySource head(input, cut, piece);
        mzb::TDeflatePiece first;
        first.last = false;
        const auto a = deflater.Deflate(head, sink, level, first);
        mzb::test::MemorySource tail(input + cut, inputSize - cut, piece);
        mzb::TDeflatePiece second;
        second.historySize = std::min(cut, mzb::kDeflateHistory);
        second.history = input + cut - second.historySize;
        const auto b = deflater.Deflate(tail, sink, level, second);
        result = a;
        result.compressedSize = a.compressedSize + b.compressedSize;
        result.method = a.method == 8 && b.method == 8 ? 8 : 99; // pieces are never stored raw
    } else {
        mzb::test::MemorySource source(input, inputSize, piece);
        result = deflater.Deflate(source, sink, level);
    }

    bool ok = result.compressedSize == sink.bytes.size();
    if (result.method == 0) {
        ok = ok && sink.bytes.size() == inputSize &&
             std::equal(sink.bytes.begin(), sink.bytes.end(), input);
    } else {
        const auto inflated = mzb::test::ZlibInflateRaw(sink.bytes.data(), sink.bytes.size());
        ok = ok && result.method == 8 && inflated && inflated->size() == inputSize &&
             std::equal(inflated->begin(), inflated->end(), input);

        static mzb::TInflater inflater;
        BufferInput compressed(sink.bytes);
        BufferOutput decoded;
        ok = ok && inflater.Inflate(compressed, decoded) == mzb::TDecodeResult::Complete &&
             decoded.bytes.size() == inputSize &&
             std::equal(decoded.bytes.begin(), decoded.bytes.end(), input);
    }
    if (!ok) {
        std::fprintf(stderr, "round trip failed at level %d, %zu bytes\n", level, inputSize);
        std::abort();
    }
    return 0;
}
