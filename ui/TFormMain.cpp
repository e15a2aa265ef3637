#include "ui/TFormMain.h"

#include "core/project/ProjectName.h"
#include "core/project/StartupState.h"
#include "core/schedule/StaleBackup.h"
#include "finder/FindFile.h"
#include "platform/Blanks.h"
#include "ui/AccessibleNames.h"
#include "ui/ProductInfo.h"
#include "ui/ProjectItemDelegate.h"
#include "ui/StandardMessages.h"
#include "ui/TFormPreferences.h"
#include "ui/Taboutform.h"
#include "ui/UserGuide.h"
#include "ui/WindowPlacement.h"
#include "ui_TFormMain.h"
#include "zip/reader/ZipReader.h"
#include "zip/writer/ZipWriter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>

namespace mzb {
namespace {

constexpr int kScheduleTickMs = 60000;
constexpr int kBackupPage = 0;
constexpr QSize kClientSize(712, 515);

// A project name as a menu caption: an '&' stays a letter, not an
// accelerator mark.
QString MenuCaption(const std::string& name) {
    return QString::fromStdString(name).replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

TFormMain::TFormMain(const ProgramSetup& setup, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFormMain>()), setup_(setup),
      store_(setup.Layout.IniPath()), engineHost_(this), runHost_(*this), scheduleHost_(*this),
      zipWriter_(std::make_unique<TZipWriter>(engineHost_)),
      zipReader_(std::make_unique<TZipReader>(engineHost_)),
      findFile_(std::make_unique<TFindFile>()),
      schedule_(std::make_unique<Schedule>(
          scheduleHost_,
          [this](const std::vector<std::string>& names) { return store_.ReadProjects(names); },
          settings_.PromptBeforeBackup)),
      scheduleMark_(QStringLiteral(":/ui/icons/schedule-mark.svg")) {
    ui->setupUi(this);
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(kScheduleTickMs);
    timer1_.setTimerType(Qt::PreciseTimer);
    connect(&timer1_, &QTimer::timeout, this, [this] {
        schedule_->Timer1Timer();
        ShowBackupStatus();
    });
    staleTimer_.setInterval(std::chrono::hours(1));
    connect(&staleTimer_, &QTimer::timeout, this, &TFormMain::NoticeStaleProjects);
    staleTimer_.start();
    BuildMenus();
    ui->Tabbackup->Attach(*this);
    ui->TabRestore->Attach(*this);
    ConnectHandlers();
    NameControlsForAssistiveTools(*this);

    // The creation steps, in their order; each relies on the ones before.
    trayIcon1_->setIcon(QApplication::windowIcon());
    // Shown also where no tray is there yet: it appears once one is.
    trayIcon1_->show();
    ui->TabRestore->SetGridHeadings();
    ui->PageControl1->setCurrentIndex(kBackupPage);
    PageControl1Change();
    ReadStartupSettings();
    if (ui->comboProject->currentIndex() >= 0) {
        comboProjectChange();
    }
    RebuildSchedule();
    OpenFittingTheScreen();
    if (startMinimized_) {
        setWindowState(Qt::WindowMinimized);
    }
    QTimer::singleShot(0, this, &TFormMain::NoticeStaleProjects);
    // Once the window is up, so that the runs show their progress.
    if (settings_.RunMissedBackups) {
        QTimer::singleShot(0, this, [this] { schedule_->RunMissedBackups(); });
    }
}

TFormMain::~TFormMain() = default;

void TFormMain::OpenFittingTheScreen() {
    const QSize bar = NeededSize(*ui->ToolBar1);
    const QSize pages = NeededSize(*ui->PageControl1);
    // The two scroll areas asking for all their contents need, the window's
    // layout adds up what the whole window needs.
    ui->ToolBarScroll->setMinimumWidth(bar.width());
    ui->ToolBarScroll->setFixedHeight(bar.height());
    ui->ScrollBox1->setMinimumSize(pages);
    const QSize needed = NeededSize(*this);
    const QSize room = RoomForClient(*this);
    // On a smaller screen they give way: the tool bar and the status stay
    // in sight, the bar scrolling sideways, the pages both ways.
    if (needed.width() > room.width()) {
        ui->ToolBarScroll->setMinimumWidth(0);
        ui->ScrollBox1->setMinimumWidth(0);
        ui->ToolBarScroll->setFixedHeight(
            bar.height() + ui->ToolBarScroll->horizontalScrollBar()->sizeHint().height());
    }
    if (needed.height() > room.height()) {
        ui->ScrollBox1->setMinimumHeight(0);
    }
    setMinimumSize(needed.boundedTo(room));
    resize(kClientSize.expandedTo(needed).boundedTo(room));
    CentreOnScreen(*this);
}

void TFormMain::BuildMenus() {
    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    menuPreferences_ = popupMenu1_->addAction(QStringLiteral("Preferences..."));
    menuPreferences_->setObjectName(QStringLiteral("menuPreferences"));
    popupMenu1_->addSeparator();
    QAction* help = popupMenu1_->addAction(QStringLiteral("Help..."));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* about = popupMenu1_->addAction(QStringLiteral("About..."));
    about->setObjectName(QStringLiteral("About1"));
    ui->SpMenu->setMenu(popupMenu1_);
    connect(menuPreferences_, &QAction::triggered, this, &TFormMain::menuPreferencesClick);
    connect(help, &QAction::triggered, this, &TFormMain::Help1Click);
    connect(about, &QAction::triggered, this, &TFormMain::About1Click);

    popupMenu2_ = new QMenu(this);
    popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
    QAction* open = popupMenu2_->addAction(QStringLiteral("Open Main Window"));
    open->setObjectName(QStringLiteral("OpenMainWindow1"));
    popupMenu2_->addSeparator();
    menuBackup_ = popupMenu2_->addMenu(QStringLiteral("Backup"));
    menuBackup_->setObjectName(QStringLiteral("menuBackup"));
    popupMenu2_->addSeparator();
    QAction* exit = popupMenu2_->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("Exit1"));
    connect(open, &QAction::triggered, this, &TFormMain::OpenMainWindow1Click);
    connect(exit, &QAction::triggered, this, &TFormMain::SpExitClick);
    // A question may have opened or closed since the items were last set.
    connect(popupMenu2_, &QMenu::aboutToShow, this, &TFormMain::ApplyControlStates);

    trayIcon1_ = new QSystemTrayIcon(this);
    trayIcon1_->setObjectName(QStringLiteral("TrayIcon1"));
    trayIcon1_->setToolTip(QString::fromLatin1(kProductName));
    trayIcon1_->setContextMenu(popupMenu2_);
    connect(trayIcon1_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // The service shows the menu on a right-button click itself.
                if (reason != QSystemTrayIcon::Context) {
                    OpenMainWindow1Click();
                }
            });
}

void TFormMain::ConnectHandlers() {
    connect(ui->SpExit, &QToolButton::clicked, this, &TFormMain::SpExitClick);
    connect(ui->SpStart, &QToolButton::clicked, this, [this] { SpStartClick(); });
    connect(ui->SpRestore, &QToolButton::clicked, this, &TFormMain::SpRestoreClick);
    connect(ui->comboProject, &QComboBox::activated, this, &TFormMain::comboProjectChange);
    connect(ui->comboProject, &QComboBox::currentTextChanged, this, &TFormMain::ShowBackupStatus);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TFormMain::PageControl1Change);
    connect(ui->SpCancelRun, &QPushButton::clicked, this, &TFormMain::CancelRun);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (runLocked_) {
            runHost_.RequestCancel();
        }
    });
}

void TFormMain::ReadStartupSettings() {
    settings_ = store_.ReadCommonSettings();
    for (const std::string& name : settings_.ProjectNames) {
        ui->comboProject->addItem(QString::fromStdString(name));
    }
    RebuildTrayBackupMenu();
    ui->comboProject->setCurrentIndex(
        StartupProjectIndex(settings_.ProjectNames, settings_.LastProject));
    ui->TabRestore->SetSortMarks(settings_.ByField, settings_.Sort);
    startMinimized_ = StartsMinimized(settings_);
}

std::vector<std::string> TFormMain::ProjectNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < ui->comboProject->count(); ++i) {
        names.push_back(ui->comboProject->itemText(i).toStdString());
    }
    return names;
}

bool TFormMain::SelectProject(const std::string& name) {
    const auto found = FindProjectName(ProjectNames(), name);
    ui->comboProject->setCurrentIndex(found ? static_cast<int>(*found) : -1);
    return found.has_value();
}

std::optional<BackupOutcome> TFormMain::SpStartClick() {
    return ui->Tabbackup->StartBackup();
}

void TFormMain::SpRestoreClick() {
    ui->TabRestore->StartRestore();
}

void TFormMain::comboProjectChange() {
    ui->Tabbackup->LoadSelectedProject();
}

void TFormMain::PageControl1Change() {
    if (ui->PageControl1->currentWidget() == ui->TabRestore) {
        ui->TabRestore->PageActivated();
    }
}

void TFormMain::menuPreferencesClick() {
    TFormPreferences preferences(*this);
    preferences.exec();
    preferences.CopyBackupOptionsTo(settings_);
    MarkScheduledProjects();
}

void TFormMain::RebuildSchedule() {
    schedule_->SetMissedBackups(settings_.RunMissedBackups);
    schedule_->RebuildSchedule();
    MarkScheduledProjects();
    ShowBackupStatus();
}

void TFormMain::ShowBackupStatus() {
    const LocalDateTime now = scheduleHost_.Now();
    trayIcon1_->setToolTip(
        QString::fromStdString(TrayToolTipText(kProductName, schedule_->Entries(), now)));
    // Without a project there is no backup to tell of; the first start's
    // hint takes the room instead.
    const std::string name(TrimBlanks(ui->comboProject->currentText().toStdString()));
    ui->LabelNextBackup->setVisible(!name.empty());
    ui->LabelLastBackup->setVisible(!name.empty());
    if (name.empty()) {
        return;
    }
    ui->LabelNextBackup->setText(
        QString::fromStdString(NextBackupText(schedule_->NextRun(name), now)));
    const auto seen = seenBackups_.find(name);
    const ProjectRecord project = store_.ReadProject(name);
    std::string last =
        LastBackupText(seen != seenBackups_.end() ? std::optional(seen->second) : std::nullopt,
                       project.LastBackup, now);
    if (const std::string stale = StaleBackupText(project, now); !stale.empty()) {
        last += "  " + stale;
    }
    ui->LabelLastBackup->setText(QString::fromStdString(last));
}

void TFormMain::NoticeStaleProjects() {
    const LocalDateTime now = scheduleHost_.Now();
    if (staleNoticeDay_ == now.Days()) {
        return;
    }
    const std::string text = StaleProjectsText(store_.ReadProjects(ProjectNames()), now);
    if (!text.empty()) {
        staleNoticeDay_ = now.Days();
        trayIcon1_->showMessage(QString::fromLatin1(kProductName), QString::fromStdString(text),
                                QSystemTrayIcon::Warning);
    }
}

void TFormMain::NoteBackupResult(const std::string& project, StoredBackupResult result) {
    seenBackups_[project] = {scheduleHost_.Now(), result};
    ShowBackupStatus();
}

void TFormMain::MarkScheduledProjects() {
    MarkProjectItems(*ui->comboProject, ScheduleMarks(store_.ReadProjects(ProjectNames())),
                     scheduleMark_);
}

void TFormMain::SetRunLock(bool enabled) {
    runLocked_ = !enabled;
    ApplyControlStates();
    if (enabled) {
        runHost_.ShowCurrentFile(std::string());
    }
    engineHost_.SetBusyCursor(!enabled);
    if (enabled && closeAfterRun_) {
        closeAfterRun_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TFormMain::CancelRun() {
    runHost_.RequestCancel();
}

void TFormMain::SetEditState(bool view) {
    editing_ = !view;
    ApplyControlStates();
}

WindowActivity TFormMain::Activity() const {
    return {editing_, runLocked_, QApplication::activeModalWidget() != nullptr};
}

void TFormMain::ApplyControlStates() {
    const ControlStates s = EnabledControls(Activity());
    ui->comboProject->setEnabled(s.ProjectSelector);
    ui->SpRename->setEnabled(s.RenameProject);
    ui->SpNew->setEnabled(s.NewProject);
    ui->SpEdit->setEnabled(s.EditProject);
    ui->SpDelete->setEnabled(s.DeleteProject);
    ui->SpSave->setEnabled(s.SaveProject);
    ui->SpCancel->setEnabled(s.CancelEdit);
    ui->SpStart->setEnabled(s.StartBackup);
    ui->SpRestore->setEnabled(s.StartRestore);
    menuPreferences_->setEnabled(s.Preferences);
    for (int page = 0; page < ui->PageControl1->count(); ++page) {
        ui->PageControl1->widget(page)->setEnabled(s.Pages);
    }
    ui->PageControl1->tabBar()->setEnabled(s.Pages);
    for (QAction* item : menuBackup_->actions()) {
        item->setEnabled(s.TrayBackupMenu);
    }
    ui->SpCancelRun->setVisible(s.CancelRun);
    ui->TabRestore->ApplyControlStates(s);
}

void TFormMain::RebuildTrayBackupMenu() {
    menuBackup_->clear();
    for (const std::string& name : ProjectNames()) {
        QAction* item = menuBackup_->addAction(MenuCaption(name));
        item->setData(QString::fromStdString(name));
        item->setEnabled(EnabledControls(Activity()).TrayBackupMenu);
        connect(item, &QAction::triggered, this, [this, item] { TrayBackupItemClick(item); });
    }
    SetTrayMarks(ScheduleMarks(store_.ReadProjects(ProjectNames())));
}

void TFormMain::SetTrayMarks(const std::vector<bool>& marks) {
    const QList<QAction*> items = menuBackup_->actions();
    for (qsizetype i = 0; i < items.size() && i < static_cast<qsizetype>(marks.size()); ++i) {
        items[i]->setIcon(marks[i] ? scheduleMark_ : QIcon());
    }
}

void TFormMain::NotifyScheduledBackupProblem(const std::string& project,
                                             StoredBackupResult result) {
    QString text = QStringLiteral("The scheduled backup of project '%1' was not made.");
    if (result == StoredBackupResult::Incomplete) {
        text = QStringLiteral(
            "The scheduled backup of project '%1' lacks files; its report names them.");
    } else if (result == StoredBackupResult::Unrecorded) {
        text = QStringLiteral("The scheduled backup of project '%1' was made, but its number "
                              "was not stored; its report says why.");
    } else if (result == StoredBackupResult::CopyFailed) {
        text = QStringLiteral("The scheduled backup of project '%1' was made, but its remote "
                              "copy failed; it is sent again at the next backup.");
    }
    trayIcon1_->showMessage(QString::fromLatin1(kProductName),
                            text.arg(QString::fromStdString(project)), QSystemTrayIcon::Warning);
}

void TFormMain::TrayBackupItemClick(QAction* item) {
    // The menu may have been opened before a question or a run began.
    if (!EnabledControls(Activity()).TrayBackupMenu) {
        return;
    }
    SelectProject(item->data().toString().toStdString());
    comboProjectChange();
    SpStartClick();
}

void TFormMain::OpenMainWindow1Click() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    // A question or report open over the window stays in front of it.
    if (QWidget* modal = QApplication::activeModalWidget();
        modal != nullptr && modal->isVisible() && modal->isEnabled()) {
        modal->raise();
        modal->activateWindow();
    }
}

void TFormMain::SpExitClick() {
    close();
}

void TFormMain::Help1Click() {
    OpenUserGuide(this, HelpFile());
}

void TFormMain::About1Click() {
    Taboutform about(HelpFile(), this);
    about.exec();
}

void TFormMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // "today" and "tomorrow" move on at midnight, also without a schedule
    // whose ticks would refresh them.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        ShowBackupStatus();
    }
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((windowState() & Qt::WindowMinimized) && !(change->oldState() & Qt::WindowMinimized)) {
        ApplicationEvents1Minimize();
    }
}

void TFormMain::ApplicationEvents1Minimize() {
    if (startMinimized_) {
        startMinimized_ = false;
        return;
    }
    // Without a tray the taskbar entry is the only way back to the window.
    if (setup_.TrayAvailable()) {
        QTimer::singleShot(0, this, [this] {
            if (windowState() & Qt::WindowMinimized) {
                hide();
            }
        });
    }
}

void TFormMain::AskToCloseDuringRun() {
    // The reader is busy from a restore's start to its report.
    const QString run = zipReader_->Busy() ? QStringLiteral("restore") : QStringLiteral("backup");
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProductName),
                    QStringLiteral("A %1 is running.\nCancel it and close the program, or close "
                                   "the program when the %1 has ended?")
                        .arg(run),
                    QMessageBox::NoButton, this);
    QPushButton* cancelAndClose =
        box.addButton(QStringLiteral("Cancel %1 and Close").arg(run.at(0).toUpper() + run.mid(1)),
                      QMessageBox::DestructiveRole);
    cancelAndClose->setObjectName(QStringLiteral("ButtonCancelRunAndClose"));
    QPushButton* closeWhenDone =
        box.addButton(QStringLiteral("Close When It Ends"), QMessageBox::AcceptRole);
    closeWhenDone->setObjectName(QStringLiteral("ButtonCloseWhenRunEnds"));
    QPushButton* keepOpen = box.addButton(QStringLiteral("Keep Running"), QMessageBox::RejectRole);
    keepOpen->setObjectName(QStringLiteral("ButtonKeepRunning"));
    box.setDefaultButton(closeWhenDone);
    box.setEscapeButton(keepOpen);
    // The run waits under the question: it goes on, or stops at its next
    // chunk, once answered.
    box.exec();
    if (box.clickedButton() == cancelAndClose || box.clickedButton() == closeWhenDone) {
        closeAfterRun_ = true;
    }
    if (box.clickedButton() == cancelAndClose) {
        runHost_.RequestCancel();
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (runLocked_) {
        event->ignore();
        if (!closeAfterRun_) {
            AskToCloseDuringRun();
        }
        return;
    }
    timer1_.stop();
    try {
        WriteExitState();
    } catch (const std::exception& error) {
        ShowMessageBox(this, error.what(), MessageKind::Error);
    }
    trayIcon1_->hide();
    event->accept();
    emit Closed();
}

void TFormMain::WriteExitState() {
    CommonSettings exit = settings_;
    exit.ProjectNames = ProjectNames();
    exit.LastProject = ui->comboProject->currentText().toStdString();
    exit.ByField = ui->TabRestore->MarkedSortField();
    exit.Sort = ui->TabRestore->MarkedSortOrder();
    store_.WriteExitState(exit);
}

} // namespace mzb
