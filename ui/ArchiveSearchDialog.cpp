#include "ui/ArchiveSearchDialog.h"

#include "core/base/DateText.h"
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
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(std::max(20, grid->fontMetrics().height() + 4));
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
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
    versionsRow->addWidget(versionsLabel_, 1);
    versionsRow->addWidget(versionsButton_);
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
    connect(stopButton_, &QPushButton::clicked, this, &ArchiveSearchDialog::StopSearch);
    connect(versionsButton_, &QPushButton::clicked, this, &ArchiveSearchDialog::ShowVersions);
    connect(results_, &QTableWidget::currentCellChanged, this,
            [this](int row) { versionsButton_->setEnabled(!searching_ && row >= 0); });
    connect(results_, &QTableWidget::cellDoubleClicked, this, &ArchiveSearchDialog::ShowVersions);
}

void ArchiveSearchDialog::SetFolder(std::string folder) {
    folder_ = std::move(folder);
}

void ArchiveSearchDialog::SetRunning(bool running) {
    searching_ = running;
    searchButton_->setEnabled(!running);
    searchText_->setReadOnly(running);
    stopButton_->setEnabled(running);
    versionsButton_->setEnabled(!running && results_->currentRow() >= 0);
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
    if (searching_ || text.empty()) {
        return;
    }
    hits_.clear();
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
        return;
    }
    QDialog::reject();
}

void ArchiveSearchDialog::ShowVersions() {
    const int row = results_->currentRow();
    if (searching_ || row < 0 || row >= static_cast<int>(hits_.size())) {
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
    versionsLabel_->setText(QStringLiteral("&Versions of %1: %2")
                                .arg(Text(path).replace(u'&', QStringLiteral("&&")))
                                .arg(found.size()));
}

} // namespace mzb
