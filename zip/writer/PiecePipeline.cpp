#include "zip/writer/PiecePipeline.h"

#include "zip/format/Crc32.h"

#include <cassert>
#include <functional>

namespace mzb {
namespace {

// Read ahead per worker: two pieces keep it busy while the run writes the
// one before; the count bounds a run of small files.
constexpr std::size_t kPiecesAheadPerThread = 2;
constexpr std::size_t kFilesAheadPerThread = 128;
// A batch is handed over at this many files or bytes: enough to make the
// hand-off cheap beside the work (a worker woken per batch of 16 tiny files
// cost more time than compressing them), few enough to keep every worker fed.
constexpr std::size_t kBatchFiles = 64;
constexpr std::size_t kBatchBytes = 64 * 1024;
// Room for what a small piece deflates to at the most: a block that the
// codes would make larger is stored, at a few bytes more than its input.
std::size_t SmallOutputRoom(std::size_t input) {
    return input + input / 8 + 64;
}

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
    // Runs `work` with a deflater of the shelf, put back however it ends.
    template <class TWork> void Lend(const TWork& work) {
        struct TLoan {
            TDeflaterShelf& shelf;
            std::unique_ptr<TDeflater> deflater;
            ~TLoan() { shelf.Release(std::move(deflater)); }
        } loan{*this, Acquire()};
        work(*loan.deflater);
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<TDeflater>> shelf_;
};

TPiecePipeline::TPiecePipeline(unsigned threads, int level, std::uint64_t maxFileSize,
                               bool crcFirst, TInputOpener& inputs, std::function<void()> serve,
                               TCipherMaker makeCipher)
    : level_(level), maxFileSize_(maxFileSize), crcFirst_(crcFirst), inputs_(inputs),
      serve_(std::move(serve)), makeCipher_(std::move(makeCipher)),
      // One thread reads nothing ahead: each piece is read when it is due.
      budgetBytes_(threads > 1 ? threads * kPiecesAheadPerThread * kPieceSize : 0),
      budgetPieces_(threads > 1 ? threads * kFilesAheadPerThread : 0),
      shelf_(std::make_unique<TDeflaterShelf>()), pool_(threads) {}

TPiecePipeline::~TPiecePipeline() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
}

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
    if (*prepared_.front().path != path) {
        return nullptr;
    }
    taken_ = true;
    Fill(false);
    return &prepared_.front();
}

bool TPiecePipeline::HasWholeCrc() const {
    assert(taken_);
    const TPreparedFile& file = prepared_.front();
    return file.crcPending || file.crc.has_value();
}

bool TPiecePipeline::ReadWholeCrc(const std::function<void(std::size_t)>& read) {
    if (!HasWholeCrc()) {
        return false;
    }
    TPreparedFile& file = prepared_.front();
    if (file.crcLength != 0) {
        read(file.crcLength);
    }
    while (file.crcPending) {
        read(ReadCrcStep(file));
    }
    return file.crc.has_value();
}

std::shared_ptr<TFilePiece> TPiecePipeline::NextPiece(const TPieceTaken& progress) {
    assert(taken_);
    TPreparedFile& file = prepared_.front();
    while (file.crcPending) {
        ReadCrcStep(file);
        serve_();
    }
    if (file.pieces.empty()) {
        if (file.allRead) {
            return nullptr;
        }
        // Nothing of it is queued, so the file being read ahead is this one;
        // on one thread its piece is compressed here, reporting as it goes.
        struct TInline {
            const TPieceTaken*& progress;
            ~TInline() { progress = nullptr; }
        } inlined{inlineProgress_ = &progress};
        Fill(true);
    }
    TPreparedFile::TQueued queued = std::move(file.pieces.front());
    file.pieces.erase(file.pieces.begin());
    queuedBytes_ -= queued.bytes;
    --queuedPieces_;
    Fill(false);
    Await(queued, progress);
    return std::move(queued.piece);
}

void TPiecePipeline::Await(TPreparedFile::TQueued& queued, const TPieceTaken& progress) {
    if (queued.batch && !queued.batch->submitted) {
        SubmitBatch(); // the run caught up with the batch being filled
    }
    if (queued.batch) {
        queued.done = queued.batch->done;
    }
    if (pool_.Threads() > 1) {
        TPreparedFile::TCompression& compression = *queued.compression;
        std::size_t reported = 0;
        std::unique_lock lock(mutex_);
        while (!compression.finished) {
            if (compression.taken != reported) {
                reported = compression.taken;
                lock.unlock();
                progress(reported);
                lock.lock();
                continue;
            }
            progressed_.wait(lock,
                             [&] { return compression.finished || compression.taken != reported; });
        }
    }
    if (queued.done.valid()) {
        queued.done.get();
    }
}

void TPiecePipeline::Finish() {
    assert(taken_);
    TPreparedFile& file = prepared_.front();
    if (!file.allRead) {
        input_.Close();
        reader_.reset();
        reading_ = false;
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
    if (reading_) {
        TPreparedFile& file = prepared_.back();
        if (file.crcPending) {
            // The taken file's pass is the run's, which reports its progress.
            if (taken_ && prepared_.size() == 1) {
                return false;
            }
            ReadCrcStep(file);
            serve_();
            return true;
        }
        ReadOnePiece(file);
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
    if (!planned.compress || inputs_.Open(*planned.path, input_, file.status) != 0 ||
        static_cast<std::uint64_t>(file.status.st_size) > maxFileSize_) {
        input_.Close();
        return;
    }
    file.opened = true;
    file.allRead = false;
    reading_ = true;
    const auto size = static_cast<std::uint64_t>(file.status.st_size);
    if (crcFirst_ && size > kPieceSize) {
        file.crcPending = true;
        file.crcRegister = kCrc32Init;
    } else {
        reader_.emplace(size);
    }
}

// One step of the whole-file pass; at its end the pieces are read from the
// start. A read error leaves the file to the run, which opens it itself and
// meets the error there (or, when it has taken the file, leaves it out).
std::size_t TPiecePipeline::ReadCrcStep(TPreparedFile& file) {
    const auto size = static_cast<std::uint64_t>(file.status.st_size);
    crcBuffer_.resize(kPieceStep);
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kPieceStep, size - file.crcLength));
    const std::size_t got = want == 0 ? 0 : input_.Read(crcBuffer_.data(), want);
    file.crcRegister = Crc32Update(file.crcRegister, crcBuffer_.data(), got);
    file.crcLength += got;
    if (got == want && file.crcLength < size) {
        return got;
    }
    file.crcPending = false;
    if (input_.LastError() != 0 || !input_.Seek(0)) {
        input_.Close();
        reading_ = false;
        file.opened = false;
        file.allRead = true;
        return got;
    }
    file.crc = file.crcRegister ^ 0xFFFFFFFFu;
    reader_.emplace(size);
    return got;
}

void TPiecePipeline::ReadOnePiece(TPreparedFile& file) {
    std::shared_ptr<TFilePiece> piece = reader_->Next(input_, serve_);
    TPreparedFile::TQueued queued;
    queued.bytes = piece->size;
    queued.piece = piece;
    queued.compression = std::make_shared<TPreparedFile::TCompression>();
    if (pool_.Threads() <= 1) {
        // Without a future: each one's shared state costs a futex call, a
        // system call per file in a tree of tiny ones. What this throws
        // reaches the run just as it would from the wait.
        shelf_->Lend([&](TDeflater& deflater) { Compress(*piece, *queued.compression, deflater); });
    } else if (piece->last && piece->historySize == 0 && piece->size < kBatchBytes) {
        AddToBatch(queued);
    } else {
        queued.done = pool_.Submit([this, piece, compression = queued.compression] {
            shelf_->Lend([&](TDeflater& deflater) { Compress(*piece, *compression, deflater); });
        });
    }
    queuedBytes_ += queued.bytes;
    ++queuedPieces_;
    file.pieces.push_back(std::move(queued));
    if (reader_->Done()) {
        input_.Close();
        reader_.reset();
        reading_ = false;
        file.allRead = true;
    }
}

// A batched piece's buffers are made and freed on the caller: a worker that
// only frees what the caller made, and the other way round, keeps no free
// memory of its own to allocate from, and pays the allocator's slow path
// per file.
void TPiecePipeline::AddToBatch(TPreparedFile::TQueued& queued) {
    queued.piece->output.reserve(SmallOutputRoom(queued.piece->size));
    if (!batch_) {
        batch_ = std::make_shared<TPreparedFile::TBatch>();
    }
    batch_->pieces.emplace_back(queued.piece, queued.compression);
    batch_->bytes += queued.bytes;
    queued.batch = batch_;
    if (batch_->pieces.size() >= kBatchFiles || batch_->bytes >= kBatchBytes) {
        SubmitBatch();
    }
}

void TPiecePipeline::SubmitBatch() {
    std::shared_ptr<TPreparedFile::TBatch> batch = std::move(batch_);
    batch->submitted = true;
    // The task holds the pieces, not the batch: the batch holds the task's
    // result, which holds the task.
    batch->done = pool_.Submit([this, pieces = batch->pieces] { CompressBatch(pieces); }).share();
}

// With one deflater for the whole batch: taking it from the shelf and
// putting it back for each tiny file made the workers contend for the
// shelf's lock.
void TPiecePipeline::CompressBatch(const TPreparedFile::TBatch::TPieces& pieces) {
    auto next = pieces.begin();
    try {
        shelf_->Lend([&](TDeflater& deflater) {
            for (; next != pieces.end(); ++next) {
                Compress(*next->first, *next->second, deflater);
            }
        });
    } catch (...) {
        // Those after it are not compressed: their waiters learn of the
        // failure from the batch.
        {
            std::lock_guard lock(mutex_);
            for (; next != pieces.end(); ++next) {
                next->second->finished = true;
            }
        }
        progressed_.notify_all();
        throw;
    }
}

// On a worker, or on the caller with one thread, where the run hears the
// progress at once.
void TPiecePipeline::Compress(TFilePiece& piece, TPreparedFile::TCompression& compression,
                              TDeflater& deflater) {
    const auto step = [this, &compression, &piece](std::size_t taken) {
        if (pool_.Threads() <= 1) {
            if (inlineProgress_ != nullptr) {
                (*inlineProgress_)(taken);
            }
            return;
        }
        // The whole piece taken is told by its end, a lock and a wake-up
        // fewer per file in a tree of tiny ones.
        if (taken == piece.size) {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                throw TStopped{};
            }
            compression.taken = taken;
        }
        progressed_.notify_all();
    };
    const auto finish = [&] {
        {
            std::lock_guard lock(mutex_);
            compression.finished = true;
        }
        progressed_.notify_all();
    };
    try {
        // By reference, which a function object keeps without allocating.
        CompressPiece(piece, deflater, level_, std::cref(step));
    } catch (...) {
        finish();
        throw;
    }
    // A large input is freed at once, or the pieces queued would hold twice
    // the bytes read ahead; a small one goes with its piece, on the caller.
    if (piece.input.size() >= kBatchBytes) {
        std::vector<std::uint8_t>().swap(piece.input);
    }
    finish();
}

} // namespace mzb
