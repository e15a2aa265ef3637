#include "zip/codec/deflate/DeflateTrees.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace mzb {

// Two-queue Huffman construction: leaves sorted by frequency, inner nodes
// arise in non-decreasing weight order, so the two smallest are always at the
// heads of the two queues. On equal weight a leaf goes first, which keeps the
// tree shallow. Depths deeper than `maxBits` are then folded back by moving
// leaves until the Kraft sum is exactly one again, and the lengths are handed
// out to the symbols in frequency order, longest to the rarest.
void HuffmanBuilder::buildLengths(const std::uint32_t* freq, int count, int maxBits,
                                  std::uint8_t* lengths) {
    assert(count >= 2 && count <= kMaxSymbols && maxBits <= kMaxCodeBits);
    // Branch-free: in a small block whether a symbol occurs is a coin toss,
    // and mispredictions here cost more than the rest of the tree.
    int leafCount = 0;
    std::uint32_t maxFreq = 0;
    for (int s = 0; s < count; ++s) {
        lengths[s] = 0;
        leaves_[leafCount] = (std::uint64_t{freq[s]} << 16) | std::uint64_t(s);
        leafCount += freq[s] != 0 ? 1 : 0;
        maxFreq = std::max(maxFreq, freq[s]);
    }
    if (leafCount < 2) {
        const int used = leafCount == 1 ? int(leaves_[0] & 0xFFFF) : 1;
        lengths[used] = 1;
        lengths[used == 0 ? 1 : 0] = 1;
        return;
    }
    if (maxFreq < kCountingLimit) {
        sortLeavesByCounting(leafCount, maxFreq);
    } else {
        std::sort(leaves_.begin(), leaves_.begin() + leafCount);
    }

    auto weight = [&](int node) -> std::uint32_t {
        return node < leafCount ? std::uint32_t(leaves_[node] >> 16)
                                : nodeWeight_[node - leafCount];
    };
    int nextLeaf = 0;
    int nextInner = 0;
    int made = 0;
    auto takeSmallest = [&]() -> int {
        if (nextLeaf < leafCount &&
            (nextInner >= made || weight(nextLeaf) <= nodeWeight_[nextInner])) {
            return nextLeaf++;
        }
        return leafCount + nextInner++;
    };
    while (made < leafCount - 1) {
        const int a = takeSmallest();
        const int b = takeSmallest();
        nodeWeight_[made] = weight(a) + weight(b);
        parent_[a] = parent_[b] = std::uint16_t(leafCount + made);
        ++made;
    }

    // A parent always has a larger index than its children.
    const int root = leafCount + made - 1;
    depth_[root] = 0;
    for (int node = root - 1; node >= 0; --node) {
        depth_[node] = std::uint16_t(depth_[parent_[node]] + 1);
    }

    std::array<int, kMaxCodeBits + 1> lengthCount{};
    for (int leaf = 0; leaf < leafCount; ++leaf) {
        lengthCount[std::min<int>(depth_[leaf], maxBits)]++;
    }
    long excess = -(1L << maxBits);
    for (int bits = 1; bits <= maxBits; ++bits) {
        excess += long(lengthCount[bits]) << (maxBits - bits);
    }
    // Each step makes a leaf above the limit the sibling of a shallower leaf
    // pushed one level down, which lowers the Kraft sum by one unit of the
    // deepest level.
    while (excess > 0) {
        int bits = maxBits - 1;
        while (lengthCount[bits] == 0) {
            --bits;
        }
        lengthCount[bits]--;
        lengthCount[bits + 1] += 2;
        lengthCount[maxBits]--;
        --excess;
    }

    int leaf = 0;
    for (int bits = maxBits; bits >= 1; --bits) {
        for (int k = 0; k < lengthCount[bits]; ++k) {
            lengths[leaves_[leaf++] & 0xFFFF] = std::uint8_t(bits);
        }
    }
}

// The leaves were gathered in symbol order, so a stable sort by frequency
// alone orders them by frequency, then symbol, as sorting the whole keys
// would.
void HuffmanBuilder::sortLeavesByCounting(int leafCount, std::uint32_t maxFreq) {
    std::fill_n(firstOfFreq_.begin(), maxFreq + 1, std::uint16_t{0});
    for (int leaf = 0; leaf < leafCount; ++leaf) {
        ++firstOfFreq_[leaves_[leaf] >> 16];
    }
    std::uint16_t next = 0;
    for (std::uint32_t f = 0; f <= maxFreq; ++f) {
        next = std::uint16_t(next + std::exchange(firstOfFreq_[f], next));
    }
    for (int leaf = 0; leaf < leafCount; ++leaf) {
        sorted_[firstOfFreq_[leaves_[leaf] >> 16]++] = leaves_[leaf];
    }
    std::copy_n(sorted_.begin(), leafCount, leaves_.begin());
}

void buildCanonicalCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes) {
    std::array<std::uint16_t, kMaxCodeBits + 2> next{};
    std::array<std::uint16_t, kMaxCodeBits + 1> lengthCount{};
    for (int s = 0; s < count; ++s) {
        lengthCount[lengths[s]]++;
    }
    lengthCount[0] = 0;
    unsigned code = 0;
    for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
        code = (code + lengthCount[bits - 1]) << 1;
        next[bits] = std::uint16_t(code);
    }
    for (int s = 0; s < count; ++s) {
        const int len = lengths[s];
        codes[s] = 0;
        if (len == 0) {
            continue;
        }
        unsigned value = next[len]++;
        unsigned reversed = 0;
        for (int i = 0; i < len; ++i) {
            reversed = (reversed << 1) | (value & 1);
            value >>= 1;
        }
        codes[s] = std::uint16_t(reversed);
    }
}

} // namespace mzb
