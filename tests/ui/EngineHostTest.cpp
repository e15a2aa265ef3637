// The engine's host services over the window.

#include "MainWindowFixture.h"
#include "UiTest.h"
#include "ui/WindowHostServices.h"

#include <QTest>
#include <QTimer>

using namespace mzb;

class EngineHostTest : public QObject {
    Q_OBJECT

private slots:
    void betweenChunksTheWindowHandlesItsEvents() {
        test::MainWindowFixture f;
        auto form = f.Open();
        bool ticked = false;
        QTimer::singleShot(0, [&ticked] { ticked = true; });
        form->EngineHost().ProcessEvents();
        QVERIFY(ticked);
    }

    void fileFiltersTakeTheDialogsForm() {
        QCOMPARE(QtFileFilter("Zip files|*.zip|All files|*.*"),
                 std::string("Zip files (*.zip);;All files (*.*)"));
        QCOMPARE(QtFileFilter("Archives|*.zip;*.jar"), std::string("Archives (*.zip *.jar)"));
        QCOMPARE(QtFileFilter("Anything"), std::string("Anything (*)"));
        QCOMPARE(QtFileFilter(""), std::string());
    }
};

MZB_UI_TEST(EngineHostTest);
#include "EngineHostTest.moc"
