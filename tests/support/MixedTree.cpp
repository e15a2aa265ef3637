#include "support/MixedTree.h"

#include "support/LocalTime.h"
#include "support/SampleData.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace mzb::test {
namespace {

namespace fs = std::filesystem;

// Another name whenever the tree's contents change, so that a build folder
// never reads a tree an older test program made.
constexpr const char* kTreeName = "mixed-tree-1";

// Even seconds, so that the MS-DOS time of every tool is exact.
std::time_t SampleTime(int i) {
    return LocalTime(2021, 3 + i % 9, 1 + (i * 7) % 27, (i * 5) % 24, (i * 13) % 60, (i * 14) % 60);
}

std::vector<std::uint8_t> MakeLargeFile() {
    constexpr std::size_t kChunk = 1u << 20;
    std::vector<std::uint8_t> out;
    out.reserve(kLargeFileSize);
    for (std::size_t i = 0; out.size() < kLargeFileSize; ++i) {
        const auto chunk =
            i % 8 == 0 ? MakeBinary(kChunk, 100 + i) : MakeRandomBytes(kChunk, 100 + i);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    out.resize(kLargeFileSize);
    return out;
}

void MakeTree(const fs::path& root) {
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"readme.txt", MakeText(20000, 1)},
        {"docs/guide.md", MakeText(150000, 2)},
        {"docs/empty.txt", {}},
        {"bin/tool.bin", MakeBinary(700000, 3)},
        {"bin/noise.dat", MakeRandomBytes(70000, 4)},
        {"bin/run.sh", {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'}},
        {"nested/a/b/c/deep.txt", MakeText(3000, 5)},
        {"nested/a/zero", {}},
        {"Ünïcödé/файл.txt", MakeText(5000, 6)},
        {"日本語 名前.bin", MakeBinary(40000, 7)},
        {"large/big.bin", MakeLargeFile()},
    };
    int i = 0;
    for (const auto& [name, bytes] : files) {
        const fs::path file = root / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        const std::time_t when = SampleTime(i++);
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
    fs::permissions(root / "bin/run.sh", fs::perms(0755));
    fs::create_directories(root / "empty-dir");
    fs::create_directories(root / "nested/a/empty");
}

// Made under an exclusive lock, so that test processes run side by side
// wait for the first one's tree instead of making their own; a process
// killed while making it leaves only the unfinished folder, made again.
fs::path MakeOnce() {
    const fs::path home = fs::read_symlink("/proc/self/exe").parent_path() / "test-data";
    fs::create_directories(home);
    const fs::path ready = home / kTreeName;
    const int lock = ::open((home / (std::string(kTreeName) + ".lock")).c_str(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        throw std::system_error(errno, std::generic_category(), "locking the shared test data");
    }
    if (!fs::exists(ready)) {
        const fs::path making = home / (std::string(kTreeName) + ".making");
        fs::remove_all(making);
        MakeTree(making / "tree");
        fs::rename(making, ready);
    }
    ::close(lock);
    return ready / "tree";
}

} // namespace

const fs::path& MixedTree() {
    static const fs::path tree = MakeOnce();
    return tree;
}

} // namespace mzb::test
