#include "zip/reader/EntryStreams.h"

#include "zip/base/Percent.h"
#include "zip/base/ZipError.h"
#include "zip/crypt/ZipCrypt.h"
#include "zip/format/Crc32.h"

#include <algorithm>
#include <cerrno>

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
    if (decrypter_ != nullptr) {
        decrypter_->Decrypt(buffer, n);
    }
    remaining_ -= n;
    return n;
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
    written_ += size;
    runWritten_ += size;
    progress_(PercentOf(written_, limit_), PercentOf(runWritten_, runTotal_));
}

} // namespace mzb
