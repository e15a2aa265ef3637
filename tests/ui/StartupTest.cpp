// The main window's creation from prepared project.ini files.

#include "UiTest.h"
#include "support/TempDir.h"
#include "ui/TFormMain.h"
#include "ui_TFormMain.h"

#include <QTest>

using namespace mzb;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void opensEmptyWithoutProjectIni() {
        test::TempDir dir;
        ProgramSetup setup;
        setup.Layout = LayoutFor(dir.dir());
        TFormMain form(setup);
        QCOMPARE(form.Controls().comboProject->count(), 0);
        QCOMPARE(form.Controls().PageControl1->currentIndex(), 0);
        form.close();
        QVERIFY(!std::filesystem::exists(dir.path() / "project.ini"));
    }
};

MZB_UI_TEST(StartupTest);
#include "StartupTest.moc"
