#pragma once
// Where the reader and the decoders meet.
//
// The reader owns the archive and the output file; a decoder owns only its
// fixed buffers. For one entry the reader hands the decoder two small
// objects:
//
//   TDecoderInput   the entry's compressed bytes, already decrypted. The
//                   reader implements it over its buffered archive stream:
//                   polling for cancellation before each read, raising
//                   "Premature end of file reached" when the archive ends
//                   early, and delivering nothing once the entry's
//                   compressed size is used up.
//   TDecoderOutput  the decoded bytes, in blocks of 1 to kMaxDecodedBlock
//                   bytes. The reader implements it over the output file:
//                   size limit, write, CRC-32, progress events.
//
// and a TEntryCoding with what the decoders need from the entry's header.
// One virtual call per block or refill, never per byte.
//
//   TEntryDecoder decoder;                       // once per run (EntryDecoder.h)
//   switch (decoder.Decode(coding, input, output)) { ... }
//
// Errors raised by Read or Write pass through the decoders unchanged, with
// one exception kept from the original design: while inflating blocks,
// EFatalUnzipError, EBiggerThanUncompressed and ECantWriteUCF are turned into
// a TDecodeResult::DataError, so that a deflated entry fails its CRC check
// and the run goes on (those of the final flush after the last block pass
// through). Everything else (EUserCanceled, EAbort, a handler's
// own exception) always passes through.

#include <cstddef>
#include <cstdint>

namespace mzb {

// Largest block a decoder hands to TDecoderOutput::Write at once, and the
// most a decoder asks TDecoderInput::Read for at once.
inline constexpr std::size_t kMaxDecodedBlock = 32768;
inline constexpr std::size_t kMaxInputRead = 32768;

class TDecoderInput {
public:
    virtual ~TDecoderInput() = default;

    // Copies the next compressed bytes of the entry into buffer, at most
    // capacity (never more than kMaxInputRead), and returns how many. Fewer
    // than asked is fine at any time; 0 means the entry's compressed bytes are
    // used up, and every later call returns 0 too.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t capacity) = 0;
};

class TDecoderOutput {
public:
    virtual ~TDecoderOutput() = default;

    // Takes the next 1..kMaxDecodedBlock decoded bytes of the entry. The
    // bytes are valid only during the call.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
};

// What the decoders need to know about the entry besides its bytes.
struct TEntryCoding {
    std::uint16_t Method = 0;
    // General-purpose flags: explode reads its dictionary size (bit 1) and
    // tree count (bit 2) from them.
    std::uint16_t Flags = 0;
    // Without the 12-byte encryption header.
    std::uint64_t CompressedSize = 0;
    // Unreduce and explode stop when they have produced this many bytes.
    std::uint64_t UncompressedSize = 0;
};

enum class TDecodeResult {
    // The stream ended where its format says it ends.
    Complete,
    // The stream is damaged or truncated: decoding stopped, part of the
    // output may have been written. The entry has failed; the CRC check
    // rejects it anyway.
    DataError,
    // No decoder for this method; nothing was read or written.
    UnknownMethod,
};

} // namespace mzb
