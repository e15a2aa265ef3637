#pragma once
// Wildcard patterns for file names and paths.
//
// `*` matches any run of characters (path separators included), `?` any one
// character, and `<...>` one character of a set: members are single
// characters or ranges `a-z`, `!` or `^` first negates the set. Angle
// brackets are used because square brackets are legal in file names. A star
// directly followed by a set (`*<0-9>`) absorbs only characters of that set.
// Letters A-Z compare without regard to case; there is no escape character.

#include <string_view>

namespace mzb {

// The matcher's detailed answer. Only Match is a match; callers that need a
// yes or no use MatchesMask.
enum class MaskResult {
    Match = 1,
    PatternEnded = 2,    // the pattern ended before the text
    TextEnded = 3,       // the text ended before the pattern, or a star was not satisfied
    SetMismatch = 4,     // a character set rejected the text character
    LiteralMismatch = 5, // a literal pattern character differed
    Malformed = 6,       // a character set is empty, unclosed or has a range without an end
};

// True when the text contains any of `*`, `?`, `<`, `>`, `|`: a list item
// written so is a wildcard item rather than the name of one file.
bool IsWildcard(std::string_view text);

MaskResult MatchMask(std::string_view pattern, std::string_view text);

inline bool MatchesMask(std::string_view pattern, std::string_view text) {
    return MatchMask(pattern, text) == MaskResult::Match;
}

// The directory walk's test of one file name against the mask of a wildcard
// item: `*.*` stands for every name, and a name without a dot is matched as
// if it ended in ".", so that a mask ending in "." selects names without an
// extension.
bool MatchesWalkMask(std::string_view mask, std::string_view fileName);

// The exclusion and no-compression lists' test: a pattern that holds a path
// separator is matched against the full path, any other against the file
// name alone.
bool MatchesListPattern(std::string_view pattern, std::string_view fullPath,
                        std::string_view fileName);

} // namespace mzb
