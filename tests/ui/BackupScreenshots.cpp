// Pictures of the "Backup " page in view and edit mode, the name prompt and
// the wildcard window, grabbed on the offscreen platform into the folder
// named by MZB_SCREENSHOT_DIR; skipped without it. They are for looking at,
// not for comparing.

#include "UiTest.h"
#include "core/ProjectStore.h"
#include "support/TempDir.h"
#include "ui/TFormMain.h"
#include "ui/TFormProjectName.h"
#include "ui/TFormselectbyfilter.h"
#include "ui_TFormMain.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>

using namespace mzb;

class BackupScreenshots : public QObject {
    Q_OBJECT

    QString dir_;

    void Save(QWidget& window, const char* name) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(200);
        QVERIFY(window.grab().save(dir_ + QLatin1Char('/') + QLatin1String(name)));
    }

private slots:
    void backupPageAndItsWindows() {
        // Skipped here rather than in initTestCase, which would leave QtTest
        // skipping the classes that run after this one.
        dir_ = QString::fromLocal8Bit(std::getenv("MZB_SCREENSHOT_DIR"));
        if (dir_.isEmpty()) {
            QSKIP("MZB_SCREENSHOT_DIR is not set");
        }
        test::TempDir tmp;
        const ProjectStore store(tmp.dir() + "project.ini");
        ProjectRecord r;
        r.Name = "Documents";
        r.FilenamePrefix = "docs";
        r.UseDate = false;
        r.Value = 4;
        r.IncreaseValue = 1;
        r.SavePath = "/home/user/Backups";
        r.BackupItems = {"/home/user/Documents/*.*", "/home/user/Notes/todo.txt",
                         "/home/user/Projects/report/*.odt"};
        r.NoBackupItems = {"*.tmp", "/home/user/Documents/cache/*"};
        r.Password = "secret";
        r.Comment = "Weekly documents";
        store.WriteProject(r.Name, r);
        ProjectRecord photos = r;
        photos.Name = "Photos";
        store.WriteProject(photos.Name, photos);
        store.WriteSchedule(photos.Name, {true, 0, "20:00"});
        store.WriteProjectNames({"Documents", "Photos"});
        store.WriteLastProject("Documents");

        ProgramSetup setup;
        setup.Layout = LayoutFor(tmp.dir());
        TFormMain form(setup);
        Save(form, "backup-page-view.png");
        form.findChild<QLineEdit*>(QStringLiteral("EditPrefix"))
            ->setText(QStringLiteral("documents"));
        Save(form, "backup-page-edit.png");
        form.Controls().comboProject->setEnabled(true);
        form.Controls().comboProject->showPopup();
        QTest::qWait(200);
        QWidget* popup = form.Controls().comboProject->view()->window();
        QVERIFY(popup->grab().save(dir_ + QStringLiteral("/project-selector.png")));
        form.Controls().comboProject->hidePopup();

        TFormProjectName prompt(form.Host(), &form);
        prompt.setWindowTitle(QStringLiteral("Add Project"));
        prompt.findChild<QLineEdit*>(QStringLiteral("EditProjName"))
            ->setText(QStringLiteral("Photos 2026"));
        Save(prompt, "name-prompt.png");
        prompt.close();

        tmp.write("Documents/letters/a.txt", "a");
        tmp.write("Documents/reports/b.txt", "b");
        TFormselectbyfilter wildcard(&form);
        wildcard.SelectDirectory(QString::fromStdString(tmp.dir() + "Documents"));
        QTest::qWait(300);
        Save(wildcard, "wildcard-window.png");
        wildcard.close();
        form.close();
    }
};

MZB_UI_TEST(BackupScreenshots);
#include "BackupScreenshots.moc"
