#include "core/editor/ProjectCommands.h"

#include "core/project/ProjectName.h"
#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"

namespace mzb {

std::optional<NewProjectEntry> ChooseNewProject(const std::vector<std::string>& names,
                                                std::string_view typed, RunHost& host) {
    NewProjectEntry entry;
    entry.Name = std::string(TrimBlanks(typed));
    if (const auto problem = ProjectNameProblem(entry.Name)) {
        host.ShowMessage(*problem, MessageKind::Warning);
        return std::nullopt;
    }
    if (const auto existing = FindProjectName(names, entry.Name)) {
        if (!host.AskYesNo("Project " + entry.Name + " existe,do you overwrite?",
                           MessageKind::Warning)) {
            return std::nullopt;
        }
        entry.Position = static_cast<int>(*existing);
        return entry;
    }
    while (entry.Position < static_cast<int>(names.size()) &&
           CompareIgnoringCase(names[static_cast<std::size_t>(entry.Position)], entry.Name) <= 0) {
        ++entry.Position;
    }
    entry.Added = true;
    return entry;
}

std::optional<std::string> ChooseNewName(const std::vector<std::string>& names, int position,
                                         std::string_view typed, RunHost& host) {
    std::string name(TrimBlanks(typed));
    if (const auto existing = FindProjectName(names, name)) {
        if (static_cast<int>(*existing) != position) {
            host.ShowMessage("Project Name exists,Rename fail!", MessageKind::Error);
        }
        return std::nullopt;
    }
    if (const auto problem = ProjectNameProblem(name)) {
        host.ShowMessage(*problem, MessageKind::Warning);
        return std::nullopt;
    }
    return name;
}

std::optional<int> EntryNewAdded(const std::vector<std::string>& names,
                                 const NewProjectEntry& started) {
    if (!started.Added) {
        return std::nullopt;
    }
    const auto position = FindProjectName(names, started.Name);
    return position ? std::optional<int>(static_cast<int>(*position)) : std::nullopt;
}

} // namespace mzb
