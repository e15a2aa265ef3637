#include "zip/Wildcard.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The matcher is defined by a backtracking scan: at a star it tries every
// text position in turn and runs the rest of the pattern from there. Written
// as recursion that costs exponential time on hostile names ("*a*a*a*...b"
// against a long run of a's), so the search below keeps the same decisions but
// remembers what has already failed:
//
// * Between two stars the pattern is a fixed-length segment (literals, `?`
//   and sets each take one character), so trying star k at text position pos
//   either fails inside the segment or enters star k+1 at pos + length. The
//   outcome of entering a star depends only on (star, text position); and
//   any match anywhere ends the whole search with a match. So every attempt
//   that returns is a failure worth remembering.
// * A plain star that failed from position t fails from every later
//   position too (it tries a superset of positions from t). One number per
//   star holds that, and once star k+1 has failed, star k need not try later
//   positions: they could only reach star k+1 further on.
// * A qualified star may only absorb members of its set, so its tries from t
//   run to the first rejected character r. A later entry inside [t, r] is a
//   subset, an earlier one is not; a bitmap of tried positions lets a scan
//   stop where an earlier scan of the same run began.
//
// Stars are entered strictly in pattern order, so the search stack is always
// stars 0..k and each star keeps its own loop state; no explicit stack and no
// recursion are needed.

namespace mzb {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

constexpr unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// One set member at pattern[i] (i in range, pattern[i] not '>'): a character
// or a range. False when a range has no last character.
struct Member {
    unsigned char lo = 0, hi = 0;
    std::size_t next = 0;
};

bool ReadMember(std::string_view p, std::size_t i, Member& m) {
    m.lo = m.hi = Fold(p[i]);
    if (i + 1 < p.size() && p[i + 1] == '-') {
        if (i + 2 >= p.size() || p[i + 2] == '>') {
            return false;
        }
        m.hi = Fold(p[i + 2]);
        m.next = i + 3;
    } else {
        m.next = i + 1;
    }
    return true;
}

// Position of the first member of the set opening at pattern[open].
std::size_t SetBody(std::string_view p, std::size_t open, bool& negated) {
    const std::size_t i = open + 1;
    negated = i < p.size() && (p[i] == '!' || p[i] == '^');
    return negated ? i + 1 : i;
}

// One text character against a set of the main scan. Members are tried in
// order and after a hit the rest is only skipped to its '>', so a malformed
// member behind the hit goes unnoticed, as the scan defines it.
MaskResult MatchSetChar(std::string_view p, std::size_t open, unsigned char ch, std::size_t& next) {
    bool negated = false;
    std::size_t i = SetBody(p, open, negated);
    if (i >= p.size() || p[i] == '>') {
        return MaskResult::Malformed;
    }
    for (;;) {
        if (i >= p.size()) {
            return MaskResult::Malformed;
        }
        if (p[i] == '>') {
            next = i + 1;
            return negated ? MaskResult::Match : MaskResult::SetMismatch;
        }
        Member m;
        if (!ReadMember(p, i, m)) {
            return MaskResult::Malformed;
        }
        if (m.lo <= ch && ch <= m.hi) {
            if (negated) {
                return MaskResult::SetMismatch;
            }
            const std::size_t close = p.find('>', m.next);
            if (close == std::string_view::npos) {
                return MaskResult::Malformed;
            }
            next = close + 1;
            return MaskResult::Match;
        }
        i = m.next;
    }
}

using CharSet = std::bitset<256>;

// The whole set opening at pattern[open] as a membership table (negation
// applied). False when it is empty, unclosed or holds a range without an end.
bool ReadSetTable(std::string_view p, std::size_t open, CharSet& set, std::size_t& next) {
    bool negated = false;
    std::size_t i = SetBody(p, open, negated);
    set.reset();
    if (i >= p.size() || p[i] == '>') {
        return false;
    }
    while (i < p.size() && p[i] != '>') {
        Member m;
        if (!ReadMember(p, i, m)) {
            return false;
        }
        for (unsigned c = m.lo; c <= m.hi; ++c) {
            set.set(c);
        }
        i = m.next;
    }
    if (i >= p.size()) {
        return false;
    }
    if (negated) {
        set.flip();
    }
    next = i + 1;
    return true;
}

// The characters a set of the main scan accepts (by folded value), with the
// scan's own reading: members are tried in order, so a hit counts even when a
// malformed member follows it, while a malformed member before any hit fails
// every character not yet decided.
CharSet ScanSetAccepts(std::string_view p, std::size_t open) {
    CharSet accepted;
    bool negated = false;
    std::size_t i = SetBody(p, open, negated);
    const bool closed = p.find('>', open + 1) != std::string_view::npos;
    if (!closed || i >= p.size() || p[i] == '>') {
        return accepted;
    }
    CharSet decided;
    while (i < p.size()) {
        if (p[i] == '>') {
            if (negated) {
                accepted |= ~decided;
            }
            break;
        }
        Member m;
        if (!ReadMember(p, i, m)) {
            break;
        }
        for (unsigned c = m.lo; c <= m.hi; ++c) {
            if (!decided[c]) {
                decided.set(c);
                accepted[c] = !negated;
            }
        }
        i = m.next;
    }
    return accepted;
}

// What one text byte means to a star in its loop, looked up once per byte.
enum : std::uint8_t {
    kCandidate = 1, // the element after the star accepts it: worth a scan
    kAbsorbed = 2,  // the star may absorb it and move on
};
using ByteKinds = std::array<std::uint8_t, 256>;

// A star as the pattern fixes it, plus its search state.
struct Star {
    std::size_t q = 0;       // first pattern element after the star and its `*`/`?` run
    std::size_t skipped = 0; // characters taken by the `?` of that run
    std::size_t segment = 0; // characters taken by the elements from q to the next star
    bool qualified = false;
    bool badQualifier = false; // its set is unusable: the star never matches
    CharSet absorbs;           // qualified star: the folded characters it may absorb

    // Offset of its ByteKinds in the matcher's table, made when it first loops.
    std::size_t kinds = kNone;
    // Plain star: every entry position at or after this one has failed.
    std::size_t failedFrom = kNone;
    // Qualified star: offset of its tried-positions bitmap in the pool.
    std::size_t tried = kNone;
    // Qualified star at the pattern's end: last position it may not absorb.
    std::size_t lastRejected = kNone;
    bool lastRejectedKnown = false;

    // The loop in progress while the star is on the search stack.
    bool looping = false;
    std::size_t start = 0, pos = 0;

    // Failure from one entry implies failure from every later entry.
    bool FailsMonotonically() const { return !qualified || badQualifier; }
};

// Ranges of a bitmap of text positions, 64 to a word.
class PositionBits {
public:
    explicit PositionBits(std::uint64_t* words) : words_(words) {}

    // First position in [from, to) whose bit equals `value`; kNone if none.
    std::size_t Find(std::size_t from, std::size_t to, bool value) const {
        while (from < to) {
            const std::uint64_t word = value ? words_[from / 64] : ~words_[from / 64];
            const std::uint64_t ahead = word >> (from % 64);
            if (ahead != 0) {
                const std::size_t hit = from + static_cast<std::size_t>(std::countr_zero(ahead));
                return hit < to ? hit : kNone;
            }
            from = (from / 64 + 1) * 64;
        }
        return kNone;
    }

    void Set(std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t bit = from % 64;
            const std::size_t n = std::min<std::size_t>(64 - bit, to - from);
            const std::uint64_t mask = n == 64 ? ~std::uint64_t(0) : ((std::uint64_t(1) << n) - 1);
            words_[from / 64] |= mask << bit;
            from += n;
        }
    }

private:
    std::uint64_t* words_;
};

class Matcher {
public:
    Matcher(std::string_view pattern, std::string_view text) : p_(pattern), t_(text) {}

    MaskResult Run() {
        const Reached first = Scan(0, 0);
        if (!first.atStar) {
            return first.result;
        }
        CompileStars();
        return Search(first.t);
    }

private:
    struct Reached {
        MaskResult result = MaskResult::Match;
        bool atStar = false;
        std::size_t t = 0;
    };

    // The main scan from pattern position p and text position t, up to the
    // end of the pattern, the first failure, or the next star.
    Reached Scan(std::size_t p, std::size_t t) const {
        for (;;) {
            if (p == p_.size()) {
                return {t == t_.size() ? MaskResult::Match : MaskResult::PatternEnded};
            }
            if (t == t_.size()) {
                const bool lastStar = p + 1 == p_.size() && p_[p] == '*';
                return {lastStar ? MaskResult::Match : MaskResult::TextEnded};
            }
            const char c = p_[p];
            const unsigned char ch = Fold(t_[t]);
            if (c == '*') {
                return {MaskResult::Match, true, t};
            }
            if (c == '?') {
                ++p;
            } else if (c == '<') {
                const MaskResult r = MatchSetChar(p_, p, ch, p);
                if (r != MaskResult::Match) {
                    return {r};
                }
            } else if (Fold(c) == ch) {
                ++p;
            } else {
                return {MaskResult::LiteralMismatch};
            }
            ++t;
        }
    }

    // Finds every star the main scan can meet, in pattern order, with the
    // length of the fixed segment behind each. Sets are stepped over whole:
    // a set always ends at the first '>' after its '<'.
    void CompileStars() {
        std::size_t i = 0;
        std::size_t elements = 0;
        while (i < p_.size()) {
            if (p_[i] == '<') {
                const std::size_t close = p_.find('>', i + 1);
                if (close == std::string_view::npos) {
                    return;
                }
                i = close + 1;
                ++elements;
                continue;
            }
            if (p_[i] != '*') {
                ++i;
                ++elements;
                continue;
            }
            if (!stars_.empty()) {
                stars_.back().segment = elements;
            }
            elements = 0;
            Star s;
            std::size_t j = i + 1;
            if (j < p_.size() && p_[j] == '<') {
                s.qualified = true;
                if (!ReadSetTable(p_, j, s.absorbs, j)) {
                    // Nothing behind a star that never matches is reachable.
                    s.badQualifier = true;
                    stars_.push_back(s);
                    return;
                }
            }
            while (j < p_.size() && (p_[j] == '*' || p_[j] == '?')) {
                s.skipped += p_[j] == '?';
                ++j;
            }
            s.q = j;
            stars_.push_back(s);
            i = j;
        }
    }

    // The loop's view of each text byte for a star whose pattern goes on
    // after it (p_[s.q] is a literal or a set, never `*` or `?`).
    void MakeKinds(Star& s) {
        CharSet candidate;
        if (p_[s.q] == '<') {
            candidate = ScanSetAccepts(p_, s.q);
        } else {
            candidate.set(Fold(p_[s.q]));
        }
        s.kinds = kinds_.size();
        ByteKinds& kinds = kinds_.emplace_back();
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned char folded = Fold(static_cast<char>(b));
            kinds[b] =
                static_cast<std::uint8_t>((candidate[folded] ? kCandidate : 0) |
                                          (!s.qualified || s.absorbs[folded] ? kAbsorbed : 0));
        }
    }

    const ByteKinds& KindsOf(const Star& s) const { return kinds_[s.kinds]; }
    PositionBits Tried(const Star& s) { return PositionBits(pool_.data() + s.tried); }

    enum class Entry { Matched, Failed, Looping };

    // The star step up to its loop over text positions.
    Entry Enter(Star& s, std::size_t t) {
        if (s.badQualifier || s.skipped > t_.size() - t) {
            return Entry::Failed;
        }
        t += s.skipped;
        if (s.q == p_.size()) {
            return !s.qualified || AbsorbsRest(s, t) ? Entry::Matched : Entry::Failed;
        }
        if (t == t_.size()) {
            return Entry::Failed;
        }
        if (s.kinds == kNone) {
            MakeKinds(s);
        }
        if (s.qualified && s.tried == kNone) {
            s.tried = pool_.size();
            pool_.resize(pool_.size() + t_.size() / 64 + 1);
        }
        s.start = s.pos = t;
        s.looping = true;
        return Entry::Looping;
    }

    bool AbsorbsRest(Star& s, std::size_t t) {
        if (!s.lastRejectedKnown) {
            for (std::size_t i = t_.size(); i-- > 0;) {
                if (!s.absorbs[Fold(t_[i])]) {
                    s.lastRejected = i;
                    break;
                }
            }
            s.lastRejectedKnown = true;
        }
        return s.lastRejected == kNone || t > s.lastRejected;
    }

    // The star absorbs the character at its position and moves on; false
    // when it may not or the text is used up.
    bool Advance(Star& s) const {
        if (!(KindsOf(s)[static_cast<unsigned char>(t_[s.pos])] & kAbsorbed)) {
            return false;
        }
        return ++s.pos < t_.size();
    }

    // Moves the star from its current position, which it has not tried yet,
    // to the first candidate, trying and absorbing the positions on the way
    // as its loop would; false when the star gives up first: at the end of
    // the text, at a character it may not absorb, or at a position an
    // earlier loop has already tried (and so everything after it).
    bool NextCandidate(Star& s) {
        const ByteKinds& kinds = KindsOf(s);
        const std::size_t limit = s.qualified ? t_.size() : std::min(t_.size(), s.failedFrom);
        std::size_t p = s.pos;
        while (p < limit && kinds[static_cast<unsigned char>(t_[p])] == kAbsorbed) {
            ++p;
        }
        if (s.qualified) {
            PositionBits tried = Tried(s);
            const std::size_t end = std::min(p + 1, t_.size());
            const std::size_t seen = tried.Find(s.pos, end, true);
            tried.Set(s.pos, seen == kNone ? end : seen);
            if (seen != kNone) {
                return false;
            }
        }
        if (p >= limit) {
            return false;
        }
        s.pos = p;
        return (kinds[static_cast<unsigned char>(t_[p])] & kCandidate) != 0;
    }

    // The first loop start, at or after `loopStart`, from which star `next`
    // is not already known to fail; kNone when there is none. Only sure
    // failures count, so the caller tries every position not skipped.
    std::size_t FirstNotKnownToFail(const Star& next, std::size_t loopStart) {
        if (loopStart > t_.size()) {
            return kNone; // the segment or the star's `?`s run out of text
        }
        if (next.q == p_.size()) {
            if (next.lastRejectedKnown && next.lastRejected != kNone &&
                loopStart <= next.lastRejected) {
                return next.lastRejected + 1;
            }
            return loopStart;
        }
        if (loopStart == t_.size()) {
            return kNone;
        }
        if (next.tried == kNone) {
            return loopStart;
        }
        return Tried(next).Find(loopStart, t_.size(), false);
    }

    // Star s has just failed to descend into `next`, which fails the same
    // way from several entries. Moves s past every position whose descent
    // could only reach `next` where it is known to fail, trying and
    // absorbing them as the loop would; false when s gives up on the way.
    // Without this a star in front of a qualified one would descend once per
    // text position only to be turned back.
    bool SkipKnownFailures(Star& s, const Star& next) {
        if (!Advance(s)) {
            return false;
        }
        const std::size_t from = s.pos;
        const std::size_t reach = s.segment + next.skipped;
        const std::size_t open = FirstNotKnownToFail(next, from + reach);
        const std::size_t to = open == kNone ? t_.size() : std::min(open - reach, t_.size());
        if (to == from) {
            return true;
        }
        if (!s.qualified) {
            if (s.failedFrom < to || to == t_.size()) {
                return false;
            }
        } else {
            const ByteKinds& kinds = KindsOf(s);
            std::size_t p = from;
            while (p < to && (kinds[static_cast<unsigned char>(t_[p])] & kAbsorbed)) {
                ++p;
            }
            const std::size_t end = std::min(p + 1, to); // a rejected character is tried first
            PositionBits tried = Tried(s);
            const std::size_t seen = tried.Find(from, end, true);
            tried.Set(from, seen == kNone ? end : seen);
            if (seen != kNone || p < to || to == t_.size()) {
                return false;
            }
        }
        s.pos = to;
        return true;
    }

    MaskResult Search(std::size_t t) {
        std::size_t k = 0;
        bool entering = true;
        for (;;) {
            Star& s = stars_[k];
            bool failed = false;
            if (entering) {
                const Entry e = Enter(s, t);
                if (e == Entry::Matched) {
                    return MaskResult::Match;
                }
                failed = e == Entry::Failed;
            } else {
                // Back from star k+1, which failed from where this position led.
                const Star& next = stars_[k + 1];
                failed = next.FailsMonotonically() || !SkipKnownFailures(s, next);
            }
            bool descended = false;
            while (!failed) {
                if (!NextCandidate(s)) {
                    failed = true;
                    break;
                }
                const Reached r = Scan(s.q, s.pos);
                if (r.atStar) {
                    assert(k + 1 < stars_.size());
                    ++k;
                    t = r.t;
                    entering = descended = true;
                    break;
                }
                if (r.result == MaskResult::Match) {
                    return MaskResult::Match;
                }
                failed = !Advance(s);
            }
            if (descended) {
                continue;
            }
            if (s.looping) {
                s.looping = false;
                if (!s.qualified) {
                    s.failedFrom = std::min(s.failedFrom, s.start);
                }
            }
            if (k == 0) {
                return MaskResult::TextEnded;
            }
            --k;
            entering = false;
        }
    }

    std::string_view p_, t_;
    std::vector<Star> stars_;
    std::vector<ByteKinds> kinds_;
    std::vector<std::uint64_t> pool_;
};

} // namespace

bool IsWildcard(std::string_view text) {
    return text.find_first_of("*?<>|") != std::string_view::npos;
}

MaskResult MatchMask(std::string_view pattern, std::string_view text) {
    if (pattern == "*") {
        return MaskResult::Match;
    }
    return Matcher(pattern, text).Run();
}

bool MatchesWalkMask(std::string_view mask, std::string_view fileName) {
    if (mask == "*.*" || mask == "*") {
        return true;
    }
    if (fileName.find('.') != std::string_view::npos) {
        return MatchesMask(mask, fileName);
    }
    std::string dotted;
    dotted.reserve(fileName.size() + 1);
    dotted.append(fileName).push_back('.');
    return MatchesMask(mask, dotted);
}

bool MatchesListPattern(std::string_view pattern, std::string_view fullPath,
                        std::string_view fileName) {
    return MatchesMask(pattern, pattern.find('/') != std::string_view::npos ? fullPath : fileName);
}

} // namespace mzb
