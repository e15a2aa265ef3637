#include "zip/base/Percent.h"

namespace mzb {

int PercentOf(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) {
        return 0;
    }
    if (part >= whole) {
        return 100;
    }
    // part < whole, so part * 100 fits unless whole is beyond 2^57; scale
    // both down in that case, which cannot change a result in 0..100 by more
    // than the rounding of sizes no archive reaches.
    while (part > UINT64_MAX / 200) {
        part >>= 1;
        whole >>= 1;
    }
    const std::uint64_t scaled = part * 100;
    std::uint64_t q = scaled / whole;
    const std::uint64_t r2 = (scaled % whole) * 2;
    if (r2 > whole || (r2 == whole && (q & 1) != 0)) {
        ++q;
    }
    return static_cast<int>(q);
}

} // namespace mzb
