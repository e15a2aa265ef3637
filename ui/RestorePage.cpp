#include "ui/RestorePage.h"

#include "core/editor/ControlStates.h"
#include "core/project/CommonSettings.h"
#include "core/restore/ArchiveContents.h"
#include "core/restore/ArchiveList.h"
#include "core/restore/ZipReaderRestore.h"
#include "platform/Blanks.h"
#include "platform/KnownDirectories.h"
#include "ui/ArchiveSearchDialog.h"
#include "ui/BackupPage.h"
#include "ui/ContentsTableModel.h"
#include "ui/StandardMessages.h"
#include "ui/TFormMain.h"
#include "ui_RestorePage.h"
#include "ui_TFormMain.h"
#include "zip/base/ZipError.h"

#include <QActionGroup>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <algorithm>
#include <set>

namespace mzb {

namespace {

// The tags of the sort items: a column or a direction each.
constexpr int kTagByName = 100;
constexpr int kTagBySize = 200;
constexpr int kTagByDate = 300;
constexpr int kTagAscending = 400;
constexpr int kTagDescending = 500;

// Holds a flag off for a scope, and on again however the scope ends.
class FlagOff {
public:
    explicit FlagOff(bool& flag) : flag_(flag) { flag_ = false; }
    ~FlagOff() { flag_ = true; }
    FlagOff(const FlagOff&) = delete;
    FlagOff& operator=(const FlagOff&) = delete;

private:
    bool& flag_;
};

// Runs a handler that the toolkit calls, showing its error the way the
// program's top level does: in an error box, the silent abort without one.
template <typename Handler> void Reported(QWidget* owner, Handler&& handler) {
    try {
        handler();
    } catch (const EAbort&) {
    } catch (const std::exception& error) {
        ShowMessageBox(owner, error.what(), MessageKind::Error);
    }
}

constexpr int kGridRowHeight = 20;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

RestorePage::RestorePage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::RestorePage>()) {
    ui->setupUi(this);
    contentsModel_ = new ContentsTableModel(this);
    ui->StringGrid1->setModel(contentsModel_);
    // The archive list's last column, whether full or differential, takes
    // the room its name, size and date leave.
    const int archiveWidths[] = {220, 90, 188};
    const int contentsWidths[] = {221, 135, 185};
    // The archive list's widths hold the usual desktop fonts' names and
    // dates; a larger font widens them alike, or the last column's spare
    // room stays empty while names and dates are cut off. The contents
    // grid's last column is the path, which needs the room itself.
    const double scale = std::max(1.0, (ui->StringGridZipfilename->fontMetrics().height() + 4) /
                                           double(kGridRowHeight));
    for (int column = 0; column < 3; ++column) {
        ui->StringGridZipfilename->setColumnWidth(column, int(archiveWidths[column] * scale));
        ui->StringGrid1->setColumnWidth(column, contentsWidths[column]);
    }
    archiveNameWidth_ = ui->StringGridZipfilename->columnWidth(0);
    ui->StringGridZipfilename->setTextElideMode(Qt::ElideMiddle);
    // Rows of 20 pixels hold the letters of the usual desktop fonts; a
    // larger font gets rows as high as its lines, or letters are cut off.
    for (QTableView* grid :
         {static_cast<QTableView*>(ui->StringGridZipfilename), ui->StringGrid1}) {
        const int row = std::max(kGridRowHeight, grid->fontMetrics().height() + 4);
        grid->verticalHeader()->setMinimumSectionSize(row);
        grid->verticalHeader()->setDefaultSectionSize(row);
    }
    ui->StringGridZipfilename->setRowCount(1);
    ui->DirectoryView->setText(Text(HomeDirectory()));
    ui->DirectoryRestore->setText(Text(HomeDirectory()));
}

RestorePage::~RestorePage() = default;

void RestorePage::Attach(TFormMain& form) {
    form_ = &form;
    contents_ = std::make_unique<ArchiveContents>(form.ZipReader1());
    ArchiveContentsView& contentsView = *this;
    list_ = std::make_unique<ArchiveList>(form.FindFile1(), contentsView);
    BuildMenus();
    ConnectHandlers();
}

void RestorePage::BuildMenus() {
    popupMenuString_ = new QMenu(this);
    popupMenuString_->setObjectName(QStringLiteral("PopupMenuString"));
    QMenu* sort = popupMenuString_->addMenu(QStringLiteral("Files Sort"));
    sort->menuAction()->setObjectName(QStringLiteral("Sort1"));
    auto* fields = new QActionGroup(this);
    auto* orders = new QActionGroup(this);
    const struct {
        const char* name;
        const char* caption;
        int tag;
        QActionGroup* group;
    } items[] = {
        {"PupMenuByname", "By name", kTagByName, fields},
        {"PupmenuBysize", "By size", kTagBySize, fields},
        {"PupMenuBydate", "By date", kTagByDate, fields},
        {"PopupmenuAsc", "Ascending", kTagAscending, orders},
        {"PopupmenuDesc", "Descending", kTagDescending, orders},
    };
    for (const auto& item : items) {
        if (item.tag == kTagAscending) {
            sort->addSeparator()->setObjectName(QStringLiteral("N3"));
        }
        QAction* action = sort->addAction(QString::fromLatin1(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setData(item.tag);
        action->setCheckable(true);
        item.group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, action] { Reported(this, [&] { PopupmenuAscClick(action); }); });
    }
    menuspe_ = popupMenuString_->addSeparator();
    menuspe_->setObjectName(QStringLiteral("menuspe"));
    menuDelete_ = popupMenuString_->addAction(QStringLiteral("Delete Zip Files"));
    menuDelete_->setObjectName(QStringLiteral("menuDelete"));
    connect(menuDelete_, &QAction::triggered, this,
            [this] { Reported(this, [&] { menuDeleteClick(); }); });
    connect(popupMenuString_, &QMenu::aboutToShow, this, &RestorePage::PopupMenuStringPopup);
    SetSortMarks(sortField_, sortOrder_);

    popupMenuContents_ = new QMenu(this);
    popupMenuContents_->setObjectName(QStringLiteral("PopupMenuContents"));
    QAction* restoreSelected =
        popupMenuContents_->addAction(QStringLiteral("Restore Selected Files..."));
    restoreSelected->setObjectName(QStringLiteral("menuRestoreSelected"));
    connect(restoreSelected, &QAction::triggered, this,
            [this] { Reported(this, [&] { RestoreSelectedFiles(); }); });
    connect(popupMenuContents_, &QMenu::aboutToShow, this,
            [this, restoreSelected] { restoreSelected->setEnabled(!SelectedEntries().empty()); });
}

void RestorePage::ConnectHandlers() {
    QTableWidget* grid = ui->StringGridZipfilename;
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (notifyCellSelect_) {
            Reported(this, [&] { StringGridZipfilenameSelectCell(row); });
        }
    });
    connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint& at) {
        popupMenuString_->popup(grid->viewport()->mapToGlobal(at));
    });
    connect(ui->StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        popupMenuContents_->popup(ui->StringGrid1->viewport()->mapToGlobal(at));
    });
    connect(ui->DirectoryViewBrowse, &QToolButton::clicked, this,
            [this] { Reported(this, [&] { DirectoryViewBrowseClick(); }); });
    connect(ui->DirectoryRestoreBrowse, &QToolButton::clicked, this,
            &RestorePage::DirectoryRestoreBrowseClick);
    connect(ui->SearchArchives, &QToolButton::clicked, this, &RestorePage::SearchArchivesClick);
    // Encrypted manifests read with the password the restore will use.
    connect(ui->EditRestorePassword, &QLineEdit::editingFinished, this, [this] {
        const std::string password = ui->EditRestorePassword->text().toStdString();
        if (password != list_->Password) {
            list_->Password = password;
            ReadArchiveKinds();
        }
    });
}

void RestorePage::SetGridHeadings() {
    ui->StringGridZipfilename->setHorizontalHeaderLabels(
        {QStringLiteral("Filename"), QStringLiteral("Size(KB)"), QStringLiteral("Date"),
         QStringLiteral("Backup")});
    contentsModel_->SetHeadings(
        {QStringLiteral("Filename"), QStringLiteral("Size(B)"), QStringLiteral("Path")});
}

void RestorePage::PageActivated() {
    ui->DirectoryView->setText(Text(form_->Controls().Tabbackup->SavePath()));
    Reported(this, [&] { RefreshArchiveList(); });
}

void RestorePage::SetSortMarks(int byField, int sort) {
    sortField_ = std::clamp(byField, kSortByName, kSortByDate);
    sortOrder_ = sort == kSortDescending ? kSortDescending : kSortAscending;
    if (list_) {
        list_->SortField = static_cast<ArchiveSortField>(sortField_);
        list_->Descending = sortOrder_ == kSortDescending;
    }
    if (popupMenuString_ == nullptr) {
        return;
    }
    const int fieldTag = kTagByName + 100 * sortField_;
    const int orderTag = sortOrder_ == kSortDescending ? kTagDescending : kTagAscending;
    for (QAction* action : popupMenuString_->findChildren<QAction*>()) {
        const int tag = action->data().toInt();
        if (tag != 0) {
            action->setChecked(tag == fieldTag || tag == orderTag);
        }
    }
}

void RestorePage::RefreshArchiveList() {
    const FlagOff quiet(notifyCellSelect_);
    list_->Folder = ui->DirectoryView->text().toStdString();
    list_->Password = ui->EditRestorePassword->text().toStdString();
    // The rows are in the list before the first archive is opened, so the
    // grid shows them even when that archive cannot be read.
    try {
        list_->RefreshArchiveList();
    } catch (...) {
        FillArchiveGrid();
        ReadArchiveKinds();
        throw;
    }
    FillArchiveGrid();
    ReadArchiveKinds();
}

void RestorePage::ReadArchiveKinds() {
    // Replacing the thread stops the one before, after the archive it is
    // reading; what it posted meanwhile SetKind matches to the new rows.
    kindReader_ = std::jthread([this, archives = list_->KindsToRead()](std::stop_token stop) {
        for (const KindToRead& archive : archives) {
            if (stop.stop_requested()) {
                return;
            }
            QMetaObject::invokeMethod(
                this,
                [this, archive, kind = ArchiveKindText(archive.Path, archive.Password)]() mutable {
                    ShowArchiveKind(archive, std::move(kind));
                },
                Qt::QueuedConnection);
        }
    });
}

void RestorePage::ShowArchiveKind(const KindToRead& archive, std::string kind) {
    const std::optional<size_t> row = list_->SetKind(archive, std::move(kind));
    QTableWidgetItem* cell =
        row ? ui->StringGridZipfilename->item(static_cast<int>(*row), 3) : nullptr;
    if (cell != nullptr) {
        cell->setText(Text(list_->Rows()[*row].Kind));
        cell->setToolTip(cell->text());
    }
}

void RestorePage::FillArchiveGrid() {
    QTableWidget* grid = ui->StringGridZipfilename;
    const std::vector<ArchiveRow>& rows = list_->Rows();
    grid->clearContents();
    grid->setRowCount(std::max(1, static_cast<int>(rows.size())));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ArchiveRow& row = rows[static_cast<std::size_t>(r)];
        grid->setItem(r, 0, new QTableWidgetItem(Text(row.Name)));
        grid->setItem(r, 1, new QTableWidgetItem(Text(row.Size)));
        grid->setItem(r, 2, new QTableWidgetItem(Text(row.Date)));
        // The full archive's name may not fit beside the others.
        auto* kind = new QTableWidgetItem(Text(row.Kind));
        kind->setToolTip(kind->text());
        grid->setItem(r, 3, kind);
    }
    FitArchiveNames(rows);
    grid->setCurrentCell(0, 0);
    ui->LabelZipNumber->setText(Text(list_->TotalText()));
}

// The names of one project differ in their dates, at their ends: the name
// column widens for the longest, up to half the list, and a name longer
// still loses letters in its middle.
void RestorePage::FitArchiveNames(const std::vector<ArchiveRow>& rows) {
    QTableWidget* grid = ui->StringGridZipfilename;
    const QFontMetrics metrics = grid->fontMetrics();
    int widest = 0;
    for (const ArchiveRow& row : rows) {
        widest = std::max(widest, metrics.horizontalAdvance(Text(row.Name)));
    }
    const int margin = 2 * metrics.averageCharWidth();
    const int width = std::clamp(widest + margin, archiveNameWidth_,
                                 std::max(archiveNameWidth_, grid->viewport()->width() / 2));
    grid->setColumnWidth(0, width);
}

std::string RestorePage::TrimmedFolder() {
    const std::string folder(TrimBlanks(ui->DirectoryView->text().toStdString()));
    ui->DirectoryView->setText(Text(folder));
    return folder;
}

void RestorePage::StringGridZipfilenameSelectCell(int row) {
    const QTableWidgetItem* cell = ui->StringGridZipfilename->item(row, 0);
    if (cell != nullptr) {
        ShowArchiveContents(TrimmedFolder(), cell->text().toStdString());
    }
}

void RestorePage::ShowArchiveContents(const std::string& folder, const std::string& name) {
    // A file without an end record (cut short, or no archive at all) gets
    // the reader's error, not an empty list that looks like an empty
    // archive; the rows of the archive selected before are not its rows.
    form_->ZipReader1().IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
    try {
        contents_->ShowArchiveContents(folder, name);
    } catch (...) {
        ClearContents();
        throw;
    }
    contentsModel_->SetRows(contents_->Rows());
    ui->LabelfileNumber->setText(Text(contents_->TotalText()));
}

void RestorePage::ClearContents() {
    contents_->ClearContents();
    contentsModel_->SetRows({});
    ui->LabelfileNumber->setText(Text(contents_->TotalText()));
}

void RestorePage::PopupmenuAscClick(QAction* item) {
    item->setChecked(true);
    switch (item->data().toInt()) {
    case kTagByName:
    case kTagBySize:
    case kTagByDate:
        sortField_ = (item->data().toInt() - kTagByName) / 100;
        break;
    case kTagAscending:
        sortOrder_ = kSortAscending;
        break;
    case kTagDescending:
        sortOrder_ = kSortDescending;
        break;
    default:
        return;
    }
    form_->Settings().ByField = sortField_;
    form_->Settings().Sort = sortOrder_;
    list_->SortField = static_cast<ArchiveSortField>(sortField_);
    list_->Descending = sortOrder_ == kSortDescending;
    const FlagOff quiet(notifyCellSelect_);
    try {
        list_->SortArchiveList();
    } catch (...) {
        FillArchiveGrid();
        throw;
    }
    FillArchiveGrid();
}

void RestorePage::PopupMenuStringPopup() {
    const QTableWidgetItem* first = ui->StringGridZipfilename->item(0, 0);
    const bool any = first != nullptr && !TrimBlanks(first->text().toStdString()).empty();
    menuspe_->setVisible(any);
    menuDelete_->setVisible(any);
}

void RestorePage::menuDeleteClick() {
    QTableWidget* grid = ui->StringGridZipfilename;
    const QList<QTableWidgetSelectionRange> ranges = grid->selectedRanges();
    int top = grid->currentRow();
    int bottom = top;
    if (!ranges.isEmpty()) {
        top = ranges.front().topRow();
        bottom = ranges.front().bottomRow();
    }
    if (top < 0) {
        return;
    }
    list_->Folder = TrimmedFolder();
    const FlagOff quiet(notifyCellSelect_);
    try {
        list_->DeleteArchives(static_cast<std::size_t>(top), static_cast<std::size_t>(bottom),
                              [this](const std::string& question) {
                                  return form_->Host().AskYesNo(question, MessageKind::Warning);
                              });
    } catch (...) {
        FillArchiveGrid();
        ReadArchiveKinds();
        throw;
    }
    FillArchiveGrid();
    ReadArchiveKinds();
}

void RestorePage::DirectoryViewBrowseClick() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Please select directory"), ui->DirectoryView->text());
    if (!chosen.isEmpty()) {
        ui->DirectoryView->setText(chosen);
        RefreshArchiveList();
    }
}

void RestorePage::DirectoryRestoreBrowseClick() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Please select directory"), ui->DirectoryRestore->text());
    if (!chosen.isEmpty()) {
        ui->DirectoryRestore->setText(chosen);
    }
}

void RestorePage::SearchArchivesClick() {
    if (searchDialog_ == nullptr) {
        // The main window's, not the page's: the run lock disables the page
        // and with it every window the page owns, so the search could not
        // even cancel the restore it started.
        searchDialog_ = new ArchiveSearchDialog(form_->FindFile1(), form_);
        // The page's folder and list must not change under a running search.
        searchDialog_->setWindowModality(Qt::WindowModal);
        searchDialog_->SetRunActions(
            {[this](const std::vector<ChosenFile>& chosen) { RestoreChosenFiles(chosen); },
             [this] { form_->CancelRun(); }});
    }
    searchDialog_->ApplyControlStates(EnabledControls(form_->Activity()));
    searchDialog_->SetFolder(TrimmedFolder());
    searchDialog_->show();
    searchDialog_->raise();
    searchDialog_->activateWindow();
}

std::vector<std::string> RestorePage::SelectedEntries() const {
    std::set<int> rows;
    for (const QModelIndex& index : ui->StringGrid1->selectionModel()->selectedIndexes()) {
        rows.insert(index.row());
    }
    std::vector<std::string> names;
    for (int row : rows) {
        if (const ContentsRow* entry = contentsModel_->RowAt(row)) {
            names.push_back(entry->Directory + entry->Name);
        }
    }
    return names;
}

void RestorePage::StartRestore() {
    RunRestore({});
}

void RestorePage::RestoreSelectedFiles() {
    std::vector<std::string> chosen = SelectedEntries();
    if (!chosen.empty()) {
        RunRestore(std::move(chosen));
    }
}

RestoreEditor RestorePage::EditorFromControls() const {
    RestoreEditor editor;
    const QTableWidgetItem* cell =
        ui->StringGridZipfilename->item(ui->StringGridZipfilename->currentRow(), 0);
    editor.ArchiveCell = cell != nullptr ? cell->text().toStdString() : std::string();
    editor.FolderText = ui->DirectoryView->text().toStdString();
    editor.DestDir = ui->DirectoryRestore->text().toStdString();
    editor.Password = ui->EditRestorePassword->text().toStdString();
    editor.UseFolderNames = ui->CheckBoxUseFolder->isChecked();
    const std::pair<const QRadioButton*, RestoreOverwrite> modes[] = {
        {ui->RadioAlways, RestoreOverwrite::Always}, {ui->RadioPrompt, RestoreOverwrite::Prompt},
        {ui->RadioNever, RestoreOverwrite::Never},   {ui->RadioNewer, RestoreOverwrite::IfNewer},
        {ui->RadioOlder, RestoreOverwrite::IfOlder},
    };
    editor.Overwrite = std::nullopt;
    for (const auto& [radio, mode] : modes) {
        if (radio->isChecked()) {
            editor.Overwrite = mode;
        }
    }
    editor.ProjectText = form_->Controls().comboProject->currentText().toStdString();
    return editor;
}

template <typename Restore> void RestorePage::WithRestoreSetup(Restore&& restore) {
    RestoreEditor editor = EditorFromControls();
    ZipReaderRestore reader(form_->ZipReader1());
    try {
        restore(editor, reader);
    } catch (...) {
        ui->DirectoryView->setText(Text(editor.FolderText));
        throw;
    }
    ui->DirectoryView->setText(Text(editor.FolderText));
}

void RestorePage::RunRestore(std::vector<std::string> chosenEntries) {
    WithRestoreSetup([&](RestoreEditor& editor, RestoreReader& reader) {
        editor.ChosenEntries = std::move(chosenEntries);
        restoreRun_.Run(editor, reader, form_->Host());
    });
}

void RestorePage::RestoreChosenFiles(const std::vector<ChosenFile>& chosen) {
    Reported(searchDialog_ != nullptr ? static_cast<QWidget*>(searchDialog_) : this, [&] {
        WithRestoreSetup([&](RestoreEditor& editor, RestoreReader& reader) {
            restoreRun_.RunChosen(editor, chosen, reader, form_->Host());
        });
    });
}

void RestorePage::ApplyControlStates(const ControlStates& states) {
    if (searchDialog_ != nullptr) {
        searchDialog_->ApplyControlStates(states);
    }
}

} // namespace mzb
