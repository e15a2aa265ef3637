#include "zip/writer/DirSearch.h"

#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include "zip/base/ZipError.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Paths = std::vector<std::string>;

std::string Marked(char marker, const std::string& item) {
    std::string marked(1, marker);
    marked += item;
    return marked;
}

TEST(FileItemKindTest, ItemsAreToldApartByTheirLastCharacterAndWildcards) {
    const struct {
        const char* item;
        TFileItemKind kind;
    } cases[] = {
        {"/home/u/docs/", TFileItemKind::Directory},
        {"/home/*/docs/", TFileItemKind::Directory}, // the separator decides first
        {"/home/u/*.txt", TFileItemKind::Wildcard},
        {"/home/u/report?.doc", TFileItemKind::Wildcard},
        {"/home/u/<ab>.doc", TFileItemKind::Wildcard},
        {"|/home/u/notes.txt", TFileItemKind::Wildcard}, // a marker makes it a wildcard item
        {"/home/u/a>b", TFileItemKind::Wildcard},
        {"/home/u/notes.txt", TFileItemKind::File},
        {"notes.txt", TFileItemKind::File},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KindOfItem(c.item), c.kind) << c.item;
    }
}

TEST(PatternListTest, PatternsWithASeparatorMatchTheWholePath) {
    const Paths patterns = {"*.tmp", "/home/u/cache/*"};
    const struct {
        const char* path;
        bool excluded;
    } cases[] = {
        {"/home/u/work/draft.TMP", true},   // by name, letter case ignored
        {"/home/u/cache/deep/x.bin", true}, // by path; the star crosses separators
        {"/home/U/Cache/y.bin", true},      // by path, letter case ignored
        {"/home/u/work/cache.txt", false},  // the path pattern never looks at the name alone
        {"/home/u/work/tmp/keep.txt", false},
        {"x.tmp", true}, // a bare name, as the no-compression list gives it
        {"x.bin", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesPatternList(patterns, c.path), c.excluded) << c.path;
    }
    EXPECT_FALSE(MatchesPatternList({}, "/home/u/a.txt"));
}

// A small home directory with the things a real one holds: hidden files, a
// dot-directory, links, a FIFO, and the archive being written.
class ExpansionTest : public ::testing::Test {
protected:
    void SetUp() override {
        tmp_.write("a.txt", "aaa");
        tmp_.write("Makefile", "mm");
        tmp_.write(".hidden.txt", "h");
        tmp_.write("notes.TMP", "tttt");
        tmp_.write("sub/b.txt", "bbbbb");
        tmp_.write("sub/deep/c.txt", "c");
        tmp_.write(".config/app/settings.txt", "ss");
        tmp_.write("backup.zip", "PK");
        tmp_.write("Backup.ZIP", "other");
        fs::create_directory_symlink(tmp_.path(), tmp_.path() / "loop");
        fs::create_directory_symlink(tmp_.path() / "sub", tmp_.path() / "sub" / "deep" / "up");
        fs::create_symlink(tmp_.path() / "sub" / "b.txt", tmp_.path() / "linked.txt");
        ASSERT_EQ(::mkfifo((tmp_.path() / "pipe.txt").c_str(), 0600), 0);
        settings_.ZipName = root() + "backup.zip";
        settings_.OnNoSuchFile = [this](const std::string& name) { missing_.push_back(name); };
    }

    std::string root() const { return tmp_.dir(); }
    Paths Under(const Paths& relative) const {
        Paths paths;
        for (const auto& r : relative) {
            paths.push_back(root() + r);
        }
        return paths;
    }
    Paths Expand(Paths items) {
        totalBytes_ = ExpandFilesList(items, settings_);
        return items;
    }

    TempDir tmp_;
    TFileListExpansion settings_;
    Paths missing_;
    std::uint64_t totalBytes_ = 0;
};

TEST_F(ExpansionTest, RecursiveWalkTakesHiddenEntriesAndSkipsLinkedDirsAndTheArchive) {
    settings_.Recurse = true;
    const auto found = Expand({root() + "*.*"});
    // Sorted by name bytes, each directory's contents right after entering it.
    EXPECT_EQ(found, Under({".config/app/settings.txt", ".hidden.txt", "Backup.ZIP", "Makefile",
                            "a.txt", "linked.txt", "notes.TMP", "sub/b.txt", "sub/deep/c.txt"}));
    EXPECT_EQ(totalBytes_, 2u + 1 + 5 + 2 + 3 + 5 + 4 + 5 + 1);
    EXPECT_TRUE(missing_.empty());
}

TEST_F(ExpansionTest, DirectoryEntriesComeOnlyWithRecursionAndTheSetting) {
    settings_.Recurse = true;
    settings_.AddDirEntriesOnRecurse = true;
    EXPECT_EQ(Expand({root() + "sub/*.txt"}), Under({"sub/b.txt", "sub/deep/", "sub/deep/c.txt"}));
    settings_.AddDirEntriesOnRecurse = false;
    EXPECT_EQ(Expand({root() + "sub/*.txt"}), Under({"sub/b.txt", "sub/deep/c.txt"}));
    settings_.AddDirEntriesOnRecurse = true;
    EXPECT_EQ(Expand({Marked('|', root() + "sub/*.txt")}), Under({"sub/b.txt"}));
}

TEST_F(ExpansionTest, RecursionMarkersOverrideTheSetting) {
    settings_.Recurse = false;
    EXPECT_EQ(Expand({root() + "sub/*.txt"}), Under({"sub/b.txt"}));
    EXPECT_EQ(Expand({Marked('>', root() + "sub/*.txt")}), Under({"sub/b.txt", "sub/deep/c.txt"}));
    settings_.Recurse = true;
    EXPECT_EQ(Expand({Marked('|', root() + "sub/*.txt")}), Under({"sub/b.txt"}));
    EXPECT_EQ(Expand({Marked('>', root() + "sub/*.txt")}), Under({"sub/b.txt", "sub/deep/c.txt"}));
}

TEST_F(ExpansionTest, ExclusionsByNameAndByPath) {
    settings_.Recurse = true;
    const Paths exclude = {"*.tmp", root() + "sub/*", ".*"};
    settings_.ExcludeList = exclude;
    EXPECT_EQ(Expand({root() + "*"}),
              Under({".config/app/settings.txt", "Backup.ZIP", "Makefile", "a.txt", "linked.txt"}));
    // Explicit files are excluded the same way.
    EXPECT_EQ(Expand({root() + "notes.TMP", root() + "sub/b.txt", root() + "a.txt"}),
              Under({"a.txt"}));
}

TEST_F(ExpansionTest, ExplicitItemsKeepTheirPlaceBeforeWildcardFinds) {
    settings_.RootDir = tmp_.path().string(); // without its separator
    int recursed = 0;
    settings_.OnRecursingFile = [&](const std::string&) { ++recursed; };
    const auto found = Expand({root() + "sub/*.txt", "a.txt", root() + "gone.txt", root() + "dir/",
                               root() + "sub/b.txt", root() + "pipe.txt", root() + ".hidden.txt"});
    EXPECT_EQ(found, Under({"a.txt", "dir/", "sub/b.txt", ".hidden.txt", "sub/b.txt"}));
    EXPECT_EQ(missing_, Under({"gone.txt", "pipe.txt"}));
    EXPECT_EQ(totalBytes_, 3u + 5 + 1 + 5);
    EXPECT_EQ(recursed, 1);
}

TEST_F(ExpansionTest, MasksAndTheArchiveItself) {
    // "*." selects names without an extension, "*.*" every name.
    EXPECT_EQ(Expand({root() + "*."}), Under({"Makefile"}));
    EXPECT_EQ(Expand({root() + "*.zip"}), Under({"Backup.ZIP"}));
    // Reached through a linked directory, the archive is still recognised.
    settings_.ZipName = root() + "loop/backup.zip";
    EXPECT_EQ(Expand({root() + "*.zip"}), Under({"Backup.ZIP"}));
    settings_.ZipName.clear();
    EXPECT_EQ(Expand({root() + "*.zip"}), Under({"Backup.ZIP", "backup.zip"}));
}

TEST_F(ExpansionTest, WildcardDirectoryComponentsChooseWhereToLook) {
    tmp_.write("p1/docs/x.txt", "x");
    tmp_.write("p1/docs/more/w.txt", "w");
    tmp_.write("p2/Docs/y.txt", "y");
    tmp_.write("p2/other/z.txt", "z");
    tmp_.write("p2/top.txt", "t");
    tmp_.write("q1/docs/n.txt", "n");
    EXPECT_EQ(Expand({root() + "p*/docs/*.txt"}), Under({"p1/docs/x.txt", "p2/Docs/y.txt"}));
    EXPECT_EQ(Expand({Marked('>', root() + "p<1-1>/*/*.txt")}),
              Under({"p1/docs/more/w.txt", "p1/docs/x.txt"}));
    EXPECT_TRUE(Expand({root() + "missing/*/docs/*.txt", root() + "missing/*.txt"}).empty());
    EXPECT_TRUE(missing_.empty());
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// node_modules inside node_modules reaches such depths: every file comes
// back, and the walk holds no descriptor per level on the way down.
TEST_F(ExpansionTest, TheWalkGoesAsDeepAsTheTreeWithoutADescriptorPerLevel) {
    constexpr int kLevels = 60;
    std::string deep = "chain/";
    for (int level = 1; level <= kLevels; ++level) {
        deep += 'd' + std::to_string(level) + '/';
        tmp_.write(deep + 'f' + std::to_string(level), "x");
    }
    fs::create_directory_symlink(tmp_.path() / "chain", tmp_.path() / deep / "back");
    const std::size_t before = OpenDescriptors();
    TDirSearch search(root() + "chain", true, "*");
    std::string path;
    FileInfo info;
    int files = 0;
    std::size_t deepest = 0;
    std::size_t descriptorsThere = 0;
    while (search.Next(path, info)) {
        if (search.Depth() > deepest) {
            deepest = search.Depth();
            descriptorsThere = OpenDescriptors();
        }
        files += info.IsDirectory() ? 0 : 1;
    }
    EXPECT_EQ(files, kLevels);
    EXPECT_EQ(deepest, kLevels + 1u);
    EXPECT_EQ(descriptorsThere, before);
}

TEST_F(ExpansionTest, FoldersThatCannotBeFoundOrListedAreTold) {
    std::vector<std::pair<std::string, int>> told;
    settings_.OnFolderNotListed = [&](const std::string& dir, int error) {
        told.emplace_back(dir, error);
    };
    settings_.Recurse = true;
    EXPECT_TRUE(Expand({"/media/usb-not-mounted/photos/*", root() + "a.txt/*"}).empty());
    EXPECT_EQ(told, (std::vector<std::pair<std::string, int>>{
                        {"/media/usb-not-mounted/photos", ENOENT}, {root() + "a.txt", ENOTDIR}}));

    tmp_.write("locked/inside.txt", "secret");
    tmp_.write("open/seen.txt", "s");
    ASSERT_EQ(::chmod((tmp_.path() / "locked").c_str(), 0), 0);
    test::OpenPathToOthers(tmp_.dir() + "open");
    const bool held = test::RunUnprivileged([&] {
        told.clear();
        const Paths found = Expand({root() + "locked/*", root() + "open/*"});
        const bool ok = found == Under({"open/seen.txt"}) && told.size() == 1 &&
                        told[0] == std::pair(root() + "locked", EACCES);
        if (!ok) {
            std::fprintf(stderr, "found %zu, told %zu\n", found.size(), told.size());
        }
        return ok;
    });
    EXPECT_TRUE(held);
}

TEST_F(ExpansionTest, CancelRequestStopsTheExpansion) {
    int asked = 0;
    settings_.CancelRequested = [&] { return ++asked == 2; };
    Paths items = {root() + "*.txt"};
    try {
        ExpandFilesList(items, settings_);
        FAIL() << "no cancel";
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User Aborted Operation");
    }
    EXPECT_EQ(asked, 2);
}

TEST_F(ExpansionTest, FresheningKeepsOnlyFilesTheArchiveHolds) {
    settings_.HasArchiveEntry = [this](const std::string& path) {
        return path == root() + "a.txt";
    };
    EXPECT_EQ(Expand({root() + "Makefile", root() + "*.txt"}), Under({"a.txt"}));
    EXPECT_EQ(totalBytes_, 3u);
}

} // namespace
} // namespace mzb
