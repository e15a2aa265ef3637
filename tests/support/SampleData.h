#pragma once
// Seeded data that compresses the way real files do: prose-like text with
// Zipf-distributed words and lines, binaries mixing records, code-like bytes
// and incompressible stretches, and plain random bytes. Header-only so that
// the benchmarks generate the same kinds of data as the tests.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mzb::test {

class SampleRandom {
public:
    explicit SampleRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t bound) { return std::uint32_t((next() >> 32) * bound >> 32); }

private:
    std::uint64_t state_;
};

// Draws ranks 0..n-1 with probability proportional to 1 / (rank + 1).
class ZipfPicker {
public:
    explicit ZipfPicker(std::size_t n) : cumulative_(n) {
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            sum += 1.0 / double(i + 1);
            cumulative_[i] = sum;
        }
        for (double& c : cumulative_) {
            c /= sum;
        }
    }
    std::size_t pick(SampleRandom& random) const {
        const double u = double(random.next() >> 11) * 0x1.0p-53;
        return std::size_t(std::lower_bound(cumulative_.begin(), cumulative_.end() - 1, u) -
                           cumulative_.begin());
    }

private:
    std::vector<double> cumulative_;
};

inline std::vector<std::uint8_t> MakeRandomBytes(std::size_t size, std::uint64_t seed) {
    SampleRandom random(seed);
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = std::uint8_t(random.next() >> 56);
    }
    return out;
}

inline std::vector<std::uint8_t> MakeText(std::size_t size, std::uint64_t seed) {
    SampleRandom random(seed);
    static const char* const kSyllables[] = {"a",  "ka", "lo", "mi", "ne", "ra", "to", "ve", "in",
                                             "or", "th", "st", "en", "qu", "ie", "ou", "an", "er",
                                             "sh", "ri", "do", "pe", "ul", "ch", "ga", "sy"};
    const std::size_t kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];
    std::vector<std::string> words(6000);
    for (auto& word : words) {
        const unsigned syllables = 1 + random.below(4);
        for (unsigned s = 0; s < syllables; ++s) {
            word += kSyllables[random.below(std::uint32_t(kSyllableCount))];
        }
    }
    // Frequent words are short, as in real prose.
    std::stable_sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
        return a.size() < b.size();
    });
    const ZipfPicker picker(words.size());
    std::vector<std::uint8_t> out;
    out.reserve(size + 128);
    std::size_t lineStart = 0;
    bool sentenceStart = true;
    while (out.size() < size) {
        const std::string& word = words[picker.pick(random)];
        const std::size_t before = out.size();
        out.insert(out.end(), word.begin(), word.end());
        if (sentenceStart) {
            out[before] = std::uint8_t(out[before] - 'a' + 'A');
            sentenceStart = false;
        }
        const unsigned roll = random.below(100);
        if (roll < 6) {
            out.push_back('.');
            sentenceStart = true;
        } else if (roll < 10) {
            out.push_back(',');
        } else if (roll < 11) {
            const std::string number = std::to_string(random.below(2000));
            out.push_back(' ');
            out.insert(out.end(), number.begin(), number.end());
        }
        if (out.size() - lineStart > 64 + random.below(14)) {
            out.push_back('\n');
            lineStart = out.size();
            if (random.below(12) == 0) {
                out.push_back('\n');
                lineStart = out.size();
            }
        } else {
            out.push_back(' ');
        }
    }
    out.resize(size);
    return out;
}

// Segments of 4-64 KiB, each one of: fixed-size records with counters, small
// numbers and padded names; machine-code-like bytes from a skewed opcode set
// with small immediates; already compressed (random) bytes, about a tenth.
inline std::vector<std::uint8_t> MakeBinary(std::size_t size, std::uint64_t seed) {
    SampleRandom random(seed);
    const ZipfPicker opcodePicker(180);
    std::vector<std::uint8_t> opcodes(180);
    for (auto& op : opcodes) {
        op = std::uint8_t(random.next());
    }
    std::vector<std::uint8_t> out;
    out.reserve(size + 65536);
    std::uint32_t recordId = 1000;
    while (out.size() < size) {
        const std::size_t segment = 4096 + random.below(61440);
        const std::size_t end = out.size() + segment;
        const unsigned kind = random.below(10);
        if (kind == 0) {
            while (out.size() < end) {
                out.push_back(std::uint8_t(random.next() >> 56));
            }
        } else if (kind < 5) {
            while (out.size() < end) {
                ++recordId;
                const std::uint32_t fields[4] = {recordId, random.below(16), random.below(1000),
                                                 recordId * 3 + random.below(4)};
                for (std::uint32_t f : fields) {
                    for (int b = 0; b < 4; ++b) {
                        out.push_back(std::uint8_t(f >> (8 * b)));
                    }
                }
                char name[12] = {};
                const unsigned length = 3 + random.below(8);
                for (unsigned c = 0; c < length; ++c) {
                    name[c] = char('a' + random.below(6));
                }
                out.insert(out.end(), name, name + sizeof name);
            }
        } else {
            while (out.size() < end) {
                out.push_back(opcodes[opcodePicker.pick(random)]);
                const unsigned operand = random.below(8);
                if (operand < 3) {
                    out.push_back(std::uint8_t(random.below(16)));
                } else if (operand == 3) {
                    const std::uint32_t imm = random.below(4096);
                    out.push_back(std::uint8_t(imm));
                    out.push_back(std::uint8_t(imm >> 8));
                    out.push_back(0);
                    out.push_back(0);
                }
            }
        }
    }
    out.resize(size);
    return out;
}

} // namespace mzb::test
