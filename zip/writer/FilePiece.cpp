#include "zip/writer/FilePiece.h"

#include "zip/format/Crc32.h"

#include <algorithm>
#include <cstring>

namespace mzb {
namespace {

class TMemorySource final : public TDeflateSource {
public:
    TMemorySource(const std::uint8_t* data, std::size_t size, const TPieceTaken& taken)
        : data_(data), left_(size), taken_(taken) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
        if (taken_ && given_ != 0) {
            taken_(given_);
        }
        const std::size_t n = std::min({capacity, left_, kPieceStep});
        if (n != 0) {
            std::memcpy(buffer, data_, n);
        }
        data_ += n;
        left_ -= n;
        given_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t left_;
    std::size_t given_ = 0;
    const TPieceTaken& taken_;
};

class TVectorSink final : public TDeflateSink {
public:
    explicit TVectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        out_.insert(out_.end(), data, data + size);
    }

private:
    std::vector<std::uint8_t>& out_;
};

} // namespace

std::shared_ptr<TFilePiece> TPieceReader::Next(TFileStream& in,
                                               const std::function<void()>& serve) {
    auto piece = std::make_shared<TFilePiece>();
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, size_ - read_));
    piece->historySize = history_.size();
    piece->input.resize(history_.size() + want);
    std::copy(history_.begin(), history_.end(), piece->input.begin());
    std::size_t got = 0;
    while (got < want) {
        const std::size_t n = in.ReadUnbuffered(piece->input.data() + piece->historySize + got,
                                                std::min(want - got, kPieceStep));
        if (n == 0) {
            break;
        }
        got += n;
        serve();
    }
    piece->input.resize(piece->historySize + got);
    piece->size = got;
    // A file that shrank since it was measured ends short: that too is a
    // copy without its end.
    piece->readFailed = in.LastError() != 0 || got < want;
    piece->readError = in.LastError();
    read_ += got;
    piece->last = got < want || read_ == size_;
    done_ = piece->last;
    if (!done_) {
        // The next piece's history is the end of what this one saw, its own
        // history included when its own bytes are fewer than the window.
        const std::size_t keep = std::min(piece->input.size(), kDeflateHistory);
        history_.assign(piece->input.end() - static_cast<std::ptrdiff_t>(keep), piece->input.end());
    }
    return piece;
}

void CompressPiece(TFilePiece& piece, TDeflater& deflater, int level, const TPieceTaken& taken) {
    const std::uint8_t* data = piece.input.data() + piece.historySize;
    const std::size_t size = piece.size;
    piece.crc = Crc32(data, size);
    piece.output.clear();
    piece.output.reserve(size / 2 + 64);
    TMemorySource source(data, size, taken);
    TVectorSink sink(piece.output);
    TDeflatePiece framing;
    framing.history = piece.input.data();
    framing.historySize = piece.historySize;
    framing.last = piece.last;
    piece.result = deflater.Deflate(source, sink, level, framing);
}

} // namespace mzb
