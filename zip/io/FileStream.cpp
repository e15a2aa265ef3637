#include "zip/io/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mzb {

namespace {

// pread until n bytes, the end of the file or an error; errno is left set
// when the short count comes from an error.
std::size_t ReadAt(int fd, std::uint8_t* dst, std::size_t n, std::uint64_t offset, int& err) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            err = errno;
            break;
        }
    }
    return done;
}

std::size_t WriteAt(int fd, const std::uint8_t* src, std::size_t n, std::uint64_t offset,
                    int& err) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t put = ::pwrite(fd, src + done, n - done, static_cast<off_t>(offset + done));
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put == 0) {
            err = ENOSPC;
            break;
        } else if (errno != EINTR) {
            err = errno;
            break;
        }
    }
    return done;
}

} // namespace

TFileStream::~TFileStream() {
    Close();
}

TFileStream::TFileStream(TFileStream&& other) noexcept {
    *this = std::move(other);
}

TFileStream& TFileStream::operator=(TFileStream&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        buf_ = std::move(other.buf_);
        base_ = other.base_;
        pos_ = other.pos_;
        len_ = other.len_;
        writing_ = other.writing_;
        writeFailed_ = other.writeFailed_;
        error_ = other.error_;
        other.Reset();
    }
    return *this;
}

void TFileStream::Reset() {
    base_ = 0;
    pos_ = 0;
    len_ = 0;
    writing_ = false;
    writeFailed_ = false;
    error_ = 0;
}

bool TFileStream::Open(const std::string& path, TFileMode mode, struct stat* status) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case TFileMode::Read:
        flags |= O_RDONLY;
        break;
    case TFileMode::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case TFileMode::ReadWrite:
        flags |= O_RDWR;
        break;
    }
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    return Attach(fd, status);
}

bool TFileStream::Attach(int fd, struct stat* status) {
    Close();
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error_ = errno;
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error_ = EISDIR;
        ::close(fd);
        return false;
    }
    if (status != nullptr) {
        *status = st;
    }
    AttachCreated(fd);
    return true;
}

void TFileStream::AttachCreated(int fd) {
    Close();
    Reset(); // a failed open before this one is no failure of this file
    fd_ = fd;
    if (!buf_) {
        buf_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    }
}

bool TFileStream::Close() {
    if (fd_ < 0) {
        return true;
    }
    const bool flushed = FlushBuffer();
    const bool closed = ::close(fd_) == 0;
    if (!closed && error_ == 0) {
        error_ = errno;
    }
    fd_ = -1;
    const bool ok = flushed && closed && !writeFailed_;
    Reset();
    return ok;
}

void TFileStream::Fail(int err) {
    if (error_ == 0) {
        error_ = err;
    }
}

bool TFileStream::FlushBuffer() {
    if (!writing_) {
        return !writeFailed_;
    }
    int err = 0;
    WriteAt(fd_, buf_.get(), len_, base_, err);
    base_ += pos_;
    pos_ = 0;
    len_ = 0;
    writing_ = false;
    if (err != 0) {
        writeFailed_ = true;
        Fail(err);
        return false;
    }
    return !writeFailed_;
}

bool TFileStream::Flush() {
    return fd_ >= 0 && FlushBuffer();
}

bool TFileStream::Sync() {
    if (!Flush()) {
        return false;
    }
    if (::fdatasync(fd_) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TFileStream::Refill() {
    base_ += len_;
    pos_ = 0;
    int err = 0;
    len_ = ReadAt(fd_, buf_.get(), kBufferSize, base_, err);
    if (err != 0) {
        Fail(err);
    }
    return len_ > 0;
}

std::size_t TFileStream::Read(void* dst, std::size_t n) {
    if (fd_ < 0 || (writing_ && !FlushBuffer())) {
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    while (done < n) {
        if (pos_ < len_) {
            const std::size_t take = std::min(len_ - pos_, n - done);
            std::memcpy(out + done, buf_.get() + pos_, take);
            pos_ += take;
            done += take;
        } else if (n - done >= kBufferSize) {
            done += ReadUnbuffered(out + done, n - done);
            break;
        } else if (!Refill()) {
            break;
        }
    }
    return done;
}

// The buffer is left empty at the new position.
std::size_t TFileStream::ReadUnbuffered(void* dst, std::size_t n) {
    if (fd_ < 0 || (writing_ && !FlushBuffer())) {
        return 0;
    }
    base_ += pos_;
    pos_ = 0;
    len_ = 0;
    int err = 0;
    const std::size_t got = ReadAt(fd_, static_cast<std::uint8_t*>(dst), n, base_, err);
    base_ += got;
    if (err != 0) {
        Fail(err);
    }
    return got;
}

int TFileStream::ReadByteSlow() {
    if (fd_ < 0 || (writing_ && !FlushBuffer())) {
        return -1;
    }
    if (pos_ >= len_ && !Refill()) {
        return -1;
    }
    return buf_[pos_++];
}

std::size_t TFileStream::Write(const void* src, std::size_t n) {
    if (fd_ < 0 || writeFailed_) {
        return 0;
    }
    if (!writing_) {
        // Whatever was read ahead is dropped; writing starts at the cursor.
        base_ += pos_;
        pos_ = 0;
        len_ = 0;
        writing_ = true;
    }
    const auto* in = static_cast<const std::uint8_t*>(src);
    if (pos_ + n <= kBufferSize) {
        std::memcpy(buf_.get() + pos_, in, n);
        pos_ += n;
        len_ = std::max(len_, pos_);
        return n;
    }
    if (!FlushBuffer()) {
        return 0;
    }
    if (n >= kBufferSize) {
        int err = 0;
        const std::size_t put = WriteAt(fd_, in, n, base_, err);
        base_ += put;
        if (err != 0) {
            writeFailed_ = true;
            Fail(err);
        }
        return put;
    }
    writing_ = true;
    std::memcpy(buf_.get(), in, n);
    len_ = n;
    pos_ = n;
    return n;
}

bool TFileStream::Seek(std::uint64_t position) {
    if (fd_ < 0 || position > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    if (position >= base_ && position <= base_ + len_) {
        // Short moves inside what was read ahead, or is still to be
        // written, cost nothing.
        pos_ = static_cast<std::size_t>(position - base_);
        return true;
    }
    if (writing_ && !FlushBuffer()) {
        return false;
    }
    base_ = position;
    pos_ = 0;
    len_ = 0;
    return true;
}

bool TFileStream::Skip(std::int64_t delta) {
    const std::uint64_t here = Position();
    if (delta >= 0) {
        return Seek(here + static_cast<std::uint64_t>(delta));
    }
    // Negated as (-(delta + 1)) + 1 so that INT64_MIN does not overflow.
    const std::uint64_t back = static_cast<std::uint64_t>(-(delta + 1)) + 1;
    return back <= here && Seek(here - back);
}

std::uint64_t TFileStream::Size() const {
    if (fd_ < 0) {
        return 0;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        return 0;
    }
    const auto onDisk = static_cast<std::uint64_t>(st.st_size);
    return writing_ ? std::max(onDisk, base_ + len_) : onDisk;
}

} // namespace mzb
