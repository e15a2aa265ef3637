#pragma once
// The mixed tree that mzb and the other ZIP tools pack in the interop tests:
// text, binaries, random bytes, empty files, nested and empty folders,
// non-ASCII names, a script with its execute bit, and one large file with
// a compressible MiB in every eight. Making it takes seconds (many more
// under the sanitizers), so the first test process that asks makes it,
// beside the test program, and every later one of the build reads the same.

#include <cstddef>
#include <filesystem>

namespace mzb::test {

// The large file's size. The instrumented builds run several times slower
// and take a fifth of it, which still spans many input chunks and the
// 1 MiB compression pieces.
#ifdef MZB_SANITIZED
inline constexpr std::size_t kLargeFileSize = 10u << 20;
#else
inline constexpr std::size_t kLargeFileSize = 50u << 20;
#endif

// The tree's root, a folder named "tree". Shared by the test processes:
// nothing may be written below it.
const std::filesystem::path& MixedTree();

} // namespace mzb::test
