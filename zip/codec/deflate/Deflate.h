#pragma once
// The deflate compressor (RFC 1951 raw streams, compression method 8): a
// hash-chain matcher over a 32 KiB history with lazy matching from level 4,
// Huffman codes built per block, and per block the cheapest of stored, fixed
// and dynamic codes. One object compresses any number of entries one after
// the other; its buffers (about 370 KB) are allocated once, when it is made.

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

// One piece of a longer input, deflated on its own so that the pieces of a
// large file can be compressed at the same time and their streams simply
// concatenated: a piece after the first sees the input just before it as its
// history, and every piece but the last ends on a byte boundary with an empty
// stored block, without the final-block bit.
struct TDeflatePiece {
    const std::uint8_t* history = nullptr; // up to kDeflateHistory bytes
    std::size_t historySize = 0;
    bool last = true;
};

// The history a piece can refer back to.
inline constexpr std::size_t kDeflateHistory = 32768;

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
    // The same for one piece. A whole input (no history, last) comes out
    // exactly as Deflate makes it; only a whole input may turn into stored
    // data without framing (method 0).
    TDeflateResult Deflate(TDeflateSource& source, TDeflateSink& sink, int level,
                           const TDeflatePiece& piece);

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

} // namespace mzb
