#pragma once
// The MD5 or SHA-1 of a local file, as lowercase hex, from libcrypto: what a
// remote's own hash of a copy is compared with.

#include <functional>
#include <optional>
#include <string>

namespace mzb {

enum class DigestKind { Md5, Sha1 };

// None when the file cannot be read or `keepGoing` said no between reads.
std::optional<std::string> FileDigest(const std::string& path, DigestKind kind,
                                      const std::function<bool()>& keepGoing);

} // namespace mzb
