#include "finder/FindFile.h"

#include "finder/FindFileError.h"
#include "support/LocalTime.h"
#include "support/TempDir.h"

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace mzb {

namespace {

namespace fs = std::filesystem;
using test::LocalTime;

struct Hit {
    std::string Folder;
    std::string Name;
    friend bool operator==(const Hit&, const Hit&) = default;
    friend auto operator<=>(const Hit&, const Hit&) = default;
};

std::vector<Hit> Collect(TFindFile& finder) {
    std::vector<Hit> hits;
    finder.OnFound = [&](TFindFile&, const std::string& folder, const TSearchRec& rec) {
        hits.push_back({folder, rec.Name});
    };
    finder.Execute();
    return hits;
}

// Built by appending: GCC 12 warns falsely on literal + std::string.
std::string Numbered(const char* prefix, int n) {
    return std::string(prefix).append(std::to_string(n));
}

std::vector<Hit> Sorted(std::vector<Hit> hits) {
    std::sort(hits.begin(), hits.end());
    return hits;
}

std::vector<std::string> Names(const std::vector<Hit>& hits) {
    std::vector<std::string> names;
    for (const Hit& h : hits) {
        names.push_back(h.Name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void SetTimes(const fs::path& file, std::time_t modified, std::time_t accessed) {
    const timespec times[2] = {{accessed, 0}, {modified, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& dir) : saved_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~CurrentDirectory() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

// Stands in for the owner's event loop: posted work queues up here and runs
// when the owning (test) thread pumps.
class OwnerLoop {
public:
    TPostToOwner Poster() {
        return [this](std::function<void()> work) {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
            ready_.notify_one();
        };
    }
    // Runs posted work until `done` holds; false on a time-out.
    template <class Done> bool PumpUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            std::unique_lock lock(mutex_);
            if (!ready_.wait_until(lock, deadline, [&] { return !queue_.empty(); })) {
                return false;
            }
            auto work = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            work();
        }
        return true;
    }
    void RunLeftovers() {
        std::deque<std::function<void()>> left;
        {
            std::lock_guard lock(mutex_);
            left.swap(queue_);
        }
        for (auto& work : left) {
            work();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

class FindFileTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    std::string Dir(const std::string& relative = "") const {
        return relative.empty() ? tmp.path().string() : (tmp.path() / relative).string();
    }
};

} // namespace

TEST_F(FindFileTest, ReportsArchivesOfOneFolderWithTheGivenFolderText) {
    tmp.write("a.zip", "a");
    tmp.write("B.ZIP", "b");
    tmp.write("notes.txt", "n");
    tmp.write("sub/c.zip", "c");
    for (const std::string& location : {Dir(), Dir() + "/"}) {
        TFindFile finder;
        finder.SetFilename("*.zip");
        finder.Subfolders = false;
        finder.SetLocation(location);
        EXPECT_EQ(Sorted(Collect(finder)), (std::vector<Hit>{{Dir(), "B.ZIP"}, {Dir(), "a.zip"}}))
            << location;
    }
}

TEST_F(FindFileTest, SubfoldersAreSearchedDepthFirstAfterTheFoldersOwnMatches) {
    tmp.write("top1.txt", "");
    tmp.write("top2.txt", "");
    tmp.write("a/a1.txt", "");
    tmp.write("a/deep/a2.txt", "");
    tmp.write("b/b1.txt", "");
    TFindFile finder;
    finder.SetLocation(Dir());
    const std::vector<Hit> hits = Collect(finder);
    ASSERT_EQ(hits.size(), 5u);
    EXPECT_EQ(hits[0].Folder, Dir());
    EXPECT_EQ(hits[1].Folder, Dir());
    // Whichever of a and b comes first, a's subfolder follows a directly.
    const auto at = [&](const std::string& name) {
        return std::find_if(hits.begin(), hits.end(),
                            [&](const Hit& h) { return h.Name == name; }) -
               hits.begin();
    };
    EXPECT_EQ(at("a2.txt"), at("a1.txt") + 1);
    EXPECT_EQ(hits[at("a2.txt")].Folder, Dir("a/deep"));
}

TEST_F(FindFileTest, RootFolderTextKeepsItsSeparator) {
    TFindFile finder;
    finder.Subfolders = false;
    finder.SetFilename("mzb-no-such-name.none");
    finder.SetLocation("/");
    std::vector<std::string> folders;
    finder.OnNewFolder = [&](TFindFile&, const std::string& folder, bool&) {
        folders.push_back(folder);
    };
    finder.Execute();
    EXPECT_EQ(folders, std::vector<std::string>{"/"});
    EXPECT_EQ(FolderText("/home/u/"), "/home/u");
    EXPECT_EQ(FolderText("c:/"), "c:/");
}

TEST_F(FindFileTest, EmptyLocationSearchesTheCurrentDirectory) {
    tmp.write("here.zip", "");
    const CurrentDirectory cd(tmp.path());
    TFindFile finder;
    finder.SetFilename("*.zip");
    EXPECT_EQ(Collect(finder), (std::vector<Hit>{{fs::current_path().string(), "here.zip"}}));
}

TEST_F(FindFileTest, TheSameFolderNamedTwiceIsSearchedOnce) {
    tmp.write("d/x.zip", "");
    tmp.write("D/y.zip", "");
    TFindFile finder;
    finder.SetFilename("*.zip");
    std::string twice = Dir("d");
    for (const char* spelling : {"", "/", "/./"}) {
        twice.append(";").append(Dir("d")).append(spelling);
    }
    twice.append(";").append(Dir("x/../d"));
    finder.SetLocation(twice);
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"x.zip"});
    // On a case-sensitive file system "D" is a folder of its own and is searched.
    finder.SetLocation(Dir("d") + ";" + Dir("D"));
    EXPECT_EQ(Names(Collect(finder)), (std::vector<std::string>{"x.zip", "y.zip"}));
}

TEST_F(FindFileTest, DotNamesAreNeverReportedNorEntered) {
    tmp.write(".hidden.zip", "");
    tmp.write(".zip", "");
    tmp.write(".cache/inside.zip", "");
    tmp.write("shown.zip", "");
    TFindFile finder;
    finder.SetFilename("*.zip");
    finder.SetLocation(Dir());
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"shown.zip"});
}

TEST_F(FindFileTest, RefusedValuesKeepTheOldOneAndSayWhy) {
    TFindFile finder;
    EXPECT_EQ(finder.Filename(), "*.*");
    EXPECT_EQ(finder.Location(), "");
    finder.SetFilename("*.zip");
    finder.SetLocation("/data");
    try {
        finder.SetFilename("sub/*.zip");
        FAIL() << "a name with a folder part was taken";
    } catch (const EFindFileError& e) {
        EXPECT_STREQ(e.what(), "sub/*.zip\n\rInvalid filename specified");
    }
    try {
        finder.SetLocation("/data/*");
        FAIL() << "a wildcard location was taken";
    } catch (const EFindFileError& e) {
        EXPECT_STREQ(e.what(), "/data/*\n\rlocation cannot to be contained wildcards");
    }
    EXPECT_THROW(finder.SetLocation("/da?a"), EFindFileError);
    EXPECT_EQ(finder.Filename(), "*.zip");
    EXPECT_EQ(finder.Location(), "/data");
}

TEST_F(FindFileTest, NameWithoutDotAlsoFindsItsExtensions) {
    tmp.write("readme", "");
    tmp.write("README.txt", "");
    tmp.write("readme2", "");
    TFindFile finder;
    finder.SetFilename("readme");
    finder.SetLocation(Dir());
    EXPECT_EQ(Names(Collect(finder)), (std::vector<std::string>{"README.txt", "readme"}));
}

TEST_F(FindFileTest, ExecuteFromItsOwnHandlerDoesNothing) {
    tmp.write("a.zip", "");
    tmp.write("b.zip", "");
    TFindFile finder;
    finder.SetFilename("*.zip");
    finder.SetLocation(Dir());
    int found = 0;
    int completed = 0;
    finder.OnFound = [&](TFindFile& sender, const std::string&, const TSearchRec&) {
        ++found;
        EXPECT_TRUE(sender.Busy());
        sender.Execute();
    };
    finder.OnComplete = [&](TFindFile& sender) {
        ++completed;
        EXPECT_FALSE(sender.Busy());
    };
    finder.Execute();
    EXPECT_EQ(found, 2);
    EXPECT_EQ(completed, 1);
}

TEST_F(FindFileTest, IgnoredFolderSkipsItsFilesAndSubfolders) {
    tmp.write("keep/a.txt", "");
    tmp.write("skip/b.txt", "");
    tmp.write("skip/inner/c.txt", "");
    TFindFile finder;
    finder.SetLocation(Dir());
    finder.OnNewFolder = [&](TFindFile&, const std::string& folder, bool& ignore) {
        ignore = folder == Dir("skip");
    };
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"a.txt"});
}

TEST_F(FindFileTest, IncludeFilesReplaceLocationAndFilename) {
    tmp.write("one/a.doc", "");
    tmp.write("one/b.txt", "");
    tmp.write("two/c.txt", "");
    TFindFile finder;
    finder.Subfolders = false;
    finder.SetLocation(Dir("two"));
    finder.IncludeFiles = {Dir("one") + "/*.doc", Dir("two") + "/"};
    EXPECT_EQ(Sorted(Collect(finder)),
              (std::vector<Hit>{{Dir("one"), "a.doc"}, {Dir("two"), "c.txt"}}));
}

TEST_F(FindFileTest, AttributesChooseFilesFoldersAndReadOnlyEntries) {
    tmp.write("plain.txt", "");
    const fs::path ro = tmp.write("locked.txt", "");
    fs::permissions(ro, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(tmp.path() / "folder");
    TFindFile finder;
    finder.Subfolders = false;
    finder.SetLocation(Dir());
    // The default set takes files of every kind but no plain folder.
    EXPECT_EQ(Names(Collect(finder)), (std::vector<std::string>{"locked.txt", "plain.txt"}));
    finder.Attributes = {TFileAttribute::ffDirectory};
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"folder"});
    finder.ExactAttribute = true;
    finder.Attributes = {TFileAttribute::ffArchive, TFileAttribute::ffReadonly};
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"locked.txt"});
    finder.Attributes = {TFileAttribute::ffArchive};
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"plain.txt"});
}

TEST_F(FindFileTest, SizeBoundsAreInclusiveAndWiderThan32Bits) {
    tmp.write("small", std::string(10, 'x'));
    tmp.write("mid", std::string(100, 'x'));
    const fs::path big = tmp.write("big", "");
    fs::resize_file(big, 5LL << 30); // sparse: costs no disk
    TFindFile finder;
    finder.SetLocation(Dir());
    std::vector<int64_t> sizes;
    finder.OnFound = [&](TFindFile&, const std::string&, const TSearchRec& rec) {
        sizes.push_back(rec.Size);
    };
    finder.SizeMin = 10;
    finder.SizeMax = 100;
    finder.Execute();
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int64_t>{10, 100}));
    sizes.clear();
    finder.SizeMin = 4LL << 30;
    finder.SizeMax = 0;
    finder.Execute();
    EXPECT_EQ(sizes, (std::vector<int64_t>{5LL << 30}));
}

TEST_F(FindFileTest, DateBoundsCompareByTheirForm) {
    const fs::path morning = tmp.write("morning", "");
    const fs::path evening = tmp.write("evening", "");
    const fs::path nextDay = tmp.write("nextday", "");
    SetTimes(morning, LocalTime(2024, 3, 10, 8, 15, 0), LocalTime(2024, 6, 1, 12, 0, 0));
    SetTimes(evening, LocalTime(2024, 3, 10, 20, 45, 0), LocalTime(2024, 6, 2, 12, 0, 0));
    SetTimes(nextDay, LocalTime(2024, 3, 11, 9, 0, 0), LocalTime(2024, 6, 3, 12, 0, 0));
    struct Case {
        const char* what;
        LocalDateTime before, after;
        bool accessed;
        std::vector<std::string> names;
    } const cases[] = {
        {"whole day: the date only",
         LocalDateTime::Make(2024, 3, 10),
         LocalDateTime::Make(2024, 3, 10),
         false,
         {"evening", "morning"}},
        {"time of day only", LocalDateTime::TimeOfDay(12, 0, 0), {}, false, {"morning", "nextday"}},
        {"after a time of day", {}, LocalDateTime::TimeOfDay(20, 45, 0), false, {"evening"}},
        {"full date-time, inclusive",
         LocalDateTime::Make(2024, 3, 10, 20, 45, 0),
         LocalDateTime::Make(2024, 3, 10, 8, 15, 0),
         false,
         {"evening", "morning"}},
        {"last access", {}, LocalDateTime::Make(2024, 6, 2), true, {"evening", "nextday"}},
    };
    for (const auto& c : cases) {
        TFindFile finder;
        finder.SetLocation(Dir());
        (c.accessed ? finder.AccessedBefore : finder.ModifiedBefore) = c.before;
        (c.accessed ? finder.AccessedAfter : finder.ModifiedAfter) = c.after;
        EXPECT_EQ(Names(Collect(finder)), c.names) << c.what;
    }
    // The record carries the local last-write time in MS-DOS form.
    TFindFile finder;
    finder.SetLocation(Dir());
    finder.SetFilename("morning");
    uint32_t dos = 0;
    finder.OnFound = [&](TFindFile&, const std::string&, const TSearchRec& rec) { dos = rec.Time; };
    finder.Execute();
    EXPECT_EQ(LocalDateTime::FromDos(dos), LocalDateTime::Make(2024, 3, 10, 8, 15, 0));
}

TEST_F(FindFileTest, ExcludedPatternsAreLeftOut) {
    tmp.write("a.zip", "");
    tmp.write("a.b.zip", "");
    tmp.write("cache/c.zip", "");
    tmp.write("keep/d.zip", "");
    TFindFile finder;
    finder.SetLocation(Dir());
    finder.SetFilename("*.zip");
    finder.ExcludeFiles = {"a*.zip", "cache/"};
    // "a*.zip" spares the name with two dots; "cache/" takes the folder's files.
    EXPECT_EQ(Names(Collect(finder)), (std::vector<std::string>{"a.b.zip", "d.zip"}));
}

TEST_F(FindFileTest, ContentIsFoundAcrossBlocksWithTheCaseRule) {
    tmp.write("edge", std::string(4094, '.') + "NeEdLe" + std::string(100, '.'));
    tmp.write("exact", "a needle here");
    tmp.write("none", std::string(10000, 'n'));
    tmp.write("empty", "");
    TFindFile finder;
    finder.SetLocation(Dir());
    finder.Containing = "needle";
    EXPECT_EQ(Names(Collect(finder)), (std::vector<std::string>{"edge", "exact"}));
    finder.IgnoreCase = false;
    EXPECT_EQ(Names(Collect(finder)), std::vector<std::string>{"exact"});
}

TEST_F(FindFileTest, AFileThatCannotBeOpenedEndsTheSearchQuietly) {
    fs::create_directory(tmp.path() / "a");
    fs::create_symlink(tmp.path() / "gone", tmp.path() / "a" / "dangling");
    ASSERT_EQ(mkfifo((tmp.path() / "a" / "pipe").c_str(), 0600), 0);
    TFindFile finder;
    finder.SetLocation(Dir("a"));
    finder.Containing = "x";
    int completed = 0;
    finder.OnComplete = [&](TFindFile&) { ++completed; };
    EXPECT_NO_THROW(finder.Execute());
    EXPECT_EQ(completed, 1);
    EXPECT_FALSE(finder.Busy());
}

TEST_F(FindFileTest, ThreadedSearchDeliversTheSameResultsOnTheOwnersThread) {
    for (int i = 0; i < 20; ++i) {
        tmp.write(Numbered("d", i % 4).append(Numbered("/f", i)).append(".txt"), "x");
    }
    TFindFile sync;
    sync.SetLocation(Dir());
    const std::vector<Hit> expected = Collect(sync);
    ASSERT_EQ(expected.size(), 20u);

    OwnerLoop loop;
    TFindFile finder;
    finder.SetLocation(Dir());
    finder.Threaded = true;
    finder.PostToOwner = loop.Poster();
    const auto owner = std::this_thread::get_id();
    std::vector<Hit> hits;
    int folders = 0;
    bool done = false;
    finder.OnNewFolder = [&](TFindFile&, const std::string&, bool&) {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        ++folders;
    };
    finder.OnFound = [&](TFindFile&, const std::string& folder, const TSearchRec& rec) {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        hits.push_back({folder, rec.Name});
    };
    finder.OnComplete = [&](TFindFile& sender) {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        EXPECT_FALSE(sender.Busy());
        done = true;
    };
    finder.Execute();
    EXPECT_TRUE(finder.Busy());
    finder.Execute(); // ignored while the worker runs
    ASSERT_TRUE(loop.PumpUntil([&] { return done; }));
    EXPECT_EQ(hits, expected);
    EXPECT_EQ(folders, 5);
}

TEST_F(FindFileTest, DestroyingDuringAThreadedSearchStopsTheWorkerSilently) {
    for (int i = 0; i < 50; ++i) {
        tmp.write(Numbered("f", i), "");
    }
    OwnerLoop loop;
    int found = 0;
    bool completed = false;
    {
        TFindFile finder;
        finder.SetLocation(Dir());
        finder.Threaded = true;
        finder.PostToOwner = loop.Poster();
        finder.OnFound = [&](TFindFile&, const std::string&, const TSearchRec&) { ++found; };
        finder.OnComplete = [&](TFindFile&) { completed = true; };
        finder.Execute();
        ASSERT_TRUE(loop.PumpUntil([&] { return found == 3; }));
        // The worker now waits for its fourth hand-over; destruction must not hang.
    }
    loop.RunLeftovers(); // stale deliveries find nobody and do nothing
    EXPECT_EQ(found, 3);
    EXPECT_FALSE(completed);
}

TEST_F(FindFileTest, AHandlerErrorInAThreadedSearchEndsItOnTheOwnersSide) {
    tmp.write("a", "");
    tmp.write("b", "");
    OwnerLoop loop;
    TFindFile finder;
    finder.SetLocation(Dir());
    finder.Threaded = true;
    finder.PostToOwner = loop.Poster();
    int found = 0;
    bool done = false;
    finder.OnFound = [&](TFindFile&, const std::string&, const TSearchRec&) {
        ++found;
        throw std::runtime_error("handler failed");
    };
    finder.OnComplete = [&](TFindFile&) { done = true; };
    finder.Execute();
    ASSERT_TRUE(loop.PumpUntil([&] { return done; }));
    EXPECT_EQ(found, 1);
}

} // namespace mzb
