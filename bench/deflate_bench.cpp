// Our deflate beside zlib (raw deflate) and libdeflate at the same levels, on
// seeded text and binaries, in one run. Every output is checked by inflating
// it with zlib. Figures are printed as ratios against both peers.
//
//   deflate_bench [megabytes per corpus, default 100] [repetitions, default 1]
//                 [levels, default 1,5,6,9]

#include "tests/support/DeflateStreams.h"
#include "tests/support/SampleData.h"
#include "tests/support/ZlibOracle.h"
#include "zip/codec/deflate/Deflate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <libdeflate.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// CPU time of this thread: the codecs are single-threaded, and on a shared
// machine wall time mostly measures the neighbours.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Codec {
    const char* name;
    // Compresses `input` at `level` into `out` (resized to the stream).
    std::function<void(const Bytes& input, int level, Bytes& out)> compress;
};

struct Figure {
    double seconds = 0;
    std::size_t size = 0;
    double mbPerSecond(std::size_t inputSize) const { return double(inputSize) / 1e6 / seconds; }
};

// The compressor sees the input as the archive writer gives it: reads of
// about 32 KiB into its window, output in 1 KiB pieces to a collecting sink.
void CompressOurs(mzb::TDeflater& deflater, const Bytes& input, int level, Bytes& out) {
    mzb::test::MemorySource source(input);
    mzb::test::MemorySink sink;
    sink.bytes.swap(out);
    sink.bytes.clear();
    const mzb::TDeflateResult r = deflater.Deflate(source, sink, level);
    out.swap(sink.bytes);
    if (r.method != 8) {
        std::fprintf(stderr, "unexpected stored result\n");
        std::exit(1);
    }
}

void CompressZlib(const Bytes& input, int level, Bytes& out) {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    out.resize(deflateBound(&zs, uLong(input.size())));
    zs.next_in = const_cast<Bytef*>(input.data());
    zs.avail_in = uInt(input.size());
    zs.next_out = out.data();
    zs.avail_out = uInt(out.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END) {
        std::fprintf(stderr, "zlib deflate failed\n");
        std::exit(1);
    }
    out.resize(zs.total_out);
    deflateEnd(&zs);
}

void CompressLibdeflate(const Bytes& input, int level, Bytes& out) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    out.resize(libdeflate_deflate_compress_bound(c, input.size()));
    out.resize(libdeflate_deflate_compress(c, input.data(), input.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
}

Figure Measure(const Codec& codec, const Bytes& input, int level, int repetitions) {
    Bytes out;
    Figure best;
    for (int r = 0; r < repetitions; ++r) {
        const double start = ThreadSeconds();
        codec.compress(input, level, out);
        const double seconds = ThreadSeconds() - start;
        if (r == 0 || seconds < best.seconds) {
            best.seconds = seconds;
        }
    }
    best.size = out.size();
    const auto inflated = mzb::test::ZlibInflateRaw(out.data(), out.size());
    if (!inflated || *inflated != input) {
        std::fprintf(stderr, "%s level %d: output does not inflate to the input\n", codec.name,
                     level);
        std::exit(1);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::size_t(std::atol(argv[1])) : 100;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 1;
    const std::size_t size = megabytes * 1000 * 1000;
    std::vector<int> levels;
    for (const char* p = argc > 3 ? argv[3] : "1,5,6,9"; *p != 0; ++p) {
        if (*p >= '1' && *p <= '9') {
            levels.push_back(*p - '0');
        }
    }

    std::printf("generating %zu MB of text and %zu MB of binaries...\n", megabytes, megabytes);
    struct Corpus {
        const char* name;
        Bytes data;
    };
    const Corpus corpora[] = {{"text", mzb::test::MakeText(size, 1)},
                              {"binary", mzb::test::MakeBinary(size, 2)}};

    mzb::TDeflater deflater;
    const Codec ours{"ours", [&](const Bytes& in, int level, Bytes& out) {
                         CompressOurs(deflater, in, level, out);
                     }};
    const Codec zlib{"zlib", CompressZlib};
    const Codec libdeflate{"libdeflate", CompressLibdeflate};

    std::printf("\n%-7s %5s | %9s %9s %9s | %11s %11s %11s | %8s %8s | %8s %8s\n", "data", "level",
                "ours MB/s", "zlib MB/s", "ldef MB/s", "ours size", "zlib size", "ldef size",
                "spd/zlib", "size/zl", "spd/ldef", "size/ld");
    for (const Corpus& corpus : corpora) {
        for (int level : levels) {
            const Figure o = Measure(ours, corpus.data, level, repetitions);
            const Figure z = Measure(zlib, corpus.data, level, repetitions);
            const Figure l = Measure(libdeflate, corpus.data, level, repetitions);
            const std::size_t n = corpus.data.size();
            std::printf("%-7s %5d | %9.1f %9.1f %9.1f | %11zu %11zu %11zu | %8.3f %8.4f | %8.3f "
                        "%8.4f\n",
                        corpus.name, level, o.mbPerSecond(n), z.mbPerSecond(n), l.mbPerSecond(n),
                        o.size, z.size, l.size, o.mbPerSecond(n) / z.mbPerSecond(n),
                        double(o.size) / double(z.size), o.mbPerSecond(n) / l.mbPerSecond(n),
                        double(o.size) / double(l.size));
            std::fflush(stdout);
        }
    }
    std::printf(
        "\nthroughput = input MB per CPU second (thread CPU time, best of the repetitions);\n"
        "spd = our throughput / peer throughput (above 1: we are faster);\n"
        "size = our compressed size / peer size (below 1: we are smaller).\n");
    return 0;
}
