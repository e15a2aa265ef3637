#include "core/editor/ProjectEditor.h"

#include "core/project/ContentEntry.h"
#include "core/project/ProjectStore.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

const LocalDateTime kNow = LocalDateTime::Make(2026, 12, 7, 20, 41, 38);

ProjectRecord Numbered(int value, int increase) {
    ProjectRecord r;
    r.Name = "Docs";
    r.FilenamePrefix = "docs";
    r.UseDate = false;
    r.Value = value;
    r.IncreaseValue = increase;
    r.SavePath = "/home/u/Backups";
    r.BackupItems = {"/home/u/Data/*.doc", "", "/home/u/Notes"};
    r.NoBackupItems = {"", "*.tmp"};
    r.UsePassword = true;
    r.Password = "secret";
    r.Comment = " weekly ";
    return r;
}

TEST(ProjectEditorTest, SpinFieldsHoldOneToAThousandAndOneForText) {
    const std::pair<std::string, int> cases[] = {
        {"7", 7},
        {" 12 ", 12},
        {"0", 1},
        {"-5", 1},
        {"1000", 1000},
        {"1001", 1000},
        {"", 1},
        {"abc", 1},
        {"5x", 1},
        {"99999999999999999999", 1000},
        {"-99999999999999999999", 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(SpinFieldValue(text), value) << text;
    }
}

TEST(ProjectEditorTest, LoadingShowsTheNextNumberSkipsEmptyEntriesAndConfirmsThePassword) {
    BackupEditor e;
    LoadProjectIntoEditor(e, Numbered(4, 3), CommonSettings{}, kNow);
    EXPECT_TRUE(e.UseNumber);
    EXPECT_EQ(e.Number, 7);
    EXPECT_EQ(e.Increase, 3);
    EXPECT_EQ(e.Filename, "/home/u/Backups/docs7.zip");
    EXPECT_EQ(e.Include, (std::vector<std::string>{"/home/u/Data/*.doc", "/home/u/Notes"}));
    EXPECT_EQ(e.Exclude, std::vector<std::string>{"*.tmp"});
    EXPECT_EQ(e.Password, "secret");
    EXPECT_EQ(e.ConfirmPassword, "secret");
}

TEST(ProjectEditorTest, ADatedProjectKeepsTheSpinFieldsItFound) {
    BackupEditor e;
    e.Number = 42;
    e.Increase = 9;
    ProjectRecord dated = Numbered(4, 3);
    dated.UseDate = true;
    LoadProjectIntoEditor(e, dated, CommonSettings{}, kNow);
    EXPECT_FALSE(e.UseNumber);
    EXPECT_EQ(e.Number, 42);
    EXPECT_EQ(e.Increase, 9);
    EXPECT_EQ(e.Filename, "/home/u/Backups/docs12-07_20-41-38.zip");
}

TEST(ProjectEditorTest, SavedNumberLoadsBackAsTheSameNumberAtEveryEndOfTheRange) {
    test::TempDir tmp;
    const ProjectStore store(tmp.dir() + "project.ini");
    const std::pair<int, int> numberAndStep[] = {{5, 2}, {1, 1}, {1000, 5}, {3, 1000}};
    for (const auto& [number, step] : numberAndStep) {
        BackupEditor e;
        LoadProjectIntoEditor(e, Numbered(1, 1), CommonSettings{}, kNow);
        e.Number = number;
        e.Increase = step;
        const ProjectRecord saved = SaveEditor(e);
        EXPECT_EQ(saved.Value, number - step);
        store.WriteProject("Docs", saved);
        BackupEditor loaded;
        LoadProjectIntoEditor(loaded, store.ReadProject("Docs"), CommonSettings{}, kNow);
        EXPECT_EQ(loaded.Number, number) << number << " step " << step;
        EXPECT_EQ(loaded.Increase, step);
    }
}

TEST(ProjectEditorTest, SaveTrimsAndEmptiesWhatItDoesNotStore) {
    BackupEditor e;
    LoadProjectIntoEditor(e, Numbered(1, 1), CommonSettings{}, kNow);
    e.ProjectText = " Docs ";
    e.Prefix = " a b ";
    e.Password = " pw ";
    e.ConfirmPassword = " pw ";
    e.CommentTicked = true;
    e.Comment = "  as typed ";
    ProjectRecord r = SaveEditor(e);
    EXPECT_EQ(r.Name, "Docs");
    EXPECT_EQ(r.FilenamePrefix, "a b");
    EXPECT_EQ(r.Password, "pw");
    EXPECT_EQ(r.Comment, "  as typed ");
    EXPECT_EQ(r.BackupItems, e.Include);

    e.Password = e.ConfirmPassword = "   ";
    e.Comment = "  ";
    r = SaveEditor(e);
    EXPECT_TRUE(r.UsePassword);
    EXPECT_EQ(r.Password, "");
    EXPECT_EQ(e.Password, "");
    EXPECT_EQ(e.ConfirmPassword, "");
    EXPECT_EQ(r.Comment, "");
    EXPECT_EQ(e.Comment, "");

    e.PasswordTicked = false;
    e.Password = e.ConfirmPassword = "kept?";
    e.CommentTicked = false;
    e.Comment = "kept?";
    r = SaveEditor(e);
    EXPECT_EQ(r.Password, "");
    EXPECT_EQ(e.Password, "");
    EXPECT_EQ(e.ConfirmPassword, "");
    EXPECT_FALSE(r.StoreComment);
    EXPECT_EQ(r.Comment, "");
    EXPECT_EQ(e.Comment, "");
}

TEST(ProjectEditorTest, ClearingGivesTheNewProjectDefaultsAndKeepsTheSuffixChoice) {
    const test::ScopedEnvironment home("HOME", "/home/tester");
    BackupEditor e;
    LoadProjectIntoEditor(e, Numbered(40, 7), CommonSettings{}, kNow);
    e.Recurse = false;
    e.StorePaths = false;
    e.CommentTicked = false;
    ClearEditor(e);
    EXPECT_EQ(e.Prefix, "");
    EXPECT_EQ(e.Filename, "");
    EXPECT_EQ(e.SaveDir, "/home/tester/");
    EXPECT_TRUE(e.UseNumber);
    EXPECT_EQ(e.Number, 1);
    EXPECT_EQ(e.Increase, 1);
    EXPECT_TRUE(e.Include.empty());
    EXPECT_TRUE(e.Exclude.empty());
    EXPECT_TRUE(e.Recurse);
    EXPECT_FALSE(e.PasswordTicked);
    EXPECT_EQ(e.Password, "");
    EXPECT_EQ(e.ConfirmPassword, "");
    EXPECT_TRUE(e.StorePaths);
    EXPECT_TRUE(e.CommentTicked);
    EXPECT_EQ(e.Comment, "");
}

TEST(ContentEntryTest, WildcardEntryIsDirectoryOneSeparatorAndTrimmedPattern) {
    EXPECT_EQ(WildcardEntry("/", "*.txt"), "/*.txt");
    EXPECT_EQ(WildcardEntry("/home/u/Work", "*.txt"), "/home/u/Work/*.txt");
    EXPECT_EQ(WildcardEntry("/home/u/Work/", " *.log "), "/home/u/Work/*.log");
    EXPECT_EQ(WildcardEntry("/home/u/Work", "  "), "/home/u/Work/");
}

TEST(ContentEntryTest, TheFirstOfEqualEntriesIsTheOneSelected) {
    const std::vector<std::string> entries = {"/a/*.txt", "/b/*.TXT", "/b/*.txt"};
    EXPECT_EQ(FirstEqualEntry(entries, "/b/*.txt"), 1);
    EXPECT_EQ(FirstEqualEntry(entries, "/c/*.txt"), -1);
}

} // namespace
} // namespace mzb
