// The main window as its creation leaves it, from prepared project.ini
// files, and the exit state its close writes back.

#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "PostedEvents.h"
#include "UiTest.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace mzb;
using test::CommonWith;
using test::MainWindowFixture;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void withoutProjectIniOpensEmptyAndWritesNothing() {
        MainWindowFixture f;
        auto form = f.Open();
        QCOMPARE(form->Controls().comboProject->count(), 0);
        QCOMPARE(form->Controls().PageControl1->currentWidget(), form->Controls().Tabbackup);
        QVERIFY(!form->StartMinimized());
        form->close();
        QVERIFY(!std::filesystem::exists(f.IniPath()));
    }

    void toolBarHoldsEveryControlInOrderWithoutOverlap() {
        MainWindowFixture f;
        auto form = f.Open();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Morvaleen ZIP Backup  V1.00"));
        QCOMPARE(form->size(), QSize(712, 515));
        QCOMPARE(form->Controls().ToolBar1->height(), 37);
        QCOMPARE(form->Controls().ProgressBar1->height(), 20);
        QCOMPARE(form->Controls().ProgressBar1->maximum(), 100);
        QCOMPARE(form->Controls().PageControl1->tabText(0), QStringLiteral("Backup "));
        QCOMPARE(form->Controls().PageControl1->tabText(1), QStringLiteral("Restore"));

        struct Control {
            const char* name;
            const char* hint;
            bool enabled;
        };
        const Control controls[] = {
            {"Label1", "", true},
            {"comboProject", "", true},
            {"SpRename", "Rename Project", true},
            {"SpNew", "New Project", true},
            {"SpEdit", "Edit Project", true},
            {"SpDelete", "Delete Project", true},
            {"SpSave", "Save Project", false},
            {"SpCancel", "Cancel ", false},
            {"SpMenu", "Menu", true},
            {"SpStart", "Start Backup", true},
            {"SpRestore", "Start Restore", true},
            {"SpExit", "Exit", true},
        };
        int right = 0;
        for (const Control& c : controls) {
            auto* w = form->findChild<QWidget*>(QString::fromLatin1(c.name));
            QVERIFY2(w != nullptr, c.name);
            QVERIFY2(w->x() >= right, c.name); // left of it ends before it starts
            QVERIFY2(w->width() >= w->minimumSizeHint().width(), c.name);
            QCOMPARE(w->toolTip(), QString::fromLatin1(c.hint));
            QCOMPARE(w->isEnabled(), c.enabled);
            right = w->x() + w->width();
        }
        QVERIFY(right <= form->Controls().ToolBar1->width());
        QCOMPARE(form->Controls().Label1->text(), QStringLiteral("Project:"));
        // SpExit stands at the right edge.
        QVERIFY(form->Controls().ToolBar1->width() - right < 10);

        QMenu* menu = form->Controls().SpMenu->menu();
        QVERIFY(menu != nullptr);
        QStringList items;
        for (QAction* a : menu->actions()) {
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(items, (QStringList{"Preferences...", "-", "Help...", "About..."}));
    }

    void lastProjectIsSelected_data() {
        QTest::addColumn<QString>("lastProject");
        QTest::addColumn<QString>("selected");
        // The rule's cases are the core's; these two show that the window
        // applies it to the sorted list.
        QTest::newRow("other case") << "BETA"
                                    << "beta";
        QTest::newRow("gone") << "deleted"
                              << "Alpha";
    }
    void lastProjectIsSelected() {
        QFETCH(QString, lastProject);
        QFETCH(QString, selected);
        MainWindowFixture f;
        // Listed out of order: the selector keeps the names sorted.
        f.WriteIni(CommonWith({"gamma", "beta", "Alpha"},
                              "Last Project=" + lastProject.toStdString() + "\n"));
        auto form = f.Open();
        QComboBox* combo = form->Controls().comboProject;
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QStringLiteral("Alpha"));
        QCOMPARE(combo->itemText(2), QStringLiteral("gamma"));
        QCOMPARE(combo->currentText(), selected);
    }

    void sortMarksComeFromByFieldAndSort_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("byField");
        QTest::addColumn<int>("sort");
        QTest::newRow("missing") << "" << 2 << 0;
        QTest::newRow("by name") << "By Field=0\nSort=1\n" << 0 << 1;
        QTest::newRow("by size") << "By Field=1\n" << 1 << 0;
        QTest::newRow("out of range") << "By Field=3\nSort=2\n" << 0 << 0;
        QTest::newRow("no number") << "By Field=size\nSort=down\n" << 2 << 0;
    }
    void sortMarksComeFromByFieldAndSort() {
        QFETCH(QString, keys);
        QFETCH(int, byField);
        QFETCH(int, sort);
        MainWindowFixture f;
        f.WriteIni(CommonWith({"a"}, keys.toStdString()));
        auto form = f.Open();
        QCOMPARE(form->Controls().TabRestore->MarkedSortField(), byField);
        QCOMPARE(form->Controls().TabRestore->MarkedSortOrder(), sort);
    }

    void startsMinimizedOnlyWithBothKeys_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("minimized");
        QTest::newRow("both") << "Auto Run=1\nIs Minimized=1\n" << true;
        QTest::newRow("only minimized") << "Auto Run=0\nIs Minimized=1\n" << false;
    }
    void startsMinimizedOnlyWithBothKeys() {
        QFETCH(QString, keys);
        QFETCH(bool, minimized);
        MainWindowFixture f;
        f.WriteIni(CommonWith({}, keys.toStdString()));
        auto form = f.Open(true);
        QCOMPARE(bool(form->windowState() & Qt::WindowMinimized), minimized);
        // The start-up minimise consumed the flag and kept the taskbar entry.
        QVERIFY(!form->StartMinimized());
        form->show();
        QVERIFY(test::DeliverPostedEvents());
        QVERIFY(form->isVisible());
    }

    void closeWritesTheExitStateInOrder() {
        MainWindowFixture f;
        f.WriteIni(CommonWith({"Beta", "alpha"}, "Auto Run=1\n"));
        auto form = f.Open();
        form->Timer1().start();
        form->Settings().PromptBeforeBackup = true;
        form->Controls().comboProject->setCurrentIndex(1);
        form->Controls().TabRestore->SetSortMarks(1, 1);
        form->close();
        QVERIFY(!form->Timer1().isActive());
        const std::string text = f.IniText();
        const std::string expected =
            "Project Count=2\nCount0=alpha\nCount1=Beta\nAuto Run=1\n"
            "PromptBeforeBackup=1\nLast Project=Beta\nBy Field=1\nSort=1\n";
        QCOMPARE(QString::fromStdString(text), QString::fromStdString("[Common]\n" + expected));
    }

    void closeDuringARunWaitsForItsEnd() {
        MainWindowFixture f;
        f.WriteIni(CommonWith({"a"}, ""));
        auto form = f.Open();
        form->show();
        QSignalSpy closed(form.get(), &TFormMain::Closed);
        form->Host().SetRunLock(false);
        const test::ModalDriver driver([](QWidget* question) {
            question->findChild<QAbstractButton*>(QStringLiteral("ButtonCloseWhenRunEnds"))
                ->click();
        });
        form->Controls().SpExit->click();
        QVERIFY(!driver.WatchdogFired());
        QVERIFY(form->isVisible());
        QVERIFY(closed.isEmpty());
        form->Host().SetRunLock(true);
        QVERIFY(closed.wait(5000));
        QVERIFY(f.IniText().find("Last Project=a") != std::string::npos);
    }

    void closeWithAnEmptyListWritesNothing() {
        MainWindowFixture f;
        const std::string ini = CommonWith({}, "By Field=0\nLast Project=gone\n");
        f.WriteIni(ini);
        auto form = f.Open();
        form->Settings().PromptBeforeBackup = true;
        form->Controls().TabRestore->SetSortMarks(2, 1);
        form->close();
        QCOMPARE(QString::fromStdString(f.IniText()), QString::fromStdString(ini));
    }
};

MZB_UI_TEST(StartupTest);
#include "StartupTest.moc"
