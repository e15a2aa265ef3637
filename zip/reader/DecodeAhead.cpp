#include "zip/reader/DecodeAhead.h"

#include "zip/base/ZipError.h"
#include "zip/io/FileStream.h"
#include "zip/reader/EntryDecoder.h"
#include "zip/reader/EntryStreams.h"

#include <algorithm>
#include <unistd.h>

namespace mzb {
namespace {

// Jobs waiting per worker: enough to keep it fed through a run of small
// entries, few enough to bound what is decoded for nothing when the run
// ends early.
constexpr std::size_t kJobsPerThread = 8;
// Blocks decoded per worker for entries the run has not reached: 1 MiB.
constexpr std::size_t kBlocksAheadPerThread = 32;
// Blocks a worker may be ahead of the run's writes on the entry the run is
// writing.
constexpr std::size_t kBlocksAheadOfWrites = 8;

} // namespace

// Each worker needs a decoder of its own; they are made on first need and
// kept for the run.
class TDecodeAhead::TDecoderShelf {
public:
    std::unique_ptr<TEntryDecoder> Acquire() {
        {
            std::lock_guard lock(mutex_);
            if (!shelf_.empty()) {
                auto decoder = std::move(shelf_.back());
                shelf_.pop_back();
                return decoder;
            }
        }
        return std::make_unique<TEntryDecoder>();
    }
    void Release(std::unique_ptr<TEntryDecoder> decoder) {
        std::lock_guard lock(mutex_);
        shelf_.push_back(std::move(decoder));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<TEntryDecoder>> shelf_;
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
    : archiveFd_(archiveFd), limit_(std::max(1u, threads) * kJobsPerThread),
      blockBudget_(std::max(1u, threads) * kBlocksAheadPerThread), threads_(threads),
      shelf_(std::make_unique<TDecoderShelf>()) {}

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
    pool_->Submit([this, job] { Decode(*job); });
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

// Runs on a worker: touches only the job, its own archive descriptor and a
// decoder of its own, and the queue under the mutex.
void TDecodeAhead::Decode(TDecodeJob& job) {
    auto decoder = shelf_->Acquire();
    try {
        TFileStream archive;
        const int fd = ::dup(archiveFd_);
        if (fd < 0 || !archive.Attach(fd) ||
            !archive.Seek(job.checkPassword ? job.headerStart : job.dataStart)) {
            throw EFatalUnzipError("Premature end of file reached");
        }
        if (!job.checkPassword || CheckPassword(job, archive)) {
            TEntryInput input(archive, [this, &job] { Read(job); });
            TQueueingOutput output(*this, job);
            input.Start(job.dataSize, job.cipher.get());
            const TEntryCoding coding{job.work.DataMethod(), job.work.Flags, job.dataSize,
                                      job.work.UncompressedSize};
            try {
                job.result = decoder->Decode(coding, input, output);
            } catch (const EBiggerThanUncompressed&) {
                job.tooLarge = true;
            }
            job.authentic = input.Authenticate();
            job.crc = output.Checked().Crc32();
            job.size = output.Checked().Written();
        }
    } catch (const TStopped&) {
    } catch (...) {
        job.error = std::current_exception();
    }
    shelf_->Release(std::move(decoder));
    {
        std::lock_guard lock(mutex_);
        job.finished = true;
    }
    callerWake_.notify_one();
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
