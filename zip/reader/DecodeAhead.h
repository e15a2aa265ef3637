#pragma once
// Decoding entries on worker threads while the extraction run, on its
// calling thread, goes on to the next ones. The run does everything that
// touches names, events and the choice of output (safe paths, overwrite
// questions, the temporary file beside the output, the password check of a
// cipher that checks cheaply) and hands the open temporary file over; a
// worker derives the keys of a cipher that derives them and checks the
// password, decodes into the file and checks the data; the run takes the
// jobs back in archive order and times, renames or discards each one as it
// would have without workers.

#include "zip/base/WorkerPool.h"
#include "zip/codec/inflate/DecoderIO.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/format/ZipHeaderInfo.h"
#include "zip/io/FileStream.h"
#include "zip/reader/EntryStreams.h"

#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <string>

namespace mzb {

class TEntryDecoder;

struct TDecodeJob {
    int index = 0;
    TZipHeaderInfo work;
    std::uint64_t headerStart = 0; // the encryption header, when there is one
    std::uint64_t dataStart = 0;   // the entry's data, after it
    std::uint64_t dataSize = 0;    // without the cipher's trailer
    std::unique_ptr<TEntryCipher> cipher;
    bool checkPassword = false; // the worker checks it; else the cipher is past its header
    std::string password;       // the cipher's, for a check that fails
    std::string fname;
    std::string temp;
    TFileStream out; // the temporary file, open
    bool sync = false;

    // The worker's findings.
    bool wrongPassword = false; // the worker's check failed: nothing was decoded
    TDecodeResult result = TDecodeResult::DataError;
    TEntryVerdict verdict = TEntryVerdict::Damaged;
    bool written = false; // flushed (or synced) without error
    std::uint64_t size = 0;
    std::future<void> done;
};

class TDecodeAhead {
public:
    // Reads the archive through its own descriptors, duplicated from
    // `archiveFd`, which must stay open while jobs run.
    TDecodeAhead(unsigned threads, int archiveFd);
    // Waits for running jobs and removes the temporary files of those not
    // taken back.
    ~TDecodeAhead();

    void Submit(std::unique_ptr<TDecodeJob> job);
    bool Full() const { return jobs_.size() >= limit_; }
    bool Empty() const { return jobs_.empty(); }
    bool Pending(const std::string& fname) const;
    // The oldest job, once decoded; errors of its decoding rethrow here
    // (its temporary file removed).
    std::unique_ptr<TDecodeJob> TakeOldest();

private:
    class TDecoderShelf;
    void Decode(TDecodeJob& job);

    int archiveFd_;
    std::size_t limit_;
    std::deque<std::unique_ptr<TDecodeJob>> jobs_;
    std::unique_ptr<TDecoderShelf> shelf_;
    std::unique_ptr<TWorkerPool> pool_;
};

} // namespace mzb
