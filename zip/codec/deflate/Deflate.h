#pragma once
// The deflate compressor (RFC 1951 raw streams, compression method 8): a
// hash-chain matcher over a 32 KiB history with lazy matching from level 4,
// Huffman codes built per block, and per block the cheapest of stored, fixed
// and dynamic codes. One object compresses any number of entries one after
// the other; its buffers (about 300 KB) are allocated once, when it is made.

#include "zip/codec/deflate/DeflateIO.h"

#include <cstdint>
#include <memory>

namespace mzb {

// General-purpose bits 1 and 2 of a method-8 entry, which tell readers how
// hard the compressor tried.
inline constexpr std::uint16_t kFlagMaximumCompression = 0x0002;
inline constexpr std::uint16_t kFlagFastCompression = 0x0004;

inline constexpr int kMinDeflateLevel = 1;
inline constexpr int kMaxDeflateLevel = 9;

struct TDeflateResult {
    std::uint64_t compressedSize = 0;
    // 8, or 0 when the data would not shrink and was written unchanged instead,
    // without any deflate framing.
    std::uint16_t method = 8;
    // 1 text, 0 binary, judged by the bytes of the first block.
    std::uint16_t internalAttributes = 2;
    // The level's bits of kFlagMaximumCompression and kFlagFastCompression.
    std::uint16_t flagBits = 0;
};

class TDeflater {
public:
    TDeflater();
    ~TDeflater();
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Compresses everything `source` yields into `sink` at `level`
    // (kMinDeflateLevel..kMaxDeflateLevel; storing without compression is the
    // writer's business). Throws std::invalid_argument for another level;
    // errors of the source or the sink pass through.
    TDeflateResult Deflate(TDeflateSource& source, TDeflateSink& sink, int level);

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

} // namespace mzb
