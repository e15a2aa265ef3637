#pragma once
// Decoding entries on worker threads while the extraction run, on its
// calling thread, goes on to the next ones. The run does everything that
// touches names, events and the choice of output (safe paths, overwrite
// questions, the password check, the temporary file beside the output) and
// hands the open temporary file over; a worker decodes into it and checks
// the CRC-32; the run takes the jobs back in archive order and times,
// renames or discards each one as it would have without workers.

#include "zip/base/WorkerPool.h"
#include "zip/codec/inflate/DecoderIO.h"
#include "zip/crypt/ZipCrypt.h"
#include "zip/format/ZipHeaderInfo.h"
#include "zip/io/FileStream.h"
#include "zip/io/OutputFolder.h"

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
    std::uint64_t dataStart = 0; // the entry's data, after any encryption header
    std::uint64_t dataSize = 0;
    std::optional<TZipCryptKeys> decrypter; // past the encryption header
    std::string fname;
    TPartInFolder part;
    TFileStream out; // the part file, open
    bool sync = false;

    // The worker's findings.
    TDecodeResult result = TDecodeResult::DataError;
    bool tooLarge = false; // more bytes than the declared size
    bool written = false;  // flushed (or synced) without error
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::future<void> done;

    bool Verified() const {
        return !tooLarge && result == TDecodeResult::Complete && crc == work.Crc32 &&
               size == work.UncompressedSize;
    }
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
