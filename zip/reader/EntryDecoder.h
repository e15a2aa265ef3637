#pragma once
// Picks the decoder for an entry's compression method. One object serves a
// whole extraction run: each decoder's buffers are allocated the first time
// its method is met and reused for every later entry.

#include "zip/codec/inflate/DecoderIO.h"

#include <cstdint>
#include <memory>

namespace mzb {

class TInflater;
class TUnshrinker;
class TUnreducer;
class TExploder;

class TEntryDecoder {
public:
    TEntryDecoder();
    ~TEntryDecoder();
    TEntryDecoder(const TEntryDecoder&) = delete;
    TEntryDecoder& operator=(const TEntryDecoder&) = delete;

    // Methods 0 (stored), 1 (shrunk), 2-5 (reduced), 6 (imploded), 8 (deflated).
    static bool IsKnownMethod(std::uint16_t method);

    // Decodes the whole entry from input into output. An unknown method reads
    // and writes nothing and returns UnknownMethod.
    TDecodeResult Decode(const TEntryCoding& coding, TDecoderInput& input, TDecoderOutput& output);

private:
    TDecodeResult CopyStored(TDecoderInput& input, TDecoderOutput& output);

    std::unique_ptr<std::uint8_t[]> copyBuffer_;
    std::unique_ptr<TInflater> inflater_;
    std::unique_ptr<TUnshrinker> unshrinker_;
    std::unique_ptr<TUnreducer> unreducer_;
    std::unique_ptr<TExploder> exploder_;
};

} // namespace mzb
