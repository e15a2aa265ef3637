#include "core/backup/ZipWriterBackup.h"

#include "core/backup/AfterArchive.h"
#include "core/backup/DifferentialRun.h"
#include "support/FakeRunHost.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/SampleData.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/io/FileCommit.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::FakeRunHost;
using test::ReadFile;
using test::TempDir;

// What our reader finds in an archive: every entry extracted with the
// password, the comment and which entries are encrypted.
struct ArchiveView {
    std::map<std::string, std::string> files; // stored name -> contents
    std::string comment;
    int encrypted = 0;
    int aes = 0;
};

ArchiveView Inspect(const std::string& archive, const std::string& password = {}) {
    const TempDir out;
    HeadlessHost host;
    TZipReader reader(host);
    reader.DoProcessMessages = false;
    reader.SetZipName(archive);
    reader.OpenArchive();
    ArchiveView view;
    view.comment = reader.ArchiveComment();
    for (int i = 0; i < reader.EntryCount(); ++i) {
        view.encrypted += reader.Entry(i).IsEncrypted() ? 1 : 0;
        view.aes += reader.Entry(i).Aes.Present() ? 1 : 0;
    }
    reader.SetDestDir(out.dir());
    reader.DoAll = true;
    reader.RecreateDirs = true;
    reader.OverwriteMode = TUZOverwriteMode::Always;
    reader.ArchivePassword = password;
    EXPECT_EQ(reader.RunUnZip(), reader.EntryCount());
    for (const auto& f : fs::recursive_directory_iterator(out.path())) {
        if (f.is_regular_file()) {
            view.files[fs::relative(f.path(), out.path()).string()] = ReadFile(f.path());
        }
    }
    return view;
}

// unzip's own test of the archive; the caller requires unzip.
void ExpectUnzipPasses(const std::string& archive, const std::string& password = {}) {
    std::vector<std::string> argv = {test::PeerPath("unzip"), "-tq"};
    if (!password.empty()) {
        argv.insert(argv.end(), {"-P", password});
    }
    argv.push_back(archive);
    const auto r = test::RunCommand(argv);
    EXPECT_EQ(r.exitCode, 0) << archive << "\n" << r.out << r.err;
}

// A backup run over the window's one long-lived writer, with real trees.
class ZipWriterBackupTest : public ::testing::Test {
protected:
    explicit ZipWriterBackupTest(TZipLimits limits = {})
        : store_(tmp_.dir() + "project.ini"), writer_(engineHost_, limits), view_(writer_) {
        writer_.DoProcessMessages = false;
        const auto text = test::MakeText(50000, 3);
        tmp_.write("src/notes.txt", std::string(text.begin(), text.end()));
        tmp_.write("src/sub/data.bin", "\x01\x02\x03");
        tmp_.write("src/sub/empty", "");
        fs::create_directories(tmp_.path() / "out");
        editor_.ProjectText = "Docs";
        editor_.SaveDir = tmp_.dir() + "out";
        editor_.Prefix = "docs";
        editor_.Filename = tmp_.dir() + "out/docs.zip";
        editor_.Include = {tmp_.dir() + "src/*.*"};
        editor_.Recurse = true;
        editor_.StorePaths = false;
        editor_.PasswordTicked = false;
        editor_.CommentTicked = false;
        // A run records only in a project that exists.
        tmp_.write("project.ini", kSaved);
    }

    static constexpr const char* kSaved = "[Docs]\nFilename prefix=docs\n";

    BackupOutcome Run(BackupEditor& editor) {
        return RunBackup(editor, settings_, store_, view_, host_);
    }
    BackupOutcome Run() { return Run(editor_); }

    // What every archive of the whole tree holds.
    std::map<std::string, std::string> Tree() const {
        return {{"notes.txt", ReadFile(tmp_.path() / "src/notes.txt")},
                {"data.bin", "\x01\x02\x03"},
                {"empty", ""}};
    }

    TempDir tmp_;
    ProjectStore store_;
    CommonSettings settings_;
    HeadlessHost engineHost_;
    TZipWriter writer_;
    ZipWriterBackup view_;
    BackupEditor editor_;
    FakeRunHost host_;
};

TEST_F(ZipWriterBackupTest, ProjectAfterOneWithPasswordAndCommentWritesNeither) {
    MZB_REQUIRE_PEERS("unzip");
    BackupEditor locked = editor_;
    locked.Filename = tmp_.dir() + "out/locked.zip";
    locked.PasswordTicked = true;
    locked.Password = locked.ConfirmPassword = " Key ";
    locked.CommentTicked = true;
    locked.Comment = " weekly ";
    locked.Exclude = {"*.bin"};
    locked.Project.Encryption = 3; // AES-256
    ASSERT_EQ(Run(locked), BackupOutcome::Completed);
    const ArchiveView first = Inspect(tmp_.dir() + "out/locked.zip", "Key");
    EXPECT_EQ(first.comment, "weekly");
    EXPECT_EQ(first.encrypted, 2);
    EXPECT_EQ(first.aes, 2);
    EXPECT_EQ(first.files.size(), 2u) << "the exclusion leaves data.bin out";

    // The traditional cipher after AES: one that every tool reads.
    locked.Project.Encryption = 0; // traditional
    locked.Filename = tmp_.dir() + "out/traditional.zip";
    ASSERT_EQ(Run(locked), BackupOutcome::Completed);
    EXPECT_EQ(Inspect(tmp_.dir() + "out/traditional.zip", "Key").aes, 0);
    ExpectUnzipPasses(tmp_.dir() + "out/traditional.zip", "Key");

    ASSERT_EQ(Run(), BackupOutcome::Completed);
    const ArchiveView second = Inspect(tmp_.dir() + "out/docs.zip");
    EXPECT_EQ(second.comment, "");
    EXPECT_EQ(second.encrypted, 0);
    EXPECT_EQ(second.files, Tree()) << "nor its exclusions";
    ExpectUnzipPasses(tmp_.dir() + "out/docs.zip");
}

TEST_F(ZipWriterBackupTest, SameCommentTwiceInARowIsInBothArchives) {
    editor_.CommentTicked = true;
    editor_.Comment = "daily";
    editor_.UseNumber = true;
    editor_.Number = 1;
    editor_.Filename = tmp_.dir() + "out/docs1.zip";
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    ASSERT_EQ(editor_.Filename, tmp_.dir() + "out/docs2.zip");
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_EQ(Inspect(tmp_.dir() + "out/docs1.zip").comment, "daily");
    EXPECT_EQ(Inspect(tmp_.dir() + "out/docs2.zip").comment, "daily");

    // The same name again (overwriting) must not lose it either.
    settings_.IsOverWrite = true;
    editor_.Filename = tmp_.dir() + "out/docs2.zip";
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_EQ(Inspect(tmp_.dir() + "out/docs2.zip").comment, "daily");
}

TEST_F(ZipWriterBackupTest, AReplacedArchiveCarriesNothingOver) {
    MZB_REQUIRE_PEERS("unzip");
    tmp_.write("src/gone.txt", "only in the first backup");
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    fs::remove(tmp_.path() / "src/gone.txt");
    const std::string archive = tmp_.dir() + "out/docs.zip";
    settings_.IsOverWrite = true;
    editor_.Filename = archive;
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_EQ(Inspect(archive).files, Tree()) << "a replaced archive carries nothing over";
    ExpectUnzipPasses(archive);
}

TEST_F(ZipWriterBackupTest, WriterFailureLeavesNoArchiveAndTheNextRunIsClean) {
    editor_.CommentTicked = true;
    editor_.Comment = "lost";
    editor_.Filename = tmp_.dir() + "missing-dir/docs.zip";
    EXPECT_ANY_THROW(Run());
    EXPECT_FALSE(fs::exists(tmp_.path() / "missing-dir"));
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));

    editor_.CommentTicked = false;
    editor_.Filename = tmp_.dir() + "out/docs.zip";
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_EQ(Inspect(tmp_.dir() + "out/docs.zip").comment, "");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.path() / "out"), {}), 1);
}

TEST_F(ZipWriterBackupTest, ProgressRisesToOneHundredThenGoesBackToZero) {
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    ASSERT_GE(host_.progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(host_.progress.begin(), host_.progress.end() - 1));
    EXPECT_EQ(host_.progress.end()[-2], 100);
    EXPECT_EQ(host_.progress.back(), 0);
}

// A run that saves no file leaves the name as it was: an empty archive
// would stand for the project's last backup, and a replaced one is lost.
TEST_F(ZipWriterBackupTest, NothingToSaveWritesNoArchiveAndKeepsTheOneOfThatName) {
    settings_.IsOverWrite = true;
    tmp_.write("out/docs.zip", "the backup before");
    const std::string usb = tmp_.dir() + "media/usb/photos";
    // A missing folder, entries that match nothing, or only a directory entry.
    const std::vector<std::vector<std::string>> includes = {
        {usb + "/*"}, {tmp_.dir() + "src/*.none"}, {tmp_.dir() + "src/sub/"}};
    for (const auto& include : includes) {
        editor_.Include = include;
        host_.messages.clear();
        ASSERT_EQ(Run(), BackupOutcome::NothingSaved) << include[0];
        EXPECT_EQ(test::ReadFile(tmp_.path() / "out/docs.zip"), "the backup before");
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_EQ(host_.messages[0].kind, MessageKind::Error);
        EXPECT_TRUE(host_.messages[0].text.starts_with(
            "Backup failed! No files were backed up, so no archive was written."));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.path() / "out"), {}), 1);
}

TEST_F(ZipWriterBackupTest, WhatCannotBeReadIsLeftOutWithTheReasonAndTheRestBackedUp) {
    tmp_.write("src/locked/private.txt", "p");
    ASSERT_EQ(::chmod((tmp_.path() / "src/locked").c_str(), 0), 0);
    tmp_.write("secret.txt", "s");
    ASSERT_EQ(::chmod((tmp_.path() / "secret.txt").c_str(), 0), 0);
    editor_.Include.push_back(tmp_.dir() + "secret.txt");
    ASSERT_EQ(::chmod((tmp_.path() / "out").c_str(), 0777), 0);
    // The run stores its time of completion and holds the project's lock
    // beside project.ini.
    ASSERT_EQ(::chmod(tmp_.path().c_str(), 0777), 0);
    test::OpenPathToOthers(tmp_.dir() + "src/sub");
    const bool held = test::RunUnprivileged([&] {
        if (Run() != BackupOutcome::Incomplete || host_.messages.size() != 1) {
            return false;
        }
        const std::string& text = host_.messages[0].text;
        const bool ok = text.find("Kb'\rFiles Left Out: 2\r") != std::string::npos &&
                        text.find("\r  folder not readable: " + tmp_.dir() +
                                  "src/locked (Permission denied)") != std::string::npos &&
                        text.find("\r  file not readable: " + tmp_.dir() +
                                  "secret.txt (Permission denied)") != std::string::npos &&
                        Inspect(editor_.SaveDir + "/docs.zip").files == Tree();
        if (!ok) {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
        return ok;
    });
    EXPECT_TRUE(held);
}

// Cancels the run as the Cancel button does, once the writer has started
// the named file.
class CancellingHost : public FakeRunHost {
public:
    CancellingHost(TZipWriter& writer, std::string file)
        : writer_(writer), file_(std::move(file)) {}
    void ShowCurrentFile(const std::string& path) override {
        started.push_back(path);
        if (path == file_) {
            writer_.Cancel();
        }
    }
    std::vector<std::string> started;

private:
    TZipWriter& writer_;
    std::string file_;
};

TEST_F(ZipWriterBackupTest, CancelInTheMiddleLeavesNoArchiveAndKeepsTheNumber) {
    editor_.UseNumber = true;
    editor_.Number = 4;
    editor_.Include = {tmp_.dir() + "src/notes.txt", tmp_.dir() + "src/sub/data.bin"};
    const std::string archive = editor_.Filename;
    CancellingHost host(writer_, tmp_.dir() + "src/notes.txt");
    EXPECT_THROW(RunBackup(editor_, settings_, store_, view_, host), EUserCanceled);
    EXPECT_EQ(host.started, std::vector<std::string>{tmp_.dir() + "src/notes.txt"});
    EXPECT_EQ(host.locks, (std::vector<bool>{false, true}));
    EXPECT_EQ(host.progress.back(), 0);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.path() / "out"), {}), 0);
    EXPECT_EQ(editor_.Number, 4);
    EXPECT_EQ(editor_.Filename, archive);
    EXPECT_EQ(ReadFile(store_.IniPath()), kSaved);
}

// A commit layer whose disk is full when the archive is forced to it.
class FullDiskCommit : public TFileCommit {
public:
    bool SyncFile(int) override { return false; }
};

// The window, the tray and the schedule share one writer. A replacing run
// of project Alpha that fails or is cancelled, followed by project Beta's
// run, must leave Alpha's last good backup exactly as it was.
TEST_F(ZipWriterBackupTest, AFailedReplacingRunLeavesNothingThatActsOnItsArchiveLater) {
    const std::string alpha = tmp_.dir() + "out/alpha.zip";
    const std::string betaZip = tmp_.dir() + "out/beta.zip";
    BackupEditor beta = editor_;
    beta.ProjectText = "Beta";
    beta.Filename = betaZip;
    editor_.ProjectText = "Alpha";
    editor_.Filename = alpha;
    tmp_.write("project.ini", "[Alpha]\nValue=1\n[Beta]\nValue=1\n");
    editor_.CommentTicked = true;
    editor_.Comment = "alpha";
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    const std::string before = ReadFile(alpha);
    settings_.IsOverWrite = true;
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "canceled" : "disk full");
        beta.Filename = betaZip;
        ASSERT_EQ(Run(beta), BackupOutcome::Completed);
        // Alpha again, replacing its archive, with a comment changed.
        editor_.Filename = alpha;
        editor_.Comment = cancel ? "canceled" : "full";
        FullDiskCommit full;
        CancellingHost canceling(writer_, tmp_.dir() + "src/notes.txt");
        if (cancel) {
            EXPECT_THROW(RunBackup(editor_, settings_, store_, view_, canceling), EUserCanceled);
        } else {
            writer_.SetFileCommit(full);
            EXPECT_THROW(Run(), ENotEnoughRoom);
            writer_.SetFileCommit(SystemFileCommit());
        }
        EXPECT_TRUE(ReadFile(alpha) == before) << "the failed run";
        beta.Filename = betaZip;
        ASSERT_EQ(Run(beta), BackupOutcome::Completed);
        EXPECT_TRUE(ReadFile(alpha) == before) << "the next project's run";
        EXPECT_EQ(Inspect(betaZip).files, Tree());
    }
}

class ZipWriterBackupLimitsTest : public ZipWriterBackupTest {
protected:
    ZipWriterBackupLimitsTest()
        : ZipWriterBackupTest(TZipLimits{.MaxFileSize = 40000, .Classic = {}}) {}
};

TEST_F(ZipWriterBackupLimitsTest, FilesLeftOutAreNamedInTheReport) {
    tmp_.write("src/other/data.bin", "same stored name");
    editor_.Include = {tmp_.dir() + "src/*.*", tmp_.dir() + "absent.txt"};
    ASSERT_EQ(Run(), BackupOutcome::Incomplete);
    const std::string& text = host_.messages.at(0).text;
    // Too large, a duplicate stored name without paths, and a missing file.
    EXPECT_NE(text.find("\rFiles Left Out: 3\r"), std::string::npos) << text;
    EXPECT_NE(text.find("\r  file too large for the archive: " + tmp_.dir() + "src/notes.txt"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\r  file not found: " + tmp_.dir() + "absent.txt"), std::string::npos)
        << text;
    // The walk takes one of the two data.bin first; the other is left out.
    EXPECT_TRUE(text.ends_with("data.bin")) << text;
    EXPECT_NE(text.find("\r  file name already in the archive: " + tmp_.dir() + "src/"),
              std::string::npos)
        << text;
    EXPECT_EQ(Inspect(editor_.SaveDir + "/docs.zip").files.size(), 2u);

    // The events of that run are gone: a clean run reports the plain text.
    editor_.Include = {tmp_.dir() + "src/sub/*.*"};
    editor_.Filename = tmp_.dir() + "out/clean.zip";
    ASSERT_EQ(Run(), BackupOutcome::Completed);
    EXPECT_TRUE(host_.messages.at(1).text.ends_with("Kb'")) << host_.messages.at(1).text;
}

// The window, the tray and the schedule share the writer: a backup asked
// for while one runs (from a window event handled between its chunks) is
// refused before it touches a setting, and the running one ends as begun.
TEST_F(ZipWriterBackupTest, ABackupAskedForDuringAnotherIsRefusedAndChangesNothingOfIt) {
    const BackupJob first = MakeBackupJob(editor_);
    BackupJob second = first;
    second.ZipName = tmp_.dir() + "out/second.zip";
    second.FilesList = {tmp_.dir() + "src/sub/data.bin"};
    second.ArchivePassword = "other";
    BackupWriterEvents quiet;
    quiet.OnTotalPercentDone = [](int) {};
    quiet.OnFileLeftOut = [](const std::string&) {};
    quiet.OnZipComplete = [](int) {};
    std::string refused;
    BackupWriterEvents events = quiet;
    events.OnTotalPercentDone = [&](int) {
        if (refused.empty()) {
            try {
                view_.RunZip(second, quiet);
                refused = "not refused";
            } catch (const ERunUnderWay& e) {
                refused = e.what();
            }
        }
    };
    view_.RunZip(first, events);
    EXPECT_EQ(refused, "A run is still working on " + first.ZipName +
                           "; another cannot start until it ends.");
    EXPECT_FALSE(fs::exists(second.ZipName));
    const ArchiveView written = Inspect(first.ZipName);
    EXPECT_EQ(written.files, Tree());
    EXPECT_EQ(written.encrypted, 0);

    // Once it has ended the writer takes the next run.
    view_.RunZip(second, quiet);
    EXPECT_EQ(Inspect(second.ZipName, "other").files,
              (std::map<std::string, std::string>{{"data.bin", "\x01\x02\x03"}}));
}

// The window's writer behind a seam that changes a byte of the written
// archive before the read-back: what a disk that garbles what it was given
// would do.
class GarblingBackup : public BackupWriter {
public:
    explicit GarblingBackup(ZipWriterBackup& real) : real_(real) {}
    bool garble = true;

    void RunZip(const BackupJob& job, const BackupWriterEvents& events) override {
        real_.RunZip(job, events);
    }
    std::vector<std::string> ReadBack(const std::string& path,
                                      const std::string& password) override {
        if (garble) {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekg(60);
            const char byte = char(file.get() ^ 0x5a);
            file.seekp(60);
            file.put(byte);
        }
        return real_.ReadBack(path, password);
    }
    std::optional<std::string> ReadEntryText(const std::string& path, const std::string& name,
                                             const std::string& password) override {
        return real_.ReadEntryText(path, name, password);
    }

private:
    ZipWriterBackup& real_;
};

TEST_F(ZipWriterBackupTest, AnArchiveDamagedBeforeItsReadBackFailsTheBackupAndPrunesNothing) {
    editor_.Include = {tmp_.dir() + "src/notes.txt"};
    editor_.UseNumber = true;
    editor_.Number = 3;
    editor_.Filename = tmp_.dir() + "out/docs3.zip";
    editor_.PasswordTicked = true;
    editor_.Password = editor_.ConfirmPassword = "Key";
    editor_.Project.VerifyAfterBackup = true;
    editor_.Project.KeepArchives = 1;
    editor_.Project.KeepLast = 1;
    host_.now = LocalDateTime::Now();
    const fs::path older = tmp_.write("out/docs1.zip", "an earlier backup");
    fs::last_write_time(older, fs::last_write_time(older) - std::chrono::hours(24 * 30));

    GarblingBackup writer(view_);
    EXPECT_THROW(RunBackup(editor_, settings_, store_, writer, host_), EVerifyFailed);
    EXPECT_FALSE(fs::exists(tmp_.path() / "out/docs3.zip"));
    EXPECT_TRUE(fs::exists(tmp_.path() / "out/docs3.zip.damaged"));
    EXPECT_TRUE(fs::exists(older));
    EXPECT_EQ(editor_.Number, 3);
    EXPECT_FALSE(store_.ReadLastBackup("Docs"));
    EXPECT_EQ(host_.locks, (std::vector<bool>{false, true}));

    // Read back whole with the project's password, the same backup counts
    // and the rule lets the older archive go; the damaged one is no backup.
    writer.garble = false;
    EXPECT_EQ(RunBackup(editor_, settings_, store_, writer, host_), BackupOutcome::Completed);
    EXPECT_FALSE(fs::exists(older));
    EXPECT_TRUE(fs::exists(tmp_.path() / "out/docs3.zip.damaged"));
    EXPECT_EQ(editor_.Number, 4);
}

// Counts the archives a run forces to the disk: each one written.
class CountingCommit : public TFileCommit {
public:
    int written = 0;
    bool SyncFile(int fd) override {
        ++written;
        return TFileCommit::SyncFile(fd);
    }
};

// With overwriting on and a name typed in without number or date, the previous
// backup is the only good one left when the new archive fails its read-back:
// the damaged one must never have taken the name, also when it is a
// differential archive ending with its manifest, and without a previous one
// nothing takes it. A second failure replaces the first damaged copy, and no
// part file stays behind. Each backup writes its archive once.
TEST_F(ZipWriterBackupTest, AnArchiveFailingItsReadBackLeavesThePreviousOneOfTheNameAsItWas) {
    settings_.IsOverWrite = true;
    editor_.Project.VerifyAfterBackup = true;
    CountingCommit commit;
    writer_.SetFileCommit(commit);
    GarblingBackup writer(view_);
    for (const int type : {0, kDifferentialBackupType}) {
        SCOPED_TRACE(type == 0 ? "full" : "differential");
        const fs::path folder = tmp_.path() / "out" / std::to_string(type);
        fs::create_directories(folder);
        editor_.SaveDir = folder.string();
        editor_.Project.BackupType = type;
        const fs::path archive = folder / "docs.zip";
        const fs::path aside = folder / "docs.zip.damaged";
        editor_.Filename = archive.string();
        writer.garble = true;
        EXPECT_THROW(RunBackup(editor_, settings_, store_, writer, host_), EVerifyFailed);
        EXPECT_FALSE(fs::exists(archive));

        writer.garble = false;
        commit.written = 0;
        editor_.Filename = archive.string();
        ASSERT_EQ(RunBackup(editor_, settings_, store_, writer, host_), BackupOutcome::Completed);
        EXPECT_EQ(commit.written, 1) << "the archive was written more than once";
        const std::string previous = ReadFile(archive);
        const std::optional<LocalDateTime> recorded = store_.ReadLastBackup("Docs");
        ASSERT_TRUE(recorded);

        writer.garble = true;
        std::string firstDamaged = ReadFile(aside);
        for (const char* notes : {"changed once", "changed twice"}) {
            tmp_.write("src/notes.txt", notes);
            editor_.Filename = archive.string();
            EXPECT_THROW(RunBackup(editor_, settings_, store_, writer, host_), EVerifyFailed);
            EXPECT_TRUE(fs::exists(archive) && ReadFile(archive) == previous)
                << notes << ": the previous archive was not kept as it was";
            ASSERT_TRUE(fs::exists(aside)) << notes;
            EXPECT_TRUE(ReadFile(aside) != firstDamaged)
                << notes << ": the damaged copy is an old one";
            firstDamaged = ReadFile(aside);
            EXPECT_EQ(store_.ReadLastBackup("Docs"), recorded);
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"docs.zip", "docs.zip.damaged"}));
    }
}

} // namespace
} // namespace mzb
