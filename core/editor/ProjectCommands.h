#pragma once
// The rules of the tool bar's New and Rename over the project list, the
// names of the selector in its order (sorted by name without regard to
// case): where a new name goes, when New asks to overwrite a project, which
// renames are refused, and which entry Cancel takes back. Refusals and
// questions go through the run host; the window applies the result to its
// selector.

#include "core/base/RunHost.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

// What New chose for the name the prompt gave, until Save or Cancel ends it.
struct NewProjectEntry {
    std::string Name; // trimmed
    int Position = 0; // of the entry New selects
    // A new entry, which goes in at Position to keep the list sorted; false
    // when New overwrites the project of that name, which stays listed once.
    bool Added = false;
};

// None when the name is refused (a warning says why) or the user answers
// No to overwriting the existing project of that name.
std::optional<NewProjectEntry> ChooseNewProject(const std::vector<std::string>& names,
                                                std::string_view typed, RunHost& host);

// The new name, trimmed, for the entry at `position`; none when another
// project has it (an error says so), when it is refused (a warning says
// why), or when it is the entry's own name in any letter case, which is no
// rename at all.
std::optional<std::string> ChooseNewName(const std::vector<std::string>& names, int position,
                                         std::string_view typed, RunHost& host);

// The position of the entry that Cancel takes out again: the one New added;
// none when New overwrote an existing project.
std::optional<int> EntryNewAdded(const std::vector<std::string>& names,
                                 const NewProjectEntry& started);

} // namespace mzb
