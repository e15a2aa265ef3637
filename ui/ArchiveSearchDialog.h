#pragma once
// "Search in Archives": finds files by name, wildcard or part of a path in
// every archive of the Restore page's folder, shows each match once per
// archive as it is found, and lists the distinct versions of the path of a
// chosen match. The search runs on the window's thread and lets the window
// turn between entries, so Stop (or Escape) ends it between archives.

#include "core/restore/ArchiveSearch.h"

#include <QDialog>
#include <stop_token>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace mzb {

class TFindFile;

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

protected:
    // Escape stops a running search instead of closing the dialog.
    void reject() override;

private:
    void AddHitRow(const SearchHit& hit);
    void ShowCount(bool running);
    void SetRunning(bool running);

    TFindFile& finder_;
    std::string folder_;
    std::vector<SearchHit> hits_;
    std::vector<std::string> unreadable_;
    bool searching_ = false;
    std::stop_source stop_;

    QLineEdit* searchText_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* versionsButton_ = nullptr;
    QLabel* count_ = nullptr;
    QTableWidget* results_ = nullptr;
    QLabel* versionsLabel_ = nullptr;
    QTableWidget* versions_ = nullptr;
};

} // namespace mzb
