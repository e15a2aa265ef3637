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

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

namespace mzb {
namespace {

using test::FakeRunHost;

// A reader that plays back one scripted run.
class ScriptedReader : public RestoreReader {
public:
    std::vector<RestoreJob> jobs;
    std::vector<int> notRestored;
    bool badPassword = false;
    bool errorAfterComplete = false;

    std::string originalFolder = "/home/u/";

    void Apply(const RestoreJob& job) override { jobs.push_back(job); }
    std::string OriginalPlacesFolder() override { return originalFolder; }
    void RunUnZip(const RestoreReaderEvents& events) override {
        events.OnTotalPercentDone(40);
        for (int index : notRestored) {
            events.OnEntryNotRestored(index);
        }
        try {
            if (badPassword) {
                events.OnBadPassword(2);
            }
        } catch (...) {
            events.OnUnZipComplete(1);
            throw;
        }
        events.OnTotalPercentDone(100);
        events.OnUnZipComplete(3);
        if (errorAfterComplete) {
            throw EZipError("Premature end of file reached");
        }
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
    EXPECT_EQ(host_.progress, (std::vector<int>{40, 100, 0}));
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

TEST_F(RestoreRunTest, WrongPasswordEndsWithTheFailureTextOnceAndClearsTheFlag) {
    reader_.badPassword = true;
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    ASSERT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(host_.messages[0].text, "The password is incorrect");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
    EXPECT_FALSE(host_.messages[0].timed);
    EXPECT_EQ(host_.messages[1].text, "Restore files fails!");
    EXPECT_EQ(host_.messages[1].kind, MessageKind::Error);
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress.back(), 0);

    reader_.badPassword = false;
    EXPECT_EQ(Run(), RestoreOutcome::Succeeded);
}

TEST_F(RestoreRunTest, EntriesLostForOtherReasonsThanOverwriteFailTheRestore) {
    reader_.notRestored = {1, 4, 4};
    EXPECT_EQ(Run(), RestoreOutcome::Failed);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Restore files fails!\rFiles Not Restored: 2");
    EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);

    reader_.notRestored.clear();
    EXPECT_EQ(Run(), RestoreOutcome::Succeeded);
}

TEST_F(RestoreRunTest, ARunAnErrorEndsIsReportedAsFailedBeforeTheErrorIsRaised) {
    reader_.errorAfterComplete = true;
    EXPECT_THROW(Run(), EZipError);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Restore files fails!");
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.progress.back(), 0);
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
            EXPECT_THROW(run.Run(editor, view, cancelling), EUserCanceled);
            return RestoreOutcome::Failed;
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

} // namespace
} // namespace mzb
