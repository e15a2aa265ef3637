#include "zip/reader/DecodeAhead.h"

#include "zip/base/ZipError.h"
#include "zip/io/FileStream.h"
#include "zip/io/PartFile.h"
#include "zip/reader/EntryDecoder.h"
#include "zip/reader/EntryStreams.h"

#include <algorithm>
#include <unistd.h>

namespace mzb {
namespace {

// Jobs waiting per worker: enough to keep it fed through a run of small
// entries between two hand-offs, few enough to bound what is decoded for
// nothing when the run ends early. Each may hold a file open, so there are
// never more than a fraction of the descriptors a process may have.
constexpr std::size_t kJobsPerThread = 32;
constexpr std::size_t kMostJobs = 256;
// Blocks decoded per worker for entries the run has not reached: 1 MiB.
constexpr std::size_t kBlocksAheadPerThread = 32;
// Blocks a worker may be ahead of the run's writes on the entry the run is
// writing.
constexpr std::size_t kBlocksAheadOfWrites = 8;

} // namespace

// Each worker needs a decoder and a descriptor of the archive of its own;
// they are made on first need and kept for the run.
struct TDecodeAhead::TWorkerKit {
    TEntryDecoder decoder;
    TFileStream archive;
};

class TDecodeAhead::TKitShelf {
public:
    std::unique_ptr<TWorkerKit> Acquire() {
        {
            std::lock_guard lock(mutex_);
            if (!shelf_.empty()) {
                auto kit = std::move(shelf_.back());
                shelf_.pop_back();
                return kit;
            }
        }
        return std::make_unique<TWorkerKit>();
    }
    void Release(std::unique_ptr<TWorkerKit> kit) {
        std::lock_guard lock(mutex_);
        shelf_.push_back(std::move(kit));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<TWorkerKit>> shelf_;
};

// The decoder's blocks, checked against the declared size and summed into
// the CRC-32 by the run's own rules, then queued for the run.
class TDecodeAhead::TQueueingOutput final : public TDecoderOutput {
public:
    TQueueingOutput(TDecodeAhead& ahead, TDecodeJob& job)
        : ahead_(ahead), job_(job), checked_([](int, int) {}) {
        checked_.Start(nullptr, job.work.UncompressedSize);
    }
    void Write(const std::uint8_t* data, std::size_t size) override {
        checked_.Write(data, size);
        ahead_.Push(job_, data, size);
    }
    const TEntryOutput& Checked() const { return checked_; }

private:
    TDecodeAhead& ahead_;
    TDecodeJob& job_;
    TEntryOutput checked_;
};

TDecodeAhead::TDecodeAhead(unsigned threads, int archiveFd)
    : archiveFd_(archiveFd), limit_(std::min(kMostJobs, std::max(1u, threads) * kJobsPerThread)),
      blockBudget_(std::max(1u, threads) * kBlocksAheadPerThread), threads_(threads),
      shelf_(std::make_unique<TKitShelf>()) {}

TDecodeAhead::~TDecodeAhead() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    workerWake_.notify_all();
    pool_.reset();
}

void TDecodeAhead::Submit(std::shared_ptr<TDecodeJob> job) {
    // Started by the first job: a run whose entries are all small enough to
    // be decoded on its own thread stays one thread, as with -t 1.
    if (!pool_) {
        pool_ = std::make_unique<TWorkerPool>(threads_);
    }
    jobs_.push_back(job);
    if (job->MakesFile()) {
        toMake_.push_back(std::move(job));
        return;
    }
    pool_->Submit([this, job] { Decode(*job); });
}

// One task fewer than there are threads: the run's own thread has the
// other half of each file's work (its events, its folder, its name), and a
// task more would only take turns with it on a machine of as many cores.
// Each task takes every n-th file, so that the workers stay just ahead of
// the run together; a file the run reaches before its worker does, the run
// makes itself (FileMade), so a task never holds the run up.
void TDecodeAhead::Dispatch() {
    const std::size_t workers = threads_ > 1 ? threads_ - 1 : 1;
    const std::size_t tasks = std::min(workers, toMake_.size());
    for (std::size_t t = 0; t < tasks; ++t) {
        std::vector<std::shared_ptr<TDecodeJob>> share;
        for (std::size_t i = t; i < toMake_.size(); i += tasks) {
            share.push_back(toMake_[i]);
        }
        pool_->Submit([this, share = std::move(share)] {
            for (const auto& job : share) {
                Decode(*job);
            }
        });
    }
    toMake_.clear();
}

std::shared_ptr<TDecodeJob> TDecodeAhead::Take(int index) {
    while (!jobs_.empty() && jobs_.front()->index < index) {
        Stop(*jobs_.front());
        jobs_.pop_front();
    }
    if (jobs_.empty() || jobs_.front()->index != index) {
        return nullptr;
    }
    std::shared_ptr<TDecodeJob> job = std::move(jobs_.front());
    jobs_.pop_front();
    {
        std::lock_guard lock(mutex_);
        job->taken = true;
        aheadBlocks_ -= job->blocks.size();
    }
    workerWake_.notify_all();
    return job;
}

bool TDecodeAhead::PasswordOpens(TDecodeJob& job) {
    std::unique_lock lock(mutex_);
    callerWake_.wait(lock,
                     [&] { return !job.checkPassword || job.passwordChecked || job.finished; });
    return !job.wrongPassword;
}

bool TDecodeAhead::NextBlock(TDecodeJob& job, std::vector<std::uint8_t>& block,
                             const std::function<void()>& serve) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!job.blocks.empty()) {
            std::swap(block, job.blocks.front());
            if (job.blocks.front().capacity() != 0) {
                spare_.push_back(std::move(job.blocks.front()));
            }
            job.blocks.pop_front();
            lock.unlock();
            workerWake_.notify_all();
            return true;
        }
        if (job.finished) {
            return false;
        }
        const std::uint64_t reads = job.reads;
        callerWake_.wait(lock,
                         [&] { return !job.blocks.empty() || job.finished || job.reads != reads; });
        if (job.blocks.empty() && !job.finished) {
            lock.unlock();
            serve();
            lock.lock();
        }
    }
}

void TDecodeAhead::Stop(TDecodeJob& job) {
    {
        std::lock_guard lock(mutex_);
        StopLocked(job);
    }
    workerWake_.notify_all();
}

void TDecodeAhead::StopLocked(TDecodeJob& job) {
    if (job.stopped) {
        return;
    }
    job.stopped = true;
    if (!job.taken) {
        aheadBlocks_ -= job.blocks.size();
    }
    for (auto& buffer : job.blocks) {
        spare_.push_back(std::move(buffer));
    }
    job.blocks.clear();
}

bool TDecodeAhead::HasRoom(const TDecodeJob& job) const {
    return job.taken ? job.blocks.size() < kBlocksAheadOfWrites : aheadBlocks_ < blockBudget_;
}

void TDecodeAhead::Read(TDecodeJob& job) {
    bool taken = false;
    {
        std::lock_guard lock(mutex_);
        if (job.stopped || ending_) {
            throw TStopped{};
        }
        ++job.reads;
        taken = job.taken;
    }
    if (taken) {
        callerWake_.notify_one();
    }
}

// The copy is made under the lock: a block is either queued and counted or
// not there at all, whatever the run does with the job meanwhile.
void TDecodeAhead::Push(TDecodeJob& job, const std::uint8_t* data, std::size_t size) {
    bool taken = false;
    {
        std::unique_lock lock(mutex_);
        workerWake_.wait(lock, [&] { return job.stopped || ending_ || HasRoom(job); });
        if (job.stopped || ending_) {
            throw TStopped{};
        }
        std::vector<std::uint8_t> buffer;
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
        buffer.assign(data, data + size);
        job.blocks.push_back(std::move(buffer));
        taken = job.taken;
        if (!taken) {
            ++aheadBlocks_;
        }
    }
    if (taken) {
        callerWake_.notify_one();
    }
}

// Runs on a worker: touches only the job, its own kit, and the queue under
// the mutex.
void TDecodeAhead::Decode(TDecodeJob& job) {
    {
        std::lock_guard lock(mutex_);
        if (job.stopped || ending_) {
            job.finished = true;
            return;
        }
        job.started = true;
    }
    auto kit = shelf_->Acquire();
    TFileStream& archive = kit->archive;
    try {
        if (!archive.IsOpen()) {
            const int fd = ::dup(archiveFd_);
            if (fd < 0 || !archive.Attach(fd)) {
                throw EFatalUnzipError("Premature end of file reached");
            }
        }
        if (!archive.Seek(job.checkPassword ? job.headerStart : job.dataStart)) {
            throw EFatalUnzipError("Premature end of file reached");
        }
        if (!job.checkPassword || CheckPassword(job, archive)) {
            TEntryInput input(archive, [this, &job] { Read(job); });
            input.Start(job.dataSize, job.cipher.get());
            if (job.MakesFile()) {
                MakeFile(job, kit->decoder, input);
            } else {
                TQueueingOutput output(*this, job);
                DecodeInto(job, kit->decoder, input, output, output.Checked());
            }
        }
    } catch (const TStopped&) {
    } catch (...) {
        job.error = std::current_exception();
    }
    shelf_->Release(std::move(kit));
    {
        std::lock_guard lock(mutex_);
        job.finished = true;
    }
    callerWake_.notify_one();
}

void TDecodeAhead::DecodeInto(TDecodeJob& job, TEntryDecoder& decoder, TEntryInput& input,
                              TDecoderOutput& output, const TEntryOutput& checked) {
    const TEntryCoding coding{job.work.DataMethod(), job.work.Flags, job.dataSize,
                              job.work.UncompressedSize};
    try {
        job.result = decoder.Decode(coding, input, output);
    } catch (const EBiggerThanUncompressed&) {
        job.tooLarge = true;
    }
    job.authentic = input.Authenticate();
    job.crc = checked.Crc32();
    job.size = checked.Written();
}

// Any failure leaves the job without a file: the run makes the entry itself
// and reports what it meets in its turn.
void TDecodeAhead::MakeFile(TDecodeJob& job, TEntryDecoder& decoder, TEntryInput& input) {
    const int fd = CreateUnnamedAt(job.makeIn, job.mode);
    if (fd < 0) {
        return;
    }
    job.made.AttachCreated(fd);
    TEntryOutput output([](int, int) {});
    output.Start(&job.made, job.work.UncompressedSize);
    try {
        DecodeInto(job, decoder, input, output, output);
    } catch (const ECantWriteUCF&) {
    }
    if (output.WriteError() != 0 || job.Verdict() != TEntryVerdict::Good || !job.made.Flush()) {
        job.made.Close();
    }
}

bool TDecodeAhead::FileMade(TDecodeJob& job, const std::function<void()>& serve) {
    {
        std::lock_guard lock(mutex_);
        if (!job.started) {
            StopLocked(job);
            return false;
        }
    }
    std::vector<std::uint8_t> none;
    while (NextBlock(job, none, serve)) {
    }
    return job.made.IsOpen();
}

// Worker side: the password check of a cipher that derives its keys, on
// the header the archive stands at; the archive then stands at the data.
bool TDecodeAhead::CheckPassword(TDecodeJob& job, TFileStream& archive) {
    {
        std::lock_guard lock(mutex_);
        if (job.stopped || ending_) {
            throw TStopped{};
        }
    }
    std::vector<std::uint8_t> header(job.cipher->HeaderSize());
    if (archive.Read(header.data(), header.size()) != header.size()) {
        throw EFatalUnzipError("Premature end of file reached");
    }
    const bool opens = job.cipher->CheckPassword(header.data());
    {
        std::lock_guard lock(mutex_);
        job.passwordChecked = true;
        job.wrongPassword = !opens;
    }
    callerWake_.notify_one();
    return opens;
}

} // namespace mzb
