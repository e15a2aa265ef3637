#pragma once
// Project names: how they compare and order, and which ones the store can
// hold. A name is a section name of project.ini and a value of the list
// keys, so it compares without regard to case, as section names do.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

// The section of the program-wide settings; no project may share it.
inline constexpr std::string_view kCommonSection = "Common";

bool SameProjectName(std::string_view a, std::string_view b);

// The position of the list's entry of that name, letter case ignored.
std::optional<std::size_t> FindProjectName(const std::vector<std::string>& names,
                                           std::string_view name);

// Sorts without regard to case, keeping the given order among names that
// differ only in case.
void SortProjectNames(std::vector<std::string>& names);

// Why a name, trimmed of blanks, cannot be a project, or nothing when it
// can. Refused are: an empty name, a name holding "]", a line break or
// another control character (the file could not give it back, or it would
// address another section), one longer than a stored value can be, and
// "Common" in any letter case (it would share the settings). An "=" is
// harmless: a section line begins with "[", and a list value is all that
// follows the first "=" of its line.
std::optional<std::string> ProjectNameProblem(std::string_view name);

} // namespace mzb
