#include "zip/codec/deflate/Deflate.h"

#include "zip/codec/deflate/DeflateBitWriter.h"
#include "zip/codec/deflate/DeflateTrees.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace mzb {

namespace {

// ---------------------------------------------------------------------------
// Window geometry
//
// The window holds two halves of 32 KiB. Matches reach back at most
// kMaxDistance, which leaves room for a whole lookahead beyond the history, so
// the upper half slides down only once the current position passes
// kWindowSize + kMaxDistance. Positions are 16-bit window offsets; 0 doubles
// as the end of a hash chain, so position 0 is never a match candidate.
// ---------------------------------------------------------------------------
constexpr unsigned kWindowSize = 32768;
constexpr unsigned kWindowMask = kWindowSize - 1;
constexpr unsigned kWindowBytes = 2 * kWindowSize;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 258;
constexpr unsigned kMinLookahead = kMaxMatch + kMinMatch + 1;
constexpr unsigned kMaxDistance = kWindowSize - kMinLookahead;
constexpr unsigned kSlideAt = kWindowSize + kMaxDistance;
// Match comparison loads 8 bytes at a time and may look up to 7 bytes past the
// last byte it counts.
constexpr unsigned kWindowPadding = 8;

constexpr unsigned kHashBits = 15;
constexpr unsigned kHashSize = 1u << kHashBits;
constexpr unsigned kHashMask = kHashSize - 1;
constexpr unsigned kHashShift = 5;

// A 3-byte match this far back costs about as much as three literals.
constexpr unsigned kTooFar = 4096;

// Blocks end after this many records (literals and matches). Shorter blocks
// fit their codes better to data whose statistics change, longer ones spread
// the cost of the code description; 16 383 is where mixed binaries and prose
// both come out smallest.
constexpr unsigned kRecordCapacity = 16384;
constexpr unsigned kBlockFullRecords = kRecordCapacity - 1;
constexpr unsigned kEstimateInterval = 4096;
constexpr unsigned kMaxStoredBlock = 65535;
// Below this much input a dynamic block's own code description (38 bytes at
// the least in practice) leaves nothing to gain over the fixed codes: on a
// tree of files of up to 200 bytes it won by a few bytes in one block of a
// hundred, while building its trees cost more than the rest of the block.
constexpr std::uint64_t kMinDynamicInput = 128;

enum class Matcher : std::uint8_t { Fast, Lazy };

struct LevelConfig {
    std::uint16_t good;  // at this previous match length the chain search is cut to a quarter
    std::uint16_t lazy;  // lazy: longest previous match still worth a search; fast: longest match
                         // whose strings are all hashed
    std::uint16_t nice;  // a match this long ends the search
    std::uint16_t chain; // chain links followed at most
    Matcher matcher;
    bool estimateBlockEnd; // end a block early when it compresses poorly
    std::uint16_t flagBits;
};

constexpr std::array<LevelConfig, kMaxDeflateLevel + 1> kLevels = {{
    {0, 0, 0, 0, Matcher::Fast, false, 0}, // level 0: the writer stores; never used here
    {4, 4, 8, 4, Matcher::Fast, false, kFlagFastCompression},
    {4, 5, 16, 8, Matcher::Fast, false, kFlagFastCompression},
    {4, 6, 32, 32, Matcher::Fast, true, 0},
    {4, 4, 16, 16, Matcher::Lazy, true, 0},
    {8, 16, 32, 32, Matcher::Lazy, true, 0},
    {8, 16, 128, 128, Matcher::Lazy, true, 0},
    {8, 32, 128, 256, Matcher::Lazy, true, 0},
    {32, 128, 258, 1024, Matcher::Lazy, true, kFlagMaximumCompression},
    {32, 258, 258, 4096, Matcher::Lazy, true, kFlagMaximumCompression},
}};

enum BlockType : std::uint32_t { kStoredBlock = 0, kFixedBlock = 1, kDynamicBlock = 2 };

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Number of equal leading bytes of a and b, at most `limit`.
inline unsigned commonPrefix(const std::uint8_t* a, const std::uint8_t* b, unsigned limit) {
    unsigned n = 0;
    while (n < limit) {
        const std::uint64_t diff = load64(a + n) ^ load64(b + n);
        if (diff != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                n += unsigned(std::countr_zero(diff)) >> 3;
            } else {
                n += unsigned(std::countl_zero(diff)) >> 3;
            }
            return std::min(n, limit);
        }
        n += 8;
    }
    return limit;
}

// A chain value after the window slid by half: positions in the lower half
// fall out of reach and become chain ends.
inline void slideDown(std::uint16_t* table, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        const unsigned v = table[i];
        table[i] = std::uint16_t(v >= kWindowSize ? v - kWindowSize : 0);
    }
}

// ---------------------------------------------------------------------------
// Following a hash chain
//
// A chain is a linked list through prev[], so each step waits for the load of
// the one before: a plain walk runs at the speed of memory latency, not of
// the comparisons. Every position therefore also keeps the links two and
// three steps on, prev2[p] = prev[prev[p]] and prev3[p] = prev2[prev[p]], and
// the walk follows every third candidate as one of three lists, with the
// loads of all three in flight together, while it still looks at the
// candidates one by one in chain order. So it finds the very matches of the
// plain walk.
//
// prev2[p] and prev3[p] are read only when the links before them lie within
// reach of the search; the slots they were copied from were then still their
// own (a slot is taken over only by the position 32 768 later), so they are
// the true links.
// ---------------------------------------------------------------------------

// What one chain search needs, gathered so that the search runs as a function
// of its own: inlined into the matcher loop, its few values were spilled to
// the stack and reloaded for every candidate.
struct TChainSearch {
    const std::uint8_t* window;
    const std::uint16_t* prev;
    const std::uint16_t* prev2;
    const std::uint16_t* prev3;
    unsigned scanPos;
    unsigned limitLength; // the lookahead, at most kMaxMatch
    unsigned nice;
    unsigned farthest; // candidates at or below this are out of reach
    unsigned chain;
};

// Looks at candidates from `candidate` on (the newest, which the caller has
// checked to be within reach) for a match longer than `best`, at most
// s.chain of them, and returns the best length; bestStart holds its start.
__attribute__((noinline)) unsigned searchChain(const TChainSearch& s, unsigned candidate,
                                               unsigned best, unsigned& bestStart) {
    const std::uint8_t* const window = s.window;
    const std::uint16_t* const prev2 = s.prev2;
    const std::uint8_t* const scan = window + s.scanPos;
    const unsigned limitLength = s.limitLength;
    const unsigned nice = s.nice;
    const unsigned farthest = s.farthest;
    unsigned chain = s.chain;
    // best >= 2, so both checks read only bytes below scan + limitLength.
    const std::uint8_t* endBase = window + best - 1;
    std::uint16_t scanEnd = load16(scan + best - 1);
    const std::uint16_t scanStart = load16(scan);
    // True when the candidate ends the search with a match of `nice`.
    const auto check = [&](unsigned at) {
        // One branch for both checks: which of them fails is anybody's guess.
        if (((load16(endBase + at) ^ scanEnd) | (load16(window + at) ^ scanStart)) != 0) {
            return false;
        }
        const unsigned len = 2 + commonPrefix(scan + 2, window + at + 2, limitLength - 2);
        if (len > best) {
            bestStart = at;
            best = len;
            if (len >= nice) {
                return true;
            }
            endBase = window + best - 1;
            scanEnd = load16(scan + best - 1);
        }
        return false;
    };
    const std::uint16_t* const prev3 = s.prev3;
    unsigned c0 = candidate;
    unsigned c1 = s.prev[c0 & kWindowMask];
    unsigned c2 = prev2[c0 & kWindowMask];
    for (;;) {
        const unsigned n0 = prev3[c0 & kWindowMask];
        const unsigned n1 = prev3[c1 & kWindowMask];
        const unsigned n2 = prev3[c2 & kWindowMask];
        if (check(c0) || c1 <= farthest || --chain == 0) {
            break;
        }
        if (check(c1) || c2 <= farthest || --chain == 0) {
            break;
        }
        if (check(c2) || n0 <= farthest || --chain == 0) {
            break;
        }
        c0 = n0;
        c1 = n1;
        c2 = n2;
    }
    return best;
}

} // namespace

// ---------------------------------------------------------------------------
// The engine: per-object tables and buffers, per-entry and per-block state.
// ---------------------------------------------------------------------------
class TDeflater::Engine {
public:
    Engine();
    TDeflateResult run(TDeflateSource& source, TDeflateSink& sink, int level,
                       const TDeflatePiece& piece);

private:
    void startEntry(TDeflateSource& source, TDeflateSink& sink, const LevelConfig& config,
                    const TDeflatePiece& piece);
    void finishPiece();
    void fillWindow();
    void keepLookahead() {
        while (lookahead_ < kMinLookahead && !endOfInput_) {
            fillWindow();
        }
    }
    unsigned insertString(unsigned pos);
    unsigned hashAt(unsigned pos) const;
    void clearHeads();
    void insertAhead(unsigned pos, unsigned lookahead);
    unsigned longestMatch(unsigned candidate, unsigned previousLength, unsigned pos,
                          unsigned lookahead, unsigned& matchStart);
    void runFastMatcher();
    void runLazyMatcher();

    // `pos` is the current position: the block so far ends there.
    bool tallyLiteral(std::uint8_t byte, unsigned pos);
    bool tallyMatch(unsigned distance, unsigned lengthMinus3, unsigned pos);
    bool blockFull(unsigned pos);
    unsigned distanceCode(unsigned distance) const {
        const unsigned d = distance - 1;
        return distanceCodeTable_[d < 256 ? d : 256 + (d >> 7)];
    }

    void flushBlock(bool last);
    void decideTextOrBinary();
    std::uint64_t buildDynamicTrees();
    std::uint64_t fixedCost() const;
    void sendStoredBlocks(const std::uint8_t* data, std::uint64_t size, bool last);
    void sendTrees();
    void sendRecords(const std::uint16_t* litCodes, const std::uint8_t* litLengths,
                     const std::uint16_t* distCodes, const std::uint8_t* distLengths);
    void resetBlock();
    void appendCodeLengthRuns(const std::uint8_t* lengths, int count);

    // Tables built once.
    std::array<std::uint8_t, 256> lengthCodeTable_{};   // match length - 3 -> length code
    std::array<std::uint8_t, 512> distanceCodeTable_{}; // see distanceCode()
    std::array<std::uint8_t, kFixedLiteralLengthSymbols> fixedLitLengths_{};
    std::array<std::uint16_t, kFixedLiteralLengthSymbols> fixedLitCodes_{};
    std::array<std::uint8_t, kDistanceCodes> fixedDistLengths_{};
    std::array<std::uint16_t, kDistanceCodes> fixedDistCodes_{};

    // Buffers allocated once.
    std::vector<std::uint8_t> window_;
    std::vector<std::uint16_t> head_;       // hash -> most recent position
    std::vector<std::uint16_t> prev_;       // position & kWindowMask -> older position, same hash
    std::vector<std::uint16_t> prev2_;      // position & kWindowMask -> two links on
    std::vector<std::uint16_t> prev3_;      // position & kWindowMask -> three links on
    std::vector<std::uint8_t> recordLit_;   // literal byte, or match length - 3
    std::vector<std::uint16_t> recordDist_; // 0 for a literal, else the match distance
    TChainSearch search_{};                 // the tables above; the rest is set per search

    // Per block.
    std::array<std::uint32_t, kLiteralLengthSymbols> litFreq_{};
    std::array<std::uint32_t, kDistanceCodes> distFreq_{};
    std::array<std::uint32_t, kBitLengthCodes> bitLenFreq_{};
    std::array<std::uint8_t, kLiteralLengthSymbols> litLengths_{};
    std::array<std::uint16_t, kLiteralLengthSymbols> litCodes_{};
    std::array<std::uint8_t, kDistanceCodes> distLengths_{};
    std::array<std::uint16_t, kDistanceCodes> distCodes_{};
    std::array<std::uint8_t, kBitLengthCodes> bitLenLengths_{};
    std::array<std::uint16_t, kBitLengthCodes> bitLenCodes_{};
    // The code-length sequence of both trees as code-length symbols with the
    // value of their extra bits.
    std::array<std::uint8_t, kLiteralLengthSymbols + kDistanceCodes> runSymbols_{};
    std::array<std::uint8_t, kLiteralLengthSymbols + kDistanceCodes> runExtra_{};
    int runCount_ = 0;
    int litCodeCount_ = 0;
    int distCodeCount_ = 0;
    int bitLenCodeCount_ = 0;
    unsigned records_ = 0;
    unsigned matches_ = 0;
    long blockStart_ = 0; // negative once the block's start has slid out of the window

    // Per entry.
    const LevelConfig* config_ = nullptr;
    TDeflateSource* source_ = nullptr;
    TDeflateBitWriter out_;
    HuffmanBuilder huffman_;
    TDeflateResult result_;
    unsigned strStart_ = 0;
    unsigned lookahead_ = 0;
    unsigned matchStart_ = 0;
    unsigned nextInsert_ = 0; // lazy matcher: the first position not hashed yet
    bool endOfInput_ = false;
    bool lastPiece_ = true;
    bool wholeEntry_ = true; // no history and last: the data may be stored as it is
    // The window's extent the last entry hashed, when it never slid; any
    // other value clears every head.
    unsigned hashedEnd_ = 0;
    bool slid_ = false;
};

TDeflater::Engine::Engine()
    : window_(kWindowBytes + kWindowPadding, 0), head_(kHashSize, 0), prev_(kWindowSize, 0),
      prev2_(kWindowSize, 0), prev3_(kWindowSize, 0), recordLit_(kRecordCapacity, 0),
      recordDist_(kRecordCapacity, 0) {
    search_.window = window_.data();
    search_.prev = prev_.data();
    search_.prev2 = prev2_.data();
    search_.prev3 = prev3_.data();
    for (int code = 0; code < kLengthCodes - 1; ++code) {
        const unsigned first = kLengthBase[code] - kMinMatch;
        for (unsigned i = 0; i < (1u << kLengthExtraBits[code]); ++i) {
            lengthCodeTable_[first + i] = std::uint8_t(code);
        }
    }
    // 258 has a code of its own although code 27 could also express it.
    lengthCodeTable_[kMaxMatch - kMinMatch] = kLengthCodes - 1;

    for (int code = 0; code < kDistanceCodes; ++code) {
        const unsigned first = kDistanceBase[code] - 1u;
        for (unsigned i = 0; i < (1u << kDistanceExtraBits[code]); ++i) {
            const unsigned d = first + i;
            distanceCodeTable_[d < 256 ? d : 256 + (d >> 7)] = std::uint8_t(code);
        }
    }

    for (int s = 0; s < kFixedLiteralLengthSymbols; ++s) {
        fixedLitLengths_[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    }
    buildCanonicalCodes(fixedLitLengths_.data(), kFixedLiteralLengthSymbols, fixedLitCodes_.data());
    fixedDistLengths_.fill(5);
    buildCanonicalCodes(fixedDistLengths_.data(), kDistanceCodes, fixedDistCodes_.data());
}

TDeflateResult TDeflater::Engine::run(TDeflateSource& source, TDeflateSink& sink, int level,
                                      const TDeflatePiece& piece) {
    if (level < kMinDeflateLevel || level > kMaxDeflateLevel) {
        throw std::invalid_argument("deflate level out of range");
    }
    if (piece.historySize > kDeflateHistory) {
        throw std::invalid_argument("deflate history longer than the window");
    }
    startEntry(source, sink, kLevels[std::size_t(level)], piece);
    switch (config_->matcher) {
    case Matcher::Fast:
        runFastMatcher();
        break;
    case Matcher::Lazy:
        runLazyMatcher();
        break;
    }
    out_.finish();
    hashedEnd_ = slid_ ? kWindowBytes : strStart_ + lookahead_;
    if (result_.method == 8) {
        result_.compressedSize = out_.bytesProduced();
    }
    source_ = nullptr;
    return result_;
}

void TDeflater::Engine::startEntry(TDeflateSource& source, TDeflateSink& sink,
                                   const LevelConfig& config, const TDeflatePiece& piece) {
    config_ = &config;
    lastPiece_ = piece.last;
    wholeEntry_ = piece.last && piece.historySize == 0;
    source_ = &source;
    out_.start(sink);
    result_ = TDeflateResult{};
    result_.flagBits = config.flagBits;
    clearHeads();
    slid_ = false;
    strStart_ = 0;
    lookahead_ = 0;
    matchStart_ = 0;
    endOfInput_ = false;
    blockStart_ = 0;
    // The history sits in the window as if it had just been compressed: the
    // position starts behind it and the block starts there too.
    const unsigned history = unsigned(piece.historySize);
    if (history != 0) {
        std::memcpy(window_.data(), piece.history, history);
    }
    strStart_ = history;
    resetBlock();

    const std::size_t first = source.Read(window_.data() + history, kWindowSize);
    lookahead_ = unsigned(first);
    endOfInput_ = first == 0;
    keepLookahead();
    // Position 0 stays out: it is the chains' end mark. The last two strings
    // of the history hash bytes of the piece, which are in the window now.
    for (unsigned pos = 1; pos + kMinMatch <= history + lookahead_ && pos < history; ++pos) {
        insertString(pos);
    }
    nextInsert_ = history;
}

// A piece that is not the last closes its block and adds an empty stored
// block, which brings the stream to a byte boundary without ending it.
void TDeflater::Engine::finishPiece() {
    if (lastPiece_) {
        flushBlock(true);
        return;
    }
    if (records_ != 0) {
        flushBlock(false);
    }
    out_.put(kStoredBlock << 1, 3);
    out_.alignToByte();
    out_.put(0xFFFFu << 16, 32);
}

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

// Invariant on entry: lookahead_ < kMinLookahead, so strStart_ + lookahead_
// leaves free space unless the position is past kSlideAt, where sliding makes
// at least half the window free.
void TDeflater::Engine::fillWindow() {
    unsigned space = kWindowBytes - lookahead_ - strStart_;
    if (strStart_ >= kSlideAt) {
        std::memcpy(window_.data(), window_.data() + kWindowSize, kWindowSize);
        matchStart_ = matchStart_ >= kWindowSize ? matchStart_ - kWindowSize : 0;
        strStart_ -= kWindowSize;
        nextInsert_ = nextInsert_ >= kWindowSize ? nextInsert_ - kWindowSize : 0;
        blockStart_ -= long(kWindowSize);
        slid_ = true;
        slideDown(head_.data(), kHashSize);
        slideDown(prev_.data(), kWindowSize);
        slideDown(prev2_.data(), kWindowSize);
        slideDown(prev3_.data(), kWindowSize);
        space += kWindowSize;
    }
    assert(space > 0);
    const std::size_t got = source_->Read(window_.data() + strStart_ + lookahead_, space);
    if (got == 0) {
        endOfInput_ = true;
    }
    lookahead_ += unsigned(got);
}

// ---------------------------------------------------------------------------
// Matching
// ---------------------------------------------------------------------------

// Needs kMinMatch bytes of lookahead at `pos`. Returns the previous head of
// the chain, the newest candidate for a match (0: none).
inline unsigned TDeflater::Engine::hashAt(unsigned pos) const {
    const std::uint8_t* p = window_.data() + pos;
    return ((unsigned(p[0]) << (2 * kHashShift)) ^ (unsigned(p[1]) << kHashShift) ^ p[2]) &
           kHashMask;
}

// Every entry starts with empty chains. A small one hashed few strings, and
// the window still holds them: clearing just their heads costs a step per
// byte where clearing all costs 64 KiB, which for a tree of tiny files is
// most of the compression.
void TDeflater::Engine::clearHeads() {
    constexpr unsigned kClearOneByOne = 4096;
    if (hashedEnd_ <= kClearOneByOne) {
        for (unsigned pos = 0; pos < hashedEnd_; ++pos) {
            head_[hashAt(pos)] = 0;
        }
    } else {
        std::fill(head_.begin(), head_.end(), std::uint16_t{0});
    }
    hashedEnd_ = kWindowBytes; // until this entry ends well
}

inline unsigned TDeflater::Engine::insertString(unsigned pos) {
    const unsigned hash = hashAt(pos);
    const unsigned candidate = head_[hash];
    prev_[pos & kWindowMask] = std::uint16_t(candidate);
    // Meaningless when the chain was empty (0), and then never followed.
    prev2_[pos & kWindowMask] = prev_[candidate & kWindowMask];
    prev3_[pos & kWindowMask] = prev2_[candidate & kWindowMask];
    head_[hash] = std::uint16_t(pos);
    return candidate;
}

// The lazy matcher hashes every string with three bytes of input, whatever
// the parse, so it hashes them in batches ahead of the current position: the
// table loads of a batch overlap instead of each waiting for the search
// before it. A position takes over the link slot of the position 32 768
// before it, which lies out of reach of every search from kMinLookahead
// positions before it on, so a batch may run that far ahead.
constexpr unsigned kInsertAhead = 256;
static_assert(kInsertAhead <= kMinLookahead);

void TDeflater::Engine::insertAhead(unsigned pos, unsigned lookahead) {
    const unsigned last = std::min(pos + kInsertAhead, pos + lookahead - kMinMatch);
    for (; nextInsert_ <= last; ++nextInsert_) {
        insertString(nextInsert_);
    }
}

// Follows the chain from `candidate` for a match longer than
// `previousLength`, never longer than the lookahead. Returns the best length
// found (previousLength when none beats it); matchStart_ holds its start when
// it is longer.
inline unsigned TDeflater::Engine::longestMatch(unsigned candidate, unsigned previousLength,
                                                unsigned pos, unsigned lookahead,
                                                unsigned& matchStart) {
    const unsigned limitLength = std::min(lookahead, kMaxMatch);
    if (previousLength >= limitLength) {
        return previousLength;
    }
    TChainSearch& search = search_;
    search.scanPos = pos;
    search.limitLength = limitLength;
    search.nice = std::min<unsigned>(config_->nice, limitLength);
    search.farthest = pos > kMaxDistance ? pos - kMaxDistance : 0;
    search.chain = previousLength >= config_->good ? config_->chain >> 2 : config_->chain;
    return searchChain(search, candidate, previousLength, matchStart);
}

// Levels 1-3: take the longest match at each position; only short matches
// have their inner strings hashed.
void TDeflater::Engine::runFastMatcher() {
    while (lookahead_ > 0) {
        unsigned candidate = 0;
        if (lookahead_ >= kMinMatch) {
            candidate = insertString(strStart_);
        }
        unsigned matchLength = 0;
        if (candidate != 0 && strStart_ - candidate <= kMaxDistance) {
            matchLength =
                longestMatch(candidate, kMinMatch - 1, strStart_, lookahead_, matchStart_);
        }
        bool full;
        if (matchLength >= kMinMatch) {
            full = tallyMatch(strStart_ - matchStart_, matchLength - kMinMatch, strStart_);
            lookahead_ -= matchLength;
            if (matchLength <= config_->lazy && lookahead_ >= kMinMatch) {
                for (unsigned i = 1; i < matchLength; ++i) {
                    insertString(strStart_ + i);
                }
            }
            strStart_ += matchLength;
        } else {
            full = tallyLiteral(window_[strStart_], strStart_);
            --lookahead_;
            ++strStart_;
        }
        if (full) {
            flushBlock(false);
        }
        keepLookahead();
    }
    finishPiece();
}

// Levels 4-9: a match is only taken when the match at the next position is
// not longer; otherwise the current byte goes out as a literal.
void TDeflater::Engine::runLazyMatcher() {
    // The parse keeps its state in locals: a store into the record buffers
    // may alias any member, which would then be read again after every
    // record. The members are brought up to date around the calls that read
    // them (flushBlock, keepLookahead) and at the end.
    const std::uint8_t* const window = window_.data();
    const std::uint16_t* const prev = prev_.data();
    const unsigned lazy = config_->lazy;
    unsigned pos = strStart_;
    unsigned lookahead = lookahead_;
    unsigned matchStart = matchStart_;
    unsigned matchLength = kMinMatch - 1;
    bool literalPending = false;
    const auto store = [&] {
        strStart_ = pos;
        lookahead_ = lookahead;
        matchStart_ = matchStart;
    };
    const auto load = [&] {
        pos = strStart_;
        lookahead = lookahead_;
        matchStart = matchStart_;
    };
    while (lookahead > 0) {
        unsigned candidate = 0;
        if (lookahead >= kMinMatch) {
            if (nextInsert_ <= pos) {
                insertAhead(pos, lookahead);
            }
            candidate = prev[pos & kWindowMask];
        }
        const unsigned previousLength = matchLength;
        const unsigned previousStart = matchStart;
        matchLength = kMinMatch - 1;
        if (candidate != 0 && previousLength < lazy && pos - candidate <= kMaxDistance) {
            matchLength = longestMatch(candidate, previousLength, pos, lookahead, matchStart);
            if (matchLength == kMinMatch && pos - matchStart > kTooFar) {
                matchLength = kMinMatch - 1;
            }
        }
        if (previousLength >= kMinMatch && matchLength <= previousLength) {
            // The previous match starts at pos - 1; the strings it covers
            // are hashed with the batches ahead.
            const bool full = tallyMatch(pos - 1 - previousStart, previousLength - kMinMatch, pos);
            lookahead -= previousLength - 1;
            pos += previousLength - 1;
            literalPending = false;
            matchLength = kMinMatch - 1;
            if (full) {
                store();
                flushBlock(false);
            }
        } else if (literalPending) {
            if (tallyLiteral(window[pos - 1], pos)) {
                store();
                flushBlock(false);
            }
            ++pos;
            --lookahead;
        } else {
            literalPending = true;
            ++pos;
            --lookahead;
        }
        if (lookahead < kMinLookahead && !endOfInput_) {
            store();
            keepLookahead();
            load();
        }
    }
    store();
    if (literalPending) {
        tallyLiteral(window[pos - 1], pos);
    }
    finishPiece();
}

// ---------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------

inline bool TDeflater::Engine::tallyLiteral(std::uint8_t byte, unsigned pos) {
    recordLit_[records_] = byte;
    recordDist_[records_] = 0;
    ++records_;
    ++litFreq_[byte];
    return blockFull(pos);
}

inline bool TDeflater::Engine::tallyMatch(unsigned distance, unsigned lengthMinus3, unsigned pos) {
    assert(distance >= 1 && distance <= kMaxDistance && lengthMinus3 <= kMaxMatch - kMinMatch);
    recordLit_[records_] = std::uint8_t(lengthMinus3);
    recordDist_[records_] = std::uint16_t(distance);
    ++records_;
    ++matches_;
    ++litFreq_[kEndOfBlock + 1 + lengthCodeTable_[lengthMinus3]];
    ++distFreq_[distanceCode(distance)];
    return blockFull(pos);
}

// A block that is mostly literals and already shrinks the input to less than
// half is unlikely to get better by growing: ending it lets the next block fit
// its codes to what follows.
inline bool TDeflater::Engine::blockFull(unsigned pos) {
    if (config_->estimateBlockEnd && records_ % kEstimateInterval == 0) {
        std::uint64_t bits = std::uint64_t{records_} * 8;
        for (int code = 0; code < kDistanceCodes; ++code) {
            bits += std::uint64_t{distFreq_[code]} * (5u + kDistanceExtraBits[code]);
        }
        const long inputLength = long(pos) - blockStart_;
        if (matches_ < records_ / 2 && long(bits / 8) < inputLength / 2) {
            return true;
        }
    }
    return records_ == kBlockFullRecords;
}

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

void TDeflater::Engine::resetBlock() {
    litFreq_.fill(0);
    distFreq_.fill(0);
    litFreq_[kEndOfBlock] = 1;
    records_ = 0;
    matches_ = 0;
    blockStart_ = long(strStart_);
}

void TDeflater::Engine::decideTextOrBinary() {
    std::uint64_t binary = 0;
    std::uint64_t text = 0;
    for (int b = 0; b < 256; ++b) {
        if (b <= 6 || b >= 128) {
            binary += litFreq_[b];
        } else {
            text += litFreq_[b];
        }
    }
    result_.internalAttributes = text / 4 >= binary ? 1 : 0;
}

void TDeflater::Engine::flushBlock(bool last) {
    if (result_.internalAttributes == 2) {
        decideTextOrBinary();
    }
    const bool dataInWindow = blockStart_ >= 0;
    const std::uint64_t inputLength = std::uint64_t(long(strStart_) - blockStart_);
    const std::uint64_t fixedBytes = (fixedCost() + 3 + 7) / 8;
    const std::uint64_t chosen = inputLength < kMinDynamicInput
                                     ? fixedBytes
                                     : std::min((buildDynamicTrees() + 3 + 7) / 8, fixedBytes);

    const std::uint8_t* data = dataInWindow ? window_.data() + blockStart_ : nullptr;

    if (last && wholeEntry_ && out_.bytesProduced() == 0 && dataInWindow && inputLength <= chosen) {
        // The whole entry is this one block and deflating would not shrink
        // it: the entry becomes an ordinary stored one.
        out_.putBytes(data, inputLength);
        result_.method = 0;
        result_.compressedSize = inputLength;
    } else if (dataInWindow && inputLength + 4 <= chosen) {
        sendStoredBlocks(data, inputLength, last);
    } else if (fixedBytes == chosen) {
        out_.put((kFixedBlock << 1) | (last ? 1u : 0u), 3);
        sendRecords(fixedLitCodes_.data(), fixedLitLengths_.data(), fixedDistCodes_.data(),
                    fixedDistLengths_.data());
    } else {
        out_.put((kDynamicBlock << 1) | (last ? 1u : 0u), 3);
        sendTrees();
        buildCanonicalCodes(litLengths_.data(), kLiteralLengthSymbols, litCodes_.data());
        buildCanonicalCodes(distLengths_.data(), kDistanceCodes, distCodes_.data());
        sendRecords(litCodes_.data(), litLengths_.data(), distCodes_.data(), distLengths_.data());
    }
    resetBlock();
}

// A stored block holds at most 65 535 bytes; a longer run (possible when a
// block covers the whole window) is split.
void TDeflater::Engine::sendStoredBlocks(const std::uint8_t* data, std::uint64_t size, bool last) {
    do {
        const unsigned piece = unsigned(std::min<std::uint64_t>(size, kMaxStoredBlock));
        size -= piece;
        out_.put((kStoredBlock << 1) | (last && size == 0 ? 1u : 0u), 3);
        out_.alignToByte();
        out_.put(piece | ((~piece & 0xFFFFu) << 16), 32);
        out_.putBytes(data, piece);
        data += piece;
    } while (size != 0);
}

// Builds the literal/length, distance and code-length trees of the block and
// returns the bits that a dynamic block would take, header excepted.
std::uint64_t TDeflater::Engine::buildDynamicTrees() {
    huffman_.buildLengths(litFreq_.data(), kLiteralLengthSymbols, kMaxCodeBits, litLengths_.data());
    huffman_.buildLengths(distFreq_.data(), kDistanceCodes, kMaxCodeBits, distLengths_.data());
    litCodeCount_ = kLiteralLengthSymbols;
    while (litCodeCount_ > kEndOfBlock + 1 && litLengths_[litCodeCount_ - 1] == 0) {
        --litCodeCount_;
    }
    distCodeCount_ = kDistanceCodes;
    while (distCodeCount_ > 1 && distLengths_[distCodeCount_ - 1] == 0) {
        --distCodeCount_;
    }

    runCount_ = 0;
    bitLenFreq_.fill(0);
    appendCodeLengthRuns(litLengths_.data(), litCodeCount_);
    appendCodeLengthRuns(distLengths_.data(), distCodeCount_);
    huffman_.buildLengths(bitLenFreq_.data(), kBitLengthCodes, kMaxBitLengthBits,
                          bitLenLengths_.data());
    bitLenCodeCount_ = kBitLengthCodes;
    while (bitLenCodeCount_ > 4 && bitLenLengths_[kBitLengthOrder[bitLenCodeCount_ - 1]] == 0) {
        --bitLenCodeCount_;
    }

    std::uint64_t bits = 5 + 5 + 4 + 3 * std::uint64_t(bitLenCodeCount_);
    for (int s = 0; s < kBitLengthCodes; ++s) {
        bits += std::uint64_t{bitLenFreq_[s]} * (bitLenLengths_[s] + kBitLengthExtraBits[s]);
    }
    for (int s = 0; s < kLiteralLengthSymbols; ++s) {
        const unsigned extra = s > kEndOfBlock ? kLengthExtraBits[s - kEndOfBlock - 1] : 0;
        bits += std::uint64_t{litFreq_[s]} * (litLengths_[s] + extra);
    }
    for (int s = 0; s < kDistanceCodes; ++s) {
        bits += std::uint64_t{distFreq_[s]} * (distLengths_[s] + kDistanceExtraBits[s]);
    }
    return bits;
}

std::uint64_t TDeflater::Engine::fixedCost() const {
    std::uint64_t bits = 0;
    for (int s = 0; s < kLiteralLengthSymbols; ++s) {
        const unsigned extra = s > kEndOfBlock ? kLengthExtraBits[s - kEndOfBlock - 1] : 0;
        bits += std::uint64_t{litFreq_[s]} * (fixedLitLengths_[s] + extra);
    }
    for (int s = 0; s < kDistanceCodes; ++s) {
        bits += std::uint64_t{distFreq_[s]} * (5u + kDistanceExtraBits[s]);
    }
    return bits;
}

// Run-length codes one list of code lengths: zero runs with symbols 17 and
// 18, repeats of the previous non-zero length with 16. Each list is coded on
// its own, so no run crosses from one tree to the other.
void TDeflater::Engine::appendCodeLengthRuns(const std::uint8_t* lengths, int count) {
    auto emit = [&](unsigned symbol, unsigned extra) {
        runSymbols_[runCount_] = std::uint8_t(symbol);
        runExtra_[runCount_] = std::uint8_t(extra);
        ++runCount_;
        ++bitLenFreq_[symbol];
    };
    int i = 0;
    while (i < count) {
        const unsigned len = lengths[i];
        int run = 1;
        while (i + run < count && lengths[i + run] == len) {
            ++run;
        }
        i += run;
        if (len == 0) {
            while (run >= 11) {
                const int piece = std::min(run, 138);
                emit(18, unsigned(piece - 11));
                run -= piece;
            }
            if (run >= 3) {
                emit(17, unsigned(run - 3));
                run = 0;
            }
        } else {
            emit(len, 0);
            --run;
            while (run >= 3) {
                const int piece = std::min(run, 6);
                emit(16, unsigned(piece - 3));
                run -= piece;
            }
        }
        for (; run > 0; --run) {
            emit(len, 0);
        }
    }
}

void TDeflater::Engine::sendTrees() {
    buildCanonicalCodes(bitLenLengths_.data(), kBitLengthCodes, bitLenCodes_.data());
    out_.put(unsigned(litCodeCount_ - (kEndOfBlock + 1)), 5);
    out_.put(unsigned(distCodeCount_ - 1), 5);
    out_.put(unsigned(bitLenCodeCount_ - 4), 4);
    for (int i = 0; i < bitLenCodeCount_; ++i) {
        out_.put(bitLenLengths_[kBitLengthOrder[i]], 3);
    }
    for (int i = 0; i < runCount_; ++i) {
        const unsigned symbol = runSymbols_[i];
        out_.put(bitLenCodes_[symbol] | (unsigned(runExtra_[i]) << bitLenLengths_[symbol]),
                 bitLenLengths_[symbol] + kBitLengthExtraBits[symbol]);
    }
}

// The hot loop of output: one or two puts per record, each at most 28 bits.
void TDeflater::Engine::sendRecords(const std::uint16_t* litCodes, const std::uint8_t* litLengths,
                                    const std::uint16_t* distCodes,
                                    const std::uint8_t* distLengths) {
    const std::uint8_t* lit = recordLit_.data();
    const std::uint16_t* dist = recordDist_.data();
    for (unsigned i = 0; i < records_; ++i) {
        const unsigned value = lit[i];
        const unsigned distance = dist[i];
        if (distance == 0) {
            out_.put(litCodes[value], litLengths[value]);
            continue;
        }
        const unsigned lengthCode = lengthCodeTable_[value];
        const unsigned lengthSymbol = kEndOfBlock + 1 + lengthCode;
        const unsigned lengthExtra = value + kMinMatch - kLengthBase[lengthCode];
        out_.put(litCodes[lengthSymbol] | (lengthExtra << litLengths[lengthSymbol]),
                 litLengths[lengthSymbol] + kLengthExtraBits[lengthCode]);
        const unsigned distCode = distanceCode(distance);
        const unsigned distExtra = distance - kDistanceBase[distCode];
        out_.put(distCodes[distCode] | (distExtra << distLengths[distCode]),
                 distLengths[distCode] + kDistanceExtraBits[distCode]);
    }
    out_.put(litCodes[kEndOfBlock], litLengths[kEndOfBlock]);
}

// ---------------------------------------------------------------------------

TDeflater::TDeflater() : engine_(std::make_unique<Engine>()) {}
TDeflater::~TDeflater() = default;

TDeflateResult TDeflater::Deflate(TDeflateSource& source, TDeflateSink& sink, int level) {
    return engine_->run(source, sink, level, TDeflatePiece{});
}

TDeflateResult TDeflater::Deflate(TDeflateSource& source, TDeflateSink& sink, int level,
                                  const TDeflatePiece& piece) {
    return engine_->run(source, sink, level, piece);
}

} // namespace mzb
