#include "core/editor/ProjectValidation.h"

#include "platform/Blanks.h"

namespace mzb {

std::string ValidationProblem(const BackupEditor& editor) {
    if (TrimBlanks(editor.Filename).empty()) {
        return "Please input the backup filename";
    }
    if (TrimBlanks(editor.Prefix).empty()) {
        return "Please input the prefix of backup filename";
    }
    if (editor.PasswordTicked &&
        TrimBlanks(editor.Password) != TrimBlanks(editor.ConfirmPassword)) {
        return "Confirm password is not matching";
    }
    if (editor.Include.empty()) {
        return "Please select files or directory to backup";
    }
    return {};
}

bool ValidateProject(const BackupEditor& editor, RunHost& host) {
    const std::string problem = ValidationProblem(editor);
    if (problem.empty()) {
        return true;
    }
    host.ShowMessage(problem, MessageKind::Error);
    return false;
}

} // namespace mzb
