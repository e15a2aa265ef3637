#pragma once
// The "Backup " page (Tabbackup): the project editor with the include and
// exclude lists, the archive naming and the archive options of the project
// that comboProject selects. Loading a project into it, the editor states,
// the project commands of the tool bar and the Start Backup run live here;
// the rules behind them are core's (ProjectEditor, BackupRun).

#include "core/backup/BackupRun.h"
#include "core/editor/ProjectCommands.h"

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

class QListWidget;

namespace Ui {
class BackupPage;
}

namespace mzb {

class BackupPageDialogs;
class TFormMain;

class BackupPage : public QWidget {
    Q_OBJECT

public:
    explicit BackupPage(QWidget* parent = nullptr);
    ~BackupPage() override;

    // The main window whose state the page edits; given once, right after
    // the window has built its controls. It connects the tool bar's
    // project buttons.
    void Attach(TFormMain& form);
    // Test seams: where questions and messages go (the window's run host
    // until then) and which windows ask for names, entries and folders.
    void SetHost(RunHost& host) { host_ = &host; }
    void SetDialogs(BackupPageDialogs& dialogs) { dialogs_ = &dialogs; }

    // comboProjectChange: loads the project selected in comboProject.
    void LoadSelectedProject();
    // SpStartClick: backs up the project the page shows; how the run ended,
    // nullopt when it was cancelled or ended with an error.
    std::optional<BackupOutcome> StartBackup();
    // The save directory of the shown project (its "Save Path"); the home
    // folder while no project is shown.
    std::string SavePath() const;

    // The editor's handlers.
    void SpEditClick();
    // An edit of the History page: as SpEditClick, but that page stays.
    void HistoryChanged();
    bool SpSaveClick();
    void SpCancelClick();
    void SpNewClick();
    void SpRenameClick();
    void SpDeleteClick();
    void SetEditState(bool view);

    // The list buttons and the save-directory button.
    void AddByWildcard(QListWidget* list);
    void AddByFilename(QListWidget* list);
    void DeleteItem(QListWidget* list);
    void DeleteAllItems(QListWidget* list);
    void SpSelectDirectoryClick();

private:
    void ConnectEditor();
    BackupEditor ReadEditor() const;
    // Fills the controls with the loading guard held.
    void WriteEditor(const BackupEditor& editor);
    void ClearEditorControls();
    void EnableDependentFields();
    // The retention rule's sentence and the archives it would delete now,
    // for the project as the page shows it.
    void ShowRetention();
    std::string ShownProject() const;
    // comboProject's entries changed: the settings' copy of the list follows.
    void ProjectListChanged();
    void ActivateBackupPage();
    // With no project at all, one line says how to begin.
    void ShowFirstStartHint();
    // Beside a remote destination while rclone is missing.
    void ShowRemoteCopyHint();

    std::unique_ptr<Ui::BackupPage> ui;
    TFormMain* form_ = nullptr;
    RunHost* host_ = nullptr;
    std::unique_ptr<BackupPageDialogs> standardDialogs_;
    BackupPageDialogs* dialogs_ = nullptr;
    std::unique_ptr<BackupWriter> writer_;

    bool loadingGuard_ = false;
    std::optional<NewProjectEntry> newProject_; // what New chose, until Save or Cancel
    std::string savePath_;
    // The shown project's settings that have no field above (ProjectRecord
    // members loading keeps for Save and the run).
    ProjectRecord shownRecord_;
};

} // namespace mzb
