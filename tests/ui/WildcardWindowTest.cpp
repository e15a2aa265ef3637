// The wildcard window's directory tree: where it opens and what a click
// in it chooses.

#include "UiTest.h"
#include "support/TempDir.h"
#include "ui/TFormselectbyfilter.h"

#include <QFileSystemModel>
#include <QTest>
#include <QTreeView>

using namespace mzb;

class WildcardWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The folder remembered from last time has gone since: the window opens
    // at the nearest folder above it, in sight, and a click chooses another.
    void opensAtTheNearestExistingFolderAndFollowsClicks() {
        test::TempDir tmp;
        tmp.write("kept/inner/file", "");
        const QString kept = QString::fromStdString(tmp.path().string() + "/kept");
        TFormselectbyfilter window;
        window.SelectDirectory(kept + "/gone/deeper");
        QCOMPARE(QString::fromStdString(window.Directory()), kept);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* tree = window.findChild<QTreeView*>(QStringLiteral("DirectoryListBox1"));
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        // The model lists each folder on the way down in the background.
        QTRY_COMPARE_WITH_TIMEOUT(model->filePath(tree->currentIndex()), kept, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())), 10000);
        const QModelIndex inner = model->index(kept + "/inner");
        QTRY_VERIFY_WITH_TIMEOUT(!tree->visualRect(inner).isEmpty(), 10000);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(inner).center());
        QCOMPARE(QString::fromStdString(window.Directory()), kept + "/inner");
    }
};

MZB_UI_TEST(WildcardWindowTest);
#include "WildcardWindowTest.moc"
