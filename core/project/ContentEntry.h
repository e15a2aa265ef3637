#pragma once
// Entries of the include and exclude lists as the wildcard window makes
// them, and which entry the list selects after an addition.

#include <string>
#include <vector>

namespace mzb {

// The directory with one '/' after it, then the pattern trimmed of blanks:
// "/home/u/Work" and " *.txt " give "/home/u/Work/*.txt", "/" and "*.txt"
// give "/*.txt". An empty pattern leaves the directory and its '/'.
std::string WildcardEntry(const std::string& directory, const std::string& pattern);

// The position of the first entry equal to the entry, letter case ignored;
// -1 when there is none.
int FirstEqualEntry(const std::vector<std::string>& entries, const std::string& entry);

} // namespace mzb
