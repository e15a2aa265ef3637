#pragma once
// mzb's project commands: the project list, one project's keys, and the
// archive name that loading a project computes.

#include "core/project/ProjectStore.h"
#include "tools/mzb/Commands.h"

#include <optional>
#include <string>

namespace mzb::cli {

// The store of --ini FILE, or of project.ini in the program directory.
ProjectStore StoreFor(const GlobalOptions& options);

// The project list's spelling of a name given on the command line (trimmed,
// any letter case), or nothing when the list does not hold it.
std::optional<std::string> FindListedProject(const ProjectStore& store, const std::string& name);

// Prints the refusal on stderr and returns kExitPartial: an unknown project
// is a refusal, not a usage error, so scripts can tell the two apart.
int NoSuchProject(const std::string& name);

// Sets `name` to the one project name among the arguments of a command
// whose options are already taken out, or returns the usage error. "--"
// ends the options, so that a project whose name starts with '-' can still
// be named.
std::string TakeProjectName(const Args& args, std::string& name);

// A project on the list and the store that lists it.
struct ListedProject {
    ProjectStore Store;
    std::string Name;
};

// The listed project that the arguments name, or nothing with `status` set
// to the exit status of the usage error or the refusal, already printed.
// The store is opened only for a well-formed command.
std::optional<ListedProject> TakeListedProject(const GlobalOptions& options, const Args& args,
                                               int& status);

int RunProjects(const GlobalOptions& options, const Args& args);
int RunShow(const GlobalOptions& options, const Args& args);
int RunNextName(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
