#pragma once
// The "Restore" page (TabRestore): the archive list of one folder with its
// sort and delete menu, the contents of the selected archive, and the
// Start Restore run with its destination, password and overwrite mode, for
// the whole archive or for the entries chosen in the contents grid; and
// the search for files across the folder's archives.

#include "core/restore/ArchiveContentsView.h"
#include "core/restore/RestoreRun.h"

#include <QWidget>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

class QAction;
class QMenu;

namespace Ui {
class RestorePage;
}

namespace mzb {

struct ControlStates;
class ArchiveContents;
class ArchiveSearchDialog;
class ArchiveList;
class ContentsTableModel;
struct ArchiveRow;
struct KindToRead;
class TFormMain;

class RestorePage : public QWidget, private ArchiveContentsView {
    Q_OBJECT

public:
    explicit RestorePage(QWidget* parent = nullptr);
    ~RestorePage() override;

    // The main window the page belongs to; given once, right after the
    // window has built its controls.
    void Attach(TFormMain& form);

    // Row 0 of the archive list and of the contents grid.
    void SetGridHeadings();
    // The page became the active one: it lists the project's save folder.
    void PageActivated();
    // SpRestoreClick: restores the whole archive of the list's current row.
    // An error of the run is raised after the window is unlocked.
    void StartRestore();
    // "Restore Selected Files...": the same run for the entries of the rows
    // selected in the contents grid.
    void RestoreSelectedFiles();

    // The sort of the archive list, as the sort menu's marks show it:
    // "By Field" (0 name, 1 size, 2 date) and "Sort" (0 ascending, 1
    // descending).
    void SetSortMarks(int byField, int sort);
    int MarkedSortField() const { return sortField_; }
    int MarkedSortOrder() const { return sortOrder_; }

    // --- handlers, named after their controls ---
    // Lists the folder of DirectoryView.
    void RefreshArchiveList();
    // A row of the archive list became the current one.
    void StringGridZipfilenameSelectCell(int row);
    // The five sort items of PopupMenuString share it.
    void PopupmenuAscClick(QAction* item);
    // Delete and its separator show only when the list holds an archive.
    void PopupMenuStringPopup();
    void menuDeleteClick();
    void DirectoryViewBrowseClick();
    void DirectoryRestoreBrowseClick();
    // "Search...": opens the search over the archives of the listed folder.
    void SearchArchivesClick();
    // The search's "Restore Chosen Files": the same run for files chosen
    // from several archives of the listed folder. Its errors are shown over
    // the search.
    void RestoreChosenFiles(const std::vector<ChosenFile>& chosen);
    // The main window's commands changed: the open search follows them.
    void ApplyControlStates(const ControlStates& states);

    // The stored names (directory + file name) of the entries in the rows
    // selected in the contents grid, top to bottom.
    std::vector<std::string> SelectedEntries() const;

private:
    void ShowArchiveContents(const std::string& folder, const std::string& name) override;
    void ClearContents() override;

    void BuildMenus();
    void ConnectHandlers();
    void FillArchiveGrid();
    void FitArchiveNames(const std::vector<ArchiveRow>& rows);
    // Fills the Backup column as the kinds come from a thread of its own:
    // reading them opens every archive, which the list does not wait for.
    void ReadArchiveKinds();
    void ShowArchiveKind(const KindToRead& archive, std::string kind);
    void RunRestore(std::vector<std::string> chosenEntries);
    // Runs a restore with the Restore Setup; the folder field gets the
    // trimmed folder back however the run ends.
    template <typename Restore> void WithRestoreSetup(Restore&& restore);
    RestoreEditor EditorFromControls() const;
    std::string TrimmedFolder();

    std::unique_ptr<Ui::RestorePage> ui;
    TFormMain* form_ = nullptr;
    int sortField_ = 0;
    int sortOrder_ = 0;
    int archiveNameWidth_ = 0; // the name column's width before any name widens it
    // Off while the program itself refills or reorders the archive list.
    bool notifyCellSelect_ = true;

    std::unique_ptr<ArchiveContents> contents_;
    std::unique_ptr<ArchiveList> list_;
    ContentsTableModel* contentsModel_ = nullptr;
    RestoreRun restoreRun_;
    QMenu* popupMenuString_ = nullptr;
    QMenu* popupMenuContents_ = nullptr;
    QAction* menuspe_ = nullptr;
    QAction* menuDelete_ = nullptr;
    ArchiveSearchDialog* searchDialog_ = nullptr;
    // Last, so it stops before anything it reports to goes away.
    std::jthread kindReader_;
};

} // namespace mzb
