#pragma once
// What the in-process benchmarks share: seeded data, so every run measures
// the same bytes, and best-of timing, so a busy moment on a shared machine
// does not decide the figure.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace mzb::bench {

inline std::vector<std::uint8_t> SeededRandomBytes(std::size_t size, std::uint64_t seed) {
    std::vector<std::uint8_t> data(size);
    std::mt19937_64 gen(seed);
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        const std::uint64_t v = gen();
        for (int b = 0; b < 8; ++b) {
            data[i + b] = static_cast<std::uint8_t>(v >> (8 * b));
        }
    }
    return data;
}

// The best throughput of `rounds` calls of `run`, each over `bytes` bytes.
template <typename F> double BestMegabytesPerSecond(std::size_t bytes, int rounds, F&& run) {
    double best = 0;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, bytes / 1e6 / took.count());
    }
    return best;
}

} // namespace mzb::bench
