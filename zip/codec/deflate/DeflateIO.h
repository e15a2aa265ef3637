#pragma once
// The two ends of the compressor: where uncompressed bytes come from and where
// compressed bytes go. The archive writer implements both (its read step
// updates the CRC and reports progress, its write step encrypts and honours a
// cancel request). Calls are per buffer, never per byte.

#include <cstddef>
#include <cstdint>

namespace mzb {

class TDeflateSource {
public:
    virtual ~TDeflateSource() = default;
    // Copies up to `capacity` bytes into `buffer` and returns how many; 0 means
    // end of input. Short reads before the end are allowed.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t capacity) = 0;
};

class TDeflateSink {
public:
    virtual ~TDeflateSink() = default;
    // Takes all `size` bytes or throws.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
};

} // namespace mzb
