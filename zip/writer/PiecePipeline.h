#pragma once
// Reading ahead and compressing on worker threads, for a writer run that
// stays on its calling thread.
//
// The run plans the files it is about to add, in the order it will add
// them. The pipeline opens and reads them ahead on the caller's thread (the
// only one that touches the file system or fires events) and hands their
// pieces to the workers; the run then takes each file's compressed pieces in
// order. Files of one small piece are handed to the workers in batches, so
// that a tree of tiny files does not pay a thread hand-off per file. What
// is read ahead is bounded (a few pieces per worker), so memory
// stays small however large the files are. Whatever the workers do, the
// caller's thread is never more than kPieceStep bytes of reading or of
// compression apart from its next call back to the run: `serve` after each
// step read ahead, the progress of the piece it waits for as it is
// compressed. A cipher that derives its keys from the password (thousands
// of hash rounds per entry) is made on the workers too, for every planned
// file to be encrypted.
//
//   pipeline.Plan({{&a, true}, {&b, true}});  // a, b: "/a", "/b"
//   TPreparedFile* a = pipeline.Take("/a"); // the plan's front, or nullptr
//   while (auto piece = pipeline.NextPiece(progress)) { ... }
//   pipeline.Finish();                       // drops what was not taken

#include "zip/base/WorkerPool.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/io/InputOpener.h"
#include "zip/writer/FilePiece.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace mzb {

// The path is the caller's, kept alive until the file is finished: a plan
// of a whole tree, and the files read ahead, hold no copy of its names.
struct TPlannedFile {
    const std::string* path = nullptr;
    bool compress = false; // only files to be deflated are read ahead
    bool encrypt = false;  // a file, not a directory, of an encrypted archive
};

// Makes one entry's cipher for writing; runs on a worker.
using TCipherMaker = std::function<std::unique_ptr<TEntryCipher>()>;

// A cipher being made on a worker.
struct TCipherAhead {
    std::unique_ptr<TEntryCipher> cipher;
    std::future<void> done;

    // Waits for it; rethrows what making it threw.
    std::unique_ptr<TEntryCipher> Take() {
        done.get();
        return std::move(cipher);
    }
};

struct TPreparedFile {
    const std::string* path = nullptr; // the plan's
    bool opened = false;               // false: the run opens it itself, with its events
    struct stat status {};             // of the file as opened
    // The whole file's CRC-32, read before its pieces when asked for: the
    // register so far and the bytes it covers (fewer than the size when the
    // file shrank); `crc` once the pass is complete.
    bool crcPending = false;
    std::uint32_t crcRegister = 0;
    std::uint64_t crcLength = 0;
    std::optional<std::uint32_t> crc;
    std::shared_ptr<TCipherAhead> cipher; // null: the run makes its own

    // How far a worker's compression of a piece has come; guarded by the
    // pipeline's mutex.
    struct TCompression {
        std::size_t taken = 0;
        bool finished = false;
    };
    // Small files compressed on one worker in one hand-off, in order.
    struct TBatch {
        using TPieces =
            std::vector<std::pair<std::shared_ptr<TFilePiece>, std::shared_ptr<TCompression>>>;
        TPieces pieces;
        std::size_t bytes = 0;
        bool submitted = false;
        std::shared_future<void> done;
    };
    // Pieces read so far and not yet taken, each with its compression. A
    // vector, though taken from the front: it holds a few pieces at most,
    // and an empty one costs no allocation, where a deque costs two per file.
    struct TQueued {
        std::shared_ptr<TFilePiece> piece;
        std::shared_ptr<TCompression> compression;
        std::shared_future<void> done; // set once submitted; never when compressed on the caller
        std::shared_ptr<TBatch> batch; // the one it was handed over in
        std::size_t bytes = 0;         // the piece's own, counted against the budget
    };
    std::vector<TQueued> pieces;
    bool allRead = false;
};

class TPiecePipeline {
public:
    // `threads` workers (1: everything on the caller, one piece at a time).
    // Files larger than `maxFileSize` are not read ahead. With `crcFirst`,
    // a file of more than one piece is checksummed whole before its pieces
    // are read, as the traditional cipher's header needs. `serve` runs on
    // the caller after each step read ahead; it may throw to end the run.
    // With `makeCipher`, each file planned to be encrypted gets its cipher
    // made on a worker. Files are opened through `inputs`, which the run
    // shares, so that a folder's descriptor serves both.
    TPiecePipeline(unsigned threads, int level, std::uint64_t maxFileSize, bool crcFirst,
                   TInputOpener& inputs, std::function<void()> serve,
                   TCipherMaker makeCipher = nullptr);
    // Stops the workers at their next step.
    ~TPiecePipeline();

    void Plan(std::vector<TPlannedFile> files);
    // The front of the plan when it is `path`; nullptr when the run adds a
    // file it did not plan (it then reads that one itself).
    TPreparedFile* Take(const std::string& path);
    // For the taken file, when it is checksummed whole first: completes that
    // pass, telling `read` the bytes of each step (those read ahead before
    // at once); false on a read error. False without a call when the file
    // has no such pass.
    bool ReadWholeCrc(const std::function<void(std::size_t bytes)>& read);
    bool HasWholeCrc() const;
    // The taken file's next compressed piece; nullptr after the last. Until
    // it is compressed, `progress` hears on the caller the bytes of it the
    // compressor has taken, at most kPieceStep apart.
    std::shared_ptr<TFilePiece> NextPiece(const TPieceTaken& progress);
    // Done with the taken file: whatever of it is left is dropped.
    void Finish();

private:
    struct TStopped {};
    class TDeflaterShelf;

    // Reads ahead while the budget allows; `force` reads at least one more
    // step or file even when it is spent.
    void Fill(bool force);
    bool ReadAheadOne();
    void StartFile(const TPlannedFile& planned);
    std::size_t ReadCrcStep(TPreparedFile& file);
    void ReadOnePiece(TPreparedFile& file);
    void AddToBatch(TPreparedFile::TQueued& queued);
    void SubmitBatch();
    void CompressBatch(const TPreparedFile::TBatch::TPieces& pieces);
    void Compress(TFilePiece& piece, TPreparedFile::TCompression& compression, TDeflater& deflater);
    void Await(TPreparedFile::TQueued& queued, const TPieceTaken& progress);
    bool BudgetSpent() const;

    int level_;
    std::uint64_t maxFileSize_;
    bool crcFirst_;
    TInputOpener& inputs_;
    std::function<void()> serve_;
    TCipherMaker makeCipher_;
    std::size_t budgetBytes_;
    std::size_t budgetPieces_;
    std::deque<TPlannedFile> plan_;
    std::deque<TPreparedFile> prepared_;
    bool taken_ = false;   // prepared_.front() is the run's
    bool reading_ = false; // input_ holds prepared_.back(), being read ahead
    TFileStream input_;
    std::optional<TPieceReader> reader_;
    std::vector<std::uint8_t> crcBuffer_;
    std::shared_ptr<TPreparedFile::TBatch> batch_; // being filled, not yet handed over
    std::size_t queuedBytes_ = 0;
    std::size_t queuedPieces_ = 0;
    // A piece compressed on the caller (one thread) reports through this.
    const TPieceTaken* inlineProgress_ = nullptr;

    std::mutex mutex_;
    std::condition_variable progressed_;
    bool stopping_ = false;

    std::unique_ptr<TDeflaterShelf> shelf_;
    // Last, so that it is the first to go: its workers finish before the
    // deflaters they use.
    TWorkerPool pool_;
};

} // namespace mzb
