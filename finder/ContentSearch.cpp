#include "finder/ContentSearch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace mzb {

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string s, bool fold) {
    if (fold) {
        std::transform(s.begin(), s.end(), s.begin(), FoldAscii);
    }
    return s;
}

class FileHandle {
public:
    // Non-blocking, so that opening a named pipe cannot hang the search.
    explicit FileHandle(const std::string& path)
        : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        if (fd_ < 0) {
            throw std::system_error(errno, std::generic_category(), "cannot open " + path);
        }
    }
    ~FileHandle() { close(fd_); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

TContentSearch::TContentSearch(std::string text, bool ignoreCase)
    : text_(Folded(std::move(text), ignoreCase)), ignoreCase_(ignoreCase),
      buffer_(kBlockSize + (text_.empty() ? 0 : text_.size() - 1)),
      searcher_(text_.data(), text_.data() + text_.size()) {}

bool TContentSearch::FileContains(const std::string& path) {
    if (text_.empty()) {
        return true;
    }
    FileHandle file(path);
    // Pipes, sockets and devices hold no content a file search could mean.
    struct stat st {};
    if (fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // Invariant: buffer_[0, kept) holds the last bytes of the previous
    // blocks, at most text_.size() - 1 of them, already folded.
    size_t kept = 0;
    for (;;) {
        const ssize_t got = read(file.fd(), buffer_.data() + kept, kBlockSize);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "cannot read " + path);
        }
        if (got == 0) {
            return false;
        }
        char* fresh = buffer_.data() + kept;
        if (ignoreCase_) {
            std::transform(fresh, fresh + got, fresh, FoldAscii);
        }
        const size_t filled = kept + static_cast<size_t>(got);
        const char* end = buffer_.data() + filled;
        if (searcher_(static_cast<const char*>(buffer_.data()), end).first != end) {
            return true;
        }
        const size_t carry = std::min(filled, text_.size() - 1);
        std::memmove(buffer_.data(), buffer_.data() + filled - carry, carry);
        kept = carry;
    }
}

} // namespace mzb
