#include "support/BitWriter.h"

namespace mzb::test {

BitWriter& BitWriter::Bits(std::uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
        if (used_ == 0) {
            bytes_.push_back(0);
        }
        bytes_.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << used_);
        used_ = (used_ + 1) & 7;
    }
    return *this;
}

BitWriter& BitWriter::Code(std::uint32_t code, unsigned n) {
    for (unsigned i = n; i-- > 0;) {
        Bits((code >> i) & 1u, 1);
    }
    return *this;
}

BitWriter& BitWriter::Align() {
    used_ = 0;
    return *this;
}

std::vector<std::uint8_t> BitWriter::Bytes() const {
    return bytes_;
}

} // namespace mzb::test
