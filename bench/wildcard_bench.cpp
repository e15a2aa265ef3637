// Time of one match of a name as long as an archive can hold (65 535
// characters) against patterns that are hard for a backtracking matcher:
// several stars, qualified ones among them, that can each absorb most of
// the name.
#include "zip/base/Wildcard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kNameLength = 65535;
constexpr int kRounds = 200;

std::string RandomName(const std::string& alphabet, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::string name(kNameLength, ' ');
    for (char& c : name) {
        c = alphabet[gen() % alphabet.size()];
    }
    return name;
}

struct Case {
    const char* label;
    std::string pattern;
    std::string name;
};

// Best time of one match, in microseconds; `matched` is the answer.
double BestMicroseconds(const Case& c, bool& matched) {
    double best = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        matched = mzb::MatchesMask(c.pattern, c.name);
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main() {
    const std::string as(kNameLength, 'a');
    const std::string mixed = RandomName("abcdefghi", 1);
    const std::string withX = RandomName("abcdefghix", 2);
    std::string blocks;
    while (blocks.size() < kNameLength) {
        blocks += "aaabbbcccdddeeefffggghhhiii";
    }
    blocks.resize(kNameLength);

    const std::vector<Case> cases = {
        {"4 qualified stars, runs", "*<a-c>*<d-f>*<g-i>*<!x>*", blocks},
        {"4 qualified stars, mixed", "*<a-c>*<d-f>*<g-i>*<!x>*", mixed},
        {"4 qualified stars, x", "*<a-c>*<d-f>*<g-i>*<!x>*", withX},
        {"4 qualified, literals", "*<a-i>a*<a-i>b*<a-i>c*<!x>z", mixed},
        {"4 qualified, a's", "*<a-b>a*<a>a*<!c>a*<a>ab", as},
        {"4 negated, a's", "*<!x>a*<!x>a*<!x>a*<!x>b", as},
        {"4 plain stars, a's", "*a*a*a*a*b", as},
        {"200 plain stars, a's",
         [] {
             std::string p;
             for (int i = 0; i < 200; ++i) {
                 p += "*a";
             }
             return p + "*b";
         }(),
         as},
    };

    std::printf("wildcard match of a %zu-character name (best of %d)\n", kNameLength, kRounds);
    for (const Case& c : cases) {
        bool matched = false;
        const double us = BestMicroseconds(c, matched);
        std::printf("  %-28s %10.1f us  %s\n", c.label, us, matched ? "match" : "no match");
    }
    return 0;
}
