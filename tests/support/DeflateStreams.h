#pragma once
// Memory ends for the compressor: a source that hands out its bytes in pieces
// of a chosen size (to catch buffer-boundary faults) and a sink that collects.

#include "zip/codec/deflate/DeflateIO.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mzb::test {

class MemorySource : public TDeflateSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size, std::size_t piece = SIZE_MAX)
        : data_(data), size_(size), piece_(piece) {}
    explicit MemorySource(const std::vector<std::uint8_t>& data, std::size_t piece = SIZE_MAX)
        : MemorySource(data.data(), data.size(), piece) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
        const std::size_t n = std::min({capacity, piece_, size_ - offset_});
        if (n != 0) {
            std::memcpy(buffer, data_ + offset_, n);
        }
        offset_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t piece_;
    std::size_t offset_ = 0;
};

class MemorySink : public TDeflateSink {
public:
    void Write(const std::uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        ++writes;
        largestWrite = std::max(largestWrite, size);
    }
    std::vector<std::uint8_t> bytes;
    std::size_t writes = 0;
    std::size_t largestWrite = 0;
};

} // namespace mzb::test
