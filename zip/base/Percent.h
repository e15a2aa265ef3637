#pragma once

#include <cstdint>

namespace mzb {

// part * 100 / whole rounded to the nearest integer, a value exactly halfway
// going to the even neighbour; capped at 100; 0 when whole is 0.
int PercentOf(std::uint64_t part, std::uint64_t whole);

} // namespace mzb
