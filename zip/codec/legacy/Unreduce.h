#pragma once
// The Reduce decoder (methods 2 to 5, compression factors 1 to 4): follower
// sets expand the byte stream, then a DLE-escaped run-length/back-reference
// layer restores the data.

#include "zip/codec/inflate/DecoderIO.h"
#include "zip/codec/inflate/LsbBitReader.h"
#include "zip/codec/inflate/OutputWindow.h"

#include <array>
#include <cstdint>

namespace mzb {

class TUnreducer {
public:
    // Decodes until coding.UncompressedSize bytes are produced. Input that
    // ends first, or an index outside its follower set, is DataError.
    TDecodeResult Unreduce(const TEntryCoding& coding, TDecoderInput& input,
                           TDecoderOutput& output);

private:
    bool ReadFollowerSets();
    std::uint8_t NextByte(std::uint8_t last);

    TLsbBitReader reader_;
    TOutputWindow window_;
    std::array<std::array<std::uint8_t, 64>, 256> followers_{};
    std::array<std::uint8_t, 256> followerCount_{};
};

} // namespace mzb
