#pragma once
// The main window: the tool bar with the project selector, the "Backup "
// and "Restore" pages, the progress bar, the program menu, the tray icon
// with its menu, and the state of the whole run (the program-wide
// settings, the long-lived archive writer, reader and file finder, the
// one-minute timer). Its creation reads project.ini, its close writes the
// exit state back.

#include "core/backup/BackupRun.h"
#include "core/editor/ControlStates.h"
#include "core/project/CommonSettings.h"
#include "core/project/ProjectStore.h"
#include "core/schedule/BackupStatusText.h"
#include "core/schedule/Schedule.h"
#include "platform/CaseInsensitive.h"
#include "ui/ProgramSetup.h"
#include "ui/WindowHostServices.h"
#include "ui/WindowRunHost.h"
#include "ui/WindowScheduleHost.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace Ui {
class TFormMain;
}

namespace mzb {

class TFindFile;
class TZipReader;
class TZipWriter;

class TFormMain : public QWidget {
    Q_OBJECT

public:
    // Runs the creation steps: reads "Common" and the project list, loads
    // the last project, builds the schedule, and minimises when the program
    // was set to start minimised. Call show() afterwards.
    explicit TFormMain(const ProgramSetup& setup, QWidget* parent = nullptr);
    ~TFormMain() override;

    // --- the state of the run, for the pages, the hosts and other windows ---
    Ui::TFormMain& Controls() { return *ui; }
    const std::string& ProgramDirectory() const { return setup_.Layout.ProgramDirectory; }
    const std::string& HelpFile() const { return setup_.Layout.HelpFile; }
    const ProjectStore& Store() const { return store_; }
    CommonSettings& Settings() { return settings_; }
    RunHost& Host() { return runHost_; }
    WindowScheduleHost& Scheduling() { return scheduleHost_; }
    THostServices& EngineHost() { return engineHost_; }
    TZipWriter& ZipWriter1() { return *zipWriter_; }
    TZipReader& ZipReader1() { return *zipReader_; }
    TFindFile& FindFile1() { return *findFile_; }
    QTimer& Timer1() { return timer1_; }
    // Image 0 of ImageList1: the mark of a scheduled project.
    const QIcon& ScheduleMark() const { return scheduleMark_; }
    // The names of comboProject, in list order.
    std::vector<std::string> ProjectNames() const;
    // Selects the project in comboProject, letter case ignored; false and an
    // empty selection when the list lacks it.
    bool SelectProject(const std::string& name);
    // The schedule table built by the last rebuild.
    const Schedule& ScheduleTable() const { return *schedule_; }

    // --- seams: the pages and the other windows fill them ---
    // Start Backup (SpStart), also run by the tray and the schedule; how the
    // run ended, nullopt when it was cancelled or ended with an error.
    std::optional<BackupOutcome> SpStartClick();
    // Start Restore (SpRestore).
    void SpRestoreClick();
    // Loads the project selected in comboProject into the editor.
    void comboProjectChange();
    // The active page changed; the Restore page lists its folder then.
    void PageControl1Change();
    // "Preferences...": opens the preferences window.
    void menuPreferencesClick();
    // Rebuilds the schedule table and starts Timer1 when a project is
    // scheduled.
    void RebuildSchedule();
    // Under the pages, the shown project's next scheduled backup and how its
    // last backup ended; in the tray icon's tooltip, the next scheduled
    // backup of all projects.
    void ShowBackupStatus();
    // A backup of the project, started by any of Start Backup, the tray and
    // the schedule, ended so.
    void NoteBackupResult(const std::string& project, StoredBackupResult result);

    // --- this window's own handlers ---
    // False locks every command a run depends on (EnabledControls) for the
    // length of a run, with the busy cursor; true gives each control back
    // what the editor's state says.
    void SetRunLock(bool enabled);
    // The Cancel button beside the progress bar: the running backup or
    // restore stops at its next chunk.
    void CancelRun();
    // The editor's state from the Backup page: ViewMode (true) or EditMode.
    void SetEditState(bool view);
    // What the window is doing now: editing, running, a question open.
    WindowActivity Activity() const;
    // One Backup submenu item per project of comboProject, marked when the
    // project's schedule is on.
    void RebuildTrayBackupMenu();
    // The marks of comboProject's items, from the stored schedule flags.
    void MarkScheduledProjects();
    // The marks of the Backup submenu's items, in list order.
    void SetTrayMarks(const std::vector<bool>& marks);
    // A tray notification that an unattended backup of the project failed,
    // was refused, wrote an archive that lacks files, could not store its
    // number or could not copy it to the project's remote, beside the run's
    // own message.
    void NotifyScheduledBackupProblem(const std::string& project, StoredBackupResult result);
    // Selects and loads the item's project, then backs it up as SpStart does.
    void TrayBackupItemClick(QAction* item);
    // The tray's notice of projects gone too long without a backup, at
    // most once a day while the program runs.
    void NoticeStaleProjects();
    // Restores the window from minimised or the tray and brings the program
    // to the front: a tray click, "Open Main Window", a second start.
    void OpenMainWindow1Click();
    void SpExitClick();
    void Help1Click();
    void About1Click();

    // The start-minimised flag, until the first minimise clears it.
    bool StartMinimized() const { return startMinimized_; }

signals:
    // The close steps have run; the program ends.
    void Closed();

protected:
    // A minimise hides the taskbar entry where a tray icon can bring the
    // window back (ApplicationEvents1Minimize).
    void changeEvent(QEvent* event) override;
    // The close steps: Timer1 stops, then the exit state is written. A close
    // asked for during a run (Exit, the close box, the tray's Exit) asks at
    // once whether to cancel the run and close, or to close when it ends.
    void closeEvent(QCloseEvent* event) override;

private:
    // The Part's size where the screen has room for it, larger when the
    // controls need more at the desktop's font, the screen's free room where
    // that is less (scroll bars then reach every control).
    void OpenFittingTheScreen();
    void BuildMenus();
    void ConnectHandlers();
    void ReadStartupSettings();
    void ApplicationEvents1Minimize();
    // The question of a close during a run, and what its answer does.
    void AskToCloseDuringRun();
    void WriteExitState();
    // Sets every command's control as EnabledControls says for Activity().
    void ApplyControlStates();

    std::unique_ptr<Ui::TFormMain> ui;
    ProgramSetup setup_;
    ProjectStore store_;
    CommonSettings settings_;
    bool startMinimized_ = false;
    bool runLocked_ = false;
    bool editing_ = false;
    bool closeAfterRun_ = false;

    WindowHostServices engineHost_;
    WindowRunHost runHost_;
    WindowScheduleHost scheduleHost_;
    std::unique_ptr<TZipWriter> zipWriter_;
    std::unique_ptr<TZipReader> zipReader_;
    std::unique_ptr<TFindFile> findFile_;
    std::unique_ptr<Schedule> schedule_;
    QTimer timer1_;
    // Looks once an hour whether a day has begun since the last notice of
    // projects without a recent backup.
    QTimer staleTimer_;
    std::optional<int64_t> staleNoticeDay_;
    QIcon scheduleMark_;
    struct NameOrder {
        bool operator()(const std::string& a, const std::string& b) const {
            return CompareIgnoringCase(a, b) < 0;
        }
    };
    std::map<std::string, SeenBackup, NameOrder> seenBackups_;

    QMenu* popupMenu1_ = nullptr;
    QAction* menuPreferences_ = nullptr;
    QMenu* popupMenu2_ = nullptr;
    QMenu* menuBackup_ = nullptr;
    QSystemTrayIcon* trayIcon1_ = nullptr;
};

} // namespace mzb
