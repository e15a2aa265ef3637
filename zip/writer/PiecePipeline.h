#pragma once
// Reading ahead and compressing on worker threads, for a writer run that
// stays on its calling thread.
//
// The run plans the files it is about to add, in the order it will add
// them. The pipeline opens and reads them ahead on the caller's thread (the
// only one that touches the file system or fires events) and hands their
// pieces to the workers; the run then takes each file's compressed pieces in
// order. What is read ahead is bounded (a few pieces per worker), so memory
// stays small however large the files are. A cipher that derives its keys
// from the password (thousands of hash rounds per entry) is made on the
// workers too, for every planned file to be encrypted.
//
//   pipeline.Plan({{"/a", true}, {"/b", true}});
//   TPreparedFile* a = pipeline.Take("/a"); // the plan's front, or nullptr
//   while (auto piece = pipeline.NextPiece()) { ... }
//   pipeline.Finish();                       // drops what was not taken

#include "zip/base/WorkerPool.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/writer/FilePiece.h"

#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace mzb {

struct TPlannedFile {
    std::string path;
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
    std::string path;
    bool opened = false;              // false: the run opens it itself, with its events
    struct stat status {};            // of the file as opened
    std::optional<std::uint32_t> crc; // the whole file's, read first when asked for
    std::uint64_t crcLength = 0;
    std::shared_ptr<TCipherAhead> cipher; // null: the run makes its own

    // Pieces read so far and not yet taken, each with its compression.
    struct TQueued {
        std::shared_ptr<TFilePiece> piece;
        std::future<void> done;
        std::size_t bytes = 0; // the piece's own, counted against the budget
    };
    std::deque<TQueued> pieces;
    bool allRead = false;
};

class TPiecePipeline {
public:
    // `threads` workers (1: everything on the caller, one piece at a time).
    // Files larger than `maxFileSize` are not read ahead. With `crcFirst`,
    // a file of more than one piece is checksummed whole before its pieces
    // are read, as the traditional cipher's header needs. With `makeCipher`,
    // each file planned to be encrypted gets its cipher made on a worker.
    TPiecePipeline(unsigned threads, int level, std::uint64_t maxFileSize, bool crcFirst,
                   TCipherMaker makeCipher = nullptr);
    ~TPiecePipeline();

    void Plan(std::vector<TPlannedFile> files);
    // The front of the plan when it is `path`; nullptr when the run adds a
    // file it did not plan (it then reads that one itself).
    TPreparedFile* Take(const std::string& path);
    // The taken file's next compressed piece; nullptr after the last.
    std::shared_ptr<TFilePiece> NextPiece();
    // Done with the taken file: whatever of it is left is dropped.
    void Finish();

private:
    class TDeflaterShelf;

    // Reads ahead while the budget allows; `force` reads at least one more
    // piece or file even when it is spent.
    void Fill(bool force);
    bool ReadAheadOne();
    void StartFile(const TPlannedFile& planned);
    void ReadOnePiece(TPreparedFile& file);
    bool BudgetSpent() const;

    int level_;
    std::uint64_t maxFileSize_;
    bool crcFirst_;
    TCipherMaker makeCipher_;
    std::size_t budgetBytes_;
    std::size_t budgetPieces_;
    std::deque<TPlannedFile> plan_;
    std::deque<TPreparedFile> prepared_;
    bool taken_ = false; // prepared_.front() is the run's
    TFileStream input_;  // the file being read ahead (prepared_.back())
    std::unique_ptr<TPieceReader> reader_;
    std::size_t queuedBytes_ = 0;
    std::size_t queuedPieces_ = 0;
    std::unique_ptr<TDeflaterShelf> shelf_;
    // Last, so that it is the first to go: its workers finish before the
    // deflaters they use.
    TWorkerPool pool_;
};

} // namespace mzb
