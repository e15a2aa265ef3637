#include "core/editor/ProjectEditor.h"

#include "core/project/ArchiveNaming.h"
#include "core/project/ProjectKeys.h"
#include "platform/Blanks.h"

#include <charconv>

namespace mzb {

int SpinFieldValue(std::string_view text) {
    text = TrimBlanks(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range && end == text.data() + text.size()) {
        return text.front() == '-' ? kMinArchiveNumber : kMaxArchiveNumber;
    }
    if (error != std::errc() || end != text.data() + text.size()) {
        return kMinArchiveNumber;
    }
    return PullIntoNumberRange(value);
}

namespace {

// What loading and clearing put into the editor alike: every field but the
// archive path, the spin fields only for a numbered project.
void ShowProject(BackupEditor& editor, const ProjectRecord& project) {
    editor.Project = project;
    editor.ProjectText = project.Name;
    editor.Prefix = project.FilenamePrefix;
    editor.UseNumber = !project.UseDate;
    if (editor.UseNumber) {
        editor.Increase = PullIntoNumberRange(project.IncreaseValue);
        editor.Number = NextArchiveNumber(project.Value, editor.Increase);
    }
    editor.SaveDir = project.SavePath;
    editor.Include.clear();
    for (const std::string& item : project.BackupItems) {
        if (!item.empty()) {
            editor.Include.push_back(item);
        }
    }
    editor.Exclude.clear();
    for (const std::string& item : project.NoBackupItems) {
        if (!item.empty()) {
            editor.Exclude.push_back(item);
        }
    }
    editor.Recurse = project.IncludeSubdirectories;
    editor.PasswordTicked = project.UsePassword;
    editor.Password = project.UsePassword ? project.Password : std::string();
    editor.ConfirmPassword = editor.Password;
    editor.StorePaths = project.StorePaths;
    editor.CommentTicked = project.StoreComment;
    editor.Comment = project.Comment;
}

} // namespace

BackupEditor EditorForProject(const ProjectRecord& project, const CommonSettings& settings,
                              LocalDateTime now) {
    BackupEditor e;
    LoadProjectIntoEditor(e, project, settings, now);
    return e;
}

void LoadProjectIntoEditor(BackupEditor& editor, const ProjectRecord& project,
                           const CommonSettings& settings, LocalDateTime now) {
    ShowProject(editor, project);
    editor.Filename = EditorArchiveName(editor, settings, now);
}

ProjectRecord SaveEditor(BackupEditor& editor) {
    ProjectRecord r = editor.Project;
    r.Name = std::string(TrimBlanks(editor.ProjectText));
    r.FilenamePrefix = std::string(TrimBlanks(editor.Prefix));
    r.UseDate = !editor.UseNumber;
    r.IncreaseValue = editor.Increase;
    r.Value = editor.Number - editor.Increase;
    r.SavePath = editor.SaveDir;
    r.BackupItems = editor.Include;
    r.NoBackupItems = editor.Exclude;
    r.IncludeSubdirectories = editor.Recurse;
    r.UsePassword = editor.PasswordTicked;
    const std::string_view password = TrimBlanks(editor.Password);
    r.Password.clear();
    if (editor.PasswordTicked && !password.empty()) {
        r.Password = std::string(password);
    } else {
        editor.Password.clear();
        editor.ConfirmPassword.clear();
    }
    r.StorePaths = editor.StorePaths;
    r.StoreComment = editor.CommentTicked;
    r.Comment.clear();
    if (editor.CommentTicked && !TrimBlanks(editor.Comment).empty()) {
        r.Comment = editor.Comment;
    } else {
        editor.Comment.clear();
    }
    return r;
}

void ClearEditor(BackupEditor& editor) {
    ProjectRecord fresh = NewProjectRecord();
    // The name stays, and so does the choice of suffix.
    fresh.Name = editor.ProjectText;
    fresh.UseDate = !editor.UseNumber;
    ShowProject(editor, fresh);
    editor.Increase = PullIntoNumberRange(fresh.IncreaseValue);
    editor.Number = NextArchiveNumber(fresh.Value, editor.Increase);
    editor.Filename.clear();
}

std::string EditorArchiveName(const BackupEditor& editor, const CommonSettings& settings,
                              LocalDateTime now) {
    ArchiveNameInput in;
    in.SaveDir = editor.SaveDir;
    in.Prefix = editor.Prefix;
    in.UseDate = !editor.UseNumber;
    in.Number = editor.Number;
    in.IsAppend0 = settings.IsAppend0;
    in.Width = settings.Width;
    in.Now = now;
    return NextArchiveName(in);
}

} // namespace mzb
