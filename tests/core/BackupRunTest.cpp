#include "core/backup/BackupRun.h"

#include "core/editor/ProjectEditor.h"
#include "platform/ProfileFile.h"
#include "support/FakeRunHost.h"
#include "support/TempDir.h"
#include "zip/base/ZipError.h"

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <utime.h>

namespace mzb {
namespace {

using test::FakeRunHost;
using test::TempDir;

// Writes an archive of a set size and tells the run what a real writer would.
class FakeWriter : public BackupWriter {
public:
    std::vector<BackupJob> jobs;
    std::size_t archiveBytes = 2048;
    std::vector<std::string> leftOut;
    int fileCount = 1;
    bool fail = false;
    bool nothingAdded = false; // every file failed: the writer writes nothing
    bool removeBeforeComplete = false;
    // Runs while the archive is written, before it is complete.
    std::function<void()> whileWriting;

    void RunZip(const BackupJob& job, const BackupWriterEvents& events) override {
        jobs.push_back(job);
        if (fail) {
            throw std::runtime_error("Cannot create " + job.ZipName);
        }
        events.OnTotalPercentDone(50);
        if (whileWriting) {
            whileWriting();
        }
        for (const auto& name : leftOut) {
            events.OnFileLeftOut(name);
        }
        if (nothingAdded) {
            throw ENoFilesAdded("No files were added, so no archive was written.");
        }
        std::ofstream(job.ZipName, std::ios::binary) << std::string(archiveBytes, 'z');
        if (removeBeforeComplete) {
            std::filesystem::remove(job.ZipName);
        }
        events.OnTotalPercentDone(100);
        events.OnZipComplete(fileCount);
    }
    std::vector<std::string> ReadBack(const std::string&, const std::string&) override {
        return {};
    }
    // These runs back up full projects only, which carry no manifest.
    std::optional<std::string> ReadEntryText(const std::string&, const std::string&,
                                             const std::string&) override {
        throw std::logic_error("a full project reads no entry");
    }
};

class BackupRunTest : public ::testing::Test {
protected:
    BackupRunTest() : store_(tmp_.dir() + "project.ini") {
        editor_.ProjectText = "Docs";
        editor_.SaveDir = tmp_.dir() + "out";
        editor_.Prefix = "docs";
        editor_.Filename = editor_.SaveDir + "/docs03-14_09-26-53.zip";
        editor_.Include = {tmp_.dir() + "src"};
        editor_.PasswordTicked = false;
        editor_.CommentTicked = false;
        std::filesystem::create_directories(editor_.SaveDir);
        // A run records only in a project that exists.
        tmp_.write("project.ini", kSaved);
    }

    static constexpr const char* kSaved = "[Docs]\nFilename prefix=docs\n";

    BackupOutcome Run() { return RunBackup(editor_, settings_, store_, writer_, host_); }

    void ExpectNothingWritten() {
        EXPECT_TRUE(writer_.jobs.empty());
        EXPECT_TRUE(host_.locks.empty());
        EXPECT_TRUE(store_.ReadProject("Docs").Value == 1);
    }

    TempDir tmp_;
    ProjectStore store_;
    CommonSettings settings_;
    BackupEditor editor_;
    FakeWriter writer_;
    FakeRunHost host_;
};

TEST_F(BackupRunTest, ChecksRunInOrderAndTheFirstFailureIsTheOnlyMessage) {
    struct Case {
        const char* what;
        void (*edit)(BackupEditor&);
        const char* message;
    };
    const Case cases[] = {
        {"blank file name",
         [](BackupEditor& e) {
             e.Filename = "  ";
             e.Prefix = "";
         },
         "Please input the backup filename"},
        {"empty prefix before empty list",
         [](BackupEditor& e) {
             e.Prefix = " \t";
             e.Include.clear();
         },
         "Please input the prefix of backup filename"},
        {"passwords differ in case",
         [](BackupEditor& e) {
             e.PasswordTicked = true;
             e.Password = "Secret";
             e.ConfirmPassword = "secret";
             e.Include.clear();
         },
         "Confirm password is not matching"},
        {"empty include list", [](BackupEditor& e) { e.Include.clear(); },
         "Please select files or directory to backup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BackupEditor editor = editor_;
        c.edit(editor);
        FakeRunHost host;
        EXPECT_EQ(RunBackup(editor, settings_, store_, writer_, host), BackupOutcome::Refused);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, c.message);
        EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
        EXPECT_FALSE(host.messages[0].timed);
        EXPECT_TRUE(host.locks.empty());
    }
    EXPECT_TRUE(writer_.jobs.empty());
}

TEST_F(BackupRunTest, PasswordsEqualAfterTrimmingOrUntickedPass) {
    editor_.PasswordTicked = true;
    editor_.Password = " pw ";
    editor_.ConfirmPassword = "pw";
    EXPECT_EQ(ValidationProblem(editor_), "");
    editor_.Password = editor_.ConfirmPassword = "";
    EXPECT_EQ(ValidationProblem(editor_), "");
    editor_.PasswordTicked = false;
    editor_.Password = "a";
    editor_.ConfirmPassword = "b";
    EXPECT_EQ(ValidationProblem(editor_), "");
}

TEST_F(BackupRunTest, NoToTheConfirmationChangesNothing) {
    settings_.PromptBeforeBackup = true;
    editor_.UseNumber = true;
    editor_.Number = 4;
    host_.answerYes = false;
    const BackupEditor before = editor_;
    EXPECT_EQ(Run(), BackupOutcome::Declined);
    ASSERT_EQ(host_.questions.size(), 1u);
    EXPECT_EQ(host_.questions[0], "Do you want backup project 'Docs'?");
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_EQ(editor_.Number, 4);
    EXPECT_EQ(editor_.Filename, before.Filename);
    EXPECT_EQ(test::ReadFile(store_.IniPath()), kSaved);
    ExpectNothingWritten();
}

TEST_F(BackupRunTest, CompletedRunReportsLocksOnceAndEndsAtZero) {
    editor_.ProjectText = "Docs ";
    host_.activePage = 1;
    EXPECT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress, (std::vector<int>{50, 100, 0}));
    EXPECT_EQ(host_.pagesShown, std::vector<int>{1});
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Backup Files Succeeds!\rProject Name: 'Docs '\r"
                                      "File Name:    'docs03-14_09-26-53.zip'\r"
                                      "File Size:    '2Kb'");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(host_.timedSeconds, std::vector<int>{4});
    EXPECT_EQ(store_.ReadLastBackup("Docs"), host_.now);
}

TEST_F(BackupRunTest, SizeIsWholeKilobytesRoundedDown) {
    for (auto [bytes, kb] : {std::pair{0, 0}, {1023, 0}, {1024, 1}, {2047, 1}}) {
        const auto file = tmp_.write("size.bin", std::string(bytes, 'x'));
        EXPECT_EQ(ArchiveSizeKb(file.string()), kb) << bytes;
    }
    writer_.archiveBytes = 1023;
    Run();
    EXPECT_TRUE(host_.messages.back().text.ends_with("File Size:    '0Kb'"));
}

TEST_F(BackupRunTest, EverySettingIsSetOnEveryRun) {
    editor_.PasswordTicked = true;
    editor_.Password = editor_.ConfirmPassword = "  s3cret ";
    editor_.CommentTicked = true;
    editor_.Comment = " weekly ";
    editor_.Exclude = {"*.tmp"};
    editor_.Filename = "  " + editor_.Filename + " ";
    Run();
    const BackupJob first = writer_.jobs.at(0);
    EXPECT_EQ(first.ArchivePassword, "s3cret");
    EXPECT_EQ(first.ArchiveComment, "weekly");
    EXPECT_EQ(first.ZipName, tmp_.dir() + "out/docs03-14_09-26-53.zip");
    EXPECT_EQ(first.PackLevel, 5);
    EXPECT_FALSE(first.AddDirEntriesOnRecurse);

    // The next project has neither; nothing of the first may carry over.
    BackupEditor other = editor_;
    other.Filename = tmp_.dir() + "out/other.zip";
    other.PasswordTicked = false;
    other.CommentTicked = true;
    other.Comment = "   ";
    other.Exclude.clear();
    RunBackup(other, settings_, store_, writer_, host_);
    const BackupJob second = writer_.jobs.at(1);
    EXPECT_EQ(second.ArchivePassword, "");
    EXPECT_EQ(second.ArchiveComment, "");
    EXPECT_TRUE(second.ExcludeList.empty());
}

TEST_F(BackupRunTest, NumberIsStoredThenAdvancedAndPulledBackTo1000) {
    struct Case {
        int number, step, stored, shown;
        const char* next;
    };
    for (const Case c : {Case{4, 3, 4, 7, "docs7.zip"}, Case{999, 5, 999, 1000, "docs1000.zip"},
                         Case{1000, 1, 1000, 1000, "docs1000.zip"}}) {
        SCOPED_TRACE(c.number);
        BackupEditor editor = editor_;
        editor.UseNumber = true;
        editor.Number = c.number;
        editor.Increase = c.step;
        editor.Filename = tmp_.dir() + "out/n" + std::to_string(c.number) + ".zip";
        EXPECT_EQ(RunBackup(editor, settings_, store_, writer_, host_), BackupOutcome::Completed);
        EXPECT_EQ(store_.ReadProject("Docs").Value, c.stored);
        EXPECT_EQ(editor.Number, c.shown);
        EXPECT_EQ(editor.Filename, tmp_.dir() + "out/" + c.next);
    }
}

TEST_F(BackupRunTest, DateNamedProjectGetsANewNameAndNoCounter) {
    host_.now = LocalDateTime::Make(2026, 3, 14, 10, 0, 1);
    Run();
    EXPECT_EQ(editor_.Filename, tmp_.dir() + "out/docs03-14_10-00-01.zip");
    EXPECT_EQ(ProfileFile(store_.IniPath()).Read().ReadString("Docs", "Value", "none"), "none");
}

TEST_F(BackupRunTest, ExistingArchiveIsKeptUnlessOverwriteIsOn) {
    const auto old = tmp_.write("out/docs03-14_09-26-53.zip", "old");
    EXPECT_EQ(Run(), BackupOutcome::Exists);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, old.string() + " has been exists,Backup suspend!");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(host_.timedSeconds, std::vector<int>{4});
    EXPECT_EQ(test::ReadFile(old), "old");
    ExpectNothingWritten();

    // The writer replaces it only once the new archive is complete, so a
    // failed run still leaves the last backup.
    settings_.IsOverWrite = true;
    writer_.fail = true;
    EXPECT_THROW(Run(), std::runtime_error);
    EXPECT_EQ(test::ReadFile(old), "old");
    ASSERT_EQ(writer_.jobs.size(), 1u);
    EXPECT_TRUE(writer_.jobs[0].ReplaceArchive);

    writer_.fail = false;
    EXPECT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_EQ(test::ReadFile(old).size(), writer_.archiveBytes);
}

// The other run may be writing that very archive: it is not removed even
// when overwriting is on.
TEST_F(BackupRunTest, ARunOfTheSameProjectElsewhereRefusesThisOneBeforeTheArchiveIsTouched) {
    const auto old = tmp_.write("out/docs03-14_09-26-53.zip", "being written");
    settings_.IsOverWrite = true;
    {
        const auto otherRun = store_.TryLockBackup("Docs");
        EXPECT_EQ(Run(), BackupOutcome::Busy);
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_EQ(host_.messages[0].text,
                  "Project 'Docs' is already being backed up by another run; this backup is "
                  "skipped.");
        EXPECT_EQ(host_.messages[0].kind, MessageKind::Warning);
        EXPECT_EQ(test::ReadFile(old), "being written");
        ExpectNothingWritten();
    }
    EXPECT_EQ(Run(), BackupOutcome::Completed) << "the lock goes with the run that held it";
}

// Without its lock a second run could write the same archive unseen: a
// lock file that cannot be had refuses the backup, naming the file and the
// reason, before anything is written.
TEST_F(BackupRunTest, ABackupLockThatCannotBeHadRefusesTheBackup) {
    const std::string lockFile = tmp_.dir() + "project.ini.backup.lock";
    std::filesystem::create_directory(lockFile);
    EXPECT_EQ(Run(), BackupOutcome::Refused);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text,
              "Project 'Docs' cannot be backed up: its backup lock is unusable.\rCannot use " +
                  lockFile + ": Is a directory");
    ExpectNothingWritten();
}

TEST_F(BackupRunTest, WriterFailureReleasesTheLockAndAdvancesNothing) {
    editor_.UseNumber = true;
    editor_.Number = 4;
    const std::string path = editor_.Filename;
    writer_.fail = true;
    EXPECT_THROW(Run(), std::runtime_error);
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress.back(), 0);
    EXPECT_EQ(editor_.Number, 4);
    EXPECT_EQ(editor_.Filename, path);
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_EQ(test::ReadFile(store_.IniPath()), kSaved);
}

TEST_F(BackupRunTest, UnreadableSizeIsAnErrorInsteadOfTheReport) {
    editor_.UseNumber = true;
    writer_.removeBeforeComplete = true;
    EXPECT_THROW(Run(), EInOutError);
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(test::ReadFile(store_.IniPath()), kSaved);
}

// An incomplete backup must not pass for a success, and a user who was away
// when the schedule ran it must still find the report: a warning that stays,
// naming twenty items with their reasons and counting the rest.
TEST_F(BackupRunTest, ALackingArchiveIsAWarningThatStaysAndNamesWhatIsMissingAndWhy) {
    EXPECT_EQ(FileLeftOutText("/a/locked.db", FileLeftOut::Unreadable, EACCES),
              "file not readable: /a/locked.db (Permission denied)");
    EXPECT_EQ(FileLeftOutText("/a/log.txt", FileLeftOut::Unreadable, 0),
              "file changed while it was read: /a/log.txt");
    EXPECT_EQ(FileLeftOutText("/a/gone.txt", FileLeftOut::NotFound, 0),
              "file not found: /a/gone.txt");
    EXPECT_EQ(FolderLeftOutText("/media/usb/photos", ENOTDIR),
              "folder not found: /media/usb/photos");
    EXPECT_EQ(FolderLeftOutText("/srv/x", EACCES),
              "folder not readable: /srv/x (Permission denied)");
    editor_.UseNumber = true;
    editor_.Number = 4;
    writer_.leftOut = {"folder not found: /media/usb/photos", "file not found: /new\nline\x1b[31m"};
    for (int i = 3; i <= 23; ++i) {
        writer_.leftOut.push_back("file not found: /f" + std::to_string(i));
    }
    EXPECT_EQ(Run(), BackupOutcome::Incomplete);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(host_.timedSeconds, std::vector<int>{kRunMessageStays});
    const std::string& text = host_.messages[0].text;
    EXPECT_TRUE(text.starts_with("Backup incomplete! The archive lacks what is listed below.\r"
                                 "Project Name: 'Docs'\rFile Name:    'docs03-14_09-26-53.zip'\r"
                                 "File Size:    '2Kb'\rFiles Left Out: 23\r"
                                 "  folder not found: /media/usb/photos\r"
                                 "  file not found: /new\\nline\\x1b[31m\r"
                                 "  file not found: /f3\r"))
        << text;
    EXPECT_TRUE(text.ends_with("\r  file not found: /f20\r  ... and 3 more")) << text;
    EXPECT_EQ(text.find("/f21"), std::string::npos);
    // The archive holds what could be saved: it is the project's backup.
    EXPECT_EQ(editor_.Number, 5);
    EXPECT_EQ(store_.ReadProject("Docs").Value, 4);
}

// A drive that is not mounted leaves nothing to save: an empty archive
// would pass for the last backup and take the number.
TEST_F(BackupRunTest, NothingSavedWritesNoArchiveKeepsTheNumberAndIsAnErrorThatStays) {
    editor_.UseNumber = true;
    editor_.Number = 4;
    const std::string path = editor_.Filename;
    writer_.leftOut = {"folder not found: /media/usb/photos"};
    writer_.nothingAdded = true;
    const int storedNumber = store_.ReadProject("Docs").Value;
    EXPECT_EQ(Run(), BackupOutcome::NothingSaved);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text,
              "Backup failed! No files were backed up, so no archive was written.\r"
              "Project Name: 'Docs'\rFile Name:    'docs03-14_09-26-53.zip'\r"
              "Files Left Out: 1\r  folder not found: /media/usb/photos");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(host_.timedSeconds, std::vector<int>{kRunMessageStays});
    EXPECT_EQ(editor_.Number, 4);
    EXPECT_EQ(editor_.Filename, path);
    EXPECT_EQ(store_.ReadProject("Docs").Value, storedNumber);
    EXPECT_FALSE(store_.ReadLastBackup("Docs"));
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
}

// The archive is complete but project.ini cannot take its number: the
// report says what was written and what was not, and why; no later run
// replaces that archive or is refused because of it.
TEST_F(BackupRunTest, ANumberThatCannotBeStoredNeverCostsTheNextBackup) {
    const auto archiveAt = [this](int n) {
        return tmp_.dir() + "out/docs" + std::to_string(n) + ".zip";
    };
    // 2020-06-01 and 2020-06-02 in any time zone.
    const std::time_t beforeLastBackup = 1590969600;
    const std::time_t afterLastBackup = 1591142400;
    const auto setWritten = [](const std::string& path, std::time_t when) {
        const utimbuf times{when, when};
        ASSERT_EQ(::utime(path.c_str(), &times), 0);
    };
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwriting on" : "overwriting off");
        std::filesystem::remove_all(tmp_.dir() + "out");
        std::filesystem::create_directories(tmp_.dir() + "out");
        tmp_.write("project.ini", "[Docs]\nFilename prefix=docs\nWhether use Date=0\nValue=3\n"
                                  "Save Path=" +
                                      tmp_.dir() +
                                      "out\nBackup Directory Count=1\n"
                                      "Backup0=" +
                                      tmp_.dir() + "src\nLast Backup=2020-06-01 12:00:00\n");
        settings_.IsOverWrite = overwrite;
        const auto loaded = [&] {
            return EditorForProject(store_.ReadProject("Docs"), settings_, host_.now);
        };

        // A store that fails on demand: a FIFO takes its lock file's place.
        // The run lacks a file, so no retention rule reads the store first.
        writer_.leftOut = {"/src/locked.db"};
        const std::string iniLock = store_.IniPath() + ".lock";
        writer_.whileWriting = [&] {
            std::filesystem::remove(iniLock);
            ASSERT_EQ(::mkfifo(iniLock.c_str(), 0600), 0);
        };
        BackupEditor editor = loaded();
        FakeRunHost host;
        EXPECT_EQ(RunBackup(editor, settings_, store_, writer_, host), BackupOutcome::Unrecorded);
        writer_.whileWriting = nullptr;
        writer_.leftOut.clear();
        std::filesystem::remove(iniLock);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text,
                  "Backup incomplete! The archive lacks what is listed below.\r"
                  "Project Name: 'Docs'\rFile Name:    'docs4.zip'\r"
                  "File Size:    '2Kb'\rFiles Left Out: 1\r  /src/locked.db\rThe archive is "
                  "complete, but its number 4 and the time of "
                  "this backup were not stored: Cannot use " +
                      iniLock +
                      ": it is a FIFO, not a regular file\r"
                      "The next backup leaves this archive alone and takes a new name.");
        EXPECT_EQ(host.messages[0].kind, MessageKind::Warning);
        EXPECT_EQ(store_.ReadProject("Docs").Value, 3);
        const std::string made = test::ReadFile(archiveAt(4));
        EXPECT_EQ(made.size(), writer_.archiveBytes);
        setWritten(archiveAt(4), afterLastBackup);

        // The next two runs, loaded from project.ini as the schedule, the
        // tray and mzb load them, take the numbers after it.
        for (const int next : {5, 6}) {
            editor = loaded();
            FakeRunHost later;
            EXPECT_EQ(RunBackup(editor, settings_, store_, writer_, later),
                      BackupOutcome::Completed)
                << next;
            EXPECT_EQ(writer_.jobs.back().ZipName, archiveAt(next));
            EXPECT_EQ(store_.ReadProject("Docs").Value, next);
            EXPECT_EQ(test::ReadFile(archiveAt(4)), made);
            setWritten(archiveAt(next), beforeLastBackup);
        }

        // An archive older than the last recorded backup is no such leftover:
        // a number set back meets it under the usual rule.
        tmp_.write("out/docs7.zip", "older");
        setWritten(archiveAt(7), beforeLastBackup);
        editor = loaded();
        FakeRunHost usual;
        EXPECT_EQ(RunBackup(editor, settings_, store_, writer_, usual),
                  overwrite ? BackupOutcome::Completed : BackupOutcome::Exists);
        EXPECT_EQ(test::ReadFile(archiveAt(7)) == "older", !overwrite);
    }
}

// Retention follows only a backup that holds everything asked for: an
// archive that lacks files is no reason to let an older whole one go.
TEST_F(BackupRunTest, RetentionRunsAfterACompleteBackupOnlyAndTheReportListsItsDeletions) {
    const std::string older = editor_.SaveDir + "/docs01-02_03-04-05.zip";
    std::ofstream(older) << "an earlier backup";
    std::filesystem::last_write_time(older, std::filesystem::last_write_time(older) -
                                                std::chrono::hours(24 * 400));
    editor_.Project.KeepArchives = 1;
    editor_.Project.KeepLast = 1;
    host_.now = LocalDateTime::Now();
    editor_.Filename = EditorArchiveName(editor_, settings_, host_.now);
    writer_.leftOut = {"/a/locked.db"};
    EXPECT_EQ(Run(), BackupOutcome::Incomplete);
    EXPECT_TRUE(std::filesystem::exists(older));

    writer_.leftOut.clear();
    host_.now = host_.now + std::chrono::seconds(1);
    editor_.Filename = EditorArchiveName(editor_, settings_, host_.now);
    EXPECT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_FALSE(std::filesystem::exists(older));
    EXPECT_TRUE(host_.messages.at(1).text.ends_with(
        "\rArchives Deleted: 2 ('" +
        std::filesystem::path(writer_.jobs.at(0).ZipName).filename().string() + "', '" +
        std::filesystem::path(older).filename().string() + "')"))
        << host_.messages.at(1).text;
}

} // namespace
} // namespace mzb
