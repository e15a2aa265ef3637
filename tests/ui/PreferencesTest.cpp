// The preferences window over a prepared project.ini: its options written
// by Apply, the schedule written by its own save, the dirty state, the
// autostart entry, and the schedule that Apply rebuilds and Timer1 runs.

#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "UiTest.h"
#include "core/base/DateText.h"
#include "platform/AutostartEntry.h"
#include "platform/KnownDirectories.h"
#include "support/FakeRunHost.h"
#include "ui/BackupPage.h"
#include "ui/TFormPreferences.h"
#include "ui_TFormPreferences.h"

#include <QApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <filesystem>

using namespace mzb;
using test::CommonWith;
using test::MainWindowFixture;
using test::ReadFile;

namespace {

const std::string kTwoProjects =
    CommonWith({"Docs", "Mail"}, "Width=4\n") +
    "[Docs]\nIsEnabledAutoBack=1\nBackupMode=2\nStartTime_or_Increase=friday\n"
    "Last Backup=2024-03-08 12:00:02\n"
    "[Mail]\nBackupMode=1\nStartTime_or_Increase=abc\n";

// The first message box that opens is answered with its default button.
test::ModalDriver AnswerNextMessage(QString* text) {
    return test::ModalDriver([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            *text = box->text();
            box->accept();
        }
    });
}

// A fresh XDG_CONFIG_HOME for the autostart entry, dropped at the end.
struct ConfigHome {
    test::TempDir dir;
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.dir())); }
    ~ConfigHome() { qunsetenv("XDG_CONFIG_HOME"); }
};

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void optionsShownAppliedAndTheAutostartEntryFollowsRun() {
        ConfigHome config;
        MainWindowFixture f;
        f.WriteIni(kTwoProjects);
        auto form = f.Open();
        {
            TFormPreferences p(*form);
            Ui::TFormPreferences& c = p.Controls();
            QCOMPARE(p.windowTitle(), QStringLiteral("Preferences"));
            QCOMPARE(c.PageControl1->currentIndex(), 0);
            QVERIFY(!c.cbRun->isChecked());
            QVERIFY(!c.cbMini->isEnabled());
            QVERIFY(c.rbSkip->isChecked());
            QCOMPARE(c.SpinEdit1->value(), 4);
            QVERIFY(c.btnClose->isDefault());

            c.cbRun->click();
            QVERIFY(c.cbMini->isEnabled());
            c.cbMini->click();
            c.rbOverwrite->click();
            c.cbprompt->click();
            c.cbWidth->click();
            c.SpinEdit1->setValue(7);
            c.cbRunMissed->click();
            c.btnApply->click();
            QCOMPARE(p.result(), int(QDialog::Accepted));
        }
        const CommonSettings stored = form->Store().ReadCommonSettings();
        QVERIFY(stored.AutoRun && stored.IsMinimized && stored.IsOverWrite && stored.IsAppend0 &&
                stored.RunMissedBackups);
        QCOMPARE(stored.Width, 7);
        // The confirmation flag goes to memory; the file gets it at exit.
        QVERIFY(!stored.PromptBeforeBackup);
        QVERIFY(form->Settings().PromptBeforeBackup);
        const std::string entry = config.dir.dir() + "autostart/Morvaleen Direride Backup.desktop";
        QCOMPARE(ReadFile(entry), AutostartEntryText(ExecutablePath()));

        // Off again: the entry goes; "Run Minimized" keeps its mark, disabled.
        {
            TFormPreferences p(*form);
            p.Controls().cbRun->click();
            QVERIFY(!p.Controls().cbMini->isEnabled());
            p.Controls().btnApply->click();
        }
        QVERIFY(!std::filesystem::exists(entry));
        QVERIFY(form->Store().ReadCommonSettings().IsMinimized);

        // An entry that cannot be written stops Apply with the error.
        std::filesystem::remove_all(config.dir.dir() + "autostart");
        config.dir.write("autostart", "");
        const std::string before = f.IniText();
        TFormPreferences p(*form);
        p.Controls().cbRun->click();
        QString message;
        const auto answer = AnswerNextMessage(&message);
        p.Controls().btnApply->click();
        QCOMPARE(message, QStringLiteral("Failed to set data for 'Morvaleen Direride Backup'"));
        QCOMPARE(p.result(), 0);
        QCOMPARE(f.IniText(), before);
    }

    void scheduleTabShowsSavesAndBlocksWhileDirty() {
        MainWindowFixture f;
        f.WriteIni(kTwoProjects);
        auto form = f.Open();
        TFormPreferences p(*form);
        Ui::TFormPreferences& c = p.Controls();
        QCOMPARE(c.cbProject->count(), 2);
        QVERIFY(!c.cbProject->itemIcon(0).isNull());
        QVERIFY(c.cbProject->itemIcon(1).isNull());
        // A weekday stored in other letter case is still shown.
        QVERIFY(c.cbAutoRun->isChecked());
        QVERIFY(c.radioWeekly->isChecked());
        QCOMPARE(c.cbWeekly->currentText(), QStringLiteral("Friday"));
        QVERIFY(c.cbWeekly->isEnabled() && !c.DateTimePicker1->isEnabled());
        QVERIFY(c.LabelScheduleTimes->text().contains("Last backup: 2024-03-08 12:00:02"));
        QVERIFY(!c.Spsave->isEnabled() && !c.SpCancel->isEnabled() && c.btnClose->isEnabled());

        c.radioOnce->click();
        QVERIFY(c.Spsave->isEnabled() && c.SpCancel->isEnabled());
        QVERIFY(!c.cbProject->isEnabled() && !c.btnApply->isEnabled() && !c.btnClose->isEnabled());
        // Escape is Close, which the pending edit disables.
        p.show();
        QTest::keyClick(&p, Qt::Key_Escape);
        QVERIFY(p.isVisible());
        c.SpCancel->click();
        QVERIFY(c.radioWeekly->isChecked() && c.cbProject->isEnabled());

        // Mail: an unreadable minute count shows 5; saved as the spin's value.
        c.cbProject->setCurrentIndex(1);
        emit c.cbProject->activated(1);
        QVERIFY(c.radioDaily->isChecked());
        QCOMPARE(c.SpinEditNumber->value(), 5);
        QVERIFY(c.LabelScheduleTimes->text().contains("never"));
        c.cbAutoRun->click();
        QCOMPARE(c.cbAutoRun->palette().color(QPalette::WindowText).hue(), 0);
        c.SpinEditNumber->setValue(15);
        c.Spsave->click();
        QCOMPARE(form->Store().ReadSchedule("Mail"), (StoredSchedule{true, 1, "15"}));
        QVERIFY(!c.cbProject->itemIcon(1).isNull());
        QVERIFY(c.btnApply->isEnabled() && !c.Spsave->isEnabled());
        // Not in the table until Apply, but the tab already tells when it
        // will run.
        QVERIFY(!form->ScheduleTable().NextRun("Mail"));
        QVERIFY(!c.LabelScheduleTimes->text().contains("not scheduled"));
        QVERIFY(c.LabelScheduleTimes->text().endsWith("(takes effect with Apply)"));
        c.btnApply->click();
        QVERIFY(form->ScheduleTable().NextRun("Mail"));
    }

    void closeTakesTheBackupOptionsIntoMemoryOnly() {
        MainWindowFixture f;
        f.WriteIni(kTwoProjects);
        auto form = f.Open();
        const std::string before = f.IniText();
        const test::ModalDriver driver([](QWidget* modal) {
            auto* p = qobject_cast<TFormPreferences*>(modal);
            QVERIFY(p != nullptr);
            p->Controls().cbWidth->click();
            p->Controls().rbOverwrite->click();
            p->Controls().SpinEdit1->setValue(9);
            p->Controls().cbprompt->click();
            p->Controls().btnClose->click();
        });
        form->menuPreferencesClick();
        QVERIFY(form->Settings().IsAppend0 && form->Settings().IsOverWrite);
        QCOMPARE(form->Settings().Width, 9);
        QVERIFY(!form->Settings().PromptBeforeBackup);
        QCOMPARE(f.IniText(), before);
    }

    void aDueTickBacksUpThroughTheWindow() {
        MainWindowFixture f;
        f.WriteIni(CommonWith({"Docs", "Mail"}, "Last Project=Docs\n") +
                   "[Mail]\nIsEnabledAutoBack=1\nBackupMode=1\nStartTime_or_Increase=5\n");
        auto form = f.Open();
        LocalDateTime now = *ParseDateTime("2024-03-10 10:00:00");
        form->Scheduling().SetClock([&now] { return now; });
        form->RebuildSchedule();
        QTimer& timer = form->Timer1();
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 60000);
        QCOMPARE(timer.timerType(), Qt::PreciseTimer);
        QCOMPARE(form->Controls().comboProject->currentText(), QStringLiteral("Docs"));
        QVERIFY(form->Controls().comboProject->itemIcon(0).isNull());
        QVERIFY(!form->Controls().comboProject->itemIcon(1).isNull());

        // The due project is backed up through Start Backup's handler, which
        // refuses it for its empty prefix; the message is answered here.
        test::FakeRunHost host;
        form->Controls().Tabbackup->SetHost(host);
        now = *ParseDateTime("2024-03-10 10:06:00");
        QVERIFY(QMetaObject::invokeMethod(&timer, "timeout"));
        QCOMPARE(form->Controls().comboProject->currentText(), QStringLiteral("Mail"));
        QCOMPARE(host.messages.size(), std::size_t(1));
        QCOMPARE(host.messages[0].text, std::string("Please input the prefix of backup filename"));
        QCOMPARE(FormatDateTime(*form->ScheduleTable().NextRun("Mail")),
                 std::string("2024-03-10 10:10:00"));
        // Without opening a menu: the shown project's next and last backup,
        // and in the tray the next backup of all.
        QCOMPARE(form->Controls().LabelNextBackup->text(),
                 QStringLiteral("Next backup: today at 10:10:00"));
        QCOMPARE(
            form->Controls().LabelLastBackup->text(),
            QStringLiteral("Last backup: today at 10:06:00, not made: the project check failed"));
        QCOMPARE(form->findChild<QSystemTrayIcon*>()->toolTip(),
                 QStringLiteral("Morvaleen ZIP Backup\nNext backup: Mail, today at 10:10:00"));
    }
};

MZB_UI_TEST(PreferencesTest);
#include "PreferencesTest.moc"
