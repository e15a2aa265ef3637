// Our inflate beside zlib's and libdeflate's, in-process, on seeded text and
// binary data that zlib compressed at level 6. Figures are uncompressed MB
// per second, best of several rounds, and every decoder's output is checked
// against the original.
#include "zip/codec/inflate/Inflate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <random>
#include <string>
#include <time.h>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Each data set's size; a first argument gives it in MB for quick runs.
std::size_t dataSize = 100u * 1000u * 1000u;
constexpr int kRounds = 5;

// Picks indices 0..n-1 with probability falling as 1/(rank+1): a lookup
// table over the cumulative distribution keeps generation cheap.
class Zipf {
public:
    explicit Zipf(std::size_t n) : table_(1u << 20) {
        std::vector<double> cumulative(n);
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            sum += 1.0 / static_cast<double>(i + 1);
            cumulative[i] = sum;
        }
        std::size_t k = 0;
        for (std::size_t slot = 0; slot < table_.size(); ++slot) {
            const double u = (static_cast<double>(slot) + 0.5) / table_.size() * sum;
            while (cumulative[k] < u) {
                ++k;
            }
            table_[slot] = static_cast<std::uint32_t>(k);
        }
    }
    template <class Rng> std::uint32_t operator()(Rng& rng) const {
        return table_[rng() & (table_.size() - 1)];
    }

private:
    std::vector<std::uint32_t> table_;
};

Bytes MakeText(std::mt19937_64& rng) {
    static const char* syllables[] = {"ba",  "ck",  "ar", "chi", "ve", "re", "sto", "en",  "try",
                                      "win", "dow", "zi", "pe",  "lo", "ma", "ti",  "on",  "de",
                                      "fla", "te",  "in", "str", "um", "qu", "is",  "the", "al"};
    std::vector<std::string> words(20000);
    for (auto& w : words) {
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < n; ++i) {
            w += syllables[rng() % std::size(syllables)];
        }
    }
    const Zipf pick(words.size());
    Bytes out;
    out.reserve(dataSize + 64);
    int inSentence = 0;
    while (out.size() < dataSize) {
        std::string w = words[pick(rng)];
        if (inSentence == 0) {
            w[0] = static_cast<char>(w[0] - 'a' + 'A');
        }
        out.insert(out.end(), w.begin(), w.end());
        if (++inSentence > 5 && rng() % 8 == 0) {
            out.push_back('.');
            out.push_back(rng() % 6 == 0 ? '\n' : ' ');
            inSentence = 0;
        } else {
            out.push_back(rng() % 12 == 0 ? ',' : ' ');
            if (out.back() == ',') {
                out.push_back(' ');
            }
        }
    }
    out.resize(dataSize);
    return out;
}

// Machine-code-like runs (a skewed opcode set with small immediates and
// displacements), fixed-size records (ids, times, flags, short names) and
// some incompressible stretches, as in a tree of executables and data files.
Bytes MakeBinary(std::mt19937_64& rng) {
    static const std::uint8_t opcodes[][3] = {
        {0x48, 0x89, 0x00}, {0x48, 0x8B, 0x00}, {0xE8, 0, 0},    {0x89, 0x00, 0},
        {0x8B, 0x00, 0},    {0x48, 0x83, 0xC4}, {0x0F, 0x84, 0}, {0x74, 0, 0},
        {0xC3, 0, 0},       {0x55, 0, 0},       {0x41, 0x57, 0}, {0x31, 0xC0, 0},
        {0x0F, 0xB6, 0},    {0x48, 0x8D, 0x05}, {0x85, 0xC0, 0}};
    const Zipf pickOp(std::size(opcodes));
    static const char* names[] = {"config", "index", "thumb", "cache", "lock", "journal"};
    Bytes out;
    out.reserve(dataSize + 4096);
    std::uint32_t id = 1000, time = 1700000000;
    while (out.size() < dataSize) {
        const unsigned kind = rng() % 20;
        if (kind < 12) {
            for (int i = 0; i < 2000; ++i) {
                const auto& op = opcodes[pickOp(rng)];
                out.push_back(op[0]);
                if (op[1]) {
                    out.push_back(static_cast<std::uint8_t>(op[1] | (rng() % 8) * (op[1] < 0x40)));
                }
                if (op[2]) {
                    out.push_back(op[2]);
                }
                if (op[0] == 0xE8 || op[1] == 0x84 || op[2] == 0x05) {
                    const std::uint32_t rel = static_cast<std::uint32_t>(rng() % 65536) - 32768;
                    for (int b = 0; b < 4; ++b) {
                        out.push_back(static_cast<std::uint8_t>(rel >> (8 * b)));
                    }
                } else if (op[0] == 0x74 || op[2] == 0xC4) {
                    out.push_back(static_cast<std::uint8_t>(rng() % 64 * 8));
                }
            }
        } else if (kind < 19) {
            for (int i = 0; i < 500; ++i) {
                std::uint8_t rec[32] = {};
                id += 1 + static_cast<std::uint32_t>(rng() % 3);
                time += static_cast<std::uint32_t>(rng() % 600);
                std::memcpy(rec, &id, 4);
                std::memcpy(rec + 4, &time, 4);
                rec[8] = static_cast<std::uint8_t>(rng() % 4);
                const float value = static_cast<float>(rng() % 10000) / 100.0f;
                std::memcpy(rec + 12, &value, 4);
                const char* name = names[rng() % std::size(names)];
                std::memcpy(rec + 16, name, std::strlen(name));
                out.insert(out.end(), rec, rec + 32);
            }
        } else {
            for (int i = 0; i < 4096; ++i) {
                out.push_back(static_cast<std::uint8_t>(rng()));
            }
        }
    }
    out.resize(dataSize);
    return out;
}

Bytes ZlibDeflate(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The reader's side of our decoder, without the file: 32 KiB reads from
// memory, blocks copied out.
class MemorySource : public mzb::TDecoderInput {
public:
    explicit MemorySource(const Bytes& data) : data_(data) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
        const std::size_t n = std::min(capacity, data_.size() - offset_);
        std::memcpy(buffer, data_.data() + offset_, n);
        offset_ += n;
        return n;
    }

private:
    const Bytes& data_;
    std::size_t offset_ = 0;
};

class MemorySink : public mzb::TDecoderOutput {
public:
    explicit MemorySink(Bytes& out) : out_(out) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        if (size > out_.size() - used_) {
            std::abort();
        }
        std::memcpy(out_.data() + used_, data, size);
        used_ += size;
    }
    std::size_t Used() const { return used_; }

private:
    Bytes& out_;
    std::size_t used_ = 0;
};

// The machine is shared: the thread's own processor time is a steadier
// clock than the wall for an in-process comparison.
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <class F> double BestMBps(F&& run, const Bytes& original, Bytes& out, const char* who) {
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::fill(out.begin(), out.end(), 0);
        const double start = CpuSeconds();
        const std::size_t produced = run();
        const double took = CpuSeconds() - start;
        if (produced != original.size() || out != original) {
            std::fprintf(stderr, "%s: wrong output\n", who);
            std::exit(1);
        }
        best = std::max(best, original.size() / 1e6 / took);
    }
    return best;
}

void Measure(const char* label, const Bytes& original) {
    const Bytes packed = ZlibDeflate(original);
    Bytes out(original.size());

    mzb::TInflater inflater;
    const double ours = BestMBps(
        [&] {
            MemorySource source(packed);
            MemorySink sink(out);
            if (inflater.Inflate(source, sink) != mzb::TDecodeResult::Complete) {
                return std::size_t{0};
            }
            return sink.Used();
        },
        original, out, "ours");

    const double zlib = BestMBps(
        [&] {
            z_stream z{};
            inflateInit2(&z, -15);
            z.next_in = const_cast<Bytef*>(packed.data());
            z.avail_in = static_cast<uInt>(packed.size());
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            const int rc = inflate(&z, Z_FINISH);
            const std::size_t n = rc == Z_STREAM_END ? z.total_out : 0;
            inflateEnd(&z);
            return n;
        },
        original, out, "zlib");

    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    const double libdeflate = BestMBps(
        [&] {
            std::size_t n = 0;
            return libdeflate_deflate_decompress(d, packed.data(), packed.size(), out.data(),
                                                 out.size(), &n) == LIBDEFLATE_SUCCESS
                       ? n
                       : 0;
        },
        original, out, "libdeflate");
    libdeflate_free_decompressor(d);

    std::printf("%s: %zu MB, level 6 gives %.1f%%\n", label, original.size() / 1000000,
                100.0 * packed.size() / original.size());
    std::printf("  ours        %7.0f MB/s\n", ours);
    std::printf("  zlib        %7.0f MB/s   ours/zlib       %.2f\n", zlib, ours / zlib);
    std::printf("  libdeflate  %7.0f MB/s   ours/libdeflate %.2f\n", libdeflate, ours / libdeflate);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        dataSize = static_cast<std::size_t>(std::atof(argv[1]) * 1e6);
    }
    std::mt19937_64 rng(20261208);
    std::printf("inflate, best of %d rounds, MB/s of thread CPU time\n", kRounds);
    Measure("text", MakeText(rng));
    Measure("binaries", MakeBinary(rng));
    return 0;
}
