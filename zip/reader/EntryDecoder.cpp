#include "zip/reader/EntryDecoder.h"

#include "zip/codec/inflate/Inflate.h"
#include "zip/codec/legacy/Explode.h"
#include "zip/codec/legacy/Unreduce.h"
#include "zip/codec/legacy/Unshrink.h"

namespace mzb {

TEntryDecoder::TEntryDecoder() = default;
TEntryDecoder::~TEntryDecoder() = default;

bool TEntryDecoder::IsKnownMethod(std::uint16_t method) {
    return method <= 6 || method == 8;
}

namespace {

template <class T> T& Lazily(std::unique_ptr<T>& decoder) {
    if (!decoder) {
        decoder = std::make_unique<T>();
    }
    return *decoder;
}

} // namespace

TDecodeResult TEntryDecoder::Decode(const TEntryCoding& coding, TDecoderInput& input,
                                    TDecoderOutput& output) {
    switch (coding.Method) {
    case 0:
        return CopyStored(input, output);
    case 1:
        return Lazily(unshrinker_).Unshrink(input, output);
    case 2:
    case 3:
    case 4:
    case 5:
        return Lazily(unreducer_).Unreduce(coding, input, output);
    case 6:
        return Lazily(exploder_).Explode(coding, input, output);
    case 8:
        return Lazily(inflater_).Inflate(input, output);
    default:
        return TDecodeResult::UnknownMethod;
    }
}

TDecodeResult TEntryDecoder::CopyStored(TDecoderInput& input, TDecoderOutput& output) {
    if (!copyBuffer_) {
        copyBuffer_.reset(new std::uint8_t[kMaxDecodedBlock]);
    }
    while (const std::size_t n = input.Read(copyBuffer_.get(), kMaxDecodedBlock)) {
        output.Write(copyBuffer_.get(), n);
    }
    return TDecodeResult::Complete;
}

} // namespace mzb
