#pragma once
// zlib as the reference decoder for our compressor's output: header-only so
// that tests and fuzz targets share it. Never linked into the product.

#include <cstdint>
#include <optional>
#include <vector>
#include <zlib.h>

namespace mzb::test {

// Inflates a raw deflate stream; empty optional when zlib rejects it or when
// the stream does not end exactly at the last byte given.
inline std::optional<std::vector<std::uint8_t>> ZlibInflateRaw(const std::uint8_t* data,
                                                               std::size_t size) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[65536];
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = uInt(size);
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - zs.avail_out));
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) {
            break;
        }
    }
    const bool complete = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    if (!complete) {
        return std::nullopt;
    }
    return out;
}

// Raw deflate by zlib at `level`, for size comparisons.
inline std::vector<std::uint8_t> ZlibDeflateRaw(const std::vector<std::uint8_t>& input, int level) {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::uint8_t> out(deflateBound(&zs, uLong(input.size())));
    zs.next_in = const_cast<Bytef*>(input.data());
    zs.avail_in = uInt(input.size());
    zs.next_out = out.data();
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

} // namespace mzb::test
