#pragma once
// "Search in Archives": finds files by name, wildcard or part of a path in
// every archive of the Restore page's folder, shows each match once per
// archive as it is found, lists the distinct versions of the path of a
// chosen match, and hands the rows chosen in either list to the page's
// restore. The search runs on the window's thread and lets the window turn
// between entries, so Stop (or Escape) ends it between archives; during a
// restore they cancel the restore.

#include "core/restore/ArchiveGroups.h"
#include "core/restore/ArchiveSearch.h"

#include <QDialog>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace mzb {

class TFindFile;
struct ControlStates;

// What the dialog starts and stops through the main window.
struct SearchRunActions {
    // Restores the chosen files with the Restore Setup; returns when the
    // run has ended.
    std::function<void(const std::vector<ChosenFile>&)> RestoreChosen;
    // Asks the running restore to stop at its next chunk.
    std::function<void()> CancelRun;
};

class ArchiveSearchDialog : public QDialog {
    Q_OBJECT

public:
    ArchiveSearchDialog(TFindFile& finder, QWidget* parent = nullptr);

    // The folder whose archives are searched; set before the dialog opens.
    void SetFolder(std::string folder);

    // Searches for the text of the search field; returns once the search has
    // ended, finished or stopped.
    void StartSearch();
    // Asks a running search to end after the archive it is reading.
    void StopSearch();
    bool Searching() const { return searching_; }
    // Lists the versions of the path of the current result row.
    void ShowVersions();

    // The matches shown, in the order found.
    const std::vector<SearchHit>& Hits() const { return hits_; }

    void SetRunActions(SearchRunActions actions);
    // Follows the main window's commands: no search, versions or restore
    // while a run holds the lock, and Stop cancels that run.
    void ApplyControlStates(const ControlStates& states);
    // The files of the rows selected in the results, top to bottom, then
    // those of the versions selected in the versions list, each from the
    // newest archive that holds it.
    std::vector<ChosenFile> ChosenFiles() const;
    // "Restore Chosen Files": the chosen files through the page's restore.
    void RestoreChosen();

protected:
    // Escape stops a running search instead of closing the dialog.
    void reject() override;

private:
    void AddHitRow(const SearchHit& hit);
    void ShowCount(bool running);
    void SetRunning(bool running);
    void EnableCommands();

    TFindFile& finder_;
    std::string folder_;
    std::vector<SearchHit> hits_;
    std::vector<std::string> unreadable_;
    bool searching_ = false;
    std::stop_source stop_;
    // The path and versions the versions list shows.
    std::string versionsPath_;
    std::vector<FileVersion> versionsShown_;
    SearchRunActions actions_;
    // As the main window's commands are: searching goes with its pages,
    // restoring with Start Restore; a run holding the lock allows neither.
    bool searchAllowed_ = true;
    bool restoreAllowed_ = true;
    bool runGoing_ = false;

    QLineEdit* searchText_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* versionsButton_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QLabel* count_ = nullptr;
    QTableWidget* results_ = nullptr;
    QLabel* versionsLabel_ = nullptr;
    QTableWidget* versions_ = nullptr;
};

} // namespace mzb
