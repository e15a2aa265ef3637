#include "zip/base/Wildcard.h"

#include "support/WildcardReference.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace mzb {
namespace {

struct MaskCase {
    const char* pattern;
    const char* text;
    MaskResult expected;
};

TEST(Wildcard, ResultsOfTheScan) {
    using R = MaskResult;
    const MaskCase cases[] = {
        // Stars at the end of the text: only a single trailing star matches nothing.
        {"abc*", "abc", R::Match},
        {"abc**", "abc", R::TextEnded},
        {"abc*?", "abc", R::TextEnded},
        {"*", "", R::Match},
        {"", "", R::Match},
        {"", "a", R::PatternEnded},
        {"**", "", R::TextEnded},
        {"*?", "a", R::Match},
        {"*??", "a", R::TextEnded},
        {"abc", "ab", R::TextEnded},
        {"ab", "abc", R::PatternEnded},
        {"a?c", "abd", R::LiteralMismatch},
        {"A?C", "abc", R::Match},
        // Character sets, case folded on both sides.
        {"<a-c>x", "bx", R::Match},
        {"<a-c>x", "Bx", R::Match},
        {"<A-C>x", "bx", R::Match},
        {"<a-c>x", "dx", R::SetMismatch},
        {"<!a-c>x", "dx", R::Match},
        {"<^a-c>x", "ax", R::SetMismatch},
        {"<c-a>", "b", R::SetMismatch},
        {"<c-a>", "c", R::SetMismatch},
        {"<->", "-", R::Match},
        {"<*?>", "?", R::Match},
        {"<*?>", "x", R::SetMismatch},
        {"<abc", "a", R::Malformed},
        {"<abc", "d", R::Malformed},
        {"<a->", "a", R::Malformed},
        {"<>", "a", R::Malformed},
        {"<!>", "a", R::Malformed},
        {"<", "a", R::Malformed},
        {"a<b>", "a", R::TextEnded},
        // Sets where a literal '|' or '>' outside a set is just a character.
        {"a>b|", "a>b|", R::Match},
        // Qualified stars absorb only members.
        {"a*<0-9>", "a1", R::Match},
        {"a*<0-9>", "a123", R::Match},
        {"a*<0-9>", "a", R::TextEnded},
        {"a*<0-9>", "a1b", R::TextEnded},
        {"*<0-9>x", "12x", R::Match},
        {"*<0-9>x", "x", R::Match},
        {"*<0-9>x", "1ax", R::TextEnded},
        {"*<0-9>x", "1xax", R::TextEnded},
        {"*<!0-9>.txt", "notes.txt", R::Match},
        {"*<!0-9>.txt", "notes2.txt", R::TextEnded},
        {"*<>x", "x", R::TextEnded},
        {"*<ab", "a", R::TextEnded},
        {"*<a->x", "ax", R::TextEnded},
        // An unqualified star crosses separators.
        {"/data/*.tmp", "/DATA/SUB/X.TMP", R::Match},
        {"*.*", "readme", R::TextEnded},
        {"*.*", "readme.", R::Match},
        {"*a*a*b", "aaab", R::Match},
        {"*a*a*b", "aaba", R::TextEnded},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchMask(c.pattern, c.text), c.expected)
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
        EXPECT_EQ(static_cast<int>(c.expected), test::WildcardReference::Match(c.pattern, c.text))
            << "reference disagrees on \"" << c.pattern << "\" / \"" << c.text << "\"";
    }
}

TEST(Wildcard, WildcardItemsAreRecognisedByAnyOfFiveCharacters) {
    for (const char* item : {"*.doc", "a?", "<a>", "x>", "|/home/u/*.txt", ">"}) {
        EXPECT_TRUE(IsWildcard(item)) << item;
    }
    for (const char* item : {"", "/home/u/notes.txt", "/home/u/", "a[1].txt", "!^-"}) {
        EXPECT_FALSE(IsWildcard(item)) << item;
    }
}

TEST(Wildcard, DirectoryWalkMask) {
    EXPECT_TRUE(MatchesWalkMask("*.*", "readme"));
    EXPECT_TRUE(MatchesWalkMask("*.*", ".bashrc"));
    EXPECT_TRUE(MatchesWalkMask("*.", "readme"));
    EXPECT_FALSE(MatchesWalkMask("*.", "readme.txt"));
    // The appended dot is a character like any other: `?` does not take it.
    EXPECT_TRUE(MatchesWalkMask("read???", "README"));
    EXPECT_FALSE(MatchesWalkMask("read??", "README"));
    EXPECT_TRUE(MatchesWalkMask("*.TXT", "a.txt"));
    EXPECT_FALSE(MatchesWalkMask("*.txt", "a.txt.bak"));
}

TEST(Wildcard, ListPatternsWithASeparatorTestTheFullPath) {
    EXPECT_TRUE(MatchesListPattern("/home/u/*.tmp", "/home/u/sub/x.tmp", "x.tmp"));
    EXPECT_FALSE(MatchesListPattern("/home/u/*.tmp", "/srv/x.tmp", "x.tmp"));
    EXPECT_TRUE(MatchesListPattern("*.TMP", "/srv/deep/X.tmp", "X.tmp"));
    // A name-only pattern never sees the directories.
    EXPECT_FALSE(MatchesListPattern("sub*", "/home/u/sub/x.tmp", "x.tmp"));
    EXPECT_FALSE(MatchesListPattern("*.*", "/home/u/readme", "readme"));
}

// Random short patterns over the characters that steer the algorithm, so that
// stars, qualified stars, sets and malformed sets meet in every order.
TEST(Wildcard, AgreesWithTheAlgorithmAsWrittenOnRandomCases) {
    std::mt19937 gen(20261208);
    const std::string patternChars = "ab*?<>!-*a*<b>A^";
    const std::string textChars = "abAB-!<>";
    auto pick = [&](const std::string& from, std::size_t maxLen) {
        std::string s(gen() % (maxLen + 1), ' ');
        for (char& c : s) {
            c = from[gen() % from.size()];
        }
        return s;
    };
    int matches = 0;
    for (int i = 0; i < 300000; ++i) {
        const std::string pattern = pick(patternChars, 9);
        const std::string text = pick(textChars, 9);
        const int expected = test::WildcardReference::Match(pattern, text);
        ASSERT_EQ(static_cast<int>(MatchMask(pattern, text)), expected)
            << "pattern \"" << pattern << "\" text \"" << text << "\"";
        matches += expected == 1;
    }
    // The generator must reach matches often enough to mean something.
    EXPECT_GT(matches, 10000);
}

// Long names made of runs, against patterns of stars that each could absorb
// whole runs: the fast matcher skips positions by what it learnt from failed
// tries, and these names reach the word boundaries of what it remembers (64
// positions a word, 4096 a summary word).
TEST(Wildcard, AgreesWithTheAlgorithmAsWrittenOnLongNames) {
    std::mt19937 gen(20261209);
    const char* const tokens[] = {"*",     "*<a-b>", "*<!x>", "*<a>",  "*<a-c>", "?",
                                  "<a-b>", "<!c>",   "a",     "b",     "c",      "x",
                                  "ab",    "*?",     "*<b>?", "*<c-x>"};
    const std::string runChars = "aabbcx";
    auto compare = [&](int cases, std::size_t tokenCount, std::size_t minLength, std::size_t spread,
                       std::size_t maxRun) {
        int matches = 0;
        for (int i = 0; i < cases; ++i) {
            std::string pattern;
            for (std::size_t n = 1 + gen() % tokenCount; n > 0; --n) {
                pattern += tokens[gen() % std::size(tokens)];
            }
            std::string text;
            const std::size_t length = minLength + gen() % spread;
            while (text.size() < length) {
                text.append(1 + gen() % maxRun, runChars[gen() % runChars.size()]);
            }
            const int expected = test::WildcardReference::Match(pattern, text);
            EXPECT_EQ(static_cast<int>(MatchMask(pattern, text)), expected)
                << "pattern \"" << pattern << "\" text of " << text.size();
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << "text \"" << text << "\"";
                break;
            }
            matches += expected == 1;
        }
        return matches;
    };
    EXPECT_GT(compare(30000, 7, 60, 300, 90), 3000);
    compare(40, 4, 4100, 900, 700);
    compare(20000, 5, 100, 400, 40);
    compare(2000, 4, 400, 1000, 150);
}

// Names as long as an archive can hold against patterns that make a
// backtracking matcher take exponential or quadratic time.
// Patterns that are hard for a backtracking matcher; their speed is
// bench/wildcard_bench's to measure, their answers are checked here.
TEST(Wildcard, HostileInputGetsTheRightAnswer) {
    const std::string as(65535, 'a');
    std::string manyStars;
    for (int i = 0; i < 200; ++i) {
        manyStars += "*a";
    }
    struct Hostile {
        std::string pattern;
        std::string text;
        bool matches;
    };
    std::vector<Hostile> cases = {
        {manyStars + "*b", as, false},
        {manyStars + "*", as, true},
        {manyStars, as, true},
        {manyStars + "*b", as + "b", true},
        {"*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?b", as, false},
        {"*<a>*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", as, false},
        {"*<a-b>a*<a>a*<!c>a*<a>ab", as, false},
        {"*<!x>a*<!x>a*<!x>a*<!x>b", as, false},
        {"*<a-c>*<d-f>*<g-i>*<!x>*", as + "dx", false},
        {"*<a-c>*<d-f>*<g-i>*<!x>*", as + "dg", true},
        {"a*<a>", as, true},
        {"a*<a>", as + "b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesMask(c.pattern, c.text), c.matches) << c.pattern.substr(0, 40);
    }
}

} // namespace
} // namespace mzb
