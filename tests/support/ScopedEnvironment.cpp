#include "support/ScopedEnvironment.h"

#include <cstdlib>
#include <ctime>

namespace mzb::test {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        old_ = old;
    }
    ::setenv(name_.c_str(), value.c_str(), 1);
    ::tzset();
}

ScopedEnvironment::~ScopedEnvironment() {
    if (old_) {
        ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
    ::tzset();
}

} // namespace mzb::test
