#include "zip/reader/DecodeAhead.h"

#include "zip/base/ZipError.h"
#include "zip/reader/EntryDecoder.h"
#include "zip/reader/EntryStreams.h"

#include <mutex>
#include <unistd.h>
#include <vector>

namespace mzb {
namespace {

// Jobs in flight per worker: enough to keep it fed through a run of small
// entries, few enough to bound the open files.
constexpr std::size_t kJobsPerThread = 8;

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

TDecodeAhead::TDecodeAhead(unsigned threads, int archiveFd)
    : archiveFd_(archiveFd), limit_(std::max(1u, threads) * kJobsPerThread),
      shelf_(std::make_unique<TDecoderShelf>()), pool_(std::make_unique<TWorkerPool>(threads)) {}

TDecodeAhead::~TDecodeAhead() {
    pool_.reset();
    for (auto& job : jobs_) {
        job->out.Close();
        job->part.Discard();
    }
}

void TDecodeAhead::Submit(std::unique_ptr<TDecodeJob> job) {
    TDecodeJob* raw = job.get();
    jobs_.push_back(std::move(job));
    raw->done = pool_->Submit([this, raw] { Decode(*raw); });
}

bool TDecodeAhead::Pending(const std::string& fname) const {
    for (const auto& job : jobs_) {
        if (job->fname == fname) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<TDecodeJob> TDecodeAhead::TakeOldest() {
    std::unique_ptr<TDecodeJob> job = std::move(jobs_.front());
    jobs_.pop_front();
    try {
        job->done.get();
    } catch (...) {
        job->out.Close();
        job->part.Discard();
        throw;
    }
    return job;
}

// Runs on a worker: touches only the job, its own archive descriptor and a
// decoder of its own.
void TDecodeAhead::Decode(TDecodeJob& job) {
    TFileStream archive;
    const int fd = ::dup(archiveFd_);
    if (fd < 0 || !archive.Attach(fd) || !archive.Seek(job.dataStart)) {
        throw EFatalUnzipError("Premature end of file reached");
    }
    TEntryInput input(archive, [] {});
    TEntryOutput output([](int, int) {});
    input.Start(job.dataSize, job.decrypter ? &*job.decrypter : nullptr);
    output.Start(&job.out, job.work.UncompressedSize);
    const TEntryCoding coding{job.work.CompressionMethod, job.work.Flags, job.dataSize,
                              job.work.UncompressedSize};
    auto decoder = shelf_->Acquire();
    try {
        job.result = decoder->Decode(coding, input, output);
    } catch (const EBiggerThanUncompressed&) {
        job.tooLarge = true;
    }
    shelf_->Release(std::move(decoder));
    job.crc = output.Crc32();
    job.size = output.Written();
    job.written = job.sync ? job.out.Sync() : job.out.Flush();
}

} // namespace mzb
