// Inflate over arbitrary bytes, held against zlib's raw inflate: whenever
// zlib finds a complete valid stream, ours must decode it to the same bytes,
// and ours must accept nothing that zlib rejects.
#include "fuzz/zip/codec/FuzzDecoderIO.h"
#include "zip/codec/inflate/Inflate.h"

#include <algorithm>
#include <cstdlib>
#include <zlib.h>

namespace {

constexpr std::size_t kLimit = 1 << 18;

enum class ZlibVerdict { Valid, Invalid, TooLong };

struct ZlibResult {
    ZlibVerdict Verdict;
    const std::uint8_t* Data;
    std::size_t Size;
};

ZlibResult ZlibInflate(const std::uint8_t* data, std::size_t size) {
    // Kept between runs so that no run pays for clearing a large buffer.
    static std::vector<std::uint8_t> out(kLimit + 1);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        std::abort();
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    inflateEnd(&z);
    const ZlibVerdict verdict = produced > kLimit    ? ZlibVerdict::TooLong
                                : rc == Z_STREAM_END ? ZlibVerdict::Valid
                                                     : ZlibVerdict::Invalid;
    return {verdict, out.data(), produced};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte picks how the input is fed, the rest is the stream.
    static const std::size_t pieces[] = {1, 2, 3, 7, 31, 64, 4096, 1 << 20};
    const std::size_t piece = pieces[data[0] & 7];
    ++data;
    --size;

    static mzb::TInflater inflater; // reused, as across the entries of a run
    mzb::fuzz::PieceInput in(data, size, piece);
    mzb::fuzz::LimitedOutput out(kLimit);
    mzb::TDecodeResult ours;
    try {
        ours = inflater.Inflate(in, out);
    } catch (const mzb::EBiggerThanUncompressed&) {
        // The last flush's errors reach the reader unconverted.
        ours = mzb::TDecodeResult::DataError;
    }

    const ZlibResult zlib = ZlibInflate(data, size);
    switch (zlib.Verdict) {
    case ZlibVerdict::Valid:
        if (ours != mzb::TDecodeResult::Complete || out.Bytes.size() != zlib.Size ||
            !std::equal(out.Bytes.begin(), out.Bytes.end(), zlib.Data)) {
            std::abort();
        }
        break;
    case ZlibVerdict::Invalid:
        if (ours == mzb::TDecodeResult::Complete) {
            std::abort();
        }
        break;
    case ZlibVerdict::TooLong:
        break;
    }
    return 0;
}
