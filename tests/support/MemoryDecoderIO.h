#pragma once
// In-memory ends for the decoders: a source that hands out its bytes in
// pieces of a chosen size (to flush out buffer-boundary faults) and a sink
// that collects blocks and can enforce a size limit as the reader does.

#include "zip/codec/inflate/DecoderIO.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace mzb::test {

class MemoryInput : public TDecoderInput {
public:
    explicit MemoryInput(std::span<const std::uint8_t> data,
                         std::size_t piece = std::numeric_limits<std::size_t>::max())
        : data_(data), piece_(piece) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override;

    std::size_t Calls() const { return calls_; }

private:
    std::span<const std::uint8_t> data_;
    std::size_t piece_;
    std::size_t offset_ = 0;
    std::size_t calls_ = 0;
};

class MemoryOutput : public TDecoderOutput {
public:
    // Beyond limit bytes a Write raises EBiggerThanUncompressed.
    explicit MemoryOutput(std::uint64_t limit = std::numeric_limits<std::uint64_t>::max())
        : limit_(limit) {}

    void Write(const std::uint8_t* data, std::size_t size) override;

    std::vector<std::uint8_t> Bytes;
    std::size_t LargestBlock = 0;
    std::size_t EmptyBlocks = 0;

private:
    std::uint64_t limit_;
};

} // namespace mzb::test
