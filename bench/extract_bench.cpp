// `mzb extract` beside unzip, 7zz and bsdtar as whole processes, on one
// archive of a seeded source-and-binaries tree (about 250 MB in 20 000
// files) that Info-ZIP made at level 5. Each tool extracts into an empty
// directory; the figures are the best wall time of three runs and the peak
// resident memory, printed with the peers' times as ratios to ours.
//
//   extract_bench [WORKDIR] [MB]
//
// WORKDIR (default /tmp/mzb-extract-bench) keeps the tree and the archive
// between runs; MB scales the tree for quick runs.
#include "tests/support/SampleData.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using mzb::test::SampleRandom;

constexpr int kRounds = 3;

struct TreeShape {
    std::size_t textFiles;
    std::size_t binaryFiles;
    std::size_t textMean;   // bytes
    std::size_t binaryMean; // bytes
};

// 19 800 source-like files of 1-15 KB and 200 binaries of 50 KB-870 KB:
// about 158 MB of text and 92 MB of binaries at scale 250.
TreeShape ShapeFor(std::size_t megabytes) {
    const double scale = double(megabytes) / 250.0;
    return {std::size_t(19800 * scale), std::size_t(200 * scale), 8000, 460000};
}

void WriteSlice(const fs::path& file, const std::vector<std::uint8_t>& pool, std::size_t size,
                SampleRandom& random) {
    const std::size_t start = random.below(std::uint32_t(pool.size() - size));
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(pool.data() + start), std::streamsize(size));
}

// Files are slices of one text and one binary pool, so that generating
// 20 000 of them stays quick while each still compresses like its kind.
void MakeTree(const fs::path& root, const TreeShape& shape) {
    SampleRandom random(2024);
    const auto text = mzb::test::MakeText(24u << 20, 11);
    const auto binary = mzb::test::MakeBinary(16u << 20, 12);
    const std::size_t dirs = std::max<std::size_t>(1, shape.textFiles / 80);
    for (std::size_t i = 0; i < shape.textFiles; ++i) {
        const std::size_t d = i % dirs;
        const fs::path dir =
            root / ("src" + std::to_string(d / 20)) / ("module" + std::to_string(d));
        fs::create_directories(dir);
        const std::size_t size = 1000 + random.below(std::uint32_t(2 * shape.textMean - 2000));
        WriteSlice(dir / ("file" + std::to_string(i) + ".cpp"), text, size, random);
    }
    for (std::size_t i = 0; i < shape.binaryFiles; ++i) {
        const fs::path dir = root / "bin" / ("pkg" + std::to_string(i % 10));
        fs::create_directories(dir);
        const std::size_t size = 50000 + random.below(std::uint32_t(2 * shape.binaryMean - 100000));
        WriteSlice(dir / ("lib" + std::to_string(i) + ".so"), binary, size, random);
    }
}

struct Totals {
    std::size_t files = 0;
    std::uint64_t bytes = 0;
};

Totals Count(const fs::path& root) {
    Totals t;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            ++t.files;
            t.bytes += e.file_size();
        }
    }
    return t;
}

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    int exitCode = -1;
};

// Runs argv (argv[0] a full path) with its output thrown away; wait4 gives
// the child's own peak resident size.
Measure RunTimed(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::fflush(stdout); // or the child would print our buffered lines again
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr ||
            std::freopen("/dev/null", "r", stdin) == nullptr) {
            ::_exit(127);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

std::optional<std::string> FindProgram(const std::string& name) {
    for (const char* dir : {"/usr/local/bin", "/usr/bin", "/bin"}) {
        const std::string path = std::string(dir) + "/" + name;
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

struct Tool {
    std::string name;
    std::vector<std::string> argv; // "{dest}" stands for the output directory
};

std::vector<std::string> WithDest(const std::vector<std::string>& argv, const std::string& dest) {
    std::vector<std::string> out;
    for (const auto& a : argv) {
        const auto at = a.find("{dest}");
        out.push_back(at == std::string::npos ? a : a.substr(0, at) + dest + a.substr(at + 6));
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/mzb-extract-bench");
    const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 250;
    const fs::path tree = work / ("tree-" + std::to_string(megabytes));
    const fs::path archive = work / ("tree-" + std::to_string(megabytes) + ".zip");
    const fs::path dest = work / "out";
    const std::string mzb = (fs::read_symlink("/proc/self/exe").parent_path() / "mzb").string();
    const auto zip = FindProgram("zip");
    if (!zip) {
        std::fprintf(stderr, "extract_bench: zip is needed to make the archive\n");
        return 2;
    }

    if (!fs::exists(archive)) {
        std::printf("making the tree and archive in %s ...\n", work.c_str());
        fs::remove_all(tree);
        MakeTree(tree, ShapeFor(megabytes));
        const Measure m = RunTimed({"/bin/sh", "-c",
                                    "cd '" + tree.string() + "' && " + *zip + " -q -r -5 '" +
                                        archive.string() + ".tmp' ."});
        if (m.exitCode != 0) {
            std::fprintf(stderr, "extract_bench: zip failed\n");
            return 2;
        }
        fs::rename(archive.string() + ".tmp", archive);
    }
    const Totals expected = Count(tree);
    std::printf("archive %s: %.1f MB, %zu files, %.1f MB uncompressed\n", archive.c_str(),
                double(fs::file_size(archive)) / 1e6, expected.files, double(expected.bytes) / 1e6);

    std::vector<Tool> tools = {
        {"mzb extract", {mzb, "extract", archive.string(), "{dest}"}},
        {"mzb -t 1", {mzb, "extract", "-t", "1", archive.string(), "{dest}"}}};
    if (const auto p = FindProgram("unzip")) {
        tools.push_back({"unzip -q", {*p, "-q", archive.string(), "-d", "{dest}"}});
    }
    if (const auto p = FindProgram("7zz")) {
        tools.push_back(
            {"7zz x", {*p, "x", "-y", "-bd", "-bso0", "-bsp0", "-o{dest}", archive.string()}});
    }
    if (const auto p = FindProgram("bsdtar")) {
        tools.push_back({"bsdtar -xf", {*p, "-xf", archive.string(), "-C", "{dest}"}});
    }

    std::vector<Measure> best(tools.size());
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t t = 0; t < tools.size(); ++t) {
            fs::remove_all(dest);
            fs::create_directories(dest);
            ::sync();
            const Measure m = RunTimed(WithDest(tools[t].argv, dest.string()));
            const Totals got = Count(dest);
            if (m.exitCode != 0 || got.files != expected.files || got.bytes != expected.bytes) {
                std::fprintf(stderr, "%s: exit %d, %zu files, %llu bytes: not a full extraction\n",
                             tools[t].name.c_str(), m.exitCode, got.files,
                             static_cast<unsigned long long>(got.bytes));
                return 1;
            }
            if (round == 0 || m.seconds < best[t].seconds) {
                best[t].seconds = m.seconds;
            }
            best[t].peakKb = std::max(best[t].peakKb, m.peakKb);
        }
    }
    fs::remove_all(dest);

    std::printf("\n%-12s %9s %10s %12s %14s\n", "tool", "wall s", "MB/s", "peak RSS MB",
                "time / ours");
    for (std::size_t t = 0; t < tools.size(); ++t) {
        std::printf("%-12s %9.3f %10.1f %12.1f %14.2f\n", tools[t].name.c_str(), best[t].seconds,
                    double(expected.bytes) / 1e6 / best[t].seconds, double(best[t].peakKb) / 1024.0,
                    best[t].seconds / best[0].seconds);
    }
    return 0;
}
