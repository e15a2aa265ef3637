#include "ui/TFormPreferences.h"

#include "core/project/CommonSettings.h"
#include "core/schedule/BackupStatusText.h"
#include "core/schedule/Schedule.h"
#include "platform/AutostartEntry.h"
#include "platform/KnownDirectories.h"
#include "ui/AccessibleNames.h"
#include "ui/ProjectItemDelegate.h"
#include "ui/TFormMain.h"
#include "ui/TextColour.h"
#include "ui/WindowPlacement.h"
#include "ui_TFormPreferences.h"

#include <QKeyEvent>

namespace mzb {
namespace {

constexpr int kGeneralTab = 0;
constexpr int kProjectItemHeight = 15;

QTime ToQTime(LocalDateTime timeOfDay) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(timeOfDay.MsOfDay()));
}

LocalDateTime FromQTime(QTime time) {
    return LocalDateTime::TimeOfDay(time.hour(), time.minute(), time.second());
}

} // namespace

TFormPreferences::TFormPreferences(TFormMain& form)
    : QDialog(&form), ui(std::make_unique<Ui::TFormPreferences>()), form_(form) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    ui->cbProject->setIconSize(QSize(kProjectItemHeight, kProjectItemHeight));
    NameControlsForAssistiveTools(*this);

    connect(ui->cbRun, &QCheckBox::clicked, this, &TFormPreferences::cbRunClick);
    connect(ui->cbProject, &QComboBox::activated, this, &TFormPreferences::cbProjectChange);
    for (QRadioButton* mode : {ui->radioOnce, ui->radioDaily, ui->radioWeekly}) {
        connect(mode, &QRadioButton::clicked, this, &TFormPreferences::radioOnceClick);
    }
    connect(ui->cbAutoRun, &QCheckBox::clicked, this, &TFormPreferences::cbAutoRunClick);
    const auto dirty = [this] { SetScheduleDirty(true); };
    connect(ui->DateTimePicker1, &QTimeEdit::timeChanged, this, dirty);
    connect(ui->SpinEditNumber, &QSpinBox::valueChanged, this, dirty);
    connect(ui->SpinWarnDays, &QSpinBox::valueChanged, this, dirty);
    connect(ui->cbWeekly, &QComboBox::activated, this, dirty);
    connect(ui->Spsave, &QToolButton::clicked, this, &TFormPreferences::SpsaveClick);
    connect(ui->SpCancel, &QToolButton::clicked, this, &TFormPreferences::SpCancelClick);
    connect(ui->btnApply, &QPushButton::clicked, this, &TFormPreferences::btnApplyClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &TFormPreferences::btnCloseClick);
    FormCreate();
    // A fixed border that still grows with the font and with the longer
    // schedule times a save may show.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    CentreOnScreen(*this);
}

void TFormPreferences::keyPressEvent(QKeyEvent* event) {
    // Escape acts as Close, which a pending schedule edit disables; only the
    // close box still drops the edit.
    if (event->key() == Qt::Key_Escape && !ui->btnClose->isEnabled()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

TFormPreferences::~TFormPreferences() = default;

void TFormPreferences::FormCreate() {
    const CommonSettings& settings = form_.Settings();
    ui->cbprompt->setChecked(settings.PromptBeforeBackup);
    ui->PageControl1->setCurrentIndex(kGeneralTab);
    // The file's values, not the ones in memory: Close without Apply
    // changes the memory, and the window shows what is stored.
    const CommonSettings stored = form_.Store().ReadCommonSettings();
    ui->cbRun->setChecked(stored.AutoRun);
    ui->cbMini->setChecked(stored.IsMinimized);
    cbRunClick();
    ui->cbWidth->setChecked(stored.IsAppend0);
    ui->SpinEdit1->setValue(stored.Width);
    ui->rbOverwrite->setChecked(stored.IsOverWrite);
    ui->rbSkip->setChecked(!stored.IsOverWrite);
    ui->cbRunMissed->setChecked(stored.RunMissedBackups);

    for (const std::string& name : form_.ProjectNames()) {
        ui->cbProject->addItem(QString::fromStdString(name));
    }
    MarkProjects();
    if (ui->cbProject->count() > 0) {
        ui->cbProject->setCurrentIndex(0);
        cbProjectChange();
    }
}

void TFormPreferences::cbRunClick() {
    ui->cbMini->setEnabled(ui->cbRun->isChecked());
}

void TFormPreferences::cbProjectChange() {
    const std::string name = ui->cbProject->currentText().toStdString();
    const ShownSchedule shown = ShowSchedule(form_.Store().ReadSchedule(name));
    ui->cbAutoRun->setChecked(shown.Enabled);
    ui->SpinWarnDays->setValue(shown.WarnAfterDays);
    SetAutoRunColour();
    // Setting the controls is no edit; the dirty state is reset below.
    switch (shown.Mode) {
    case static_cast<int>(ScheduleKind::DailyAt):
        ui->radioOnce->setChecked(true);
        ui->DateTimePicker1->setTime(ToQTime(shown.Time));
        break;
    case static_cast<int>(ScheduleKind::EveryMinutes):
        ui->radioDaily->setChecked(true);
        ui->SpinEditNumber->setValue(shown.Minutes);
        break;
    case static_cast<int>(ScheduleKind::WeeklyOn):
        ui->radioWeekly->setChecked(true);
        ui->cbWeekly->setCurrentIndex(shown.Weekday);
        break;
    default:
        break; // a mode this program never writes: the buttons stay
    }
    radioOnceClick();
    SetScheduleDirty(false);
    ShowScheduleTimes();
}

void TFormPreferences::radioOnceClick() {
    const bool once = ui->radioOnce->isChecked();
    const bool daily = ui->radioDaily->isChecked();
    const bool weekly = ui->radioWeekly->isChecked();
    ui->DateTimePicker1->setEnabled(once);
    ui->SpinEditNumber->setEnabled(daily);
    ui->cbhour->setEnabled(daily);
    ui->cbWeekly->setEnabled(weekly);
    ui->cbtime->setEnabled(weekly);
    if (weekly && ui->cbWeekly->currentIndex() < 0) {
        ui->cbWeekly->setCurrentIndex(0);
    }
    SetScheduleDirty(true);
}

void TFormPreferences::cbAutoRunClick() {
    SetScheduleDirty(true);
    SetAutoRunColour();
}

void TFormPreferences::SetScheduleDirty(bool dirty) {
    ui->Spsave->setEnabled(dirty);
    ui->SpCancel->setEnabled(dirty);
    ui->cbProject->setEnabled(!dirty);
    ui->btnApply->setEnabled(!dirty);
    ui->btnClose->setEnabled(!dirty);
}

ShownSchedule TFormPreferences::ShownControls() const {
    ShownSchedule shown;
    shown.Enabled = ui->cbAutoRun->isChecked();
    shown.Mode = ui->radioDaily->isChecked()    ? static_cast<int>(ScheduleKind::EveryMinutes)
                 : ui->radioWeekly->isChecked() ? static_cast<int>(ScheduleKind::WeeklyOn)
                                                : static_cast<int>(ScheduleKind::DailyAt);
    shown.Time = FromQTime(ui->DateTimePicker1->time());
    // A value typed and saved without leaving the field counts as typed.
    ui->SpinEditNumber->interpretText();
    shown.Minutes = ui->SpinEditNumber->value();
    shown.Weekday = ui->cbWeekly->currentIndex();
    ui->SpinWarnDays->interpretText();
    shown.WarnAfterDays = ui->SpinWarnDays->value();
    return shown;
}

void TFormPreferences::SpsaveClick() {
    const std::string name = ui->cbProject->currentText().toStdString();
    try {
        form_.Store().WriteSchedule(name, StoreSchedule(ShownControls()));
    } catch (const std::exception& error) {
        form_.Host().ShowMessage(error.what(), MessageKind::Error);
        return;
    }
    SetScheduleDirty(false);
    MarkProjects();
    awaitingApply_.insert(name);
    ShowScheduleTimes();
}

void TFormPreferences::SpCancelClick() {
    cbProjectChange();
}

bool TFormPreferences::RegisterStartup() {
    const bool done =
        ui->cbRun->isChecked() ? WriteAutostartEntry(ExecutablePath()) : RemoveAutostartEntry();
    if (!done) {
        form_.Host().ShowMessage(std::string("Failed to set data for '") + kAutostartName + "'",
                                 MessageKind::Error);
    }
    return done;
}

void TFormPreferences::btnApplyClick() {
    CommonSettings& settings = form_.Settings();
    settings.PromptBeforeBackup = ui->cbprompt->isChecked();
    if (!RegisterStartup()) {
        return;
    }
    CommonSettings written = settings;
    written.AutoRun = ui->cbRun->isChecked();
    written.IsMinimized = ui->cbMini->isChecked();
    CopyBackupOptionsTo(written);
    written.RunMissedBackups = ui->cbRunMissed->isChecked();
    try {
        form_.Store().WritePreferences(written);
    } catch (const std::exception& error) {
        form_.Host().ShowMessage(error.what(), MessageKind::Error);
        return;
    }
    // The schedule's own switch takes effect with the rebuild below.
    settings.RunMissedBackups = written.RunMissedBackups;
    form_.RebuildSchedule();
    accept();
}

void TFormPreferences::btnCloseClick() {
    reject();
}

void TFormPreferences::CopyBackupOptionsTo(CommonSettings& settings) const {
    settings.IsAppend0 = ui->cbWidth->isChecked();
    ui->SpinEdit1->interpretText();
    settings.Width = ui->SpinEdit1->value();
    settings.IsOverWrite = ui->rbOverwrite->isChecked();
}

void TFormPreferences::SetAutoRunColour() {
    SetTextColour(*ui->cbAutoRun, ui->cbAutoRun->isChecked() ? kRed : QColor());
}

void TFormPreferences::MarkProjects() {
    std::vector<std::string> names;
    for (int i = 0; i < ui->cbProject->count(); ++i) {
        names.push_back(ui->cbProject->itemText(i).toStdString());
    }
    MarkProjectItems(*ui->cbProject, ScheduleMarks(form_.Store().ReadProjects(names)),
                     form_.ScheduleMark());
}

void TFormPreferences::ShowScheduleTimes() {
    const std::string name = ui->cbProject->currentText().toStdString();
    const LocalDateTime now = form_.Scheduling().Now();
    // A schedule saved here runs only from the next rebuild on; until then
    // the tab shows when it will run once applied.
    const bool awaitsApply = awaitingApply_.count(name) != 0;
    std::optional<LocalDateTime> next = form_.ScheduleTable().NextRun(name);
    if (awaitsApply) {
        next.reset();
        const StoredSchedule saved = form_.Store().ReadSchedule(name);
        if (saved.IsEnabledAutoBack) {
            const ScheduleEntry entry = MakeScheduleEntry(name, saved, now);
            if (entry.NextRun != ScheduleEntry::kNever) {
                next = entry.NextRun;
            }
        }
    }
    ui->LabelScheduleTimes->setText(QString::fromStdString(
        ScheduleTimesText(form_.Store().ReadLastBackup(name), next, awaitsApply, now)));
}

} // namespace mzb
