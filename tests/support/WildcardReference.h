#pragma once
// The wildcard algorithm transcribed step by step, with its plain recursive
// backtracking, easy to check against the written rules. The main scan's
// answer depends only on where in pattern and text it starts, so each answer
// is remembered: that keeps the transcription's decisions while bounding its
// time by pattern length x text length squared, which lets tests and the
// fuzzer hold the fast matcher to it on names of a few hundred characters.
// Returns the matcher's internal result number (1 to 6).

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mzb::test {

class WildcardReference {
public:
    static int Match(std::string_view pattern, std::string_view text) {
        WildcardReference r{Lower(pattern), Lower(text)};
        if (r.p_ == "*") {
            return 1;
        }
        return r.Scan(0, 0);
    }

private:
    WildcardReference(std::string p, std::string t)
        : p_(std::move(p)), t_(std::move(t)), known_((p_.size() + 1) * (t_.size() + 1), 0) {}

    static std::string Lower(std::string_view s) {
        std::string out(s);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return out;
    }

    static bool Between(char lo, char c, char hi) {
        const auto u = static_cast<unsigned char>(c);
        return static_cast<unsigned char>(lo) <= u && u <= static_cast<unsigned char>(hi);
    }

    int Scan(std::size_t p, std::size_t t) {
        signed char& known = known_[p * (t_.size() + 1) + t];
        if (known == 0) {
            known = static_cast<signed char>(ScanFrom(p, t));
        }
        return known;
    }

    int ScanFrom(std::size_t p, std::size_t t) {
        for (;;) {
            if (p == p_.size()) {
                return t == t_.size() ? 1 : 2;
            }
            if (t == t_.size()) {
                return p_.substr(p) == "*" ? 1 : 3;
            }
            const char c = p_[p];
            if (c == '?') {
                ++p;
                ++t;
            } else if (c == '<') {
                const int r = SetInScan(p, t_[t]);
                if (r != 1) {
                    return r;
                }
                ++t;
            } else if (c == '*') {
                return StarStep(p, t);
            } else if (c != t_[t]) {
                return 5;
            } else {
                ++p;
                ++t;
            }
        }
    }

    // Step 4 of the main scan; on a match p is moved past the set.
    int SetInScan(std::size_t& p, char ch) {
        std::size_t i = p + 1;
        bool negated = false;
        if (i < p_.size() && (p_[i] == '!' || p_[i] == '^')) {
            negated = true;
            ++i;
        }
        if (i >= p_.size() || p_[i] == '>') {
            return 6;
        }
        while (true) {
            if (i >= p_.size()) {
                return 6;
            }
            if (p_[i] == '>') {
                if (!negated) {
                    return 4;
                }
                p = i + 1;
                return 1;
            }
            char lo = p_[i], hi = p_[i];
            if (i + 1 < p_.size() && p_[i + 1] == '-') {
                if (i + 2 >= p_.size() || p_[i + 2] == '>') {
                    return 6;
                }
                hi = p_[i + 2];
                i += 3;
            } else {
                i += 1;
            }
            if (Between(lo, ch, hi)) {
                if (negated) {
                    return 4;
                }
                while (i < p_.size() && p_[i] != '>') {
                    ++i;
                }
                if (i >= p_.size()) {
                    return 6;
                }
                p = i + 1;
                return 1;
            }
        }
    }

    // A qualifying set: well formed as a whole (closed, not empty, every
    // range complete); sets close to its '>'.
    bool QualifierWellFormed(std::size_t open, std::size_t& close) const {
        std::size_t i = open + 1;
        if (i < p_.size() && (p_[i] == '!' || p_[i] == '^')) {
            ++i;
        }
        if (i >= p_.size() || p_[i] == '>') {
            return false;
        }
        while (i < p_.size() && p_[i] != '>') {
            if (i + 1 < p_.size() && p_[i + 1] == '-') {
                if (i + 2 >= p_.size() || p_[i + 2] == '>') {
                    return false;
                }
                i += 3;
            } else {
                i += 1;
            }
        }
        if (i >= p_.size()) {
            return false;
        }
        close = i;
        return true;
    }

    bool InQualifier(std::size_t open, char ch) const {
        std::size_t i = open + 1;
        bool negated = false;
        if (p_[i] == '!' || p_[i] == '^') {
            negated = true;
            ++i;
        }
        bool member = false;
        while (p_[i] != '>') {
            char lo = p_[i], hi = p_[i];
            if (p_[i + 1] == '-') {
                hi = p_[i + 2];
                i += 3;
            } else {
                i += 1;
            }
            member = member || Between(lo, ch, hi);
        }
        return member != negated;
    }

    int StarStep(std::size_t p, std::size_t t) {
        std::size_t q = p + 1;
        bool qualified = false;
        std::size_t setAt = 0;
        if (q < p_.size() && p_[q] == '<') {
            std::size_t close = 0;
            if (!QualifierWellFormed(q, close)) {
                return 3;
            }
            qualified = true;
            setAt = q;
            q = close + 1;
        }
        auto absorbs = [&](char ch) { return !qualified || InQualifier(setAt, ch); };
        while (q < p_.size() && (p_[q] == '*' || p_[q] == '?')) {
            if (p_[q] == '?') {
                if (t == t_.size()) {
                    return 3;
                }
                ++t;
            }
            ++q;
        }
        if (q == p_.size()) {
            for (std::size_t i = t; i < t_.size(); ++i) {
                if (!absorbs(t_[i])) {
                    return 3;
                }
            }
            return 1;
        }
        if (t == t_.size()) {
            return 3;
        }
        for (std::size_t pos = t; pos < t_.size(); ++pos) {
            if (t_[pos] == p_[q] || p_[q] == '<') {
                if (Scan(q, pos) == 1) {
                    return 1;
                }
            }
            if (!absorbs(t_[pos])) {
                return 3;
            }
        }
        return 3;
    }

    std::string p_, t_;
    std::vector<signed char> known_; // Scan's answer by (p, t); 0 until asked
};

} // namespace mzb::test
