#pragma once
// The state of one TZipWriter run, shared by the files that make up the
// writer. Nothing here outlives the run.

#include "zip/codec/deflate/Deflate.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/format/EndCentral.h"
#include "zip/format/SortedZip.h"
#include "zip/io/FileStream.h"
#include "zip/io/InputOpener.h"
#include "zip/writer/PiecePipeline.h"
#include "zip/writer/TakenNames.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace mzb {

// A file that cannot be added after all, found out once its entry has been
// started (a read error, a file that shrank while read, or a file changing
// under a traditionally encrypted entry's two passes): the entry is taken
// back and the run goes on. `error` is the errno of the read that failed; 0
// when the file changed while it was read.
struct TEntryAbandoned {
    int error = 0;
};

struct TZipWriteRun {
    // Pieces in which stored data is copied, the compressor is fed and a
    // file to be encrypted with the traditional cipher is first read whole
    // for its CRC; each one is a step of progress and a turn for the host.
    static constexpr std::size_t kCopyBufferSize = 32768;

    std::string outputPath; // the part file
    bool rewriting = false; // an existing archive is carried over
    bool replacing = false; // an existing archive is replaced, nothing carried over
    // The permission bits of the user's own archive replaced or updated.
    std::optional<unsigned> keptMode;
    bool finished = false; // the new archive stands under its name
    int added = 0;         // files added (carried-over entries not counted)
    TFileStream output;
    TFileStream input;
    // Declared before the pipeline, which opens its files through it too.
    TInputOpener inputs;

    std::unique_ptr<TSortedZip> entries; // ByNone order, owning: the new directory
    // The stored names of `entries` and the paths they were added from.
    std::optional<TTakenNames> storedNames;
    // Stored names of the existing archive, for freshening.
    std::unordered_set<std::string> existingNames;
    // FilesList items already taken by the carry-over.
    std::vector<bool> itemTaken;
    TEndCentral endCentral;
    std::vector<std::string> disposeList;

    // Made on the first entry, released with the run: the files read ahead
    // and compressed on the workers, and the caller's own deflater for a
    // file it reads itself (one that could not be opened ahead).
    std::unique_ptr<TPiecePipeline> pipeline;
    std::unique_ptr<TDeflater> deflater;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kCopyBufferSize);
    std::vector<std::uint8_t> cryptBuffer; // encrypted copy of the data written

    // The entry being written.
    std::uint32_t crc = 0;
    std::uint64_t fileSize = 0; // bytes the entry may take from its file
    std::uint64_t fileRead = 0;
    // Read twice, first whole for the CRC the traditional cipher's header
    // needs: each pass then makes half of the file's progress.
    bool twoPasses = false;
    std::unique_ptr<TEntryCipher> cipher; // of an encrypted entry
    // Progress in halves of bytes, of the entry and over all entries.
    std::uint64_t fileProgress = 0;
    std::uint64_t runProgress = 0;
    std::uint64_t uncheckedOutput = 0; // written since the last cancel check
};

} // namespace mzb
