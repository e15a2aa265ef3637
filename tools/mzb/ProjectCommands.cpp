#include "tools/mzb/ProjectCommands.h"

#include "core/base/DateText.h"
#include "core/project/ArchiveNaming.h"
#include "core/project/ProjectKeys.h"
#include "core/project/ProjectName.h"
#include "platform/Blanks.h"
#include "platform/KnownDirectories.h"
#include "platform/ProgramLayout.h"

#include <cstdio>

namespace mzb::cli {

int NoSuchProject(const std::string& name) {
    std::fprintf(stderr, "mzb: no project named \"%s\"\n", name.c_str());
    return kExitPartial;
}

ProjectStore StoreFor(const GlobalOptions& options) {
    if (!options.iniPath.empty()) {
        return ProjectStore(options.iniPath);
    }
    // The window's rule: beside the executable, or the user's settings
    // folder for an installed copy.
    const ProgramLayout layout = LayoutFor(ProgramDirectory());
    EnsureIniDirectory(layout);
    return ProjectStore(layout.IniPath());
}

std::optional<std::string> FindListedProject(const ProjectStore& store, const std::string& name) {
    const std::vector<std::string> names = store.ReadProjectNames();
    const auto found = FindProjectName(names, TrimBlanks(name));
    return found ? std::optional(names[*found]) : std::nullopt;
}

std::string TakeProjectName(const Args& args, std::string& name) {
    Args operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            operands.insert(operands.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
            break;
        }
        if (LooksLikeOption(args[i])) {
            return "unknown option " + args[i];
        }
        operands.push_back(args[i]);
    }
    std::string error = OperandCountError(operands, 1, "NAME");
    if (error.empty()) {
        name = operands[0];
    }
    return error;
}

std::optional<ListedProject> TakeListedProject(const GlobalOptions& options, const Args& args,
                                               int& status) {
    std::string given;
    if (const auto error = TakeProjectName(args, given); !error.empty()) {
        status = UsageError(error);
        return std::nullopt;
    }
    ProjectStore store = StoreFor(options);
    auto name = FindListedProject(store, given);
    if (!name) {
        status = NoSuchProject(given);
        return std::nullopt;
    }
    return ListedProject{std::move(store), std::move(*name)};
}

int RunProjects(const GlobalOptions& options, const Args& args) {
    if (!args.empty()) {
        return UsageError(UnexpectedArgumentError(args[0]));
    }
    for (const auto& name : StoreFor(options).ReadProjectNames()) {
        std::printf("%s\n", name.c_str());
    }
    return kExitOk;
}

int RunShow(const GlobalOptions& options, const Args& args) {
    int status = kExitOk;
    const auto project = TakeListedProject(options, args, status);
    if (!project) {
        return status;
    }
    for (const auto& [key, value] : ProjectKeyValues(project->Store.ReadProject(project->Name))) {
        std::printf("%s=%s\n", key.c_str(), value.c_str());
    }
    return kExitOk;
}

int RunNextName(const GlobalOptions& options, const Args& args) {
    LocalDateTime now = LocalDateTime::Now();
    Args rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--now") {
            rest.push_back(args[i]);
        } else if (const auto given = ++i < args.size() ? ParseDateTime(args[i]) : std::nullopt) {
            now = *given;
        } else {
            return UsageError(NowValueError(args, i));
        }
    }
    int status = kExitOk;
    const auto project = TakeListedProject(options, rest, status);
    if (!project) {
        return status;
    }
    std::printf("%s\n", ArchiveNameOnLoad(project->Store.ReadProject(project->Name),
                                          project->Store.ReadCommonSettings(), now)
                            .c_str());
    return kExitOk;
}

} // namespace mzb::cli
