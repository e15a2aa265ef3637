#pragma once
// The finder's refusal of a property value it cannot search with.

#include <stdexcept>

namespace mzb {

class EFindFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace mzb
