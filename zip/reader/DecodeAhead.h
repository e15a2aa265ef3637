#pragma once
// Decoding entries on worker threads ahead of the extraction run. The run
// stays on its calling thread and takes the entries one by one, doing all
// that touches names, events and output files, in the order one thread
// would; the workers decode the entries it is about to reach into memory,
// a bounded number of 32 KiB blocks ahead. When the run reaches an entry it
// takes that entry's job and writes the blocks as they come, serving its
// host after each one and whenever the worker has read another piece of
// input, so that a large entry decoding on a worker keeps cancel, progress
// and repaint as close together as one thread does. A job the run does not
// finish (the entry skipped, another password in force, the run ended) is
// stopped at the worker's next block or read. A cipher that derives its keys
// from the password (thousands of hash rounds) has the password checked on
// the worker, before anything is decoded; every cipher's final check of the
// data (AES's authentication code) is the worker's too.
//
// A small entry costs the kernel more to make as a file than to decode: a
// worker may decode it straight into a file it makes without a name in the
// destination's file system, which the run then links into its folder. A
// file without a name is seen by nobody and goes when its descriptor is
// closed; naming it, and every event, stay with the run.

#include "zip/base/WorkerPool.h"
#include "zip/codec/inflate/DecoderIO.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/format/ZipHeaderInfo.h"
#include "zip/reader/EntryStreams.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace mzb {

class TDecodeAhead;
class TEntryDecoder;

struct TDecodeJob {
    // Set before the job is submitted.
    int index = 0;
    TZipHeaderInfo work;
    std::uint64_t headerStart = 0; // the entry's data, encryption header included
    std::uint64_t dataStart = 0;   // after any encryption header
    std::uint64_t dataSize = 0;    // up to any trailer of the cipher
    // Past its header, unless the worker is to check the password with it.
    std::unique_ptr<TEntryCipher> cipher;
    bool checkPassword = false;
    std::string password; // the cipher's
    // Set for a file made here: decoded into a file without a name made with
    // `mode` in the file system of the folder open as makeIn, not queued.
    int makeIn = -1;
    mode_t mode = 0;

    // The worker's findings, once TDecodeAhead::NextBlock has returned false.
    TDecodeResult result = TDecodeResult::DataError;
    bool tooLarge = false;  // more bytes than the declared size
    bool authentic = false; // the cipher's final check passed (or it has none)
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::exception_ptr error; // what ended the decoding and ends the run
    // The file made, every byte written; open only when the entry verified.
    TFileStream made;

    bool MakesFile() const { return makeIn >= 0; }
    TEntryVerdict Verdict() const {
        return JudgeEntry(cipher.get(), authentic, !tooLarge && result == TDecodeResult::Complete,
                          crc, work.Crc32, size, work.UncompressedSize);
    }

private:
    friend class TDecodeAhead;
    // Guarded by the TDecodeAhead's mutex.
    std::deque<std::vector<std::uint8_t>> blocks; // decoded, not yet written
    bool taken = false;
    bool started = false;
    bool stopped = false;
    bool finished = false;
    bool passwordChecked = false;
    bool wrongPassword = false; // the worker's check failed: nothing was decoded
    std::uint64_t reads = 0;    // pieces of input the worker has read
};

class TDecodeAhead {
public:
    // Reads the archive through its own descriptors, duplicated from
    // `archiveFd`, which must stay open while jobs run.
    TDecodeAhead(unsigned threads, int archiveFd);
    // Stops every job and waits for the workers.
    ~TDecodeAhead();
    TDecodeAhead(const TDecodeAhead&) = delete;
    TDecodeAhead& operator=(const TDecodeAhead&) = delete;

    // As many jobs wait to be taken as the workers may hold ahead.
    bool Full() const { return jobs_.size() >= limit_; }
    // Half the jobs it may hold ahead are taken: workers handed jobs in
    // bursts sleep and wake once a burst, not once a job.
    bool Wanting() const { return jobs_.size() <= limit_ / 2; }
    // Jobs come in the order the run takes their entries. Files to make
    // wait for Dispatch.
    void Submit(std::shared_ptr<TDecodeJob> job);
    // Hands the files to make submitted since the last call to the workers,
    // shared among them in a task each: one hand-off for many small files.
    void Dispatch();
    // The job submitted for entry `index`, or nullptr; jobs of entries
    // before it are stopped.
    std::shared_ptr<TDecodeJob> Take(int index);
    // Moves the taken job's next decoded block into `block` (whose buffer
    // is kept for later blocks); false once the job has ended. While it
    // waits, `serve` runs each time the worker has read more input.
    bool NextBlock(TDecodeJob& job, std::vector<std::uint8_t>& block,
                   const std::function<void()>& serve);
    // For a taken job of an encrypted entry: waits for the worker's password
    // check when it has one; false when the password does not open the entry.
    bool PasswordOpens(TDecodeJob& job);
    // For a taken job of a file a worker makes: false at once, the job
    // stopped, when no worker has begun it (the run makes the file sooner
    // itself than by waiting); otherwise waits for the worker, serving as
    // NextBlock does, and is true when the file was made and verified.
    bool FileMade(TDecodeJob& job, const std::function<void()>& serve);
    // Stops a job that will not be written to its end.
    void Stop(TDecodeJob& job);

private:
    struct TStopped {};
    class TQueueingOutput;
    struct TWorkerKit;
    class TKitShelf;

    void Decode(TDecodeJob& job);
    void DecodeInto(TDecodeJob& job, TEntryDecoder& decoder, TEntryInput& input,
                    TDecoderOutput& output, const TEntryOutput& checked);
    void MakeFile(TDecodeJob& job, TEntryDecoder& decoder, TEntryInput& input);
    bool CheckPassword(TDecodeJob& job, TFileStream& archive);
    // Worker side: another piece of input read, another block decoded.
    void Read(TDecodeJob& job);
    void Push(TDecodeJob& job, const std::uint8_t* data, std::size_t size);
    bool HasRoom(const TDecodeJob& job) const;
    void StopLocked(TDecodeJob& job);

    int archiveFd_;
    std::size_t limit_;       // jobs waiting to be taken
    std::size_t blockBudget_; // blocks decoded for jobs not yet taken
    std::deque<std::shared_ptr<TDecodeJob>> jobs_;
    std::vector<std::shared_ptr<TDecodeJob>> toMake_; // not yet dispatched

    std::mutex mutex_;
    std::condition_variable callerWake_;
    std::condition_variable workerWake_;
    std::size_t aheadBlocks_ = 0;
    std::vector<std::vector<std::uint8_t>> spare_; // buffers of blocks written
    bool ending_ = false;

    unsigned threads_;
    std::unique_ptr<TKitShelf> shelf_;
    // Last, so that it is the first to go: its workers finish before the
    // decoders and jobs they use.
    std::unique_ptr<TWorkerPool> pool_;
};

} // namespace mzb
