#pragma once
// The reader's ends of the decoder interface for one entry being extracted:
// its compressed bytes out of the archive, its decoded bytes into the output
// file. Both are set up once per run and re-aimed at each entry.

#include "zip/codec/inflate/DecoderIO.h"
#include "zip/io/FileStream.h"

#include <cstdint>
#include <functional>

namespace mzb {

class TEntryCipher;

// How an entry's data fared. Data that fails its CRC-32 or size under a
// cipher whose trailer proves nothing may just have been decrypted with a
// wrong password that passed the header's check by chance.
enum class TEntryVerdict { Good, Damaged, PasswordSuspect, NotAuthentic };

// The verdict from the decoder's findings: the trailer's check first, then
// the size and (when the cipher keeps it) the CRC-32.
TEntryVerdict JudgeEntry(const TEntryCipher* cipher, bool authentic, bool complete,
                         std::uint32_t crc, std::uint32_t storedCrc, std::uint64_t size,
                         std::uint64_t storedSize);

// Delivers exactly the entry's compressed bytes, decrypted, and then
// nothing: a decoder can never read into the next entry. Before each read
// the host gets its turn (and may cancel); an archive that ends early
// raises EFatalUnzipError "Premature end of file reached".
class TEntryInput final : public TDecoderInput {
public:
    using Poll = std::function<void()>;

    TEntryInput(TFileStream& archive, Poll poll) : archive_(archive), poll_(std::move(poll)) {}

    // The archive stands at the first byte of the entry's data (after any
    // encryption header); dataSize excludes the cipher's trailer.
    void Start(std::uint64_t dataSize, TEntryCipher* cipher) {
        remaining_ = dataSize;
        cipher_ = cipher;
    }

    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override;
    // Once the decoder is done: whatever data it left unread and then the
    // cipher's trailer go to the cipher's final check. True when there is
    // nothing to check.
    bool Authenticate();

private:
    TFileStream& archive_;
    Poll poll_;
    std::uint64_t remaining_ = 0;
    TEntryCipher* cipher_ = nullptr;
};

// Takes the decoded blocks: never more than the entry's declared size
// (EBiggerThanUncompressed), every byte on the disk (ECantWriteUCF), the
// CRC-32 and both percentages kept up to date.
class TEntryOutput final : public TDecoderOutput {
public:
    using Progress = std::function<void(int filePercent, int totalPercent)>;

    explicit TEntryOutput(Progress progress) : progress_(std::move(progress)) {}

    void StartRun(std::uint64_t totalBytes) {
        runTotal_ = totalBytes;
        runWritten_ = 0;
    }
    void RemoveFromTotal(std::uint64_t bytes) { runTotal_ -= std::min(runTotal_, bytes); }
    std::uint64_t RunTotal() const { return runTotal_; }

    // Without a file the bytes are only counted and checked.
    void Start(TFileStream* file, std::uint64_t uncompressedSize);
    void Write(const std::uint8_t* data, std::size_t size) override;
    // A block decoded and checked elsewhere (on a worker, which keeps its
    // CRC-32): written, counted and reported only.
    void Put(const std::uint8_t* data, std::size_t size);
    // Bytes a worker decoded, checked and wrote itself: counted and reported only.
    void Account(std::uint64_t size);

    std::uint32_t Crc32() const { return crc_ ^ 0xFFFFFFFFu; }
    std::uint64_t Written() const { return written_; }
    // The errno of a write to the file that fell short since Start (EIO
    // when the system gave none); 0 when every byte went out. A decoder
    // may have taken the ECantWriteUCF for a damaged stream.
    int WriteError() const { return writeError_; }

private:
    Progress progress_;
    TFileStream* file_ = nullptr;
    std::uint64_t limit_ = 0;
    std::uint64_t written_ = 0;
    std::uint32_t crc_ = 0xFFFFFFFFu;
    std::uint64_t runTotal_ = 0;
    std::uint64_t runWritten_ = 0;
    int writeError_ = 0;
};

} // namespace mzb
