#include "support/MemoryDecoderIO.h"

#include "zip/base/ZipError.h"

#include <algorithm>
#include <cstring>

namespace mzb::test {

std::size_t MemoryInput::Read(std::uint8_t* buffer, std::size_t capacity) {
    ++calls_;
    const std::size_t n = std::min({capacity, piece_, data_.size() - offset_});
    if (n > 0) {
        std::memcpy(buffer, data_.data() + offset_, n);
    }
    offset_ += n;
    return n;
}

void MemoryOutput::Write(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        ++EmptyBlocks;
    }
    LargestBlock = std::max(LargestBlock, size);
    if (Bytes.size() + size > limit_) {
        throw EBiggerThanUncompressed("File is larger than uncompressed size!");
    }
    Bytes.insert(Bytes.end(), data, data + size);
}

} // namespace mzb::test
