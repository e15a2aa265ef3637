#pragma once
// A file's data in pieces of at most kPieceSize bytes, each deflated on its
// own (possibly on another thread) into a buffer of its own. Pieces after
// the first carry the 32 KiB before them as their history, so the buffers,
// written one after the other, make one deflate stream; a file that fits in
// one piece is compressed exactly as a whole.
//
// How a file is cut depends only on its size, never on the number of
// threads, so an archive comes out the same with one thread or many.

#include "zip/codec/deflate/Deflate.h"
#include "zip/io/FileStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace mzb {

// Large enough that the extra block boundary and sync marker per piece cost
// well under a thousandth of the output; small enough that a few pieces per
// thread stay within a few megabytes.
inline constexpr std::size_t kPieceSize = 1 << 20;
// The most a piece is read or compressed at a time between two calls back
// to its caller, so that a run can serve its host that often.
inline constexpr std::size_t kPieceStep = 32768;

struct TFilePiece {
    std::vector<std::uint8_t> input; // history, then the piece's own bytes
    std::size_t historySize = 0;
    std::size_t size = 0; // the piece's own bytes, after the history
    bool last = false;
    bool readFailed = false; // a read error cut the data short
    int readError = 0;       // its errno; 0 when the file ended early

    // Filled by CompressPiece.
    std::vector<std::uint8_t> output;
    std::uint32_t crc = 0; // finished CRC-32 of the piece's own bytes
    TDeflateResult result;
};

// Reads `in` from its current position, piece after piece, taking at most
// `size` bytes in all (bytes appended meanwhile would not match the entry).
class TPieceReader {
public:
    explicit TPieceReader(std::uint64_t size) : size_(size) {}
    // The next piece; the one with `last` set ends the file. A file shorter
    // than announced ends early; an empty file gives one empty piece. It is
    // read kPieceStep bytes at a time, `serve` called after each.
    // Shared from the start, as the pipeline hands it on: one allocation.
    std::shared_ptr<TFilePiece> Next(TFileStream& in, const std::function<void()>& serve);
    bool Done() const { return done_; }

private:
    std::uint64_t size_;
    std::uint64_t read_ = 0;
    bool done_ = false;
    std::vector<std::uint8_t> history_;
};

// Deflates the piece at `level` into its output and checksums its bytes;
// the input, which the piece no longer needs, is the caller's to free,
// ideally on the thread that made it. Whenever the
// compressor asks for more input, at most kPieceStep bytes after the last
// time, `taken` hears how many bytes of the piece it has taken so far; it
// may throw to stop the compression.
using TPieceTaken = std::function<void(std::size_t taken)>;
void CompressPiece(TFilePiece& piece, TDeflater& deflater, int level,
                   const TPieceTaken& taken = {});

} // namespace mzb
