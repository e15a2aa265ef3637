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
// * The same bitmap tells star k, when star k+1 (qualified) has turned it
//   back, which of its next positions could only enter star k+1 where it is
//   already known to fail; star k steps over all of them at once instead of
//   descending from each to be turned back again. Without that, a few
//   qualified stars against a long name cost a descent per star and position.
//
// A star's loop walks its positions through a byte table (candidate for the
// segment's first element, may be absorbed), and its segment is compiled to
// one element per character, so the inner loops make no calls per byte.
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

// One element of a star's segment: it takes exactly one text character.
struct Element {
    enum Kind : std::uint8_t { Literal, Any, Set } kind = Literal;
    unsigned char ch = 0; // Literal: the folded character
    std::size_t set = 0;  // Set: index of its accepted characters (folded)
};

// A star as the pattern fixes it, plus its search state.
struct Star {
    std::size_t q = 0;       // first pattern element after the star and its `*`/`?` run
    std::size_t skipped = 0; // characters taken by the `?` of that run
    // The segment: the elements from q up to the next star or the pattern's
    // end, each taking one character; compiled when the star first loops.
    std::size_t segment = 0;        // its length in characters
    std::size_t elements = kNone;   // offset of its elements in the matcher's list
    std::size_t segmentEnd = kNone; // pattern position after it; kNone behind an unclosed set
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

    // The loop in progress while the star is on the search stack. It tries
    // every position from start on until it fails at pos; it ends at stop,
    // where an earlier loop's tries begin (or the text ends). Its own tries
    // are recorded only when it has failed, as nothing reads them before.
    bool looping = false;
    std::size_t start = 0, pos = 0, stop = 0;

    // Failure from one entry implies failure from every later entry.
    bool FailsMonotonically() const { return !qualified || badQualifier; }
};

// A set of text positions: a bitmap, 64 positions to a word, with two
// summaries of one bit per word (the word has a position set; the word is
// full), so that finding the next set or clear position costs a step per
// 4096 positions rather than one per 64.
class PositionBits {
public:
    // Words the pool holds for a text of `size` characters.
    static std::size_t WordsFor(std::size_t size) { return Words(size) + 2 * Summary(size); }

    PositionBits(std::uint64_t* base, std::size_t size)
        : words_(base), any_(base + Words(size)), full_(any_ + Summary(size)),
          summary_(Summary(size)) {}

    // First position in [from, to) that is in the set (`value` true) or not
    // in it (false); kNone if none. `to` is at most the text's size.
    std::size_t Find(std::size_t from, std::size_t to, bool value) const {
        if (from >= to) {
            return kNone;
        }
        std::size_t w = from / 64;
        std::uint64_t word = Wanted(w, value) >> (from % 64);
        std::size_t hit = from;
        if (word == 0) {
            w = NextWord(w + 1, value);
            if (w == kNone || w * 64 >= to) {
                return kNone;
            }
            word = Wanted(w, value);
            hit = w * 64;
        }
        hit += static_cast<std::size_t>(std::countr_zero(word));
        return hit < to ? hit : kNone;
    }

    void Set(std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t w = from / 64, bit = from % 64;
            const std::size_t n = std::min<std::size_t>(64 - bit, to - from);
            const std::uint64_t mask = n == 64 ? ~std::uint64_t(0) : ((std::uint64_t(1) << n) - 1);
            words_[w] |= mask << bit;
            any_[w / 64] |= std::uint64_t(1) << (w % 64);
            if (words_[w] == ~std::uint64_t(0)) {
                full_[w / 64] |= std::uint64_t(1) << (w % 64);
            }
            from += n;
        }
    }

private:
    static std::size_t Words(std::size_t size) { return size / 64 + 1; }
    static std::size_t Summary(std::size_t size) { return Words(size) / 64 + 1; }

    std::uint64_t Wanted(std::size_t w, bool value) const { return value ? words_[w] : ~words_[w]; }

    // The first word from w on with a wanted position; past the bitmap's
    // words when only the summary's padding is left.
    std::size_t NextWord(std::size_t w, bool value) const {
        std::size_t sw = w / 64;
        if (sw >= summary_) {
            return kNone;
        }
        std::uint64_t m = (value ? any_[sw] : ~full_[sw]) & (~std::uint64_t(0) << (w % 64));
        while (m == 0) {
            if (++sw == summary_) {
                return kNone;
            }
            m = value ? any_[sw] : ~full_[sw];
        }
        return sw * 64 + static_cast<std::size_t>(std::countr_zero(m));
    }

    std::uint64_t* words_;
    std::uint64_t* any_;
    std::uint64_t* full_;
    std::size_t summary_;
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

    // Finds every star the main scan can meet, in pattern order. Sets are
    // stepped over whole: a set always ends at the first '>' after its '<'.
    void CompileStars() {
        std::size_t i = 0;
        while (i < p_.size()) {
            if (p_[i] == '<') {
                const std::size_t close = p_.find('>', i + 1);
                if (close == std::string_view::npos) {
                    return;
                }
                i = close + 1;
                continue;
            }
            if (p_[i] != '*') {
                ++i;
                continue;
            }
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

    // The segment of a star whose pattern goes on after it, as the main scan
    // would read it from s.q.
    void CompileSegment(Star& s) {
        s.elements = elements_.size();
        std::size_t i = s.q;
        while (i < p_.size() && p_[i] != '*') {
            Element e;
            if (p_[i] == '?') {
                e.kind = Element::Any;
                ++i;
            } else if (p_[i] == '<') {
                e.kind = Element::Set;
                e.set = sets_.size();
                sets_.push_back(ScanSetAccepts(p_, i));
                const std::size_t close = p_.find('>', i + 1);
                if (close == std::string_view::npos) {
                    elements_.push_back(e); // accepts nothing; the scan fails here
                    break;
                }
                i = close + 1;
            } else {
                e.ch = Fold(p_[i]);
                ++i;
            }
            elements_.push_back(e);
        }
        if (i >= p_.size() || p_[i] == '*') {
            s.segmentEnd = i;
        }
        s.segment = elements_.size() - s.elements;
    }

    bool Accepts(const Element& e, char c) const {
        switch (e.kind) {
        case Element::Literal:
            return Fold(c) == e.ch;
        case Element::Set:
            return sets_[e.set][Fold(c)];
        case Element::Any:
            break;
        }
        return true;
    }

    // The main scan from s.q and text position t, over the compiled segment.
    Reached ScanSegment(const Star& s, std::size_t t) const {
        if (s.segment > t_.size() - t) {
            return {MaskResult::TextEnded};
        }
        const Element* e = elements_.data() + s.elements;
        for (std::size_t i = 0; i < s.segment; ++i) {
            if (!Accepts(e[i], t_[t + i])) {
                return {MaskResult::SetMismatch};
            }
        }
        t += s.segment;
        if (s.segmentEnd == p_.size()) {
            return {t == t_.size() ? MaskResult::Match : MaskResult::PatternEnded};
        }
        if (t == t_.size()) {
            return {s.segmentEnd + 1 == p_.size() ? MaskResult::Match : MaskResult::TextEnded};
        }
        return {MaskResult::Match, true, t};
    }

    // The loop's view of each text byte for a star whose pattern goes on
    // after it (p_[s.q] is a literal or a set, never `*` or `?`).
    void MakeKinds(Star& s) {
        CompileSegment(s);
        CharSet candidate;
        if (p_[s.q] == '<') {
            candidate = sets_[elements_[s.elements].set];
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
    PositionBits Tried(const Star& s) { return PositionBits(pool_.data() + s.tried, t_.size()); }

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
        if (s.qualified) {
            if (s.tried == kNone) {
                s.tried = pool_.size();
                pool_.resize(pool_.size() + PositionBits::WordsFor(t_.size()));
            }
            const std::size_t seen = Tried(s).Find(t, t_.size(), true);
            s.stop = seen == kNone ? t_.size() : seen;
        } else {
            s.stop = std::min(t_.size(), s.failedFrom);
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
    // when it may not, or when the next position ends the loop.
    bool Advance(Star& s) const {
        if (!(KindsOf(s)[static_cast<unsigned char>(t_[s.pos])] & kAbsorbed)) {
            return false;
        }
        return ++s.pos < s.stop;
    }

    // Moves the star from its current position to the first candidate,
    // trying and absorbing the positions on the way as its loop would; false
    // when the loop ends first (s.pos is then where it ended).
    bool NextCandidate(Star& s) const {
        const ByteKinds& kinds = KindsOf(s);
        std::size_t p = s.pos;
        while (p < s.stop && kinds[static_cast<unsigned char>(t_[p])] == kAbsorbed) {
            ++p;
        }
        s.pos = p;
        return p < s.stop && (kinds[static_cast<unsigned char>(t_[p])] & kCandidate) != 0;
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
        std::size_t p = std::min(to, s.stop);
        if (s.qualified) {
            const ByteKinds& kinds = KindsOf(s);
            p = from;
            while (p < to && p < s.stop && (kinds[static_cast<unsigned char>(t_[p])] & kAbsorbed)) {
                ++p;
            }
        }
        s.pos = p;
        return p == to && to < s.stop;
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
                const Reached r = ScanSegment(s, s.pos);
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
                if (s.qualified) {
                    Tried(s).Set(s.start, std::min(s.pos + 1, t_.size()));
                } else {
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
    std::vector<Element> elements_;
    std::vector<CharSet> sets_;
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
