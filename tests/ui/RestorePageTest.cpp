// The Restore page over a temporary folder of archives: the list and its
// menu, the contents grid, and restores started from the window, with every
// question and report answered by a scripted user.

#include "UiTest.h"
#include "support/ArchiveBuilder.h"
#include "support/LocalTime.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "ui/ArchiveSearchDialog.h"
#include "ui/StandardMessages.h"
#include "ui/TFormMain.h"
#include "ui/TMsgForm.h"
#include "ui_RestorePage.h"
#include "ui_TFormMain.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/reader/ZipReader.h"
#include "zip/writer/ZipWriter.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <filesystem>
#include <sys/stat.h>

using namespace mzb;
namespace fs = std::filesystem;

namespace {

// Answers every modal window as it opens, in order: a message box with the
// next scripted button (Yes when the script has run out), the program's own
// timed message with OK. Records what each one said.
class ScriptedUser : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
    };

    explicit ScriptedUser(std::deque<QMessageBox::StandardButton> answers = {})
        : answers_(std::move(answers)) {
        poll_.setInterval(10);
        connect(&poll_, &QTimer::timeout, this, &ScriptedUser::Answer);
        poll_.start();
    }

    std::vector<Seen> seen;

    QStringList Texts() const {
        QStringList texts;
        for (const Seen& s : seen) {
            texts << s.text;
        }
        return texts;
    }

private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        // The search stays open under its restore's questions: no question.
        if (modal == nullptr || !modal->isVisible() || qobject_cast<ArchiveSearchDialog*>(modal)) {
            // A report that stays is no modal window: read, then closed.
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto* report = qobject_cast<TMsgForm*>(window); report && report->isVisible()) {
                    Record(report);
                    report->close();
                }
            }
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.push_back({box->windowTitle(), box->text()});
            QMessageBox::StandardButton answer = QMessageBox::Yes;
            if (!answers_.empty()) {
                answer = answers_.front();
                answers_.pop_front();
            }
            QAbstractButton* button = box->button(answer);
            if (button == nullptr) {
                button = box->button(QMessageBox::Ok);
            }
            button->click();
            return;
        }
        Record(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->accept();
        }
    }

    void Record(const QWidget* modal) {
        QString text;
        for (const QLabel* label : modal->findChildren<QLabel*>()) {
            text += label->text();
        }
        seen.push_back({modal->windowTitle(), text});
    }

    std::deque<QMessageBox::StandardButton> answers_;
    QTimer poll_;
};

// A program folder without project.ini, a home folder and a folder of
// archives, all in one temporary folder.
struct RestoreFixture {
    test::TempDir dir;
    std::unique_ptr<TFormMain> form;

    RestoreFixture() {
        ::umask(022);
        fs::create_directories(dir.path() / "program");
        fs::create_directories(dir.path() / "home");
        fs::create_directories(dir.path() / "zips");
        qputenv("HOME", QByteArray::fromStdString(dir.dir() + "home"));
        ProgramSetup setup;
        setup.Layout = LayoutFor(dir.dir() + "program/");
        form = std::make_unique<TFormMain>(setup);
        form->ZipReader1().OriginalRoot = Path("root");
    }
    ~RestoreFixture() { form->close(); }

    std::string Path(const std::string& rel) const { return dir.dir() + rel; }
    Ui::TFormMain& Main() { return form->Controls(); }
    template <typename T> T* Find(const char* name) {
        T* found = form->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }
    QTableWidget* Archives() { return Find<QTableWidget>("StringGridZipfilename"); }
    QTableView* Contents() { return Find<QTableView>("StringGrid1"); }
    QString Label(const char* name) { return Find<QLabel>(name)->text(); }
    QAction* Action(const char* name) { return Find<QAction>(name); }

    // Lists the folder as the page does when it becomes active.
    // As the folder field's handler does; the error of the first archive
    // that cannot be read is kept here instead of shown.
    void List(const std::string& folder) {
        Find<QLineEdit>("DirectoryView")->setText(QString::fromStdString(folder));
        listError.clear();
        try {
            form->Controls().TabRestore->RefreshArchiveList();
        } catch (const mzb::EZipError& error) {
            listError = error.what();
        }
    }
    std::string listError;
    QStringList Column(int column) {
        QStringList texts;
        for (int r = 0; r < Archives()->rowCount(); ++r) {
            const QTableWidgetItem* item = Archives()->item(r, column);
            texts << (item != nullptr ? item->text() : QString());
        }
        return texts;
    }
    QString Cell(int row, int column) {
        return Contents()->model()->index(row, column).data().toString();
    }
    void SelectArchive(int row) { Archives()->setCurrentCell(row, 0); }
    void Restore() { form->SpRestoreClick(); }
};

void WriteArchive(const std::string& path, std::initializer_list<std::string> names) {
    test::ArchiveBuilder b;
    for (const std::string& name : names) {
        b.Add(name, "data of " + name);
    }
    b.WriteTo(path);
}

// The files below a folder with their contents.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) {
        return files;
    }
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), root).string()] = test::ReadFile(e.path());
        }
    }
    return files;
}

} // namespace

class RestorePageTest : public QObject {
    Q_OBJECT

private slots:
    void listsArchivesWithSizesAndSortsBothWays() {
        RestoreFixture f;
        f.dir.write("zips/b.zip", std::string(2048, 'x'));
        f.dir.write("zips/a.zip", std::string(1023, 'x'));
        f.dir.write("zips/C.zip", std::string(10 * 1024, 'x'));
        f.dir.write("zips/notes.txt", "not an archive");
        ScriptedUser user;
        f.List(f.Path("zips"));
        QCOMPARE(f.Archives()->horizontalHeaderItem(1)->text(), QStringLiteral("Size(KB)"));
        QCOMPARE(f.Label("LabelZipNumber"), QStringLiteral("(Total 3 files)"));
        // Showing the page again lists the project's save folder.
        f.Main().PageControl1->setCurrentIndex(1);
        QCOMPARE(f.Find<QLineEdit>("DirectoryView")->text(),
                 QString::fromStdString(f.Path("home/")));
        QCOMPARE(f.Label("LabelZipNumber"), QStringLiteral("(Total 0 files)"));
        f.List(f.Path("zips"));

        f.Action("PupmenuBysize")->trigger();
        QCOMPARE(f.Column(0), (QStringList{"a.zip", "C.zip", "b.zip"})); // "10" before "2"
        QCOMPARE(f.Column(1), (QStringList{"0", "10", "2"}));
        f.Action("PopupmenuDesc")->trigger();
        QCOMPARE(f.Column(0), (QStringList{"b.zip", "C.zip", "a.zip"}));
        f.Action("PupMenuByname")->trigger();
        QCOMPARE(f.Column(0), (QStringList{"b.zip", "a.zip", "C.zip"}));
        QVERIFY(f.Action("PopupmenuDesc")->isChecked());
        QVERIFY(!f.Action("PopupmenuAsc")->isChecked());
        QCOMPARE(f.form->Settings().ByField, 0);
        QCOMPARE(f.form->Settings().Sort, 1);
        QCOMPARE(f.form->Controls().TabRestore->MarkedSortOrder(), 1);
        // None of them is an archive: each shows the reader's error, no rows.
        QCOMPARE(f.listError, std::string("Not a valid zip file!"));
        QVERIFY(!user.seen.empty());
        for (const QString& text : user.Texts()) {
            QCOMPARE(text, QStringLiteral("Not a valid zip file!"));
        }
        QCOMPARE(f.Label("LabelfileNumber"), QStringLiteral("(Total 0 files)"));
    }

    // The last column tells a differential project's archives apart by
    // their manifests, read after the list is shown, whatever the order the
    // rows are sorted in meanwhile; an encrypted manifest with the Restore
    // Setup's password.
    void marksFullAndDifferentialArchivesAndOfWhichFull() {
        RestoreFixture f;
        const auto write = [&](const std::string& name, const std::string& manifest) {
            test::ArchiveBuilder b;
            b.Add("a.txt", "a");
            if (!manifest.empty()) {
                b.AddDeflated(".mzb-manifest", manifest);
            }
            b.WriteTo(f.Path("zips/" + name));
        };
        fs::create_directories(f.Path("zips"));
        write("d01.zip", "mzb-manifest\t1\narchive\td01.zip\nfull\td01.zip\nmade\t0\n");
        write("d02.zip", "mzb-manifest\t1\narchive\td02.zip\nfull\td01.zip\nmade\t9\n");
        write("d03.zip", "not a manifest");
        write("plain.zip", "");
        test::ArchiveBuilder locked;
        locked.AddEncrypted(".mzb-manifest",
                            "mzb-manifest\t1\narchive\te.zip\nfull\te.zip\nmade\t0\n", "pw", true);
        locked.WriteTo(f.Path("zips/e.zip"));
        ScriptedUser user;
        f.List(f.Path("zips"));
        f.Action("PupMenuByname")->trigger();
        f.Action("PopupmenuDesc")->trigger();
        QCOMPARE(f.Archives()->horizontalHeaderItem(3)->text(), QStringLiteral("Backup"));
        QCOMPARE(f.Column(0), (QStringList{"plain.zip", "e.zip", "d03.zip", "d02.zip", "d01.zip"}));
        QTRY_COMPARE(f.Column(3), (QStringList{"", "", "", "differential of d01.zip", "full"}));
        QLineEdit* password = f.Find<QLineEdit>("EditRestorePassword");
        password->setText(QStringLiteral("pw"));
        emit password->editingFinished();
        QTRY_COMPARE(f.Column(3), (QStringList{"", "full", "", "differential of d01.zip", "full"}));
    }

    void contentsOfNormalEmptyEncryptedAndNonArchiveFiles() {
        MZB_UI_REQUIRE_PEERS("zip");
        RestoreFixture f;
        WriteArchive(f.Path("zips/1-normal.zip"), {"docs/", "docs/a.txt", "b.txt"});
        test::ArchiveBuilder().WriteTo(f.Path("zips/2-empty.zip"));
        test::ArchiveBuilder locked;
        locked.AddEncrypted("secret.txt", std::string(100, 's'), "pw", false);
        locked.WriteTo(f.Path("zips/3-locked.zip"));
        f.dir.write("zips/4-junk.zip", "no archive here");
        ScriptedUser user;
        f.List(f.Path("zips"));
        f.Action("PupMenuByname")->trigger();
        QCOMPARE(f.Contents()->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Size(B)"));
        QCOMPARE(f.Label("LabelfileNumber"), QStringLiteral("(Total 3 files)"));
        QCOMPARE(f.Contents()->model()->rowCount(), 3);
        QCOMPARE(f.Cell(0, 0), QString());
        QCOMPARE(f.Cell(0, 2), QStringLiteral("docs/"));
        QCOMPARE(f.Cell(1, 0), QStringLiteral("a.txt"));
        QCOMPARE(f.Cell(1, 1), QStringLiteral("18")); // "data of docs/a.txt", stored

        f.SelectArchive(1);
        QCOMPARE(f.Contents()->model()->rowCount(), 1);
        QCOMPARE(f.Cell(0, 0), QString());
        QCOMPARE(f.Label("LabelfileNumber"), QStringLiteral("(Total 0 files)"));
        f.SelectArchive(2);
        QCOMPARE(f.Cell(0, 1), QStringLiteral("112")); // the 12-byte encryption header
        QVERIFY(user.seen.empty());
        // No archive, or one cut short: the reader's error, and no rows.
        f.SelectArchive(3);
        QCOMPARE(f.Label("LabelfileNumber"), QStringLiteral("(Total 0 files)"));
        QCOMPARE(f.Contents()->model()->rowCount(), 1);
        QCOMPARE(f.Cell(0, 1), QString());
        QCOMPARE(user.Texts(), QStringList{"Not a valid zip file!"});
        user.seen.clear();

        f.dir.write("peer/p.txt", "by another tool");
        const test::CommandResult packed =
            test::RunCommand({"/bin/sh", "-c",
                              "cd '" + f.Path("peer") + "' && " + test::PeerPath("zip") +
                                  " -q ../zips/5-peer.zip p.txt"});
        QVERIFY2(packed.exitCode == 0, packed.err.c_str());
        f.List(f.Path("zips"));
        f.SelectArchive(4);
        QCOMPARE(f.Cell(0, 0), QStringLiteral("p.txt"));
        QCOMPARE(f.Label("LabelfileNumber"), QStringLiteral("(Total 1 files)"));
    }

    void deleteAsksForTheSelectedRowsAndRefreshesAfterEitherAnswer() {
        RestoreFixture f;
        for (const char* name : {"a.zip", "b.zip", "c.zip"}) {
            WriteArchive(f.Path(std::string("zips/") + name), {"x"});
        }
        f.List(f.Path("zips"));
        QMenu* menu = f.Find<QMenu>("PopupMenuString");
        emit menu->aboutToShow();
        QVERIFY(f.Action("menuDelete")->isVisible());
        f.Archives()->setRangeSelected(
            QTableWidgetSelectionRange(0, 0, 1, f.Archives()->columnCount() - 1), true);
        {
            ScriptedUser user({QMessageBox::No});
            f.Action("menuDelete")->trigger();
            QCOMPARE(user.Texts(), QStringList{"Do you want delete the 2 files "});
            QCOMPARE(f.Label("LabelZipNumber"), QStringLiteral("(Total 3 files)"));
        }
        f.Archives()->setRangeSelected(
            QTableWidgetSelectionRange(0, 0, 1, f.Archives()->columnCount() - 1), true);
        ScriptedUser user({QMessageBox::Yes});
        f.Action("menuDelete")->trigger();
        QCOMPARE(f.Column(0), QStringList{"c.zip"});
        QVERIFY(!fs::exists(f.Path("zips/a.zip")));

        fs::remove(f.Path("zips/c.zip"));
        f.List(f.Path("zips"));
        QCOMPARE(f.Archives()->rowCount(), 1);
        emit menu->aboutToShow();
        QVERIFY(!f.Action("menuDelete")->isVisible());
        QVERIFY(!f.Action("menuspe")->isVisible());
    }

    void restoresWithEachOverwriteMode() {
        RestoreFixture f;
        WriteArchive(f.Path("zips/t.zip"), {"a.txt"}); // entry time 2025-01-11
        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->setText(QString::fromStdString(f.Path("out")));
        const fs::path out = f.dir.path() / "out/a.txt";
        const auto existing = [&](const char* text, int year) {
            f.dir.write("out/a.txt", text);
            fs::last_write_time(
                out, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(
                         test::LocalTime(year, 1, 11, 13, 33, 58))));
        };
        // The reader's tests hold the modes' rules; each radio here takes a
        // case only its own mode decides that way.
        const struct {
            const char* radio;
            int fileYear;
            bool replaced;
        } cases[] = {
            {"RadioAlways", 2025, true},
            {"RadioNever", 2000, false},
            {"RadioNewer", 2000, true},
            {"RadioOlder", 2030, true},
        };

        for (const auto& c : cases) {
            existing("old", c.fileYear);
            f.Find<QRadioButton>(c.radio)->setChecked(true);
            ScriptedUser user;
            f.Restore();
            QCOMPARE(test::ReadFile(out) == "data of a.txt", c.replaced);
            QTRY_VERIFY(user.Texts().back().startsWith(
                c.replaced ? "Restore Files Succeeds!"
                           : "Restore finished: nothing was lost, existing files were kept."));
        }

        existing("old", 2025);
        f.Find<QRadioButton>("RadioPrompt")->setChecked(true);
        {
            ScriptedUser user({QMessageBox::Yes, QMessageBox::No});
            f.Restore();
            QCOMPARE(user.seen.at(1).title, QStringLiteral("File Exists Alert"));
            QCOMPARE(user.seen.at(1).text,
                     QStringLiteral("Replace existing file '%1'?").arg(out.c_str()));
            QCOMPARE(test::ReadFile(out), std::string("old"));
            QTRY_VERIFY(user.Texts().back().contains("Not Replaced: 1"));
        }
        ScriptedUser user({QMessageBox::Yes, QMessageBox::Yes});
        f.Restore();
        QCOMPARE(test::ReadFile(out), std::string("data of a.txt"));
        QCOMPARE(user.seen.at(0).text, QStringLiteral("Do you want restore the file 't.zip'?"));
        QVERIFY(user.seen.at(2).text.startsWith("Restore Files Succeeds!"));
        QVERIFY(user.seen.at(2).text.contains("t.zip"));
        QVERIFY(f.Main().SpStart->isEnabled());
        QCOMPARE(f.Main().ProgressBar1->value(), 0);
    }

    void aWrongPasswordEndsTheRestoreAndTheRightOneIsKept() {
        RestoreFixture f;
        test::ArchiveBuilder b;
        b.AddEncrypted("one.txt", "first secret", "right", true);
        b.AddEncrypted("two.txt", "second secret", "right", false);
        b.WriteTo(f.Path("zips/locked.zip"));
        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->setText(QString::fromStdString(f.Path("out")));
        f.Find<QLineEdit>("EditRestorePassword")->setText("wrong");
        {
            ScriptedUser user;
            f.Restore();
            QTRY_COMPARE(user.Texts().size(), 3);
            QCOMPARE(user.Texts().at(1), QStringLiteral("The password is incorrect"));
            QVERIFY(user.Texts().at(2).startsWith("Restore files fails!"));
            QVERIFY(user.Texts().at(2).contains("one.txt: wrong password"));
            QVERIFY(!fs::exists(f.Path("out/one.txt")));
        }
        f.Find<QLineEdit>("EditRestorePassword")->setText("right");
        {
            ScriptedUser user;
            f.Restore();
        }
        fs::remove_all(f.Path("out"));
        f.Find<QLineEdit>("EditRestorePassword")->clear();
        ScriptedUser user;
        f.Restore();
        QCOMPARE(test::ReadFile(f.Path("out/two.txt")), std::string("second secret"));
        QVERIFY(user.Texts().back().startsWith("Restore Files Succeeds!"));
    }

    void aBlankDestinationRestoresABackupToWhereItCameFrom() {
        RestoreFixture f;
        // Backed up as the Backup page does it, with full paths; the restore
        // puts them below a root of the test's own.
        f.dir.write("Data/a.txt", "alpha");
        f.dir.write("Data/sub/run.sh", "#!/bin/sh\n");
        fs::permissions(f.Path("Data/sub/run.sh"), static_cast<fs::perms>(0755));
        // An even second: archives keep times to two seconds.
        fs::last_write_time(
            f.Path("Data/a.txt"),
            std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(1736602438)));
        HeadlessHost host;
        TZipWriter writer(host);
        writer.DoProcessMessages = false;
        writer.SetZipName(f.Path("zips/backup.zip"));
        writer.SetStorePaths(true);
        writer.Recurse = true;
        writer.SetFilesList({f.Path("Data/*.*")});
        QCOMPARE(writer.RunZip(), 2);
        const auto before = Tree(f.dir.path() / "Data");
        const auto mtime = fs::last_write_time(f.Path("Data/a.txt"));
        const std::string original = f.Path("root") + f.Path("Data/");
        fs::remove_all(f.Path("Data"));

        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->clear();
        {
            ScriptedUser user({QMessageBox::Yes, QMessageBox::Yes});
            f.Restore();
            QCOMPARE(user.seen.at(1).text, MessageText(OriginalPlacesQuestion(original)));
            QVERIFY(user.seen.back().text.startsWith("Restore Files Succeeds!"));
            QVERIFY(Tree(original) == before);
            QCOMPARE(fs::last_write_time(original + "a.txt"), mtime);
            QCOMPARE(fs::status(original + "sub/run.sh").permissions(),
                     static_cast<fs::perms>(0755));
        }
        // No to the second question writes nothing.
        fs::remove_all(f.Path("root"));
        ScriptedUser declining({QMessageBox::Yes, QMessageBox::No});
        f.Restore();
        QCOMPARE(declining.seen.size(), std::size_t(2));
        QVERIFY(!fs::exists(f.Path("root")));
    }

    void restoresOnlyTheRowsSelectedInTheContentsGrid() {
        RestoreFixture f;
        WriteArchive(f.Path("zips/t.zip"), {"d/one.txt", "d/two.txt", "d/three.txt", "four.txt"});
        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->setText(QString::fromStdString(f.Path("out")));
        QItemSelectionModel* selection = f.Contents()->selectionModel();
        const QAbstractItemModel* model = f.Contents()->model();
        selection->select(model->index(0, 1), QItemSelectionModel::Select);
        selection->select(model->index(3, 0), QItemSelectionModel::Select);
        selection->select(model->index(3, 2), QItemSelectionModel::Select);
        QMenu* menu = f.Find<QMenu>("PopupMenuContents");
        emit menu->aboutToShow();
        QVERIFY(f.Action("menuRestoreSelected")->isEnabled());
        ScriptedUser user;
        f.Action("menuRestoreSelected")->trigger();
        const std::map<std::string, std::string> expected = {{"d/one.txt", "data of d/one.txt"},
                                                             {"four.txt", "data of four.txt"}};
        QVERIFY(Tree(f.dir.path() / "out") == expected);
        QVERIFY(user.Texts().back().startsWith("Restore Files Succeeds!"));

        selection->clearSelection();
        emit menu->aboutToShow();
        QVERIFY(!f.Action("menuRestoreSelected")->isEnabled());
    }

    void anArchiveTruncatedAfterListingGivesTheReadersError() {
        RestoreFixture f;
        WriteArchive(f.Path("zips/t.zip"), {"a.txt", "b.txt"});
        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->setText(QString::fromStdString(f.Path("out")));
        fs::resize_file(f.Path("zips/t.zip"), 40);
        ScriptedUser user;
        try {
            f.Restore();
            QFAIL("the restore did not fail");
        } catch (const std::exception& error) {
            QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("Incomplete Zip File"));
        }
        QVERIFY(f.Main().SpRestore->isEnabled());
    }

    // The window's between-chunk call handles events; a cancel requested
    // from one of them ends the run with one message, and nothing of the
    // entry under way is left, not even hidden.
    void aCancelDuringTheRunIsOneMessageAndLeavesNoPartFile() {
        RestoreFixture f;
        test::ArchiveBuilder b;
        b.Add("big.bin", std::string(512 * 1024, 'b'));
        b.WriteTo(f.Path("zips/t.zip"));
        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->setText(QString::fromStdString(f.Path("out")));
        ScriptedUser user;
        bool locked = false;
        QTimer cancel;
        cancel.setInterval(0);
        QObject::connect(&cancel, &QTimer::timeout, [&] {
            if (f.form->ZipReader1().Busy()) {
                locked = !f.Main().SpStart->isEnabled() && !f.Main().SpRestore->isEnabled();
                f.form->ZipReader1().Cancel();
                cancel.stop();
            }
        });
        cancel.start();
        f.Restore();
        QVERIFY(locked);
        QCOMPARE(user.Texts().mid(1),
                 QStringList{"Restore canceled! 0 of 1 files of 't.zip' were restored; no "
                             "partial file was left."});
        QCOMPARE(std::distance(fs::directory_iterator(f.dir.path() / "out"), {}), 0);
        QVERIFY(f.Main().SpRestore->isEnabled());
    }

    // Not a test of time: it prints the figure for the record.
    // A search over the folder's archives: one row per archive holding the
    // file, oldest first, with how each differs from the one before; the
    // versions of a row's path newest first; and Escape during a search
    // stops it between archives without closing the search or the page.
    void searchFindsAFileInEveryArchiveAndEscapeStopsIt() {
        RestoreFixture f;
        const auto dated = [&](const std::string& name, int day) {
            fs::last_write_time(
                f.Path("zips/" + name),
                std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(
                    test::LocalTime(2025, 3, day, 12, 0, 0))));
        };
        // Named against their dates: the order must come from the dates.
        test::ArchiveBuilder oldest;
        for (int i = 0; i < 600; ++i) {
            oldest.Add("bulk/file" + std::to_string(i) + ".txt", "");
        }
        oldest.Add("docs/Report.txt", "first");
        oldest.WriteTo(f.Path("zips/z-oldest.zip"));
        dated("z-oldest.zip", 1);
        test::ArchiveBuilder middle;
        middle.Add("docs/Report.txt", "second");
        middle.Add("docs/other.txt", "x");
        middle.WriteTo(f.Path("zips/m-middle.zip"));
        dated("m-middle.zip", 2);
        WriteArchive(f.Path("zips/a-newest.zip"), {"notes.txt"});
        dated("a-newest.zip", 3);
        f.List(f.Path("zips"));
        f.Find<QToolButton>("SearchArchives")->click();
        auto* dialog = f.form->findChild<ArchiveSearchDialog*>();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        auto* results = dialog->findChild<QTableWidget*>(QStringLiteral("SearchResults"));
        const auto column = [&](QTableWidget* grid, int c) {
            QStringList texts;
            for (int r = 0; r < grid->rowCount(); ++r) {
                texts << grid->item(r, c)->text();
            }
            return texts;
        };
        const auto count = [&] {
            return dialog->findChild<QLabel*>(QStringLiteral("SearchCount"))->text();
        };

        dialog->findChild<QLineEdit*>(QStringLiteral("SearchText"))->setText("report");
        dialog->findChild<QPushButton*>(QStringLiteral("SearchStart"))->click();
        QCOMPARE(count(), QStringLiteral("2 found"));
        QCOMPARE(column(results, 0), (QStringList{"z-oldest.zip", "m-middle.zip"}));
        QCOMPARE(column(results, 2), (QStringList{"docs/Report.txt", "docs/Report.txt"}));
        QCOMPARE(column(results, 3), (QStringList{"5", "6"}));
        QCOMPARE(column(results, 5), (QStringList{"new", "changed"}));

        results->setCurrentCell(0, 0);
        dialog->findChild<QPushButton*>(QStringLiteral("SearchVersions"))->click();
        auto* versions = dialog->findChild<QTableWidget*>(QStringLiteral("VersionList"));
        QCOMPARE(column(versions, 0), (QStringList{"6", "5"}));
        QVERIFY(column(versions, 3)[0].startsWith("m-middle.zip ("));
        QVERIFY(column(versions, 3)[1].startsWith("z-oldest.zip ("));

        // The key reaches the dialog while the oldest archive is being read.
        QTimer::singleShot(0, dialog, [dialog] { QTest::keyClick(dialog, Qt::Key_Escape); });
        dialog->findChild<QPushButton*>(QStringLiteral("SearchStart"))->click();
        QVERIFY(!dialog->Searching());
        QVERIFY(dialog->isVisible());
        QCOMPARE(column(results, 0), (QStringList{"z-oldest.zip"}));
        QCOMPARE(count(), QStringLiteral("1 found"));
        QVERIFY(dialog->findChild<QPushButton*>(QStringLiteral("SearchStart"))->isEnabled());
        dialog->findChild<QPushButton*>(QStringLiteral("SearchStart"))->click();
        QCOMPARE(count(), QStringLiteral("2 found"));
        // Without a search running, Escape closes it; the page lists on.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        f.List(f.Path("zips"));
        QCOMPARE(f.Label("LabelZipNumber"), QStringLiteral("(Total 3 files)"));
    }

    // Rows chosen in the search's results and in its versions list restore
    // with the page's Restore Setup, each from its own archive, with one
    // report. The search follows the run lock: during the run it neither
    // searches nor restores, and Escape there cancels the run.
    void restoresTheRowsChosenInTheSearch() {
        RestoreFixture f;
        const auto write = [&](const std::string& name, int day,
                               const std::vector<std::pair<std::string, std::string>>& files) {
            test::ArchiveBuilder b;
            for (const auto& [path, text] : files) {
                b.Add(path, text);
            }
            b.WriteTo(f.Path("zips/" + name));
            fs::last_write_time(
                f.Path("zips/" + name),
                std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(
                    test::LocalTime(2025, 3, day, 12, 0, 0))));
        };
        write("b-old.zip", 1,
              {{"docs/report.txt", "first draft"}, {"docs/notes.txt", "old notes"}});
        write("a-new.zip", 2,
              {{"docs/report.txt", "final report"},
               {"docs/notes.txt", "new notes"},
               {"docs/big.bin", std::string(512 * 1024, 'b')}});
        f.List(f.Path("zips"));
        f.Find<QLineEdit>("DirectoryRestore")->setText(QString::fromStdString(f.Path("out")));
        f.Find<QRadioButton>("RadioAlways")->setChecked(true);
        f.Find<QToolButton>("SearchArchives")->click();
        auto* dialog = f.form->findChild<ArchiveSearchDialog*>();
        const auto button = [&](const char* name) {
            return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        };
        auto* results = dialog->findChild<QTableWidget*>(QStringLiteral("SearchResults"));
        auto* versions = dialog->findChild<QTableWidget*>(QStringLiteral("VersionList"));
        const auto rowOf = [&](const QString& archive, const QString& path) {
            for (int r = 0; r < results->rowCount(); ++r) {
                if (results->item(r, 0)->text() == archive && results->item(r, 2)->text() == path) {
                    return r;
                }
            }
            return -1;
        };
        dialog->findChild<QLineEdit*>(QStringLiteral("SearchText"))->setText("docs/");
        button("SearchStart")->click();
        QCOMPARE(results->rowCount(), 5);
        QVERIFY(!button("SearchRestore")->isEnabled());

        // The newer notes from the results; the older report from its versions.
        results->setCurrentCell(rowOf("b-old.zip", "docs/report.txt"), 0);
        button("SearchVersions")->click();
        QCOMPARE(versions->rowCount(), 2);
        QVERIFY(versions->item(1, 3)->text().startsWith("b-old.zip ("));
        results->selectRow(rowOf("a-new.zip", "docs/notes.txt"));
        versions->selectRow(1);
        QVERIFY(button("SearchRestore")->isEnabled());

        ScriptedUser user;
        int lockedTurns = 0;
        bool commandsOff = true;
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (f.form->Activity().Running) {
                ++lockedTurns;
                commandsOff = commandsOff && !button("SearchRestore")->isEnabled() &&
                              !button("SearchStart")->isEnabled() &&
                              !button("SearchVersions")->isEnabled() &&
                              button("SearchStop")->isEnabled();
            }
        });
        watch.start();
        button("SearchRestore")->click();
        QVERIFY(lockedTurns > 0);
        QVERIFY(commandsOff);
        QCOMPARE(user.Texts().front(),
                 QStringLiteral("Do you want restore the 2 chosen files from 2 archives?"));
        QVERIFY(user.Texts().back().startsWith("Restore Files Succeeds!"));
        QVERIFY(user.Texts().back().contains("Filenames:    'a-new.zip', 'b-old.zip'"));
        const std::map<std::string, std::string> expected = {{"docs/notes.txt", "new notes"},
                                                             {"docs/report.txt", "first draft"}};
        QVERIFY(Tree(f.dir.path() / "out") == expected);
        QVERIFY(button("SearchRestore")->isEnabled());
        QVERIFY(dialog->isVisible());

        fs::remove_all(f.Path("out"));
        results->selectRow(rowOf("a-new.zip", "docs/big.bin"));
        versions->clearSelection();
        watch.stop();
        QTimer escape;
        escape.setInterval(0);
        QObject::connect(&escape, &QTimer::timeout, [&] {
            if (f.form->ZipReader1().Busy()) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                escape.stop();
            }
        });
        escape.start();
        user.seen.clear();
        button("SearchRestore")->click();
        QCOMPARE(user.Texts().mid(1),
                 QStringList{"Restore canceled! 0 of 1 files of 'a-new.zip' were restored; no "
                             "partial file was left."});
        QVERIFY(dialog->isVisible());
        QVERIFY(button("SearchStart")->isEnabled());
    }

    void showsTheContentsOfALargeArchive() {
        RestoreFixture f;
        test::ArchiveBuilder b;
        for (int i = 0; i < 60000; ++i) {
            b.Add("folder" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".txt", "");
        }
        b.WriteTo(f.Path("zips/big.zip"));
        f.form->show();
        f.Main().PageControl1->setCurrentIndex(1);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        f.List(f.Path("zips"));
        QApplication::processEvents();
        // Listing the folder, reading the directory, filling and painting.
        qInfo("60000 entries shown in %lld ms", static_cast<long long>(timer.elapsed()));
        QCOMPARE(f.Label("LabelfileNumber"), QStringLiteral("(Total 60000 files)"));
        QCOMPARE(f.Cell(59999, 0), QStringLiteral("file59999.txt"));
    }
};

MZB_UI_TEST(RestorePageTest);
#include "RestorePageTest.moc"
