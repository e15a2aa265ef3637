#include "ui/BackupPage.h"

#include "core/backup/DifferentialRun.h"
#include "core/backup/Pruning.h"
#include "core/backup/Retention.h"
#include "core/backup/ZipWriterBackup.h"
#include "core/editor/ProjectEditor.h"
#include "core/project/ContentEntry.h"
#include "core/remote/Rclone.h"
#include "core/remote/RemoteSetting.h"
#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"
#include "platform/KnownDirectories.h"
#include "ui/BackupPageDialogs.h"
#include "ui/ProjectItemDelegate.h"
#include "ui/TFormMain.h"
#include "ui/TextColour.h"
#include "ui_BackupPage.h"
#include "ui_TFormMain.h"
#include "zip/base/ZipError.h"
#include "zip/crypt/EntryCipher.h"
#include "zip/io/PathName.h"

#include <QAbstractItemView>
#include <QAction>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace mzb {
namespace {

std::vector<std::string> Entries(const QListWidget* list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list->count(); ++i) {
        entries.push_back(list->item(i)->text().toStdString());
    }
    return entries;
}

void SetEntries(QListWidget* list, const std::vector<std::string>& entries) {
    list->clear();
    for (const std::string& entry : entries) {
        list->addItem(QString::fromStdString(entry));
    }
}

} // namespace

BackupPage::BackupPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::BackupPage>()) {
    ui->setupUi(this);
}

BackupPage::~BackupPage() = default;

void BackupPage::Attach(TFormMain& form) {
    form_ = &form;
    host_ = &form.Host();
    standardDialogs_ = std::make_unique<StandardBackupPageDialogs>(&form, form.Host());
    dialogs_ = standardDialogs_.get();
    writer_ = std::make_unique<ZipWriterBackup>(form.ZipWriter1());

    Ui::TFormMain& main = form.Controls();
    QFont selectorFont(QStringLiteral("Arial"));
    selectorFont.setPixelSize(15);
    // The list that drops down; the closed selector keeps the tool bar's font,
    // so the tool bar keeps its room.
    main.comboProject->view()->setFont(selectorFont);
    main.comboProject->setItemDelegate(
        new ProjectItemDelegate(form.Store(), form.ScheduleMark(), main.comboProject));
    connect(main.SpNew, &QToolButton::clicked, this, &BackupPage::SpNewClick);
    connect(main.SpEdit, &QToolButton::clicked, this, &BackupPage::SpEditClick);
    connect(main.SpRename, &QToolButton::clicked, this, &BackupPage::SpRenameClick);
    connect(main.SpDelete, &QToolButton::clicked, this, &BackupPage::SpDeleteClick);
    connect(main.SpSave, &QToolButton::clicked, this, [this] { SpSaveClick(); });
    connect(main.SpCancel, &QToolButton::clicked, this, &BackupPage::SpCancelClick);
    // Start-up, New, Cancel, Delete and Rename all change the list.
    for (const auto changed :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(main.comboProject->model(), changed, this, &BackupPage::ShowFirstStartHint);
    }
    ShowFirstStartHint();
    for (QWidget* navy : {ui->Label2, ui->Labelauto, ui->Label5}) {
        SetTextColour(*navy, kNavy);
    }
    SetTextColour(*ui->EditFilename, kBlue);
    // The project's history settings get a page of their own beside the
    // two, so the Backup page keeps its size; they are edited and saved
    // with the rest of the project.
    auto* history = new QWidget;
    history->setObjectName(QStringLiteral("TabHistory"));
    auto* historyLayout = new QVBoxLayout(history);
    historyLayout->addWidget(ui->GroupBoxHistory);
    historyLayout->addStretch();
    main.PageControl1->addTab(history, QStringLiteral("History "));
    ConnectEditor();
    // Without a project the controls keep the values they start with.
    SetEditState(true);
}

void BackupPage::ShowFirstStartHint() {
    ui->LabelFirstStart->setVisible(form_->Controls().comboProject->count() == 0);
}

void BackupPage::ConnectEditor() {
    for (QLineEdit* field : {ui->EditPrefix, ui->EditPassword, ui->EditConfirmPassword,
                             ui->Editcomment, ui->EditRemoteCopy}) {
        connect(field, &QLineEdit::textChanged, this, &BackupPage::SpEditClick);
    }
    connect(ui->EditRemoteCopy, &QLineEdit::textChanged, this, &BackupPage::ShowRemoteCopyHint);
    for (QSpinBox* spin : {ui->SpinValue, ui->SpinIncrease}) {
        connect(spin, &QSpinBox::valueChanged, this, &BackupPage::SpEditClick);
    }
    // A pair of options reports one change, from the option that got selected.
    for (QRadioButton* option :
         {ui->RadioUseDate, ui->RadioUserNumber, ui->RadioYes, ui->RadioNo}) {
        connect(option, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected) {
                EnableDependentFields();
                SpEditClick();
            }
        });
    }
    // The strongest first; the traditional cipher says why it is not.
    const std::pair<const char*, TEncryption> ciphers[] = {
        {"AES-256", TEncryption::Aes256},
        {"AES-192", TEncryption::Aes192},
        {"AES-128", TEncryption::Aes128},
        {"Traditional (weak; for tools without AES)", TEncryption::Traditional}};
    for (const auto& [text, encryption] : ciphers) {
        ui->comboEncryption->addItem(text, static_cast<int>(encryption));
    }
    connect(ui->comboEncryption, &QComboBox::currentIndexChanged, this, &BackupPage::SpEditClick);
    // The history controls stand on a page of their own, which they keep.
    for (QComboBox* combo : {ui->ComboKeepArchives, ui->ComboBackupType}) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this] {
            EnableDependentFields();
            HistoryChanged();
        });
    }
    for (QSpinBox* spin : {ui->SpinKeepLast, ui->SpinKeepDaily, ui->SpinKeepWeekly,
                           ui->SpinKeepMonthly, ui->SpinFullEvery}) {
        connect(spin, &QSpinBox::valueChanged, this, &BackupPage::HistoryChanged);
    }
    connect(ui->CheckBoxVerify, &QCheckBox::toggled, this, &BackupPage::HistoryChanged);
    for (QCheckBox* box : {ui->CheckBoxPassword, ui->CheckBoxpath, ui->CheckBoxcomment}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            EnableDependentFields();
            SpEditClick();
        });
    }
    connect(ui->Button1, &QToolButton::clicked, this, [this] { AddByWildcard(ui->ListboxBackup); });
    connect(ui->Button2, &QToolButton::clicked, this, [this] { AddByFilename(ui->ListboxBackup); });
    connect(ui->Button4, &QToolButton::clicked, this, [this] { DeleteItem(ui->ListboxBackup); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this,
            [this] { DeleteAllItems(ui->ListboxBackup); });
    connect(ui->Button6, &QToolButton::clicked, this,
            [this] { AddByWildcard(ui->ListBoxNobackup); });
    connect(ui->Button3, &QToolButton::clicked, this,
            [this] { AddByFilename(ui->ListBoxNobackup); });
    connect(ui->Button5, &QToolButton::clicked, this, [this] { DeleteItem(ui->ListBoxNobackup); });
    connect(ui->SpeedButton2, &QToolButton::clicked, this,
            [this] { DeleteAllItems(ui->ListBoxNobackup); });
    connect(ui->SpSelectDirectory, &QToolButton::clicked, this,
            &BackupPage::SpSelectDirectoryClick);
}

// --- the editor as values ----------------------------------------------------

BackupEditor BackupPage::ReadEditor() const {
    BackupEditor e;
    e.ProjectText = form_->Controls().comboProject->currentText().toStdString();
    e.Filename = ui->EditFilename->text().toStdString();
    e.Prefix = ui->EditPrefix->text().toStdString();
    e.SaveDir = savePath_;
    e.UseNumber = ui->RadioUserNumber->isChecked();
    e.Number = SpinFieldValue(ui->SpinValue->cleanText().toStdString());
    e.Increase = SpinFieldValue(ui->SpinIncrease->cleanText().toStdString());
    e.Recurse = ui->RadioYes->isChecked();
    e.StorePaths = ui->CheckBoxpath->isChecked();
    e.CommentTicked = ui->CheckBoxcomment->isChecked();
    e.Comment = ui->Editcomment->text().toStdString();
    e.PasswordTicked = ui->CheckBoxPassword->isChecked();
    e.Password = ui->EditPassword->text().toStdString();
    e.ConfirmPassword = ui->EditConfirmPassword->text().toStdString();
    e.Include = Entries(ui->ListboxBackup);
    e.Exclude = Entries(ui->ListBoxNobackup);
    e.Project = shownRecord_;
    e.Project.Encryption = ui->comboEncryption->currentData().toInt();
    e.Project.RemoteCopy = ui->EditRemoteCopy->text().toStdString();
    e.Project.KeepArchives = ui->ComboKeepArchives->currentIndex();
    e.Project.KeepLast = ui->SpinKeepLast->value();
    e.Project.KeepDaily = ui->SpinKeepDaily->value();
    e.Project.KeepWeekly = ui->SpinKeepWeekly->value();
    e.Project.KeepMonthly = ui->SpinKeepMonthly->value();
    e.Project.VerifyAfterBackup = ui->CheckBoxVerify->isChecked();
    e.Project.BackupType = ui->ComboBackupType->currentIndex();
    e.Project.FullEvery = ui->SpinFullEvery->value();
    return e;
}

void BackupPage::WriteEditor(const BackupEditor& e) {
    const bool wasLoading = std::exchange(loadingGuard_, true);
    ui->EditPrefix->setText(QString::fromStdString(e.Prefix));
    (e.UseNumber ? ui->RadioUserNumber : ui->RadioUseDate)->setChecked(true);
    ui->SpinIncrease->setValue(e.Increase);
    ui->SpinValue->setValue(e.Number);
    savePath_ = e.SaveDir;
    ui->EditFilename->setText(QString::fromStdString(e.Filename));
    SetEntries(ui->ListboxBackup, e.Include);
    SetEntries(ui->ListBoxNobackup, e.Exclude);
    (e.Recurse ? ui->RadioYes : ui->RadioNo)->setChecked(true);
    ui->CheckBoxPassword->setChecked(e.PasswordTicked);
    ui->EditPassword->setText(QString::fromStdString(e.Password));
    ui->EditConfirmPassword->setText(QString::fromStdString(e.ConfirmPassword));
    ui->comboEncryption->setCurrentIndex(ui->comboEncryption->findData(e.Project.Encryption));
    ui->CheckBoxpath->setChecked(e.StorePaths);
    ui->CheckBoxcomment->setChecked(e.CommentTicked);
    ui->Editcomment->setText(QString::fromStdString(e.Comment));
    shownRecord_ = e.Project;
    ui->EditRemoteCopy->setText(QString::fromStdString(e.Project.RemoteCopy));
    ShowRemoteCopyHint();
    ui->ComboKeepArchives->setCurrentIndex(e.Project.KeepArchives);
    ui->SpinKeepLast->setValue(e.Project.KeepLast);
    ui->SpinKeepDaily->setValue(e.Project.KeepDaily);
    ui->SpinKeepWeekly->setValue(e.Project.KeepWeekly);
    ui->SpinKeepMonthly->setValue(e.Project.KeepMonthly);
    ui->CheckBoxVerify->setChecked(e.Project.VerifyAfterBackup);
    ui->ComboBackupType->setCurrentIndex(e.Project.BackupType);
    ui->SpinFullEvery->setValue(e.Project.FullEvery);
    EnableDependentFields();
    ShowRetention();
    loadingGuard_ = wasLoading;
}

void BackupPage::ShowRemoteCopyHint() {
    // Said where the setting is made: the local backup goes on without it.
    ui->LabelRemoteCopyHint->setVisible(!ui->EditRemoteCopy->text().trimmed().isEmpty() &&
                                        !RcloneInstalled());
}

void BackupPage::ShowRetention() {
    BackupEditor e = ReadEditor();
    const ProjectRecord shown = SaveEditor(e);
    ui->LabelRetentionRule->setText(
        QString::fromStdString(RetentionRuleText(RetentionRuleOf(shown))));
    ui->ListRetentionPreview->clear();
    std::vector<std::string> deleted;
    if (!ShownProject().empty()) {
        // The other projects as stored, this one as the page shows it.
        std::vector<ProjectRecord> projects = form_->Store().ReadProjects(form_->ProjectNames());
        projects.push_back(shown);
        deleted = PruneProject(shown, projects, host_->Now(), std::string(), true).Deleted;
    }
    for (const std::string& path : deleted) {
        ui->ListRetentionPreview->addItem(QString::fromStdString(FileNamePart(path)));
    }
    ui->LabelRetentionPreview->setText(deleted.empty() ? tr("It would delete no archive now.")
                                                       : tr("Archives it would delete now:"));
}

void BackupPage::ClearEditorControls() {
    BackupEditor e = ReadEditor();
    ClearEditor(e);
    WriteEditor(e);
}

void BackupPage::EnableDependentFields() {
    const bool numbered = ui->RadioUserNumber->isChecked();
    ui->SpinValue->setEnabled(numbered);
    ui->SpinIncrease->setEnabled(numbered);
    ui->Labelauto->setEnabled(numbered);
    ui->Editcomment->setEnabled(ui->CheckBoxcomment->isChecked());
    const int keep = ui->ComboKeepArchives->currentIndex();
    ui->SpinKeepLast->setEnabled(keep == static_cast<int>(KeepArchives::Last));
    for (QWidget* byAge : std::initializer_list<QWidget*>{
             ui->LabelKeepDaily, ui->SpinKeepDaily, ui->LabelKeepWeekly, ui->SpinKeepWeekly,
             ui->LabelKeepMonthly, ui->SpinKeepMonthly}) {
        byAge->setEnabled(keep == static_cast<int>(KeepArchives::ByAge));
    }
    const bool differential = ui->ComboBackupType->currentIndex() == kDifferentialBackupType;
    for (QWidget* fullEvery : std::initializer_list<QWidget*>{ui->LabelFullEvery, ui->SpinFullEvery,
                                                              ui->LabelFullEveryDays}) {
        fullEvery->setEnabled(differential);
    }
}

std::string BackupPage::ShownProject() const {
    return std::string(TrimBlanks(form_->Controls().comboProject->currentText().toStdString()));
}

void BackupPage::ProjectListChanged() {
    form_->Settings().ProjectNames = form_->ProjectNames();
}

void BackupPage::ActivateBackupPage() {
    form_->Controls().PageControl1->setCurrentWidget(this);
}

// --- loading and the editor states ------------------------------------------

void BackupPage::LoadSelectedProject() {
    if (form_->Controls().comboProject->currentIndex() < 0) {
        return;
    }
    BackupEditor e = ReadEditor();
    LoadProjectIntoEditor(e, form_->Store().ReadProject(ShownProject()), form_->Settings(),
                          host_->Now());
    WriteEditor(e);
}

void BackupPage::SetEditState(bool view) {
    form_->SetEditState(view);
    EnableDependentFields();
}

void BackupPage::SpEditClick() {
    ActivateBackupPage();
    HistoryChanged();
}

void BackupPage::HistoryChanged() {
    if (loadingGuard_) {
        return;
    }
    if (form_->Controls().comboProject->count() == 0) {
        SpNewClick();
        return;
    }
    ui->EditFilename->setText(
        QString::fromStdString(EditorArchiveName(ReadEditor(), form_->Settings(), host_->Now())));
    ShowRetention();
    SetEditState(false);
}

bool BackupPage::SpSaveClick() {
    BackupEditor e = ReadEditor();
    if (!ValidateProject(e, *host_)) {
        return false;
    }
    // Refused before it reaches project.ini: a credential belongs in
    // rclone's configuration.
    if (const std::string problem = RemoteSettingProblem(e.Project.RemoteCopy); !problem.empty()) {
        host_->ShowMessage(problem, MessageKind::Error);
        return false;
    }
    const ProjectRecord record = SaveEditor(e);
    try {
        form_->Store().WriteProject(ShownProject(), record);
        // A saved project is listed in the file at once, not only at exit:
        // mzb and a program that never closes normally find it too.
        if (newProject_) {
            form_->Store().WriteProjectNames(form_->ProjectNames());
        }
    } catch (const std::exception& error) {
        host_->ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    WriteEditor(e);
    SetEditState(true);
    if (newProject_) {
        form_->RebuildTrayBackupMenu();
        newProject_.reset();
    }
    return true;
}

void BackupPage::SpCancelClick() {
    QComboBox* combo = form_->Controls().comboProject;
    if (newProject_ && newProject_->Added) {
        if (const auto added = EntryNewAdded(form_->ProjectNames(), *newProject_)) {
            combo->removeItem(*added);
            ProjectListChanged();
        }
        if (combo->count() > 0) {
            combo->setCurrentIndex(0);
        } else {
            ClearEditorControls();
        }
    }
    SetEditState(true);
    LoadSelectedProject();
    newProject_.reset();
}

// --- the project commands ---------------------------------------------------

void BackupPage::SpNewClick() {
    ActivateBackupPage();
    std::optional<std::string> name =
        dialogs_->AskProjectName(QStringLiteral("Add Project"), QString());
    if (!name) {
        return;
    }
    const auto chosen = ChooseNewProject(form_->ProjectNames(), *name, *host_);
    if (!chosen) {
        return;
    }
    QComboBox* combo = form_->Controls().comboProject;
    if (chosen->Added) {
        combo->insertItem(chosen->Position, QString::fromStdString(chosen->Name));
    }
    combo->setCurrentIndex(chosen->Position);
    if (chosen->Added) {
        ProjectListChanged();
    }
    ClearEditorControls();
    SetEditState(false);
    newProject_ = chosen;
}

void BackupPage::SpRenameClick() {
    const std::string oldName = ShownProject();
    if (oldName.empty()) {
        return;
    }
    QComboBox* combo = form_->Controls().comboProject;
    const int position = combo->currentIndex();
    std::optional<std::string> newName =
        dialogs_->AskProjectName(QStringLiteral("Rename Project"), QString::fromStdString(oldName));
    if (!newName) {
        return;
    }
    newName = ChooseNewName(form_->ProjectNames(), position, *newName, *host_);
    if (!newName) {
        return;
    }
    BackupEditor e = ReadEditor();
    if (!ValidateProject(e, *host_)) {
        return;
    }
    e.ProjectText = *newName;
    const ProjectRecord record = SaveEditor(e);
    try {
        form_->Store().RenameProject(oldName, *newName, position, record);
    } catch (const std::exception& error) {
        host_->ShowMessage(error.what(), MessageKind::Error);
        return;
    }
    combo->setItemText(position, QString::fromStdString(*newName));
    ProjectListChanged();
    WriteEditor(e);
    SetEditState(true);
    form_->RebuildTrayBackupMenu();
    form_->RebuildSchedule();
}

void BackupPage::SpDeleteClick() {
    QComboBox* combo = form_->Controls().comboProject;
    const std::string name = ShownProject();
    if (combo->currentIndex() < 0 ||
        !host_->AskYesNo("Do you delete '" + name + "' project?", MessageKind::Information)) {
        return;
    }
    std::vector<std::string> remaining = form_->ProjectNames();
    remaining.erase(remaining.begin() + combo->currentIndex());
    // A failed write stops the command there: the list, the tray, the
    // editor and the schedule still show the project the file still has.
    try {
        form_->Store().DeleteProject(name, remaining);
    } catch (const std::exception& error) {
        host_->ShowMessage(error.what(), MessageKind::Error);
        return;
    }
    combo->removeItem(combo->currentIndex());
    ProjectListChanged();
    form_->RebuildTrayBackupMenu();
    if (combo->count() == 0) {
        combo->setCurrentIndex(-1);
        ClearEditorControls();
    } else {
        combo->setCurrentIndex(0);
        LoadSelectedProject();
    }
    form_->RebuildSchedule();
}

// --- the content lists and the save directory -------------------------------

void BackupPage::AddByWildcard(QListWidget* list) {
    const std::optional<std::string> entry = dialogs_->AskWildcardEntry();
    if (!entry) {
        return;
    }
    list->addItem(QString::fromStdString(*entry));
    list->setCurrentRow(FirstEqualEntry(Entries(list), *entry));
    SpEditClick();
}

void BackupPage::AddByFilename(QListWidget* list) {
    const std::vector<std::string> files = dialogs_->AskFiles();
    if (files.empty()) {
        return;
    }
    for (const std::string& file : files) {
        list->addItem(QString::fromStdString(file));
    }
    SpEditClick();
}

void BackupPage::DeleteItem(QListWidget* list) {
    if (list->count() == 0) {
        return;
    }
    if (list->currentRow() < 0 || list->selectedItems().isEmpty()) {
        host_->ShowMessage("Please select item by clicking", MessageKind::Information);
        return;
    }
    delete list->takeItem(list->currentRow());
    SpEditClick();
}

void BackupPage::DeleteAllItems(QListWidget* list) {
    if (list->count() == 0) {
        return;
    }
    list->clear();
    SpEditClick();
}

void BackupPage::SpSelectDirectoryClick() {
    const std::optional<std::string> directory = dialogs_->AskDirectory();
    if (!directory || ShownProject().empty()) {
        return;
    }
    savePath_ = *directory;
    SpEditClick();
}

// --- the backup run -----------------------------------------------------------

std::optional<BackupOutcome> BackupPage::StartBackup() {
    BackupEditor e = ReadEditor();
    const std::string project = ShownProject();
    BackupOutcome outcome;
    try {
        outcome = RunBackup(e, form_->Settings(), form_->Store(), *writer_, *host_);
    } catch (const EUserCanceled&) {
        // The user's own stop: the last backup is still the one before.
        host_->ShowTimedMessage(kBackupCanceledText, MessageKind::Warning, kRunMessageSeconds);
        return std::nullopt;
    } catch (const std::exception& error) {
        form_->NoteBackupResult(project, StoredBackupResult::Failed);
        host_->ShowMessage(error.what(), MessageKind::Error);
        return std::nullopt;
    }
    if (outcome != BackupOutcome::Declined && !project.empty()) {
        form_->NoteBackupResult(project, ResultOf(outcome));
    }
    // A written archive, also one that lacks files, advanced the number: it
    // is shown as the run leaves it, without an edit, and the page that was
    // active stays so; but only in the project it belongs to.
    const bool written =
        outcome == BackupOutcome::Completed || outcome == BackupOutcome::Incomplete ||
        outcome == BackupOutcome::Unrecorded || outcome == BackupOutcome::CopyFailed;
    if (written && SameIgnoringCase(ShownProject(), project)) {
        const QSignalBlocker blockNumber(ui->SpinValue);
        ui->SpinValue->setValue(e.Number);
        ui->EditFilename->setText(QString::fromStdString(e.Filename));
    }
    return outcome;
}

std::string BackupPage::SavePath() const {
    return savePath_.empty() ? HomeDirectory() : savePath_;
}

} // namespace mzb
