#include "zip/base/Wildcard.h"

#include <algorithm>
#include <bit>
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
// A star's loop steps over the characters that are neither worth a scan
// nor a reason to stop through byte tables, in a tight loop of its own.
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

// A set of byte values, one bit each, with the word operations the tables
// below are built from.
struct CharSet {
    std::uint64_t w[4] = {};

    static CharSet All() { return ~CharSet(); }
    bool operator[](unsigned c) const { return (w[c / 64] >> (c % 64)) & 1; }
    void set(unsigned c) { w[c / 64] |= std::uint64_t(1) << (c % 64); }
    CharSet operator~() const { return {{~w[0], ~w[1], ~w[2], ~w[3]}}; }
    CharSet operator|(const CharSet& o) const {
        return {{w[0] | o.w[0], w[1] | o.w[1], w[2] | o.w[2], w[3] | o.w[3]}};
    }
};

// The whole set opening at pattern[open] as a membership table (negation
// applied). False when it is empty, unclosed or holds a range without an end.
bool ReadSetTable(std::string_view p, std::size_t open, CharSet& set, std::size_t& next) {
    bool negated = false;
    std::size_t i = SetBody(p, open, negated);
    set = CharSet();
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
        set = ~set;
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
                accepted = accepted | ~decided;
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
                if (!negated) {
                    accepted.set(c);
                }
            }
        }
        i = m.next;
    }
    return accepted;
}

// A set of folded characters as the set of text bytes that fold into it.
CharSet ByteSetOf(const CharSet& folded) {
    // 'A'..'Z' and 'a'..'z' both lie in the second word, 32 bits apart.
    constexpr std::uint64_t kUpper = ((std::uint64_t(1) << 26) - 1) << ('A' - 64);
    CharSet bytes = folded;
    bytes.w[1] = (folded.w[1] & ~kUpper) | ((folded.w[1] >> ('a' - 'A')) & kUpper);
    return bytes;
}

// A star as the pattern fixes it, plus its search state.
struct Star {
    std::size_t q = 0;       // first pattern element after the star and its `*`/`?` run
    std::size_t skipped = 0; // characters taken by the `?` of that run
    // Characters taken by the elements from q up to the next star (each
    // takes one); known once the star has looped.
    std::size_t segment = 0;
    bool qualified = false;
    bool badQualifier = false; // its set is unusable: the star never matches
    CharSet absorbs;           // qualified star: the folded characters it may absorb

    // By text byte, made when the star first loops: the element after it
    // accepts the byte; the star may absorb it; its walk has to stop at it.
    bool prepared = false;
    CharSet candidateBytes, absorbedBytes, stopBytes;

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
        stars_.reserve(static_cast<std::size_t>(std::count(p_.begin(), p_.end(), '*')));
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
            Star& s = stars_.emplace_back(); // in place: a Star is large to copy
            std::size_t j = i + 1;
            if (j < p_.size() && p_[j] == '<') {
                s.qualified = true;
                if (!ReadSetTable(p_, j, s.absorbs, j)) {
                    // Nothing behind a star that never matches is reachable.
                    s.badQualifier = true;
                    return;
                }
            }
            while (j < p_.size() && (p_[j] == '*' || p_[j] == '?')) {
                s.skipped += p_[j] == '?';
                ++j;
            }
            s.q = j;
            i = j;
        }
    }

    // The byte tables of a star whose pattern goes on after it, and the
    // length of its segment (p_[s.q] is a literal or a set, never `*` or
    // `?`). Sets are stepped over whole, as CompileStars does.
    void PrepareLoop(Star& s) {
        for (std::size_t i = s.q; i < p_.size() && p_[i] != '*'; ++s.segment) {
            if (p_[i] != '<') {
                ++i;
                continue;
            }
            const std::size_t close = p_.find('>', i + 1);
            if (close == std::string_view::npos) {
                break; // the scan can never get past this set
            }
            i = close + 1;
        }
        CharSet candidates;
        if (p_[s.q] == '<') {
            candidates = ScanSetAccepts(p_, s.q);
        } else {
            candidates.set(Fold(p_[s.q]));
        }
        s.candidateBytes = ByteSetOf(candidates);
        s.absorbedBytes = s.qualified ? ByteSetOf(s.absorbs) : CharSet::All();
        s.stopBytes = s.candidateBytes | ~s.absorbedBytes;
        s.prepared = true;
    }

    // Whether the character is worth a scan of the star's segment: its
    // first element accepts it.
    static bool IsCandidate(const Star& s, char c) {
        return s.candidateBytes[static_cast<unsigned char>(c)];
    }
    static bool MayAbsorb(const Star& s, char c) {
        return s.absorbedBytes[static_cast<unsigned char>(c)];
    }

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
        if (!s.prepared) {
            PrepareLoop(s);
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
        if (!MayAbsorb(s, t_[s.pos])) {
            return false;
        }
        return ++s.pos < s.stop;
    }

    // Moves the star from its current position to the first candidate,
    // trying and absorbing the positions on the way as its loop would; false
    // when the loop ends first (s.pos is then where it ended).
    bool NextCandidate(Star& s) const {
        std::size_t p = s.pos;
        while (p < s.stop && !s.stopBytes[static_cast<unsigned char>(t_[p])]) {
            ++p;
        }
        s.pos = p;
        return p < s.stop && IsCandidate(s, t_[p]);
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
            p = from;
            while (p < to && p < s.stop && MayAbsorb(s, t_[p])) {
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
