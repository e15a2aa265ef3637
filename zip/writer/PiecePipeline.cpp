#include "zip/writer/PiecePipeline.h"

#include "zip/format/Crc32.h"

#include <cassert>

namespace mzb {
namespace {

// Read ahead per worker: two pieces keep it busy while the run writes the
// one before; the count bounds a run of small files.
constexpr std::size_t kPiecesAheadPerThread = 2;
constexpr std::size_t kFilesAheadPerThread = 32;
constexpr std::size_t kCrcPassBufferSize = 32768;

} // namespace

// Deflaters are large (window, chains, records): one per worker busy at a
// time, made on first need and kept for the run.
class TPiecePipeline::TDeflaterShelf {
public:
    std::unique_ptr<TDeflater> Acquire() {
        {
            std::lock_guard lock(mutex_);
            if (!shelf_.empty()) {
                auto deflater = std::move(shelf_.back());
                shelf_.pop_back();
                return deflater;
            }
        }
        return std::make_unique<TDeflater>();
    }
    void Release(std::unique_ptr<TDeflater> deflater) {
        std::lock_guard lock(mutex_);
        shelf_.push_back(std::move(deflater));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<TDeflater>> shelf_;
};

TPiecePipeline::TPiecePipeline(unsigned threads, int level, std::uint64_t maxFileSize,
                               bool crcFirst, TCipherMaker makeCipher)
    : level_(level), maxFileSize_(maxFileSize), crcFirst_(crcFirst),
      makeCipher_(std::move(makeCipher)),
      // One thread reads nothing ahead: each piece is read when it is due.
      budgetBytes_(threads > 1 ? threads * kPiecesAheadPerThread * kPieceSize : 0),
      budgetPieces_(threads > 1 ? threads * kFilesAheadPerThread : 0),
      shelf_(std::make_unique<TDeflaterShelf>()), pool_(threads) {}

TPiecePipeline::~TPiecePipeline() = default;

void TPiecePipeline::Plan(std::vector<TPlannedFile> files) {
    plan_.insert(plan_.end(), std::make_move_iterator(files.begin()),
                 std::make_move_iterator(files.end()));
}

TPreparedFile* TPiecePipeline::Take(const std::string& path) {
    assert(!taken_);
    while (prepared_.empty()) {
        if (!ReadAheadOne()) {
            return nullptr;
        }
    }
    if (prepared_.front().path != path) {
        return nullptr;
    }
    taken_ = true;
    Fill(false);
    return &prepared_.front();
}

std::shared_ptr<TFilePiece> TPiecePipeline::NextPiece() {
    assert(taken_);
    TPreparedFile& file = prepared_.front();
    if (file.pieces.empty()) {
        if (file.allRead) {
            return nullptr;
        }
        // Nothing of it is queued, so the file being read ahead is this one.
        Fill(true);
    }
    TPreparedFile::TQueued queued = std::move(file.pieces.front());
    file.pieces.pop_front();
    queuedBytes_ -= queued.bytes;
    --queuedPieces_;
    Fill(false);
    queued.done.get();
    return std::move(queued.piece);
}

void TPiecePipeline::Finish() {
    assert(taken_);
    TPreparedFile& file = prepared_.front();
    if (!file.allRead) {
        input_.Close();
        reader_.reset();
    }
    for (const auto& queued : file.pieces) {
        queuedBytes_ -= queued.bytes;
        --queuedPieces_;
    }
    if (file.cipher) {
        --queuedPieces_;
    }
    // Pieces still being compressed stay alive in their tasks until done.
    prepared_.pop_front();
    taken_ = false;
}

void TPiecePipeline::Fill(bool force) {
    if (force) {
        ReadAheadOne();
    }
    while (!BudgetSpent() && ReadAheadOne()) {
    }
}

bool TPiecePipeline::BudgetSpent() const {
    return queuedBytes_ >= budgetBytes_ || queuedPieces_ >= budgetPieces_;
}

bool TPiecePipeline::ReadAheadOne() {
    if (reader_) {
        ReadOnePiece(prepared_.back());
        return true;
    }
    if (plan_.empty()) {
        return false;
    }
    StartFile(plan_.front());
    plan_.pop_front();
    return true;
}

void TPiecePipeline::StartFile(const TPlannedFile& planned) {
    TPreparedFile& file = prepared_.emplace_back();
    file.path = planned.path;
    file.allRead = true;
    if (planned.encrypt && makeCipher_) {
        // Counted as a piece, so that a run of small files does not derive
        // the keys of all of them ahead.
        auto ahead = std::make_shared<TCipherAhead>();
        ahead->done = pool_.Submit([ahead, this] { ahead->cipher = makeCipher_(); });
        file.cipher = std::move(ahead);
        ++queuedPieces_;
    }
    if (!planned.compress || !input_.Open(planned.path, TFileMode::Read) ||
        ::fstat(input_.Descriptor(), &file.status) != 0 ||
        static_cast<std::uint64_t>(file.status.st_size) > maxFileSize_) {
        input_.Close();
        return;
    }
    const auto size = static_cast<std::uint64_t>(file.status.st_size);
    if (crcFirst_ && size > kPieceSize) {
        std::vector<std::uint8_t> buffer(kCrcPassBufferSize);
        std::uint32_t reg = kCrc32Init;
        std::uint64_t done = 0;
        while (done < size) {
            const std::size_t got = input_.Read(
                buffer.data(),
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done)));
            if (got == 0) {
                break;
            }
            reg = Crc32Update(reg, buffer.data(), got);
            done += got;
        }
        // A read error: the run opens the file itself and meets it there.
        if (input_.LastError() != 0 || !input_.Seek(0)) {
            input_.Close();
            return;
        }
        file.crc = reg ^ 0xFFFFFFFFu;
        file.crcLength = done;
    }
    file.opened = true;
    file.allRead = false;
    reader_ = std::make_unique<TPieceReader>(size);
}

void TPiecePipeline::ReadOnePiece(TPreparedFile& file) {
    std::shared_ptr<TFilePiece> piece = reader_->Next(input_);
    TPreparedFile::TQueued queued;
    queued.bytes = piece->size;
    queued.piece = piece;
    queued.done = pool_.Submit([this, piece] {
        auto deflater = shelf_->Acquire();
        CompressPiece(*piece, *deflater, level_);
        shelf_->Release(std::move(deflater));
    });
    queuedBytes_ += queued.bytes;
    ++queuedPieces_;
    file.pieces.push_back(std::move(queued));
    if (reader_->Done()) {
        input_.Close();
        reader_.reset();
        file.allRead = true;
    }
}

} // namespace mzb
