#pragma once
// A buffered stream over one open file, shared by the archive reader and
// writer for archives, inputs and extracted files.
//
// Small reads and writes go through an 8 KiB buffer; a request of a whole
// buffer or more goes straight to the file, so block copies of 32 KiB cost
// one system call and no extra copy. Positions and sizes are 64-bit, and the
// stream does its I/O at explicit offsets (pread/pwrite), so its position is
// its own and never depends on the descriptor's.
//
// Nothing here throws. Reads return fewer bytes than asked at the end of the
// file or on an error; a failed write makes the stream failed for good (every
// later write returns 0 and Flush and Close return false), because bytes the
// buffer had already accepted are then lost and the file is not what the
// caller wrote. Callers turn short counts into the engine error that fits
// their situation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace mzb {

enum class TFileMode {
    Read,      // an existing file, read only
    Create,    // created or truncated, read and write
    ReadWrite, // an existing file, read and write
};

class TFileStream {
public:
    static constexpr std::size_t kBufferSize = 8192;

    TFileStream() = default;
    ~TFileStream();
    TFileStream(TFileStream&& other) noexcept;
    TFileStream& operator=(TFileStream&& other) noexcept;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Closes any file held first. Fails (errno in LastError) when the file
    // cannot be opened or is a directory. `status`, when given, receives
    // the open file's.
    bool Open(const std::string& path, TFileMode mode, struct stat* status = nullptr);
    // Takes ownership of a descriptor opened elsewhere (for instance without
    // following a link at the path), positioned at 0.
    bool Attach(int fd, struct stat* status = nullptr);
    // The same for a regular file the caller has just made: nothing to check.
    void AttachCreated(int fd);
    // Writes what is buffered and closes; false when data could not be
    // written. Closing a closed stream succeeds.
    bool Close();

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // errno of the first failure since opening; 0 when there was none.
    int LastError() const { return error_; }
    // A write failed; the file does not hold what was written.
    bool WriteFailed() const { return writeFailed_; }

    std::size_t Read(void* dst, std::size_t n);
    // Reads straight into dst, past the buffer: a caller with a buffer of
    // its own that asks for no more than the file holds makes one system
    // call, where the buffer would ask for more and meet the end in another.
    std::size_t ReadUnbuffered(void* dst, std::size_t n);
    // The next byte, or -1 at the end of the file or on an error.
    int ReadByte() {
        if (!writing_ && pos_ < len_) {
            return buf_[pos_++];
        }
        return ReadByteSlow();
    }
    // The number of bytes accepted: n, or fewer once the stream has failed.
    std::size_t Write(const void* src, std::size_t n);
    bool Flush();
    // Flush, then force the data to the disk.
    bool Sync();

    // Positions beyond the end are allowed; writing there extends the file.
    // Moves within what is buffered for writing cost nothing, so a header
    // rewritten once its entry's small data is known is still one write.
    bool Seek(std::uint64_t position);
    bool Skip(std::int64_t delta);
    std::uint64_t Position() const { return base_ + pos_; }
    // The file's size including bytes still in the buffer; 0 when it cannot
    // be found out.
    std::uint64_t Size() const;

private:
    int ReadByteSlow();
    bool FlushBuffer();
    bool Refill();
    void Fail(int err);
    void Reset();

    int fd_ = -1;
    std::unique_ptr<std::uint8_t[]> buf_;
    // buf_[0] is the byte at file offset base_; the cursor is buf_[pos_].
    // Reading: buf_[0, len_) mirrors the file. Writing: buf_[0, len_) is not
    // yet in the file and pos_ <= len_.
    std::uint64_t base_ = 0;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool writing_ = false;
    bool writeFailed_ = false;
    int error_ = 0;
};

} // namespace mzb
