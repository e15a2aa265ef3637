#include "ui/ArchiveSearchDialog.h"

#include "core/base/DateText.h"
#include "core/editor/ControlStates.h"
#include "ui/AccessibleNames.h"
#include "ui/StandardMessages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

namespace mzb {

namespace {

// Entries read between two turns of the window's event loop: often enough
// for Stop to answer at once, rarely enough to cost nothing per entry.
constexpr unsigned kEntriesPerTurn = 256;

// The versions list's label until a row's versions are shown.
const QString kVersionsCaption = QStringLiteral("&Versions:");

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, const QStringList& headings) {
    auto* grid = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setHorizontalHeaderLabels(headings);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setWordWrap(false);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(std::max(20, grid->fontMetrics().height() + 4));
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

std::vector<std::size_t> SelectedRows(const QTableWidget* grid) {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : grid->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void AppendRow(QTableWidget* grid, const QStringList& cells) {
    const int row = grid->rowCount();
    grid->insertRow(row);
    for (int column = 0; column < cells.size(); ++column) {
        grid->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}

} // namespace

ArchiveSearchDialog::ArchiveSearchDialog(TFindFile& finder, QWidget* parent)
    : QDialog(parent), finder_(finder) {
    setObjectName(QStringLiteral("ArchiveSearchDialog"));
    setWindowTitle(QStringLiteral("Search in Archives"));
    auto* layout = new QVBoxLayout(this);

    auto* searchRow = new QHBoxLayout;
    auto* searchLabel = new QLabel(QStringLiteral("&Find:"), this);
    searchText_ = new QLineEdit(this);
    searchText_->setObjectName(QStringLiteral("SearchText"));
    searchText_->setToolTip(QStringLiteral("A name, a wildcard such as *.txt, or part of a path"));
    searchLabel->setBuddy(searchText_);
    searchButton_ = new QPushButton(QStringLiteral("&Search"), this);
    searchButton_->setObjectName(QStringLiteral("SearchStart"));
    searchButton_->setDefault(true);
    stopButton_ = new QPushButton(QStringLiteral("S&top"), this);
    stopButton_->setObjectName(QStringLiteral("SearchStop"));
    stopButton_->setEnabled(false);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(searchText_, 1);
    searchRow->addWidget(searchButton_);
    searchRow->addWidget(stopButton_);
    layout->addLayout(searchRow);

    auto* resultsRow = new QHBoxLayout;
    auto* resultsLabel = new QLabel(QStringLiteral("&Results:"), this);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("SearchCount"));
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    resultsRow->addWidget(resultsLabel);
    resultsRow->addWidget(count_, 1);
    layout->addLayout(resultsRow);
    results_ = MakeGrid(this, "SearchResults",
                        {QStringLiteral("Archive"), QStringLiteral("Backup date"),
                         QStringLiteral("Path"), QStringLiteral("Size(B)"),
                         QStringLiteral("Modified"), QStringLiteral("Version")});
    resultsLabel->setBuddy(results_);
    layout->addWidget(results_, 3);

    auto* versionsRow = new QHBoxLayout;
    versionsLabel_ = new QLabel(kVersionsCaption, this);
    versionsButton_ = new QPushButton(QStringLiteral("Versions of this &file"), this);
    versionsButton_->setObjectName(QStringLiteral("SearchVersions"));
    versionsButton_->setEnabled(false);
    restoreButton_ = new QPushButton(QStringLiteral("&Restore Chosen Files..."), this);
    restoreButton_->setObjectName(QStringLiteral("SearchRestore"));
    restoreButton_->setToolTip(
        QStringLiteral("Restores the rows chosen in both lists, each from its own archive, "
                       "with the page's Restore Setup"));
    restoreButton_->setEnabled(false);
    versionsRow->addWidget(versionsLabel_, 1);
    versionsRow->addWidget(versionsButton_);
    versionsRow->addWidget(restoreButton_);
    layout->addLayout(versionsRow);
    versions_ = MakeGrid(this, "VersionList",
                         {QStringLiteral("Size(B)"), QStringLiteral("CRC"),
                          QStringLiteral("Modified"), QStringLiteral("Archives")});
    versionsLabel_->setBuddy(versions_);
    layout->addWidget(versions_, 2);

    NameControlsForAssistiveTools(*this);
    resize(760, 480);

    connect(searchButton_, &QPushButton::clicked, this, &ArchiveSearchDialog::StartSearch);
    connect(searchText_, &QLineEdit::returnPressed, this, &ArchiveSearchDialog::StartSearch);
    // Stop never closes the dialog: it is enabled only while there is
    // something to stop.
    connect(stopButton_, &QPushButton::clicked, this, [this] {
        if (searching_ || runGoing_) {
            reject();
        }
    });
    connect(versionsButton_, &QPushButton::clicked, this, &ArchiveSearchDialog::ShowVersions);
    connect(restoreButton_, &QPushButton::clicked, this, &ArchiveSearchDialog::RestoreChosen);
    connect(results_, &QTableWidget::currentCellChanged, this,
            &ArchiveSearchDialog::EnableCommands);
    for (QTableWidget* grid : {results_, versions_}) {
        connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &ArchiveSearchDialog::EnableCommands);
    }
    connect(results_, &QTableWidget::cellDoubleClicked, this, &ArchiveSearchDialog::ShowVersions);
}

void ArchiveSearchDialog::SetFolder(std::string folder) {
    folder_ = std::move(folder);
}

void ArchiveSearchDialog::SetRunActions(SearchRunActions actions) {
    actions_ = std::move(actions);
}

void ArchiveSearchDialog::ApplyControlStates(const ControlStates& states) {
    searchAllowed_ = states.Pages;
    restoreAllowed_ = states.StartRestore;
    runGoing_ = states.CancelRun;
    EnableCommands();
}

void ArchiveSearchDialog::EnableCommands() {
    const bool idle = !searching_ && !runGoing_;
    searchButton_->setEnabled(idle && searchAllowed_);
    searchText_->setReadOnly(!idle || !searchAllowed_);
    stopButton_->setEnabled(searching_ || runGoing_);
    versionsButton_->setEnabled(idle && searchAllowed_ && results_->currentRow() >= 0);
    const bool chosen =
        results_->selectionModel()->hasSelection() || versions_->selectionModel()->hasSelection();
    restoreButton_->setEnabled(idle && restoreAllowed_ && chosen);
}

void ArchiveSearchDialog::SetRunning(bool running) {
    searching_ = running;
    EnableCommands();
    ShowCount(running);
    if (!running) {
        // Once, not per row: measuring every row as it comes would make a
        // long search quadratic.
        results_->resizeColumnsToContents();
    }
}

void ArchiveSearchDialog::ShowCount(bool running) {
    QString text = QStringLiteral("%1 found").arg(hits_.size());
    if (running) {
        text += QStringLiteral(", searching...");
    }
    if (!unreadable_.empty()) {
        text += QStringLiteral("; could not read ") +
                Text(unreadable_.front() +
                     (unreadable_.size() > 1
                          ? " and " + std::to_string(unreadable_.size() - 1) + " more"
                          : std::string()));
    }
    count_->setText(text);
}

void ArchiveSearchDialog::AddHitRow(const SearchHit& hit) {
    AppendRow(results_,
              {Text(hit.Archive), Text(FormatDateTime(hit.ArchiveDate)), Text(hit.Path),
               QString::number(hit.Size), Text(hit.Modified), Text(VersionChangeText(hit.Change))});
}

void ArchiveSearchDialog::StartSearch() {
    const std::string text = searchText_->text().trimmed().toStdString();
    if (searching_ || runGoing_ || !searchAllowed_ || text.empty()) {
        return;
    }
    hits_.clear();
    versionsShown_.clear();
    unreadable_.clear();
    results_->setRowCount(0);
    versions_->setRowCount(0);
    versionsLabel_->setText(kVersionsCaption);
    stop_ = std::stop_source();
    SetRunning(true);
    const PathFilter matches = AnyOfSearchTexts({text});
    unsigned sinceTurn = 0;
    // Turning the event loop inside the filter keeps the window alive while
    // one large archive is read, not only between archives.
    const PathFilter turning = [&](std::string_view path) {
        if (++sinceTurn == kEntriesPerTurn) {
            sinceTurn = 0;
            QCoreApplication::processEvents();
        }
        return matches(path);
    };
    SearchEvents events;
    events.OnFound = [this](const SearchHit& hit) {
        hits_.push_back(hit);
        AddHitRow(hit);
        ShowCount(true);
    };
    events.OnUnreadable = [this](const std::string& archive, const std::string& reason) {
        unreadable_.push_back(archive + " (" + reason + ")");
    };
    try {
        SearchArchives(finder_, folder_, turning, events, stop_.get_token());
    } catch (const std::exception& error) {
        SetRunning(false);
        ShowMessageBox(this, error.what(), MessageKind::Error);
        return;
    }
    SetRunning(false);
}

void ArchiveSearchDialog::StopSearch() {
    stop_.request_stop();
}

void ArchiveSearchDialog::reject() {
    if (searching_) {
        StopSearch();
    } else if (runGoing_) {
        if (actions_.CancelRun) {
            actions_.CancelRun();
        }
    } else {
        QDialog::reject();
    }
}

std::vector<ChosenFile> ArchiveSearchDialog::ChosenFiles() const {
    std::vector<ChosenFile> chosen;
    for (const std::size_t row : SelectedRows(results_)) {
        if (row < hits_.size()) {
            chosen.push_back({hits_[row].Archive, hits_[row].Path});
        }
    }
    for (const std::size_t row : SelectedRows(versions_)) {
        if (row < versionsShown_.size() && !versionsShown_[row].Archives.empty()) {
            chosen.push_back({versionsShown_[row].Archives.front(), versionsPath_});
        }
    }
    return chosen;
}

void ArchiveSearchDialog::RestoreChosen() {
    if (searching_ || runGoing_ || !restoreAllowed_ || !actions_.RestoreChosen) {
        return;
    }
    const std::vector<ChosenFile> chosen = ChosenFiles();
    if (!chosen.empty()) {
        actions_.RestoreChosen(chosen);
    }
}

void ArchiveSearchDialog::ShowVersions() {
    const int row = results_->currentRow();
    if (searching_ || runGoing_ || !searchAllowed_ || row < 0 ||
        row >= static_cast<int>(hits_.size())) {
        return;
    }
    const std::string path = hits_[static_cast<std::size_t>(row)].Path;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<FileVersion> found;
    try {
        found = FindVersions(finder_, folder_, path, {});
    } catch (const std::exception& error) {
        QApplication::restoreOverrideCursor();
        ShowMessageBox(this, error.what(), MessageKind::Error);
        return;
    }
    QApplication::restoreOverrideCursor();
    versions_->setRowCount(0);
    for (const FileVersion& version : found) {
        QStringList archives;
        for (std::size_t a = 0; a < version.Archives.size(); ++a) {
            archives << Text(version.Archives[a] + " (" + FormatDateTime(version.ArchiveDates[a]) +
                             ")");
        }
        AppendRow(versions_, {QString::number(version.Size), Text(CrcText(version.Crc)),
                              Text(version.Modified), archives.join(QStringLiteral(", "))});
    }
    versions_->resizeColumnsToContents();
    versionsPath_ = path;
    versionsShown_ = std::move(found);
    versionsLabel_->setText(QStringLiteral("&Versions of %1: %2")
                                .arg(Text(path).replace(u'&', QStringLiteral("&&")))
                                .arg(versionsShown_.size()));
}

} // namespace mzb
