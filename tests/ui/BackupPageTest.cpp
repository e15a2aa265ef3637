// The "Backup " page driven through its controls, found by name: loading,
// editing and saving a project, the project commands, and a real backup
// from Start Backup to the report.

#include "ui/BackupPage.h"

#include "ModalDriver.h"
#include "UiTest.h"
#include "core/backup/BackupRun.h"
#include "core/project/ProjectStore.h"
#include "support/ExtractedFiles.h"
#include "support/TempDir.h"
#include "ui/BackupPageDialogs.h"
#include "ui/TFormMain.h"
#include "ui_TFormMain.h"
#include "zip/base/HeadlessHost.h"
#include "zip/reader/ZipReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>

using namespace mzb;
namespace fs = std::filesystem;

namespace {

// The window's run host with a person's answers put in: questions and
// messages are recorded and answered, the lock, the progress and the pages
// go to the window. Each message also notes what the lock showed then.
class AnsweringHost : public RunHost {
public:
    AnsweringHost(TFormMain& form) : form_(form), real_(form.Host()) {}

    bool answerYes = true;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<bool> startEnabledAtMessage;
    std::function<void(int)> onProgress;

    bool AskYesNo(const std::string& text, MessageKind) override {
        questions.push_back(text);
        return answerYes;
    }
    void ShowMessage(const std::string& text, MessageKind) override { messages.push_back(text); }
    OverwriteAnswer AskOverwrite(const std::string& text) override {
        return real_.AskOverwrite(text);
    }
    void ShowTimedMessage(const std::string& text, MessageKind, int) override {
        messages.push_back(text);
        startEnabledAtMessage.push_back(form_.Controls().SpStart->isEnabled());
    }
    void SetRunLock(bool enabled) override { real_.SetRunLock(enabled); }
    void SetProgress(int percent) override {
        real_.SetProgress(percent);
        if (onProgress) {
            onProgress(percent);
        }
    }
    void ShowCurrentFile(const std::string& path) override { real_.ShowCurrentFile(path); }
    int ActivePage() override { return real_.ActivePage(); }
    void ShowPage(int page) override { real_.ShowPage(page); }
    LocalDateTime Now() override { return LocalDateTime::Make(2026, 12, 7, 20, 41, 38); }

private:
    TFormMain& form_;
    RunHost& real_;
};

class ScriptedDialogs : public BackupPageDialogs {
public:
    std::deque<std::optional<std::string>> names;
    std::vector<QString> captions;
    std::optional<std::string> wildcardEntry;
    std::vector<std::string> files;
    std::optional<std::string> directory;

    std::optional<std::string> AskProjectName(const QString& caption, const QString&) override {
        captions.push_back(caption);
        auto name = names.front();
        names.pop_front();
        return name;
    }
    std::optional<std::string> AskWildcardEntry() override { return wildcardEntry; }
    std::vector<std::string> AskFiles() override { return files; }
    std::optional<std::string> AskDirectory() override { return directory; }
};

ProjectRecord Docs(const std::string& root, const std::string& name = "Docs") {
    ProjectRecord r;
    r.Name = name;
    r.FilenamePrefix = "docs";
    r.UseDate = false;
    r.Value = 4;
    r.IncreaseValue = 3;
    r.SavePath = root + "out";
    r.BackupItems = {root + "src/*"};
    r.NoBackupItems = {"*.tmp"};
    r.IncludeSubdirectories = false;
    r.UsePassword = true;
    r.Password = "secret";
    r.StorePaths = false;
    r.StoreComment = true;
    r.Comment = "weekly";
    return r;
}

} // namespace

class BackupPageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> tmp_;
    std::unique_ptr<TFormMain> form_;
    std::unique_ptr<AnsweringHost> host_;
    ScriptedDialogs dialogs_;

    template <typename T> T* Find(const char* name) {
        T* control = form_->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) {
            qFatal("no control %s", name);
        }
        return control;
    }
    QString Text(const char* name) { return Find<QLineEdit>(name)->text(); }
    bool Checked(const char* name) { return Find<QAbstractButton>(name)->isChecked(); }
    bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
    QStringList Items(const char* name) {
        QStringList items;
        QListWidget* list = Find<QListWidget>(name);
        for (int i = 0; i < list->count(); ++i) {
            items << list->item(i)->text();
        }
        return items;
    }
    QStringList TrayItems() {
        QStringList items;
        for (QAction* item : Find<QMenu>("menuBackup")->actions()) {
            items << item->data().toString();
        }
        return items;
    }
    ProjectStore Store() const { return ProjectStore(tmp_->dir() + "project.ini"); }
    std::string Root() const { return tmp_->dir(); }
    BackupPage& Page() { return *form_->Controls().Tabbackup; }

    void OpenWith(const std::vector<ProjectRecord>& projects) {
        std::vector<std::string> names;
        for (const ProjectRecord& p : projects) {
            Store().WriteProject(p.Name, p);
            names.push_back(p.Name);
        }
        if (!names.empty()) {
            Store().WriteProjectNames(names);
            Store().WriteLastProject(names.front());
        }
        ProgramSetup setup;
        setup.Layout = LayoutFor(Root());
        form_ = std::make_unique<TFormMain>(setup);
        form_->show();
        host_ = std::make_unique<AnsweringHost>(*form_);
        Page().SetHost(*host_);
        Page().SetDialogs(dialogs_);
    }

    // Sources that keep a run going for many chunks.
    void WriteLargeSources() {
        const std::string big(300000, 'x');
        for (int i = 0; i < 8; ++i) {
            tmp_->write("src/big" + std::to_string(i) + ".bin", big + std::to_string(i));
        }
    }

    // Runs `act` once, at the first progress strictly between 0 and 100.
    void InTheMiddleOfTheRun(std::function<void()> act) {
        host_->onProgress = [act = std::move(act), done = false](int percent) mutable {
            if (!done && percent > 0 && percent < 100) {
                done = true;
                act();
            }
        };
    }

    void ExpectViewMode(bool view) {
        for (const char* name :
             {"comboProject", "SpRename", "SpNew", "SpEdit", "SpDelete", "SpStart", "SpRestore"}) {
            QVERIFY2(Enabled(name) == view, name);
        }
        QCOMPARE(Find<QAction>("menuPreferences")->isEnabled(), view);
        QCOMPARE(Enabled("SpSave"), !view);
        QCOMPARE(Enabled("SpCancel"), !view);
    }

private slots:
    void initTestCase() {
        umask(022);
        setenv("TZ", "UTC", 1);
        setenv("LC_ALL", "C", 1);
    }
    void init() {
        tmp_ = std::make_unique<test::TempDir>();
        setenv("HOME", tmp_->path().c_str(), 1);
        fs::create_directories(tmp_->path() / "out");
        tmp_->write("src/a.txt", "alpha");
        tmp_->write("src/b.tmp", "left out");
        tmp_->write("src/sub/c.txt", "not searched");
        dialogs_ = ScriptedDialogs();
    }
    void cleanup() {
        if (form_) {
            form_->close();
        }
        host_.reset();
        form_.reset();
        tmp_.reset();
    }

    void loadShowsTheProjectInEveryControl() {
        OpenWith({Docs(Root())});
        QCOMPARE(form_->Controls().comboProject->currentText(), QStringLiteral("Docs"));
        QCOMPARE(Text("EditPrefix"), QStringLiteral("docs"));
        QVERIFY(Checked("RadioUserNumber"));
        QCOMPARE(Find<QSpinBox>("SpinValue")->value(), 7);
        QCOMPARE(Find<QSpinBox>("SpinIncrease")->value(), 3);
        QVERIFY(Enabled("SpinValue") && Enabled("SpinIncrease") && Enabled("Labelauto"));
        QCOMPARE(Text("EditFilename"), QString::fromStdString(Root() + "out/docs7.zip"));
        QCOMPARE(Items("ListboxBackup"), QStringList{QString::fromStdString(Root() + "src/*")});
        QCOMPARE(Items("ListBoxNobackup"), QStringList{QStringLiteral("*.tmp")});
        QVERIFY(Checked("RadioNo"));
        QVERIFY(Checked("CheckBoxPassword"));
        QCOMPARE(Text("EditPassword"), QStringLiteral("secret"));
        QCOMPARE(Text("EditConfirmPassword"), QStringLiteral("secret"));
        // Masked with '*' whatever character the desktop's style prefers.
        for (const char* field : {"EditPassword", "EditConfirmPassword"}) {
            Find<QLineEdit>(field)->ensurePolished();
            QCOMPARE(Find<QLineEdit>(field)->displayText(), QStringLiteral("******"));
        }
        QVERIFY(!Checked("CheckBoxpath"));
        QVERIFY(Checked("CheckBoxcomment"));
        QCOMPARE(Text("Editcomment"), QStringLiteral("weekly"));
        QVERIFY(Enabled("Editcomment"));
        ExpectViewMode(true);
        QCOMPARE(TrayItems(), QStringList{QStringLiteral("Docs")});
    }

    void editSaveWritesTheEditorAndCancelRestoresIt() {
        OpenWith({Docs(Root())});
        Find<QLineEdit>("EditPrefix")->setText(QStringLiteral(" b "));
        QCOMPARE(Text("EditFilename"), QString::fromStdString(Root() + "out/b7.zip"));
        ExpectViewMode(false);
        Find<QCheckBox>("CheckBoxcomment")->setChecked(false);
        QVERIFY(!Enabled("Editcomment"));
        Find<QSpinBox>("SpinValue")->setValue(1000);
        auto* cipher = Find<QComboBox>("comboEncryption");
        QVERIFY(cipher->currentText().contains(QStringLiteral("weak")));
        cipher->setCurrentIndex(cipher->findText(QStringLiteral("AES-128")));
        // A remote with its password inline never reaches project.ini.
        Find<QLineEdit>("EditRemoteCopy")->setText(QStringLiteral(":sftp,host=nas,pass=XQ7:bk"));
        Find<QToolButton>("SpSave")->click();
        ExpectViewMode(false);
        QVERIFY(host_->messages.back().find("(pass)") != std::string::npos);
        QVERIFY(test::ReadFile(tmp_->path() / "project.ini").find("XQ7") == std::string::npos);
        Find<QLineEdit>("EditRemoteCopy")->setText(QStringLiteral("nas:backups/docs"));
        Find<QToolButton>("SpSave")->click();
        ExpectViewMode(true);
        QCOMPARE(Text("Editcomment"), QString());

        ProjectRecord saved = Docs(Root());
        saved.Encryption = 1; // AES-128
        saved.RemoteCopy = "nas:backups/docs";
        saved.FilenamePrefix = "b";
        saved.Value = 997;
        saved.StoreComment = false;
        saved.Comment.clear();
        QCOMPARE(Store().ReadProject("Docs"), saved);
        const std::string ini = test::ReadFile(tmp_->path() / "project.ini");
        QVERIFY(ini.find("Value=997\n") != std::string::npos);
        QVERIFY(ini.find("Password=secret") == std::string::npos);

        dialogs_.directory = Root() + "elsewhere";
        Find<QToolButton>("SpSelectDirectory")->click();
        QCOMPARE(Text("EditFilename"), QString::fromStdString(Root() + "elsewhere/b1000.zip"));
        Find<QListWidget>("ListBoxNobackup")->setCurrentRow(-1);
        Find<QToolButton>("Button5")->click();
        QCOMPARE(host_->messages.back(), std::string("Please select item by clicking"));

        dialogs_.wildcardEntry = Root() + "more/*.doc";
        Find<QToolButton>("Button1")->click();
        Find<QLineEdit>("EditPrefix")->setText(QStringLiteral("c"));
        QCOMPARE(Items("ListboxBackup").size(), 2);
        ExpectViewMode(false);
        Find<QToolButton>("SpCancel")->click();
        ExpectViewMode(true);
        QCOMPARE(Text("EditPrefix"), QStringLiteral("b"));
        QCOMPARE(Find<QSpinBox>("SpinValue")->value(), 1000);
        QCOMPARE(Items("ListboxBackup"), QStringList{QString::fromStdString(Root() + "src/*")});
        QCOMPARE(Text("EditFilename"), QString::fromStdString(Root() + "out/b1000.zip"));
    }

    void newRenameAndDeleteKeepListFileAndTrayInStep() {
        OpenWith({Docs(Root())});
        dialogs_.names = {std::string("Alpha=1")};
        Find<QToolButton>("SpNew")->click();
        QCOMPARE(dialogs_.captions.back(), QStringLiteral("Add Project"));
        QCOMPARE(form_->ProjectNames(), (std::vector<std::string>{"Alpha=1", "Docs"}));
        ExpectViewMode(false);
        QCOMPARE(Text("EditPrefix"), QString());
        QVERIFY(Checked("CheckBoxpath") && Checked("CheckBoxcomment") &&
                !Checked("CheckBoxPassword"));
        QCOMPARE(Find<QComboBox>("comboEncryption")->currentText(), QStringLiteral("AES-256"));
        Find<QToolButton>("SpSave")->click();
        QCOMPARE(host_->messages.back(), std::string("Please input the backup filename"));
        Find<QLineEdit>("EditPrefix")->setText(QStringLiteral("alpha"));
        dialogs_.files = {Root() + "src/a.txt", Root() + "src/b.tmp"};
        Find<QToolButton>("Button2")->click();
        Find<QToolButton>("SpSave")->click();
        ExpectViewMode(true);
        QCOMPARE(TrayItems(), (QStringList{QStringLiteral("Alpha=1"), QStringLiteral("Docs")}));
        QCOMPARE(Store().ReadProject("Alpha=1").BackupItems.size(), 2u);
        QCOMPARE(Store().ReadProject("Alpha=1").Encryption, 3);
        QCOMPARE(Store().ReadProjectNames(), (std::vector<std::string>{"Alpha=1", "Docs"}));

        dialogs_.names = {std::string(" Beta ")};
        Find<QToolButton>("SpRename")->click();
        QCOMPARE(dialogs_.captions.back(), QStringLiteral("Rename Project"));
        QCOMPARE(form_->ProjectNames(), (std::vector<std::string>{"Beta", "Docs"}));
        QCOMPARE(TrayItems(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Docs")}));
        QCOMPARE(Store().ReadProject("Beta").FilenamePrefix, std::string("alpha"));
        QCOMPARE(Store().ReadProject("Alpha=1").FilenamePrefix, std::string());

        host_->answerYes = false;
        Find<QToolButton>("SpDelete")->click();
        QCOMPARE(host_->questions.back(), std::string("Do you delete 'Beta' project?"));
        QCOMPARE(form_->ProjectNames().size(), 2u);
        host_->answerYes = true;
        Find<QToolButton>("SpDelete")->click();
        QCOMPARE(form_->ProjectNames(), std::vector<std::string>{"Docs"});
        QCOMPARE(TrayItems(), QStringList{QStringLiteral("Docs")});
        QCOMPARE(Store().ReadProjectNames(), std::vector<std::string>{"Docs"});
        QCOMPARE(Text("EditPrefix"), QStringLiteral("docs"));

        // Overwriting an existing project, then Cancel: it stays listed once
        // and shows again as the file holds it.
        dialogs_.names = {std::string("DOCS")};
        Find<QToolButton>("SpNew")->click();
        QCOMPARE(Text("EditPrefix"), QString());
        Find<QToolButton>("SpCancel")->click();
        QCOMPARE(form_->ProjectNames(), std::vector<std::string>{"Docs"});
        QCOMPARE(Text("EditPrefix"), QStringLiteral("docs"));

        Find<QToolButton>("SpDelete")->click();
        QCOMPARE(form_->Controls().comboProject->count(), 0);
        QCOMPARE(Text("EditPrefix"), QString());
        QVERIFY(Store().ReadProjectNames().empty());
    }

    void startBackupWritesTheArchiveReportsAndAdvancesTheNumber() {
        // An "=" in the name is no obstacle to loading, backing up or counting.
        OpenWith({Docs(Root(), "Docs=Weekly")});
        form_->Controls().PageControl1->setCurrentIndex(1);
        Find<QToolButton>("SpStart")->click();
        QCOMPARE(host_->messages.size(), std::size_t(1));
        QVERIFY(
            host_->messages[0].starts_with("Backup Files Succeeds!\rProject Name: 'Docs=Weekly'\r"
                                           "File Name:    'docs7.zip'\r"));
        QCOMPARE(host_->startEnabledAtMessage, std::vector<bool>{false});
        QVERIFY(Enabled("SpStart") && Enabled("Tabbackup"));
        QVERIFY(!Find<QPushButton>("SpCancelRun")->isVisibleTo(form_.get()));
        QCOMPARE(form_->Controls().ProgressBar1->value(), 0);
        QCOMPARE(form_->Controls().PageControl1->currentIndex(), 1);
        ExpectViewMode(true);

        QCOMPARE(test::ExtractAll(Root() + "out/docs7.zip", Root() + "x", "secret"),
                 (std::map<std::string, std::string>{{"a.txt", "alpha"}}));
        QCOMPARE(Store().ReadProject("Docs=Weekly").Value, 7);
        QCOMPARE(Find<QSpinBox>("SpinValue")->value(), 10);
        QCOMPARE(Text("EditFilename"), QString::fromStdString(Root() + "out/docs10.zip"));
    }

    void trayBackupOfAMinimisedWindowLoadsTheProjectFirst() {
        ProjectRecord other = Docs(Root(), "Other");
        other.FilenamePrefix = "other";
        other.UsePassword = false;
        other.Password.clear();
        OpenWith({Docs(Root()), other});
        form_->showMinimized();
        QAction* item = Find<QMenu>("menuBackup")->actions().at(1);
        QCOMPARE(item->data().toString(), QStringLiteral("Other"));
        item->trigger();
        QCOMPARE(form_->Controls().comboProject->currentText(), QStringLiteral("Other"));
        QCOMPARE(host_->messages.size(), std::size_t(1));
        QCOMPARE(test::ExtractAll(Root() + "out/other7.zip", Root() + "x", ""),
                 (std::map<std::string, std::string>{{"a.txt", "alpha"}}));
        QCOMPARE(Store().ReadProject("Docs").Value, 4);
    }

    // The history settings load into their controls and are saved from
    // them; the sentence and the preview follow every change.
    void historyControlsShowTheRuleAndWhatItWouldDeleteNow() {
        for (int day = 1; day <= 3; ++day) {
            const fs::path file = tmp_->write("out/docs" + std::to_string(day) + ".zip", "z");
            const auto noon =
                std::chrono::sys_days(std::chrono::year(2026) / 12 / day) + std::chrono::hours(12);
            const timespec times[2] = {{noon.time_since_epoch().count(), 0},
                                       {noon.time_since_epoch().count(), 0}};
            QCOMPARE(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        }
        ProjectRecord docs = Docs(Root());
        docs.KeepArchives = 1;
        docs.KeepLast = 1;
        docs.VerifyAfterBackup = true;
        docs.BackupType = 1;
        docs.FullEvery = 3;
        OpenWith({docs});
        QCOMPARE(Find<QComboBox>("ComboBackupType")->currentIndex(), 1);
        QCOMPARE(Find<QSpinBox>("SpinFullEvery")->value(), 3);
        QVERIFY(Enabled("SpinFullEvery"));
        QCOMPARE(Find<QComboBox>("ComboKeepArchives")->currentIndex(), 1);
        QVERIFY(Enabled("SpinKeepLast") && !Enabled("SpinKeepDaily"));
        QVERIFY(Checked("CheckBoxVerify"));
        QCOMPARE(Find<QLabel>("LabelRetentionRule")->text(),
                 QStringLiteral("Keeps only the newest archive"));
        QCOMPARE(Items("ListRetentionPreview"),
                 (QStringList{QStringLiteral("docs2.zip"), QStringLiteral("docs1.zip")}));

        Find<QSpinBox>("SpinKeepLast")->setValue(2);
        QCOMPARE(Find<QLabel>("LabelRetentionRule")->text(),
                 QStringLiteral("Keeps the newest 2 archives"));
        QCOMPARE(Items("ListRetentionPreview"), QStringList{QStringLiteral("docs1.zip")});
        Find<QComboBox>("ComboKeepArchives")->setCurrentIndex(2);
        QVERIFY(!Enabled("SpinKeepLast") && Enabled("SpinKeepDaily"));
        Find<QSpinBox>("SpinFullEvery")->setValue(5);
        Find<QToolButton>("SpSave")->click();
        ProjectRecord saved = Store().ReadProject("Docs");
        QCOMPARE(saved.KeepArchives, 2);
        QCOMPARE(saved.KeepLast, 2);
        QVERIFY(saved.VerifyAfterBackup);
        QCOMPARE(saved.BackupType, 1);
        QCOMPARE(saved.FullEvery, 5);
        // Back to full backups: the days no longer apply, and stay as set.
        Find<QComboBox>("ComboBackupType")->setCurrentIndex(0);
        QVERIFY(!Enabled("SpinFullEvery"));
        Find<QToolButton>("SpSave")->click();
        saved = Store().ReadProject("Docs");
        QCOMPARE(saved.BackupType, 0);
        QCOMPARE(saved.FullEvery, 5);
        QVERIFY(fs::exists(tmp_->path() / "out/docs1.zip"));
    }

    void withoutAProjectTheEditorSaysHowToBegin() {
        OpenWith({});
        QVERIFY(Find<QLabel>("LabelFirstStart")->isVisibleTo(form_.get()));
        // The controls keep the values they start with.
        QVERIFY(!Checked("CheckBoxpath") && !Checked("CheckBoxcomment") && !Enabled("Editcomment"));
        form_->SpStartClick();
        QCOMPARE(host_->messages, std::vector<std::string>{kNoProjectText});
        // Typing instead asks for the new project's name.
        dialogs_.names = {std::nullopt};
        Find<QLineEdit>("EditPrefix")->setText(QStringLiteral("x"));
        QCOMPARE(dialogs_.captions, std::vector<QString>{QStringLiteral("Add Project")});
        QCOMPARE(form_->Controls().comboProject->count(), 0);
    }

    // Everything a run depends on stays locked from its first byte to its
    // report, whatever the editor's state does meanwhile; afterwards each
    // control is as the view mode has it.
    void controlsARunDependsOnStayLockedUntilItEnds() {
        WriteLargeSources();
        OpenWith({Docs(Root()), Docs(Root(), "Mail")});
        QStringList enabledDuringRun;
        bool checked = false;
        InTheMiddleOfTheRun([&] {
            checked = true;
            // Edit then Cancel, as a handler run between chunks would.
            Page().SetEditState(false);
            Page().SetEditState(true);
            for (const char* name : {"comboProject",
                                     "SpRename",
                                     "SpNew",
                                     "SpEdit",
                                     "SpDelete",
                                     "SpSave",
                                     "SpCancel",
                                     "SpStart",
                                     "SpRestore",
                                     "Button1",
                                     "Button2",
                                     "Button4",
                                     "SpeedButton1",
                                     "Button6",
                                     "Button3",
                                     "Button5",
                                     "SpeedButton2",
                                     "SpSelectDirectory",
                                     "EditPrefix",
                                     "DirectoryViewBrowse",
                                     "StringGridZipfilename",
                                     "DirectoryRestoreBrowse"}) {
                if (Enabled(name)) {
                    enabledDuringRun << QString::fromLatin1(name);
                }
            }
            if (Find<QAction>("menuPreferences")->isEnabled()) {
                enabledDuringRun << QStringLiteral("menuPreferences");
            }
            if (form_->Controls().PageControl1->tabBar()->isEnabled()) {
                enabledDuringRun << QStringLiteral("page tabs");
            }
            for (QAction* item : Find<QMenu>("menuBackup")->actions()) {
                if (item->isEnabled()) {
                    enabledDuringRun << item->text();
                }
            }
        });
        Find<QToolButton>("SpStart")->click();
        QVERIFY(checked);
        QCOMPARE(enabledDuringRun, QStringList());
        QVERIFY(fs::exists(tmp_->path() / "out/docs7.zip"));
        ExpectViewMode(true);
        QVERIFY(form_->Controls().PageControl1->tabBar()->isEnabled());
        QVERIFY(Enabled("Button1") && Enabled("DirectoryRestoreBrowse"));
        for (QAction* item : Find<QMenu>("menuBackup")->actions()) {
            QVERIFY(item->isEnabled());
        }
    }

    // Exit during a run asks at once; the run waits under the question.
    void exitDuringARunAsksToCancelOrToCloseWhenItEnds_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("archiveWritten");
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel and close") << "ButtonCancelRunAndClose" << false << true;
        QTest::newRow("close when it ends") << "ButtonCloseWhenRunEnds" << true << true;
        QTest::newRow("keep running") << "ButtonKeepRunning" << true << false;
    }

    void exitDuringARunAsksToCancelOrToCloseWhenItEnds() {
        QFETCH(QString, answer);
        QFETCH(bool, archiveWritten);
        QFETCH(bool, closes);
        WriteLargeSources();
        OpenWith({Docs(Root())});
        QSignalSpy closed(form_.get(), &TFormMain::Closed);
        QString question;
        bool asked = false;
        InTheMiddleOfTheRun([&] {
            asked = true;
            const test::ModalDriver driver([&](QWidget* box) {
                question = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
                box->findChild<QAbstractButton*>(answer)->click();
            });
            Find<QToolButton>("SpExit")->click();
            QVERIFY(!driver.WatchdogFired());
        });
        Find<QToolButton>("SpStart")->click();
        QVERIFY(asked);
        QCOMPARE(question, QStringLiteral("A backup is running.\nCancel it and close the program, "
                                          "or close the program when the backup has ended?"));
        QCOMPARE(fs::exists(tmp_->path() / "out/docs7.zip"), archiveWritten);
        QCOMPARE(host_->messages.size(), std::size_t(1));
        QCOMPARE(host_->messages[0] == kBackupCanceledText, !archiveWritten);
        if (closes) {
            QVERIFY(closed.wait(5000));
        } else {
            QTest::qWait(0);
            QVERIFY(closed.isEmpty());
            QVERIFY(form_->isVisible());
        }
    }

    // A failed write stops Delete where it failed: the project stays in the
    // list, the tray and the editor, as it stays in the file.
    void deleteStopsAtAFailedWrite() {
        OpenWith({Docs(Root()), Docs(Root(), "Mail")});
        const std::string before = test::ReadFile(tmp_->path() / "project.ini");
        const std::string lock = tmp_->dir() + "project.ini.lock";
        fs::remove(lock);
        QCOMPARE(::mkfifo(lock.c_str(), 0600), 0);
        Find<QToolButton>("SpDelete")->click();
        QCOMPARE(host_->messages, std::vector<std::string>{"Cannot use " + lock +
                                                           ": it is a FIFO, not a regular file"});
        QCOMPARE(form_->Controls().comboProject->currentText(), QStringLiteral("Docs"));
        QCOMPARE(TrayItems(), (QStringList{QStringLiteral("Docs"), QStringLiteral("Mail")}));
        QCOMPARE(Text("EditPrefix"), QStringLiteral("docs"));
        fs::remove(lock);
        QCOMPARE(test::ReadFile(tmp_->path() / "project.ini"), before);
    }

    void cancelInTheMiddleOfARunLeavesNoArchive_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Escape") << true;
    }

    void cancelInTheMiddleOfARunLeavesNoArchive() {
        QFETCH(bool, byEscape);
        WriteLargeSources();
        OpenWith({Docs(Root())});
        // What the window showed in the middle of the run, when Cancel was pressed.
        bool cancelShown = false;
        bool startEnabled = true;
        bool trayEnabled = true;
        QString progressText;
        host_->onProgress = [&](int percent) {
            QPushButton* cancel = Find<QPushButton>("SpCancelRun");
            if (percent > 0 && percent < 100 && cancel->isVisibleTo(form_.get()) && !cancelShown) {
                cancelShown = true;
                startEnabled = Enabled("SpStart");
                trayEnabled = Find<QMenu>("menuBackup")->actions().front()->isEnabled();
                progressText = form_->Controls().ProgressBar1->text();
                if (byEscape) {
                    QTest::keyClick(form_.get(), Qt::Key_Escape);
                } else {
                    cancel->click();
                }
            }
        };
        Find<QToolButton>("SpStart")->click();
        QVERIFY(cancelShown);
        QVERIFY(!startEnabled);
        QVERIFY(!trayEnabled);
        QVERIFY2(progressText.contains(QStringLiteral("src/big")), qPrintable(progressText));
        QCOMPARE(host_->messages, std::vector<std::string>{kBackupCanceledText});
        QVERIFY(fs::is_empty(tmp_->path() / "out"));
        QCOMPARE(Store().ReadProject("Docs").Value, 4);
        QCOMPARE(Find<QSpinBox>("SpinValue")->value(), 7);
        QVERIFY(Enabled("SpStart"));
        QVERIFY(!Find<QPushButton>("SpCancelRun")->isVisibleTo(form_.get()));
    }
};

MZB_UI_TEST(BackupPageTest);
#include "BackupPageTest.moc"
