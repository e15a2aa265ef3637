#pragma once
// Source and sink for the decoder fuzz targets: the input is handed out in
// pieces of a size the fuzzer picks, and the output is kept up to a limit,
// beyond which the sink refuses as the reader's does.

#include "zip/base/ZipError.h"
#include "zip/codec/inflate/DecoderIO.h"
#include "zip/reader/EntryDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mzb::fuzz {

class PieceInput : public TDecoderInput {
public:
    PieceInput(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : data_(data), size_(size), piece_(std::max<std::size_t>(piece, 1)) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
        if (exhausted_) {
            // Asking again after "used up" is a decoder fault.
            std::abort();
        }
        const std::size_t n = std::min({capacity, piece_, size_ - offset_});
        if (n == 0) {
            exhausted_ = true;
            return 0;
        }
        std::memcpy(buffer, data_ + offset_, n);
        offset_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t piece_;
    std::size_t offset_ = 0;
    bool exhausted_ = false;
};

class LimitedOutput : public TDecoderOutput {
public:
    explicit LimitedOutput(std::size_t limit) : limit_(limit) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        if (size == 0 || size > kMaxDecodedBlock) {
            std::abort();
        }
        if (Bytes.size() + size > limit_) {
            throw EBiggerThanUncompressed("File is larger than uncompressed size!");
        }
        Bytes.insert(Bytes.end(), data, data + size);
    }

    std::vector<std::uint8_t> Bytes;

private:
    std::size_t limit_;
};

// Decodes data[3..] as one entry of a method with an end of its own: data[0]
// picks the feeding (bit 7 set: small pieces), data[1..2] the declared size.
// A decoder that calls the entry complete at another size is a fault.
inline void DecodeSizedEntry(const std::uint8_t* data, std::size_t size, std::uint16_t method,
                             std::uint16_t flags) {
    if (size < 3) {
        return;
    }
    TEntryCoding coding;
    coding.Method = method;
    coding.Flags = flags;
    coding.UncompressedSize = std::size_t{data[1]} | std::size_t{data[2]} << 8;
    coding.CompressedSize = size - 3;
    const std::size_t piece = (data[0] & 0x80) ? 1 + (data[0] & 0x38) : 1 << 20;
    static TEntryDecoder decoder;
    PieceInput in(data + 3, size - 3, piece);
    LimitedOutput out(coding.UncompressedSize);
    if (decoder.Decode(coding, in, out) == TDecodeResult::Complete &&
        out.Bytes.size() != coding.UncompressedSize) {
        std::abort();
    }
}

} // namespace mzb::fuzz
