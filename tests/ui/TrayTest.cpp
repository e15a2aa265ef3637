// The tray menu, the run lock and the window's minimise and restore, with
// and without a tray on the desktop.

#include "MainWindowFixture.h"
#include "PostedEvents.h"
#include "UiTest.h"
#include "support/FakeRunHost.h"
#include "ui/BackupPage.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

using namespace mzb;
using test::CommonWith;
using test::MainWindowFixture;

namespace {

QMenu* BackupMenu(TFormMain& form) {
    return form.findChild<QMenu*>(QStringLiteral("menuBackup"));
}

QStringList Captions(QMenu* menu) {
    QStringList captions;
    for (QAction* a : menu->actions()) {
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return captions;
}

QStringList Marked(QMenu* menu) {
    QStringList marked;
    for (QAction* a : menu->actions()) {
        if (!a->icon().isNull()) {
            marked << a->text();
        }
    }
    return marked;
}

const std::string kThreeProjects = CommonWith({"Photos", "alpha", "R&D"}, "") +
                                   "[alpha]\nIsEnabledAutoBack=1\n[R&D]\nIsEnabledAutoBack=0\n";

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void trayMenuHoldsItsItemsInOrder() {
        MainWindowFixture f;
        auto form = f.Open();
        auto* tray = form->findChild<QSystemTrayIcon*>(QStringLiteral("TrayIcon1"));
        QVERIFY(tray != nullptr);
        QCOMPARE(tray->toolTip(), QStringLiteral("Morvaleen ZIP Backup\nNo backup scheduled"));
        QVERIFY(!tray->icon().isNull());
        QMenu* menu = tray->contextMenu();
        QCOMPARE(menu->objectName(), QStringLiteral("PopupMenu2"));
        QCOMPARE(Captions(menu), (QStringList{"Open Main Window", "-", "Backup", "-", "E&xit"}));
        QVERIFY(Captions(BackupMenu(*form)).isEmpty());
    }

    void backupSubmenuListsTheProjectsWithTheirScheduleMarks() {
        MainWindowFixture f;
        f.WriteIni(kThreeProjects);
        auto form = f.Open();
        QMenu* backup = BackupMenu(*form);
        // An '&' of a name is a letter of the caption, not an accelerator.
        QCOMPARE(Captions(backup), (QStringList{"alpha", "Photos", "R&&D"}));
        QCOMPARE(Marked(backup), QStringList{"alpha"});

        // A new project and a new schedule appear at the next rebuild.
        f.dir.write("project.ini", kThreeProjects + "[Photos]\nIsEnabledAutoBack=1\n");
        form->Controls().comboProject->insertItem(1, QStringLiteral("beta"));
        form->RebuildTrayBackupMenu();
        QCOMPARE(Captions(backup), (QStringList{"alpha", "beta", "Photos", "R&&D"}));
        QCOMPARE(Marked(backup), (QStringList{"alpha", "Photos"}));

        form->SetTrayMarks({false, false, false, true});
        QCOMPARE(Marked(backup), QStringList{"R&&D"});
    }

    void trayBackupItemSelectsItsProject() {
        MainWindowFixture f;
        f.WriteIni(kThreeProjects + "[Common]\nLast Project=alpha\n");
        auto form = f.Open();
        QCOMPARE(form->Controls().comboProject->currentText(), QStringLiteral("alpha"));
        // The run that follows refuses the empty project; its message is
        // answered here instead of waiting for a person.
        test::FakeRunHost host;
        form->Controls().Tabbackup->SetHost(host);
        BackupMenu(*form)->actions().at(2)->trigger();
        QCOMPARE(form->Controls().comboProject->currentText(), QStringLiteral("R&D"));
        QCOMPARE(host.messages.size(), std::size_t(1));
        QCOMPARE(host.messages[0].text, std::string("Please input the prefix of backup filename"));
    }

    void runLockDisablesTheRunCommandsPagesAndTraySubmenu() {
        MainWindowFixture f;
        f.WriteIni(kThreeProjects);
        auto form = f.Open();
        const auto& c = form->Controls();
        form->Host().SetRunLock(false);
        QVERIFY(!c.SpStart->isEnabled() && !c.SpRestore->isEnabled());
        QVERIFY(!c.Tabbackup->isEnabled() && !c.TabRestore->isEnabled());
        QVERIFY(!form->Scheduling().IsStartEnabled());
        // A rebuild during the run keeps the new items locked.
        form->RebuildTrayBackupMenu();
        for (QAction* item : BackupMenu(*form)->actions()) {
            QVERIFY(!item->isEnabled());
        }
        form->Host().SetRunLock(true);
        QVERIFY(c.SpStart->isEnabled() && c.SpRestore->isEnabled() && c.Tabbackup->isEnabled());
        for (QAction* item : BackupMenu(*form)->actions()) {
            QVERIFY(item->isEnabled());
        }
    }

    void minimiseGoesToTheTrayAndATrayClickBringsItBack() {
        MainWindowFixture f;
        auto form = f.Open(true);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->setWindowState(Qt::WindowMinimized);
        // The same wait that shows a window without a tray staying up.
        QVERIFY(test::DeliverPostedEvents());
        QVERIFY(form->isHidden());
        form->OpenMainWindow1Click();
        QVERIFY(form->isVisible());
        QVERIFY(!(form->windowState() & Qt::WindowMinimized));
    }

    void withoutATrayMinimiseKeepsTheTaskbarEntry() {
        MainWindowFixture f;
        auto form = f.Open(false);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->setWindowState(Qt::WindowMinimized);
        QVERIFY(test::DeliverPostedEvents());
        QVERIFY(form->isVisible());
    }

    void afterAMinimisedStartTheNextMinimiseGoesToTheTray() {
        MainWindowFixture f;
        f.WriteIni(CommonWith({}, "Auto Run=1\nIs Minimized=1\n"));
        auto form = f.Open(true);
        form->show();
        QVERIFY(test::DeliverPostedEvents());
        QVERIFY(form->isVisible());
        form->OpenMainWindow1Click();
        form->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(form->isHidden());
    }
};

MZB_UI_TEST(TrayTest);
#include "TrayTest.moc"
