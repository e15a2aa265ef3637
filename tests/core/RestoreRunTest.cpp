#include "core/restore/RestoreRun.h"

#include "core/restore/ZipReaderRestore.h"
#include "support/ArchiveBuilder.h"
#include "support/FakeRunHost.h"
#include "support/PeerTools.h"
#include "support/SampleData.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/Wildcard.h"
#include "zip/base/ZipError.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/resource.h>

namespace mzb {
namespace {

using test::FakeRunHost;
namespace fs = std::filesystem;

// A reader that plays back one scripted run: the files it restores, those
// it loses, those that exist already, then what ends it.
class ScriptedReader : public RestoreReader {
public:
    std::vector<RestoreJob> jobs;
    int restored = 3;
    std::vector<std::pair<std::string, std::string>> lost; // name, reason
    int existing = 0; // files whose output exists, asked about in turn
    bool badPassword = false;
    std::function<void()> endWith; // raises the error that ends the run

    std::string originalFolder = "/home/u/";

    void Apply(const RestoreJob& job) override { jobs.push_back(job); }
    std::string OriginalPlacesFolder() override { return originalFolder; }
    // The scripted archives carry no manifest.
    std::optional<std::string> ReadEntryText(const std::string&, const std::string&,
                                             const std::string&) override {
        return std::nullopt;
    }
    void RunUnZip(const RestoreReaderEvents& events) override {
        const int chosen =
            restored + static_cast<int>(lost.size()) + existing + (badPassword || endWith ? 2 : 0);
        events.OnStartUnZipInfo(chosen);
        int done = 0;
        try {
            for (int i = 0; i < restored; ++i) {
                events.OnEntryStarted("docs/f" + std::to_string(i));
                events.OnTotalPercentDone(40);
                events.OnEntryRestored();
                ++done;
            }
            for (const auto& [name, reason] : lost) {
                events.OnEntryStarted(name);
                events.OnEntryNotRestored(name, reason);
            }
            for (int i = 0; i < existing; ++i) {
                const std::string name = "docs/old" + std::to_string(i);
                events.OnEntryStarted(name);
                if (events.OnOverwriteQuestion("/home/u/restore/" + name)) {
                    events.OnEntryRestored();
                    ++done;
                } else {
                    events.OnNotReplaced();
                }
            }
            if (badPassword) {
                events.OnEntryStarted("docs/secret.txt");
                events.OnBadPassword("docs/secret.txt");
            }
            if (endWith) {
                events.OnEntryStarted("docs/big.bin");
                endWith();
            }
        } catch (...) {
            events.OnUnZipComplete(done);
            throw;
        }
        events.OnTotalPercentDone(100);
        events.OnUnZipComplete(done);
    }
};

class RestoreRunTest : public ::testing::Test {
protected:
    RestoreRunTest() {
        editor_.ArchiveCell = "  docs4.zip";
        editor_.FolderText = " /srv/backups ";
        editor_.DestDir = " /home/u/restore";
        editor_.ProjectText = "Mail";
    }
    RestoreOutcome Run() { return run_.Run(editor_, reader_, host_); }

    RestoreEditor editor_;
    ScriptedReader reader_;
    FakeRunHost host_;
    RestoreRun run_;
};

TEST_F(RestoreRunTest, JobTakesTheTrimmedFolderAndNameAndTheDestinationAsTyped) {
    EXPECT_EQ(Run(), RestoreOutcome::Succeeded);
    EXPECT_EQ(editor_.FolderText, "/srv/backups");
    ASSERT_EQ(host_.questions.size(), 1u);
    EXPECT_EQ(host_.questions[0], "Do you want restore the file 'docs4.zip'?");
    const RestoreJob& job = reader_.jobs.at(0);
    EXPECT_EQ(job.ZipName, "/srv/backups/docs4.zip");
    EXPECT_EQ(job.DestDir, " /home/u/restore");
    EXPECT_TRUE(job.DoAll);
    EXPECT_TRUE(job.RecreateDirs);
    EXPECT_EQ(job.Overwrite, RestoreOverwrite::Prompt);
    EXPECT_EQ(job.Password, std::nullopt);
    EXPECT_EQ(RestoreArchivePath("/srv/", "a.zip"), "/srv/a.zip");
}

TEST_F(RestoreRunTest, PasswordOnlyWhenNotBlankAndThenAsTyped) {
    for (auto [typed, given] : {std::pair<std::string, std::optional<std::string>>{" pw ", " pw "},
                                {"   ", std::nullopt},
                                {"", std::nullopt}}) {
        editor_.Password = typed;
        EXPECT_EQ(MakeRestoreJob(editor_).Password, given) << '[' << typed << ']';
    }
}

TEST_F(RestoreRunTest, SuccessReportNamesTheSelectedProjectAndTheArchive) {
    Run();
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress, (std::vector<int>{40, 40, 40, 100, 0}));
    // The progress bar names the entry at hand, as a backup's does.
    EXPECT_EQ(host_.currentFiles, (std::vector<std::string>{"docs/f0", "docs/f1", "docs/f2"}));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text,
              "Restore Files Succeeds!\rProject Name: 'Mail'\rFilename:     'docs4.zip'");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(host_.timedSeconds, std::vector<int>{4});
}

TEST_F(RestoreRunTest, EmptyRowOrNoAnswerDoesNothing) {
    editor_.ArchiveCell = "   ";
    EXPECT_EQ(Run(), RestoreOutcome::NoArchive);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "No Zip file to restore!");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Information);

    editor_.ArchiveCell = "a.zip";
    host_.answerYes = false;
    EXPECT_EQ(Run(), RestoreOutcome::Declined);
    EXPECT_TRUE(reader_.jobs.empty());
    EXPECT_TRUE(host_.locks.empty());
}

TEST_F(RestoreRunTest, WrongPasswordEndsTheRestoreNamingTheEntryAndWhatWasNotTried) {
    reader_.badPassword = true;
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    ASSERT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(host_.messages[0].text, "The password is incorrect");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
    EXPECT_FALSE(host_.messages[0].timed);
    EXPECT_EQ(host_.messages[1].text,
              "Restore files fails!\rProject Name: 'Mail'\rFilename:     'docs4.zip'\r"
              "Files Restored: 3 of 5\rFiles Not Restored: 1\r  docs/secret.txt: wrong password\r"
              "Files Not Tried: 1 (the restore stopped there)");
    EXPECT_EQ(host_.messages[1].kind, MessageKind::Error);
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress.back(), 0);

    reader_.badPassword = false;
    EXPECT_EQ(Run(), RestoreOutcome::Succeeded);
}

// Each lost entry is named with its reason, twenty of them and a count of
// the rest, and the files the overwrite mode kept are counted apart: they
// are neither lost nor restored.
TEST_F(RestoreRunTest, LostEntriesAreNamedWithTheirReasonsAndKeptFilesCountedApart) {
    reader_.lost = {{"docs/a.txt", kBadCrcReason},
                    {"docs/b\nc.txt", CannotCreateReason(EACCES)},
                    {"docs/d.txt", LinkInTheWayReason("/home/u/restore/docs")}};
    reader_.existing = 2;
    host_.overwriteAnswers = {OverwriteAnswer::No, OverwriteAnswer::No};
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text,
              "Restore files fails!\rProject Name: 'Mail'\rFilename:     'docs4.zip'\r"
              "Files Restored: 3 of 8\rFiles Not Restored: 3\r"
              "  docs/a.txt: damaged data (bad CRC)\r"
              "  docs/b\\nc.txt: cannot be created (Permission denied)\r"
              "  docs/d.txt: a link is in the way: /home/u/restore/docs\r"
              "Not Replaced: 2 (existing files kept by the overwrite mode)");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(host_.timedSeconds, std::vector<int>{kRunMessageStays});

    host_.messages.clear();
    reader_.existing = 0;
    reader_.lost.clear();
    for (int i = 1; i <= 25; ++i) {
        reader_.lost.push_back({"docs/x" + std::to_string(i), kUnsafeNameReason});
    }
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    const std::string& text = host_.messages.at(0).text;
    EXPECT_TRUE(
        text.ends_with("\r  docs/x20: " + std::string(kUnsafeNameReason) + "\r  ... and 5 more"))
        << text;
    EXPECT_EQ(text.find("docs/x21"), std::string::npos);
}

// Answering No to every existing file restores nothing and loses nothing:
// that is neither a failure nor a success of every file.
TEST_F(RestoreRunTest, FilesKeptByTheAnswersAreReportedAsKeptNotAsRestored) {
    reader_.restored = 0;
    reader_.existing = 3;
    host_.overwriteAnswers = {OverwriteAnswer::No, OverwriteAnswer::NoToAll};
    EXPECT_EQ(Run(), RestoreOutcome::Kept);
    EXPECT_EQ(host_.overwriteQuestions,
              (std::vector<std::string>{"Replace existing file '/home/u/restore/docs/old0'?",
                                        "Replace existing file '/home/u/restore/docs/old1'?"}));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text,
              "Restore finished: nothing was lost, existing files were kept.\r"
              "Project Name: 'Mail'\rFilename:     'docs4.zip'\rFiles Restored: 0 of 3\r"
              "Not Replaced: 3 (existing files kept by the overwrite mode)");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Information);

    host_ = FakeRunHost();
    host_.overwriteAnswers = {OverwriteAnswer::YesToAll};
    EXPECT_EQ(Run(), RestoreOutcome::Succeeded);
    EXPECT_EQ(host_.overwriteQuestions.size(), 1u);
}

// Cancel, from the question or the Cancel button, ends the restore with
// one message that says so and how far it got; it is no error to report.
TEST_F(RestoreRunTest, ACancelIsOneMessageWithTheCount) {
    reader_.existing = 2;
    host_.overwriteAnswers = {OverwriteAnswer::Yes, OverwriteAnswer::Cancel};
    EXPECT_EQ(Run(), RestoreOutcome::Canceled);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Restore canceled! 4 of 5 files of 'docs4.zip' were "
                                      "restored; no partial file was left.");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
}

// An error that ends the run after it started is the report's to name, at
// the entry it stopped; the disk's own reason is given.
TEST_F(RestoreRunTest, AnErrorThatEndsTheRunIsNamedAtItsEntryInTheFailureReport) {
    reader_.endWith = [] {
        throw ECantWriteUCF("Cant write uncompressed file", "/home/u/restore/docs/big.bin", ENOSPC);
    };
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text,
              "Restore files fails!\rProject Name: 'Mail'\rFilename:     'docs4.zip'\r"
              "Files Restored: 3 of 5\rFiles Not Restored: 1\r"
              "  docs/big.bin: not written: No space left on device\r"
              "Files Not Tried: 1 (the restore stopped there)");
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress.back(), 0);

    host_.messages.clear();
    reader_.endWith = [] { throw EFatalUnzipError("Premature end of file reached"); };
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    EXPECT_NE(host_.messages.at(0).text.find("\r  docs/big.bin: Premature end of file reached\r"),
              std::string::npos);
}

// A 0-byte file reads as an archive without entries: restoring it is no
// success.
TEST_F(RestoreRunTest, AnArchiveWithoutFilesIsAFailure) {
    reader_.restored = 0;
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(
        host_.messages[0].text,
        "Restore files fails!\rThe archive 'docs4.zip' holds no files: nothing was restored.");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
}

TEST_F(RestoreRunTest, ABlankDestinationAsksOnceMoreNamingTheFolderWrittenTo) {
    editor_.DestDir = "  ";
    EXPECT_EQ(Run(), RestoreOutcome::Succeeded);
    EXPECT_EQ(reader_.jobs.at(0).DestDir, "");
    ASSERT_EQ(host_.questions.size(), 2u);
    EXPECT_EQ(host_.questions[1], OriginalPlacesQuestion("/home/u/"));
    EXPECT_NE(host_.questions[1].find("'/home/u/'"), std::string::npos);

    host_.questions.clear();
    editor_.DestDir = " /home/u/restore";
    Run();
    EXPECT_EQ(host_.questions.size(), 1u);
}

TEST_F(RestoreRunTest, NoToTheOriginalPlacesQuestionRestoresNothing) {
    editor_.DestDir = "";
    int asked = 0;
    struct SecondNo : FakeRunHost {
        int* asked;
        bool AskYesNo(const std::string& text, MessageKind kind) override {
            FakeRunHost::AskYesNo(text, kind);
            return ++*asked < 2;
        }
    } host;
    host.asked = &asked;
    EXPECT_EQ(run_.Run(editor_, reader_, host), RestoreOutcome::Declined);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(host.locks.empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(RestoreRunTest, ChosenEntriesBecomeExactPatternsInsteadOfDoAll) {
    editor_.ChosenEntries = {"docs/a*b?.txt", "docs/<x>.txt"};
    const RestoreJob job = MakeRestoreJob(editor_);
    EXPECT_FALSE(job.DoAll);
    ASSERT_EQ(job.FilesList.size(), 2u);
    EXPECT_TRUE(MatchesMask(job.FilesList[0], "docs/a*b?.txt"));
    EXPECT_FALSE(MatchesMask(job.FilesList[0], "docs/aXXbY.txt"));
    EXPECT_TRUE(MatchesMask(job.FilesList[1], "docs/<x>.txt"));
    EXPECT_FALSE(MatchesMask(job.FilesList[1], "docs/x.txt"));
}

TEST(CommonFolder, IsTheDeepestSharedFolder) {
    EXPECT_EQ(CommonFolder("/home/u/a/", "/home/u/b/c/"), "/home/u/");
    EXPECT_EQ(CommonFolder("/home/u/", "/home/u/"), "/home/u/");
    EXPECT_EQ(CommonFolder("/home/ua/", "/home/ub/"), "/home/");
    EXPECT_EQ(CommonFolder("/a/", "/b/"), "/");
}

// Runs over the window's one long-lived reader, of archives in one folder.
class RestoreOverReaderTest : public ::testing::Test {
protected:
    RestoreOverReaderTest() : reader(engineHost), view(reader) {
        reader.DoProcessMessages = false;
        editor.FolderText = tmp.dir();
    }

    test::TempDir tmp;
    HeadlessHost engineHost;
    TZipReader reader;
    ZipReaderRestore view;
    RestoreRun run;
    test::FakeRunHost host;
    RestoreEditor editor;
};

// The window's reader lives on between runs, and so does its password.
TEST_F(RestoreOverReaderTest, BlankPasswordReusesTheEarlierOne) {
    test::ArchiveBuilder archive;
    archive.AddEncrypted("a.txt", "secret data\n", "Key", true);
    archive.WriteTo(tmp.dir() + "t.zip");
    editor.ArchiveCell = "t.zip";
    editor.DestDir = tmp.dir() + "out";
    editor.Overwrite = RestoreOverwrite::Always;
    editor.Password = "Key";
    EXPECT_EQ(run.Run(editor, view, host), RestoreOutcome::Succeeded);
    editor.Password = "  ";
    editor.Overwrite = std::nullopt;
    std::filesystem::remove(tmp.path() / "out/a.txt");
    EXPECT_EQ(run.Run(editor, view, host), RestoreOutcome::Succeeded);
    EXPECT_EQ(test::ReadFile(tmp.path() / "out/a.txt"), "secret data\n");
}

// The window's Cancel button, pressed once the progress bar passes 30.
class CancelPastThirty : public test::FakeRunHost {
public:
    explicit CancelPastThirty(TZipReader& reader) : reader_(reader) {}
    void SetProgress(int percent) override {
        FakeRunHost::SetProgress(percent);
        if (percent > 30) {
            reader_.Cancel();
        }
    }

private:
    TZipReader& reader_;
};

// One long-lived reader: a restore that is cancelled, with or without a
// password, leaves nothing to the next one (of another archive, the other
// way round), and an archive replaced under its name after a failed run is
// restored as it now is.
TEST_F(RestoreOverReaderTest, ACancelledRunLeavesNothingToTheNext) {
    const auto random = test::MakeRandomBytes(400000, 38);
    const std::string big(random.begin(), random.end());
    test::ArchiveBuilder secret;
    secret.AddEncrypted("s.txt", big, "Key", true);
    secret.WriteTo(tmp.dir() + "secret.zip");
    test::ArchiveBuilder plain;
    plain.Add("p.txt", big);
    plain.WriteTo(tmp.dir() + "plain.zip");
    const std::string secretBytes = test::ReadFile(tmp.path() / "secret.zip");
    editor.DestDir = tmp.dir() + "out";
    editor.Overwrite = RestoreOverwrite::Always;
    const auto restore = [&](const std::string& archive, const std::string& password, bool cancel) {
        editor.ArchiveCell = archive;
        editor.Password = password;
        CancelPastThirty cancelling(reader);
        test::FakeRunHost quiet;
        if (cancel) {
            EXPECT_EQ(run.Run(editor, view, cancelling), RestoreOutcome::Canceled);
            // Nothing half-written is left behind, not even hidden.
            EXPECT_FALSE(fs::exists(tmp.path() / "out") &&
                         std::distance(fs::directory_iterator(tmp.path() / "out"), {}) > 0);
            return RestoreOutcome::Canceled;
        }
        return run.Run(editor, view, quiet);
    };
    const auto restored = [&](const std::string& name) {
        const std::string text = test::ReadFile(tmp.path() / "out" / name);
        std::filesystem::remove_all(tmp.path() / "out");
        return text;
    };
    restore("secret.zip", "Key", true);
    EXPECT_EQ(restore("plain.zip", "", false), RestoreOutcome::Succeeded);
    EXPECT_TRUE(restored("p.txt") == big);
    restore("plain.zip", "", true);
    EXPECT_EQ(restore("secret.zip", "Key", false), RestoreOutcome::Succeeded);
    EXPECT_TRUE(restored("s.txt") == big);
    EXPECT_TRUE(test::ReadFile(tmp.path() / "secret.zip") == secretBytes);

    restore("plain.zip", "", true);
    test::ArchiveBuilder newer;
    newer.Add("p.txt", "backed up again");
    newer.WriteTo(tmp.dir() + "newer.zip");
    std::filesystem::rename(tmp.path() / "newer.zip", tmp.path() / "plain.zip");
    EXPECT_EQ(restore("plain.zip", "", false), RestoreOutcome::Succeeded);
    EXPECT_EQ(restored("p.txt"), "backed up again");
}

// A disk that refuses the data (here a file-size limit, EFBIG; a full disk
// gives ENOSPC the same way) ends the restore with the entry and the
// system's reason, on one thread (where inflate sees the short write) and
// on several; it is no damaged entry, and nothing half-written stays.
TEST_F(RestoreOverReaderTest, AWriteTheDiskRefusesIsNamedWithTheSystemsReason) {
    test::ArchiveBuilder archive;
    archive.Add("docs/small.txt", "fits");
    archive.AddDeflated("docs/big.txt", std::string(300000, 'b'));
    archive.WriteTo(tmp.dir() + "t.zip");
    editor.ArchiveCell = "t.zip";
    editor.DestDir = tmp.dir() + "out";
    editor.Overwrite = RestoreOverwrite::Always;
    for (const unsigned threads : {1u, 2u}) {
        reader.Threads = threads;
        test::FakeRunHost seen;
        struct rlimit before {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = before;
        small.rlim_cur = 65536;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const RestoreOutcome outcome = run.Run(editor, view, seen);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(outcome, RestoreOutcome::Failed);
        ASSERT_EQ(seen.messages.size(), 1u);
        EXPECT_NE(seen.messages[0].text.find("\r  docs/big.txt: not written: File too large"),
                  std::string::npos)
            << threads << ": " << seen.messages[0].text;
        EXPECT_EQ(test::ReadFile(tmp.path() / "out/docs/small.txt"), "fits");
        EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path() / "out/docs"), {}), 1);
        fs::remove_all(tmp.path() / "out");
    }
}

// Chosen rows and a blank destination through the real reader: only those
// files come back, each to the place it was backed up from.
TEST_F(RestoreOverReaderTest, ChosenFilesGoBackToTheirOriginalPlaces) {
    test::ArchiveBuilder archive;
    archive.Add("home/u/Data/a.txt", "a");
    archive.Add("home/u/Data/sub/b*.txt", "b");
    archive.Add("home/u/Data/c.txt", "c");
    archive.WriteTo(tmp.dir() + "t.zip");
    reader.OriginalRoot = tmp.dir() + "root";
    editor.ArchiveCell = "t.zip";
    editor.ChosenEntries = {"home/u/Data/a.txt", "home/u/Data/sub/b*.txt"};
    EXPECT_EQ(run.Run(editor, view, host), RestoreOutcome::Succeeded);
    ASSERT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(host.questions[1], OriginalPlacesQuestion(tmp.dir() + "root/home/u/Data/"));
    EXPECT_EQ(test::ReadFile(tmp.path() / "root/home/u/Data/a.txt"), "a");
    EXPECT_EQ(test::ReadFile(tmp.path() / "root/home/u/Data/sub/b*.txt"), "b");
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "root/home/u/Data/c.txt"));
    EXPECT_TRUE(reader.FilesList().empty());
}

// Files chosen from the archives of a folder, each restored from its own
// archive under one lock, with one report: the archive deleted since the
// search and the one replaced by an archive without the chosen file are
// named with their files, and everything else comes back. Two versions of
// one path are refused before anything is asked or written.
TEST_F(RestoreOverReaderTest, ChosenFilesComeFromTheirOwnArchivesWithOneReport) {
    const auto write = [&](const std::string& archive,
                           const std::vector<std::pair<std::string, std::string>>& files) {
        test::ArchiveBuilder builder;
        for (const auto& [name, text] : files) {
            builder.Add(name, text);
        }
        builder.WriteTo(tmp.dir() + archive);
    };
    write("mon.zip", {{"docs/report.txt", "monday"}, {"docs/notes.txt", "notes"}});
    write("tue.zip", {{"docs/report.txt", "tuesday"}, {"docs/plan.txt", "plan"}});
    write("wed.zip", {{"docs/todo.txt", "todo"}});
    write("thu.zip", {{"docs/list.txt", "list"}});
    editor.DestDir = tmp.dir() + "out";
    editor.Overwrite = RestoreOverwrite::Always;
    editor.ProjectText = "Docs";

    EXPECT_EQ(run.RunChosen(editor,
                            {{"mon.zip", "docs/notes.txt"},
                             {"mon.zip", "docs/report.txt"},
                             {"tue.zip", "docs/report.txt"}},
                            view, host),
              RestoreOutcome::Refused);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_TRUE(host.locks.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind("'docs/report.txt' is chosen from two archives, "
                                          "'mon.zip' and 'tue.zip'",
                                          0),
              0u)
        << host.messages[0].text;
    EXPECT_FALSE(fs::exists(tmp.path() / "out"));

    fs::remove(tmp.path() / "wed.zip");
    write("thu.zip", {{"docs/other.txt", "other"}});
    test::FakeRunHost seen;
    EXPECT_EQ(run.RunChosen(editor,
                            {{"tue.zip", "docs/report.txt"},
                             {"mon.zip", "docs/notes.txt"},
                             {"wed.zip", "docs/todo.txt"},
                             {"tue.zip", "docs/plan.txt"},
                             {"tue.zip", "docs/report.txt"},
                             {"thu.zip", "docs/list.txt"}},
                            view, seen),
              RestoreOutcome::Failed);
    EXPECT_EQ(seen.questions,
              std::vector<std::string>{"Do you want restore the 5 chosen files from 4 archives?"});
    EXPECT_EQ(seen.locks, (std::vector<bool>{false, true}));
    ASSERT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(seen.messages[0].text, "Restore files fails!\rProject Name: 'Docs'"
                                     "\rFilenames:    'tue.zip', 'mon.zip', 'thu.zip', 'wed.zip'"
                                     "\rFiles Restored: 3 of 5\rFiles Not Restored: 2"
                                     "\r  docs/todo.txt: its archive 'wed.zip' is missing"
                                     "\r  docs/list.txt: not in its archive 'thu.zip' any more");
    EXPECT_EQ(test::ReadFile(tmp.path() / "out/docs/report.txt"), "tuesday");
    EXPECT_EQ(test::ReadFile(tmp.path() / "out/docs/notes.txt"), "notes");
    EXPECT_EQ(test::ReadFile(tmp.path() / "out/docs/plan.txt"), "plan");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path() / "out/docs"), {}), 3);
}

} // namespace
} // namespace mzb
