#include "core/project/ProjectStore.h"

#include "core/project/PasswordScramble.h"
#include "core/project/ProjectKeys.h"
#include "core/project/ProjectName.h"
#include "platform/ProfileFile.h"
#include "support/ChildProcess.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace mzb {
namespace {

using test::ChildProcess;
using test::ReadFile;
using test::RunInChild;
using test::TempDir;

class ProjectStoreTest : public ::testing::Test {
protected:
    ProjectStore StoreWith(std::string_view contents) {
        tmp_.write("project.ini", contents);
        return store_;
    }
    std::string Contents() const { return ReadFile(tmp_.path() / "project.ini"); }

    TempDir tmp_;
    ProjectStore store_ = ProjectStore::InProgramDirectory(tmp_.dir());
    // The default save directory is the user's home.
    const test::ScopedEnvironment home_{"HOME", "/home/tester"};
};

ProjectRecord SampleProject() {
    ProjectRecord r;
    r.Name = "Docs";
    r.FilenamePrefix = "docs";
    r.UseDate = false;
    r.IncreaseValue = 2;
    r.Value = 3;
    r.SavePath = "/home/u/Backups";
    r.BackupItems = {"/home/u/Data/*.doc", "/home/u/Notes"};
    r.NoBackupItems = {"*.tmp"};
    r.IncludeSubdirectories = false;
    r.UsePassword = true;
    r.Password = "secret";
    r.Encryption = 2;
    r.StorePaths = false;
    r.StoreComment = true;
    r.Comment = "  weekly docs ";
    r.RemoteCopy = "nas:backups/docs";
    return r;
}

TEST_F(ProjectStoreTest, WithoutAFileEverythingReadsAsItsDefault) {
    const CommonSettings c = store_.ReadCommonSettings();
    EXPECT_EQ(c, CommonSettings{});
    EXPECT_TRUE(c.ProjectNames.empty());
    EXPECT_EQ(c.Width, 2);
    EXPECT_EQ(c.ByField, 2);

    ProjectRecord expected;
    expected.Name = "Docs";
    expected.SavePath = "/home/tester/";
    EXPECT_EQ(store_.ReadProject("Docs"), expected);
    EXPECT_FALSE(store_.IsScheduleEnabled("Docs"));
}

TEST_F(ProjectStoreTest, AnEmptySectionLoadsWithTheDefaultsOfEveryKey) {
    const ProjectRecord r = StoreWith("[Docs]\n").ReadProject("Docs");
    EXPECT_EQ(r.FilenamePrefix, "");
    EXPECT_TRUE(r.UseDate);
    EXPECT_EQ(r.IncreaseValue, 1);
    EXPECT_EQ(r.Value, 1);
    EXPECT_EQ(r.SavePath, "/home/tester/");
    EXPECT_TRUE(r.BackupItems.empty());
    EXPECT_TRUE(r.NoBackupItems.empty());
    EXPECT_TRUE(r.IncludeSubdirectories);
    EXPECT_TRUE(r.UsePassword);
    EXPECT_EQ(r.Password, "");
    EXPECT_TRUE(r.StorePaths);
    EXPECT_TRUE(r.StoreComment);
    EXPECT_EQ(r.Comment, "");
    EXPECT_EQ(r.ScheduleValues(), StoredSchedule{});
    // A project from before retention and the read-back check keeps every
    // archive and is not checked; a new one is.
    EXPECT_EQ(r.KeepArchives, 0);
    EXPECT_FALSE(r.VerifyAfterBackup);
    EXPECT_TRUE(NewProjectRecord().VerifyAfterBackup);
}

TEST_F(ProjectStoreTest, ProjectListReadsOnlyBelowItsCountSkipsGapsAndSortsWithoutCase) {
    struct Case {
        const char* file;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"[Common]\nProject Count=3\nCount0=mail\nCount2=Docs\n", {"Docs", "mail"}},
        {"[Common]\nProject Count=2\nCount0=b\nCount1=A\nCount2=old\nCount3=older\n", {"A", "b"}},
        {"[Common]\nProject Count=abc\nCount0=x\n", {}},
        {"[Common]\nProject Count=0x2\nCount1=Zeta\nCount0=alpha\n", {"alpha", "Zeta"}},
        {"[Common]\nProject Count=2\nCount0=\nCount1= Spaced \n", {"Spaced"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StoreWith(c.file).ReadProjectNames(), c.expected) << c.file;
    }
}

// "Width" is used as stored (only the preferences field keeps to 2 to 30);
// a sort key start-up does not know marks "By name".
TEST_F(ProjectStoreTest, CommonValuesThatDoNotParseOrLieOutsideTheirRangeReadAsDefaults) {
    struct Case {
        const char* file;
        int width, byField, sort;
    };
    const Case cases[] = {
        {"[Common]\nWidth=0x10\n", 16, 2, 0},
        {"[Common]\nWidth=abc\n", 2, 2, 0},
        {"[Common]\nWidth=500\n", 500, 2, 0},
        {"[Common]\nWidth=1\nBy Field=0\nSort=1\n", 1, 0, 1},
        {"[Common]\nBy Field=7\nSort=-1\n", 2, 0, 0},
        {"[Common]\nBy Field=-1\nSort=2\n", 2, 0, 0},
        {"[Common]\nBy Field=date\n", 2, 2, 0},
        {"[common]\nWIDTH=5\nby field=1\n", 5, 1, 0},
    };
    for (const auto& c : cases) {
        const CommonSettings s = StoreWith(c.file).ReadCommonSettings();
        EXPECT_EQ(s.Width, c.width) << c.file;
        EXPECT_EQ(s.ByField, c.byField) << c.file;
        EXPECT_EQ(s.Sort, c.sort) << c.file;
    }
}

TEST_F(ProjectStoreTest, WriteProjectWritesEveryKeyInOrderAndReadsBackTheSameProject) {
    const ProjectRecord r = SampleProject();
    store_.WriteProject("Docs", r);
    EXPECT_EQ(Contents(), "[Docs]\n"
                          "Filename prefix=docs\n"
                          "Whether use Date=0\n"
                          "Increase Value=2\n"
                          "Value=3\n"
                          "Save Path=/home/u/Backups\n"
                          "Backup Directory Count=2\n"
                          "Backup0=/home/u/Data/*.doc\n"
                          "Backup1=/home/u/Notes\n"
                          "No Backup Directory Count=1\n"
                          "NoBackup0=*.tmp\n"
                          "Whether include Subdirectory=0\n"
                          "Whether password Project=1\n"
                          "Password=" +
                              EncodePassword("secret", "Docs") +
                              "\n"
                              "Encryption=2\n"
                              "Whether store path in Zip=0\n"
                              "Whether store comment in Zip=1\n"
                              "Comment=\"  weekly docs \"\n"
                              "Keep Archives=0\n"
                              "Keep Last=10\n"
                              "Keep Daily=7\n"
                              "Keep Weekly=4\n"
                              "Keep Monthly=12\n"
                              "Verify After Backup=0\n"
                              "Backup Type=0\n"
                              "Full Every=7\n"
                              "Remote Copy=nas:backups/docs\n");
    // The comment keeps its blanks: it goes to the archive as typed.
    EXPECT_EQ(store_.ReadProject("Docs"), r);
    // One project, whatever the case of its section or of the name asked for.
    EXPECT_EQ(store_.ReadProject("DOCS").BackupItems, r.BackupItems);
}

// Every project written before the key existed keeps the cipher it was
// made with; a value this version does not know is not taken for a weak one.
TEST_F(ProjectStoreTest, EncryptionWithoutTheKeyIsTraditionalAndBeyondTheCiphersAes256) {
    const ProjectStore store =
        StoreWith("[Old]\nPassword=1\n[Hand]\nEncryption=7\n[Mid]\nEncryption=1\n");
    EXPECT_EQ(store.ReadProject("Old").Encryption, 0);
    EXPECT_EQ(store.ReadProject("Hand").Encryption, 3);
    EXPECT_EQ(store.ReadProject("Mid").Encryption, 1);
    EXPECT_EQ(NewProjectRecord().Encryption, 3);
}

TEST_F(ProjectStoreTest, PasswordAndCommentAreStoredOnlyWhenTheirBoxIsTickedAndTheyAreNotBlank) {
    store_.WriteProject("Docs", SampleProject());
    ProjectRecord r = SampleProject();
    r.UsePassword = false;
    r.StoreComment = false;
    store_.WriteProject("Docs", r);
    const ProfileText t = ProfileFile(store_.IniPath()).Read();
    EXPECT_EQ(t.ReadString("Docs", "Password", "?"), "");
    EXPECT_EQ(t.ReadString("Docs", "Comment", "?"), "");

    r.UsePassword = true;
    r.Password = "   ";
    r.StoreComment = true;
    r.Comment = " \t ";
    store_.WriteProject("Docs", r);
    const ProjectRecord back = store_.ReadProject("Docs");
    EXPECT_TRUE(back.UsePassword);
    EXPECT_EQ(back.Password, "");
    EXPECT_EQ(back.Comment, "");
}

TEST_F(ProjectStoreTest, PasswordIsNotDecodedWhenItsBoxIsClear) {
    const std::string file =
        "[Docs]\nWhether password Project=0\nPassword=" + EncodePassword("x", "Docs") + "\n";
    EXPECT_EQ(StoreWith(file).ReadProject("Docs").Password, "");
}

TEST_F(ProjectStoreTest, ShrinkingAListLeavesTheOldKeysUnread) {
    ProjectRecord r = SampleProject();
    store_.WriteProject("Docs", r);
    r.BackupItems = {"/only"};
    store_.WriteProject("Docs", r);
    EXPECT_NE(Contents().find("Backup1=/home/u/Notes\n"), std::string::npos);
    EXPECT_EQ(store_.ReadProject("Docs").BackupItems, std::vector<std::string>{"/only"});

    store_.WriteProjectNames({"a", "b", "c"});
    store_.WriteProjectNames({"z"});
    EXPECT_NE(Contents().find("Count2=c\n"), std::string::npos);
    EXPECT_EQ(store_.ReadProjectNames(), std::vector<std::string>{"z"});
}

TEST_F(ProjectStoreTest, ScheduleAndEditorKeysLeaveEachOtherAlone) {
    const StoredSchedule weekly{true, 2, "Friday", 10};
    store_.WriteSchedule("Docs", weekly);
    store_.WriteProject("Docs", SampleProject());
    EXPECT_EQ(store_.ReadSchedule("Docs"), weekly);
    EXPECT_TRUE(store_.IsScheduleEnabled("docs"));

    store_.WriteSchedule("Docs", {false, 1, "15"});
    EXPECT_EQ(store_.ReadProject("Docs").Password, "secret");
    EXPECT_EQ(store_.ReadSchedule("Docs"), (StoredSchedule{false, 1, "15"}));
    EXPECT_EQ(StoreWith("[D]\nBackupMode=9\n").ReadSchedule("D").BackupMode, 9);
}

TEST_F(ProjectStoreTest, BackupEndWritesItsKeysInPlaceAndNeverRevivesADeletedProject) {
    store_.WriteProject("Docs", SampleProject());
    store_.WriteBackupEnd("docs", 3, LocalDateTime::Make(2024, 3, 9, 8, 0, 0));
    const std::string before = Contents();
    store_.WriteBackupEnd("docs", 4, LocalDateTime::Make(2024, 3, 10, 8, 30, 5));
    std::string expected = before;
    expected.replace(expected.find("Value=3"), 7, "Value=4");
    expected.replace(expected.find("2024-03-09 08:00:00"), 19, "2024-03-10 08:30:05");
    EXPECT_EQ(Contents(), expected);

    // A dated project's backup leaves "Value" alone.
    store_.WriteBackupEnd("Docs", std::nullopt, LocalDateTime::Make(2024, 3, 10, 8, 30, 5));
    EXPECT_EQ(Contents(), expected);

    // Deleted while its backup ran: no stub section lists it again.
    EXPECT_THROW(store_.WriteBackupEnd("Big", 4, LocalDateTime::Make(2024, 3, 10)), EProjectGone);
    EXPECT_EQ(Contents(), expected);
}

TEST_F(ProjectStoreTest, ExitStateWritesItsKeysInOrderAndNothingWithoutProjects) {
    CommonSettings c;
    store_.WriteExitState(c);
    EXPECT_FALSE(std::filesystem::exists(store_.IniPath()));

    c.ProjectNames = {"a", "B"};
    c.LastProject = "B";
    c.ByField = 0;
    c.Sort = 1;
    c.PromptBeforeBackup = true;
    c.Width = 7; // a preference: not written at exit
    store_.WriteExitState(c);
    EXPECT_EQ(Contents(), "[Common]\nPromptBeforeBackup=1\nLast Project=B\nProject Count=2\n"
                          "Count0=a\nCount1=B\nBy Field=0\nSort=1\n");

    c.AutoRun = c.IsMinimized = c.IsAppend0 = c.IsOverWrite = c.RunMissedBackups = true;
    store_.WritePreferences(c);
    EXPECT_EQ(store_.ReadCommonSettings(), c);
}

TEST_F(ProjectStoreTest, RenameMovesScheduleRewritesPasswordAndErasesTheOldSection) {
    const ProjectStore store = StoreWith("[Common]\nProject Count=2\nCount0=Alpha\nCount1=Docs\n"
                                         "Last Project=Alpha\n\n[Docs]\nValue=1\n");
    store.WriteSchedule("Docs", {true, 1, "30"});
    ProjectRecord r = SampleProject();
    store.WriteProject("Docs", r);
    const LocalDateTime backedUp = LocalDateTime::Make(2024, 3, 10, 8, 0, 0);
    store.WriteBackupEnd("Docs", std::nullopt, backedUp);

    r.Name = "Papers";
    store.RenameProject("Docs", "Papers", 1, r);
    const CommonSettings c = store.ReadCommonSettings();
    EXPECT_EQ(c.ProjectNames, (std::vector<std::string>{"Alpha", "Papers"}));
    EXPECT_EQ(c.LastProject, "Papers");
    EXPECT_FALSE(ProfileFile(store.IniPath()).Read().HasSection("Docs"));
    const ProjectRecord back = store.ReadProject("Papers");
    EXPECT_EQ(back.Password, "secret");
    EXPECT_EQ(back.ScheduleValues(), (StoredSchedule{true, 1, "30"}));
    EXPECT_EQ(back.BackupItems, r.BackupItems);
    EXPECT_EQ(store.ReadLastBackup("Papers"), backedUp);
}

TEST_F(ProjectStoreTest, RenameThatFailsLeavesTheOldProjectWhole) {
    const ProjectStore store = StoreWith("[Common]\nProject Count=1\nCount0=Docs\n");
    store.WriteProject("Docs", SampleProject());
    const std::string before = Contents();
    ProjectRecord r = SampleProject();
    r.BackupItems = {"/home/u/a\nname with a line break"};
    EXPECT_THROW(store.RenameProject("Docs", "Papers", 0, r), std::invalid_argument);
    EXPECT_EQ(Contents(), before);
}

TEST_F(ProjectStoreTest, WritesRefuseNamesThatWouldReachAnotherSection) {
    const ProjectStore store = StoreWith("[Common]\nWidth=5\n");
    const std::string before = Contents();
    for (const std::string name : {"Common", "common", "a]b", " Docs", ""}) {
        EXPECT_THROW(store.WriteProject(name, SampleProject()), std::invalid_argument) << name;
        EXPECT_THROW(store.DeleteProject(name, {}), std::invalid_argument) << name;
    }
    EXPECT_EQ(Contents(), before);
}

// Each writer reads, changes one key and rewrites the whole file: without
// the lock one of two simultaneous updates is lost.
TEST_F(ProjectStoreTest, TwoProcessesAdvancingTheirOwnProjectsLoseNoUpdate) {
    constexpr int kRounds = 200;
    const ProjectStore store = StoreWith("[Alpha]\nValue=0\n[Beta]\nValue=0\n");
    const auto advance = [&](const std::string& name) {
        return [&store, name] {
            for (int i = 0; i < kRounds; ++i) {
                store.WriteBackupEnd(name, store.ReadProject(name).Value + 1,
                                     LocalDateTime::Make(2024, 3, 10));
            }
            return std::string("done");
        };
    };
    ChildProcess alpha(advance("Alpha"));
    ChildProcess beta(advance("Beta"));
    EXPECT_EQ(alpha.Result(), "done");
    EXPECT_EQ(beta.Result(), "done");
    EXPECT_EQ(store.ReadProject("Alpha").Value, kRounds);
    EXPECT_EQ(store.ReadProject("Beta").Value, kRounds);
}

TEST_F(ProjectStoreTest, BackupLockRefusesTheSameProjectInAnyProcessUntilItsHolderGoes) {
    const auto tryInChild = [&](const std::string& name) {
        return RunInChild(
            [&] { return std::string(store_.TryLockBackup(name) ? "got" : "refused"); });
    };
    {
        const auto held = store_.TryLockBackup("Docs");
        ASSERT_TRUE(held);
        EXPECT_FALSE(store_.TryLockBackup("docs")) << "a second run in the same process";
        EXPECT_EQ(tryInChild(" DOCS"), "refused");
        EXPECT_EQ(tryInChild("Papers"), "got");
    }
    EXPECT_EQ(tryInChild("Docs"), "got");

    ChildProcess holder([&] {
        const auto held = store_.TryLockBackup("Docs");
        test::TellParentReady();
        ::pause();
        return std::string();
    });
    ASSERT_TRUE(holder.WaitReady());
    EXPECT_FALSE(store_.TryLockBackup("Docs"));
    holder.Kill();
    holder.Result();
    EXPECT_TRUE(store_.TryLockBackup("Docs")) << "a killed holder lets go";
}

// In a folder an administrator prepared, where the user may write
// project.ini but make no file beside it, project.ini itself carries the
// backup keys, and a second run of the project is still refused.
TEST_F(ProjectStoreTest, BackupLockInAFolderThatCannotBeWrittenIsCarriedByTheFile) {
    tmp_.write("project.ini", "[Common]\n");
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid(); // root ignores permissions
    ASSERT_EQ(::chown(store_.IniPath().c_str(), user, static_cast<gid_t>(-1)), 0);
    std::filesystem::permissions(tmp_.path(), std::filesystem::perms(0555));
    const std::string outcome = RunInChild([&] {
        if (::geteuid() != user && ::setuid(user) != 0) {
            return std::string("cannot become the user");
        }
        const KeyedLock first = store_.TryLockBackup("Docs");
        const KeyedLock second = store_.TryLockBackup("Docs");
        return std::string(first ? "held" : first.Reason()) + ", " +
               (second.Result() == KeyedLock::State::HeldElsewhere ? "then refused" : "then not");
    });
    std::filesystem::permissions(tmp_.path(), std::filesystem::perms(0700));
    EXPECT_EQ(outcome, "held, then refused");
}

TEST_F(ProjectStoreTest, ANameWithEqualsSignsLivesThroughEveryOperation) {
    const std::string name = "x=1 =y=";
    ProjectRecord r = SampleProject();
    r.Name = name;
    store_.WriteProjectNames({"Docs", name});
    store_.WriteProject("Docs", SampleProject());
    store_.WriteProject(name, r);
    store_.WriteLastProject(name);
    EXPECT_EQ(store_.ReadProjectNames(), (std::vector<std::string>{"Docs", name}));
    EXPECT_EQ(store_.ReadCommonSettings().LastProject, name);
    EXPECT_EQ(store_.ReadProject(name), r);

    store_.WriteBackupEnd(name, 9, LocalDateTime::Make(2024, 3, 10));
    r.Value = 9;
    r.LastBackup = LocalDateTime::Make(2024, 3, 10);
    EXPECT_EQ(store_.ReadProject(name), r);
    EXPECT_EQ(store_.ReadProject("Docs").Value, SampleProject().Value);

    store_.DeleteProject(name, {"Docs"});
    ProjectRecord gone;
    gone.Name = name;
    gone.SavePath = "/home/tester/";
    EXPECT_EQ(store_.ReadProject(name), gone);
    EXPECT_EQ(store_.ReadProject("Docs").FilenamePrefix, "docs");
}

TEST_F(ProjectStoreTest, AFailedWriteReportsThePath) {
    const ProjectStore store(tmp_.dir() + "missing/project.ini");
    try {
        store.WriteProject("Docs", SampleProject());
        FAIL() << "expected a write error";
    } catch (const EProfileWriteError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write to " + tmp_.dir() + "missing/project.ini");
    }
}

TEST(PasswordScrambleTest, EncodesEachByteAsItsDecimalValueAfterTheKey) {
    // Key "P1": the name and its length.
    EXPECT_EQ(EncodePassword("abc", "P"), "#49#83#51");
    EXPECT_EQ(EncodePassword("", "P"), "");
    // Longer than the key: the key starts over from its first byte.
    const std::string stored = EncodePassword("aaaa", "P");
    EXPECT_EQ(stored, "#49#80#49#80");
    // A byte equal to the key's gives #0, which is why the bytes are
    // written as numbers.
    EXPECT_EQ(EncodePassword("P", "P"), "#0");
}

TEST(PasswordScrambleTest, DecodeUndoesEncodeOnlyUnderTheSameName) {
    const std::string passwords[] = {"secret", "a much longer password than the key",
                                     "\xC3\xA9t\xC3\xA9", "P1P1"};
    for (const auto& p : passwords) {
        EXPECT_EQ(DecodePassword(EncodePassword(p, "Docs"), "Docs"), p);
        EXPECT_EQ(DecodePassword(EncodePassword(p, "Pro\xC3\xA9"), "Pro\xC3\xA9"), p);
        EXPECT_NE(DecodePassword(EncodePassword(p, "Docs"), "Papers"), p);
    }
}

TEST(PasswordScrambleTest, DecodeReadsDigitRunsAndTakesOtherTextAsRawBytes) {
    const std::string key = "P1";
    auto plain = [&](std::string bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(bytes[i] ^ key[i % key.size()]);
        }
        return bytes;
    };
    struct Case {
        const char* stored;
        std::string bytes;
    };
    const Case cases[] = {
        {"#49#83#51", "\x31\x53\x33"},
        {"#256#300", std::string("\x00\x2C", 2)}, // low 8 bits
        {"#1x2##3", "\x01\x02\x03"},
        {"#", ""},
        {"#99999999999999999999", "\xFF"}, // 10^20 - 1, kept to its low 8 bits
        {"raw", "raw"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodePassword(c.stored, "P"), plain(c.bytes)) << c.stored;
    }
}

TEST(ProjectNameTest, RefusesNamesTheFileCannotHoldFaithfully) {
    struct Case {
        std::string name;
        bool refused;
    };
    const Case cases[] = {
        {"Docs", false},
        {"  Docs  ", false},
        {"My Photos 2026", false},
        {"caf\xC3\xA9", false},
        {"[x", false},
        {"", true},
        {"   ", true},
        {"a]b", true},
        {"a=b", false},
        {"=", false},
        {"two\nlines", true},
        {"cr\r", true},
        {std::string("n\0l", 3), true},
        {"tab\tin", true},
        {"Common", true},
        {" COMMON ", true},
        {"Commons", false},
        {std::string(2048, 'x'), true},
    };
    for (const auto& c : cases) {
        const auto problem = ProjectNameProblem(c.name);
        EXPECT_EQ(problem.has_value(), c.refused) << c.name;
        if (problem) {
            EXPECT_FALSE(problem->empty());
        }
    }
}

} // namespace
} // namespace mzb
