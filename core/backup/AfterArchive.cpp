#include "core/backup/AfterArchive.h"

#include "core/backup/Pruning.h"
#include "core/editor/ProjectEditor.h"
#include "zip/base/PrintableName.h"
#include "zip/io/PathName.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mzb {
namespace {

// "\rTITLE: N ('a', 'b', ...)", names escaped.
std::string ListLine(const std::string& title, const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    std::string line = "\r" + title + ": " + std::to_string(names.size()) + " (";
    for (std::size_t i = 0; i < names.size() && i < kReportNamesShown; ++i) {
        line += (i == 0 ? "'" : ", '") + PrintableName(names[i]) + "'";
    }
    return line + (names.size() > kReportNamesShown ? ", ...)" : ")");
}

void VerifyArchive(const ProjectRecord& project, BackupWriter& writer, const std::string& path,
                   const std::string& password) {
    if (!project.VerifyAfterBackup) {
        return;
    }
    const std::vector<std::string> problems = writer.ReadBack(path, password);
    if (problems.empty()) {
        return;
    }
    const std::string aside = path + ".damaged";
    std::string text = "The archive " + PrintableName(FileNamePart(path)) +
                       " did not read back whole after writing; the backup failed";
    if (std::rename(path.c_str(), aside.c_str()) == 0) {
        text += " and the archive was kept as " + PrintableName(FileNamePart(aside)) + ".";
    } else {
        text +=
            " and the archive could not be set aside (" + std::string(std::strerror(errno)) + ").";
    }
    for (std::size_t i = 0; i < problems.size() && i < kReportNamesShown; ++i) {
        text += '\r';
        text += PrintableName(problems[i]);
    }
    throw EVerifyFailed(text);
}

} // namespace

std::string PruneReportText(const PruneResult& result, const std::string& where) {
    std::vector<std::string> deleted;
    for (const std::string& path : result.Deleted) {
        deleted.push_back(FileNamePart(path));
    }
    return ListLine(where + "Archives Deleted", deleted) +
           ListLine(where + "Archives Not Deleted", result.Failed);
}

std::string FinishArchive(const BackupEditor& editor, const ProjectStore& store,
                          BackupWriter& writer, const std::string& path, bool complete,
                          LocalDateTime now) {
    BackupEditor shown = editor;
    const ProjectRecord project = SaveEditor(shown);
    VerifyArchive(project, writer, path, project.Password);
    if (!complete) {
        return {};
    }
    return PruneReportText(
        PruneProject(project, store.ReadProjects(store.ReadProjectNames()), now, path, false), "");
}

} // namespace mzb
