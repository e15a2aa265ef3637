#include "tools/mzb/ProjectCommands.h"

#include "core/base/DateText.h"
#include "core/project/ArchiveNaming.h"
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
    const std::string_view wanted = TrimBlanks(name);
    for (const auto& listed : store.ReadProjectNames()) {
        if (SameProjectName(listed, wanted)) {
            return listed;
        }
    }
    return std::nullopt;
}

int RunProjects(const GlobalOptions& options, const Args& args) {
    if (!args.empty()) {
        return UsageError("projects takes no arguments");
    }
    for (const auto& name : StoreFor(options).ReadProjectNames()) {
        std::printf("%s\n", name.c_str());
    }
    return kExitOk;
}

int RunShow(const GlobalOptions& options, const Args& args) {
    if (args.size() != 1) {
        return UsageError("usage: mzb show NAME");
    }
    const ProjectStore store = StoreFor(options);
    const auto name = FindListedProject(store, args[0]);
    if (!name) {
        return NoSuchProject(args[0]);
    }
    for (const auto& [key, value] : ProjectKeyValues(store.ReadProject(*name))) {
        std::printf("%s=%s\n", key.c_str(), value.c_str());
    }
    return kExitOk;
}

int RunNextName(const GlobalOptions& options, const Args& args) {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--now")) {
        return UsageError("usage: mzb next-name NAME [--now \"YYYY-MM-DD HH:MM:SS\"]");
    }
    LocalDateTime now = LocalDateTime::Now();
    if (args.size() == 3) {
        const auto given = ParseDateTime(args[2]);
        if (!given) {
            return UsageError("--now wants \"YYYY-MM-DD HH:MM:SS\", not \"" + args[2] + "\"");
        }
        now = *given;
    }
    const ProjectStore store = StoreFor(options);
    const auto name = FindListedProject(store, args[0]);
    if (!name) {
        return NoSuchProject(args[0]);
    }
    std::printf(
        "%s\n",
        ArchiveNameOnLoad(store.ReadProject(*name), store.ReadCommonSettings(), now).c_str());
    return kExitOk;
}

} // namespace mzb::cli
