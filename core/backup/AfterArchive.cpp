#include "core/backup/AfterArchive.h"

#include "core/backup/Pruning.h"
#include "core/editor/ProjectEditor.h"
#include "zip/base/PrintableName.h"
#include "zip/io/PathName.h"

#include <cerrno>
#include <cstring>
#include <utility>

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

} // namespace

ArchiveVerifier::ArchiveVerifier(bool verify, BackupWriter& writer, std::string path,
                                 std::string password)
    : verify_(verify), writer_(writer), path_(std::move(path)), password_(std::move(password)) {}

ArchiveReadyCheck ArchiveVerifier::Check() {
    if (!verify_) {
        return {};
    }
    return [this](const std::string& part) {
        problems_ = writer_.ReadBack(part, password_);
        return problems_.empty() ? std::string() : path_ + ".damaged";
    };
}

EVerifyFailed ArchiveVerifier::Failure(const EArchiveRefused& refused) const {
    std::string text = "The archive " + PrintableName(FileNamePart(path_)) +
                       " did not read back whole after writing; the backup failed";
    if (!refused.KeptAs.empty()) {
        text += " and the archive was kept as " + PrintableName(FileNamePart(refused.KeptAs)) + ".";
    } else {
        text += " and the archive could not be set aside (" +
                std::string(std::strerror(refused.ErrorCode)) + "), so it was removed.";
    }
    for (std::size_t i = 0; i < problems_.size() && i < kReportNamesShown; ++i) {
        text += '\r';
        text += PrintableName(problems_[i]);
    }
    return EVerifyFailed(text);
}

std::string PruneReportText(const PruneResult& result, const std::string& where) {
    std::vector<std::string> deleted;
    for (const std::string& path : result.Deleted) {
        deleted.push_back(FileNamePart(path));
    }
    return ListLine(where + "Archives Deleted", deleted) +
           ListLine(where + "Archives Not Deleted", result.Failed);
}

std::string FinishArchive(const BackupEditor& editor, const ProjectStore& store,
                          const std::string& path, bool complete, LocalDateTime now) {
    BackupEditor shown = editor;
    const ProjectRecord project = SaveEditor(shown);
    if (!complete) {
        return {};
    }
    return PruneReportText(
        PruneProject(project, store.ReadProjects(store.ReadProjectNames()), now, path, false), "");
}

} // namespace mzb
