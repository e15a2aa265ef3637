#pragma once
// The finder's exclusion test. It has its own rules, unlike the engine's
// wildcard matcher: "*" never runs across a dot, "?" never matches one, and a
// pattern with a folder part matches every path whose folder ends with it.

#include <string_view>

namespace mzb {

// `path` is a full path (folder and name); `pattern` an exclusion pattern,
// with or without a folder part. Letters compare without regard to case.
bool MatchExcludePattern(std::string_view path, std::string_view pattern);

} // namespace mzb
