#include "zip/reader/EntryStreams.h"

#include "zip/base/Percent.h"
#include "zip/base/ZipError.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/format/Crc32.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace mzb {

std::size_t TEntryInput::Read(std::uint8_t* buffer, std::size_t capacity) {
    if (remaining_ == 0) {
        return 0;
    }
    poll_();
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>({remaining_, capacity, kMaxInputRead}));
    if (archive_.Read(buffer, n) != n) {
        remaining_ = 0;
        throw EFatalUnzipError("Premature end of file reached");
    }
    if (cipher_ != nullptr) {
        cipher_->Decrypt(buffer, n);
    }
    remaining_ -= n;
    return n;
}

bool TEntryInput::Authenticate() {
    if (cipher_ == nullptr || cipher_->TrailerSize() == 0) {
        return true;
    }
    // The code covers every byte of the data, also those after the end of a
    // compressed stream.
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(cipher_->TrailerSize(), 4096));
    while (Read(bytes.data(), bytes.size()) != 0) {
    }
    if (archive_.Read(bytes.data(), cipher_->TrailerSize()) != cipher_->TrailerSize()) {
        throw EFatalUnzipError("Premature end of file reached");
    }
    return cipher_->CheckTrailer(bytes.data());
}

TEntryVerdict JudgeEntry(const TEntryCipher* cipher, bool authentic, bool complete,
                         std::uint32_t crc, std::uint32_t storedCrc, std::uint64_t size,
                         std::uint64_t storedSize) {
    if (!authentic) {
        return TEntryVerdict::NotAuthentic;
    }
    // A stream that ends early can still match a CRC by chance; the size
    // must match as well.
    const bool crcMatches = crc == storedCrc || (cipher != nullptr && !cipher->ChecksCrc());
    if (complete && crcMatches && size == storedSize) {
        return TEntryVerdict::Good;
    }
    return cipher != nullptr && !cipher->Authenticates() ? TEntryVerdict::PasswordSuspect
                                                         : TEntryVerdict::Damaged;
}

void TEntryOutput::Start(TFileStream* file, std::uint64_t uncompressedSize) {
    file_ = file;
    limit_ = uncompressedSize;
    written_ = 0;
    crc_ = kCrc32Init;
    writeError_ = 0;
}

void TEntryOutput::Write(const std::uint8_t* data, std::size_t size) {
    if (size > limit_ - written_) {
        throw EBiggerThanUncompressed("File is larger than uncompressed size!");
    }
    crc_ = Crc32Update(crc_, data, size);
    Put(data, size);
}

void TEntryOutput::Put(const std::uint8_t* data, std::size_t size) {
    if (file_ != nullptr && file_->Write(data, size) != size) {
        writeError_ = file_->LastError() != 0 ? file_->LastError() : EIO;
        throw ECantWriteUCF("Cant write uncompressed file");
    }
    Account(size);
}

void TEntryOutput::Account(std::uint64_t size) {
    written_ += size;
    runWritten_ += size;
    progress_(PercentOf(written_, limit_), PercentOf(runWritten_, runTotal_));
}

} // namespace mzb
