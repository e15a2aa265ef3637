#include "zip/format/SortedZip.h"

#include "zip/base/DosDateTime.h"
#include "zip/base/ZipError.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace mzb {
namespace {

struct EntryRow {
    const char* dir;
    const char* name;
    std::uint32_t date;
    std::uint64_t compressed;
    std::uint64_t size;
    std::uint64_t offset;
};

std::unique_ptr<TZipHeaderInfo> Entry(const EntryRow& s) {
    auto e = std::make_unique<TZipHeaderInfo>();
    e->SetDirectory(s.dir);
    e->SetFileName(s.name);
    e->FileDateTime = s.date;
    e->CompressedSize = s.compressed;
    e->UncompressedSize = s.size;
    e->RelativeOffset = s.offset;
    return e;
}

std::vector<std::string> Names(const TSortedZip& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        out.push_back(list.Items(i).Directory() + list.Items(i).FileName());
    }
    return out;
}

const std::uint32_t kOld = PackDosDateTime({2001, 1, 1, 0, 0, 0});
const std::uint32_t kNew = PackDosDateTime({2020, 6, 1, 8, 0, 0});
const std::uint32_t kInvalid = PackDosDateTime({2023, 2, 30, 0, 0, 0});

// Entries chosen so that every mode gives a different order.
const EntryRow kEntries[] = {
    {"b/", "Zeta", kOld, 50, 100, 300},         // rate 50
    {"A/", "beta", kNew, 10, 1000, 100},        // rate 1
    {"a/c/", "alpha", kInvalid, 900, 900, 200}, // rate 100, date counts as 0
    {"", "Gamma", kOld, 0, 0, 0},               // rate 0 (empty file)
};

TEST(SortedZip, EveryModeOrdersAsSpecified) {
    struct Case {
        TZipSortMode mode;
        std::vector<std::string> order;
        // When re-sorting from physical order breaks ties differently.
        std::vector<std::string> resorted = {};
    };
    const Case cases[] = {
        {TZipSortMode::ByName, {"A/beta", "a/c/alpha", "b/Zeta", "Gamma"}},
        {TZipSortMode::ByFileName, {"a/c/alpha", "A/beta", "Gamma", "b/Zeta"}},
        {TZipSortMode::ByDirectoryName, {"Gamma", "A/beta", "a/c/alpha", "b/Zeta"}},
        // Equal dates (Zeta, Gamma) stay in insertion order.
        {TZipSortMode::ByDate,
         {"A/beta", "b/Zeta", "Gamma", "a/c/alpha"},
         {"A/beta", "Gamma", "b/Zeta", "a/c/alpha"}},
        {TZipSortMode::ByCompressedSize, {"a/c/alpha", "b/Zeta", "A/beta", "Gamma"}},
        {TZipSortMode::ByUnCompressedSize, {"A/beta", "a/c/alpha", "b/Zeta", "Gamma"}},
        {TZipSortMode::ByRate, {"a/c/alpha", "b/Zeta", "A/beta", "Gamma"}},
        {TZipSortMode::ByNone, {"Gamma", "A/beta", "a/c/alpha", "b/Zeta"}},
    };
    for (const Case& c : cases) {
        TSortedZip list(c.mode, TDuplicates::Error, true);
        for (const EntryRow& s : kEntries) {
            list.Add(Entry(s));
        }
        EXPECT_EQ(Names(list), c.order) << "mode " << int(c.mode);

        // Re-sorting a list built in another order gives the same result.
        TSortedZip other(TZipSortMode::ByNone, TDuplicates::Accept, true);
        for (const EntryRow& s : kEntries) {
            other.Add(Entry(s));
        }
        other.SetSortMode(c.mode);
        EXPECT_EQ(Names(other), c.resorted.empty() ? c.order : c.resorted)
            << "re-sorted, mode " << int(c.mode);
    }
}

TEST(SortedZip, DuplicateRules) {
    const EntryRow first{"Dir/", "File.TXT", kOld, 1, 1, 0};
    const EntryRow sameNameOtherCase{"dir/", "file.txt", kNew, 2, 2, 10};

    TSortedZip error(TZipSortMode::ByName, TDuplicates::Error, true);
    error.Add(Entry(first));
    try {
        error.Add(Entry(sameNameOtherCase));
        FAIL() << "duplicate accepted";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Duplicate Object index");
    }
    EXPECT_EQ(error.Count(), 1u);

    TSortedZip ignore(TZipSortMode::ByName, TDuplicates::Ignore, true);
    EXPECT_EQ(ignore.Add(Entry(first)), 0u);
    EXPECT_EQ(ignore.Add(Entry(sameNameOtherCase)), TSortedZip::npos);
    EXPECT_EQ(ignore.Count(), 1u);
    EXPECT_EQ(ignore.Items(0).CompressedSize, 1u);

    TSortedZip accept(TZipSortMode::ByName, TDuplicates::Accept, true);
    accept.Add(Entry(first));
    EXPECT_EQ(accept.Add(Entry(sameNameOtherCase)), 1u); // after the equal one
    EXPECT_EQ(accept.Count(), 2u);

    // Orders that never report equality take equal keys under any rule.
    TSortedZip byDate(TZipSortMode::ByDate, TDuplicates::Error, true);
    byDate.Add(Entry(first));
    EXPECT_NO_THROW(byDate.Add(Entry(first)));

    // Physical order: equal only for the same disk and offset.
    TSortedZip physical(TZipSortMode::ByNone, TDuplicates::Error, true);
    physical.Add(Entry(first));
    physical.Add(Entry(sameNameOtherCase));
    auto sameOffset = Entry({"x/", "other", kOld, 1, 1, 10});
    EXPECT_THROW(physical.Add(std::move(sameOffset)), EListError);
    auto otherDisk = Entry({"x/", "other", kOld, 1, 1, 10});
    otherDisk->DiskNumberStart = 1;
    EXPECT_EQ(physical.Add(std::move(otherDisk)), 2u);
}

TEST(SortedZip, FindReportsPresenceAndInsertionPoint) {
    TSortedZip list(TZipSortMode::ByName, TDuplicates::Error, true);
    for (const char* n : {"b", "d", "f"}) {
        list.Add(Entry({"", n, kOld, 0, 0, 0}));
    }
    std::size_t index = 99;
    TZipHeaderInfo key;
    key.SetFileName("D");
    EXPECT_TRUE(list.Find(key, index));
    EXPECT_EQ(index, 1u);
    key.SetFileName("e");
    EXPECT_FALSE(list.Find(key, index));
    EXPECT_EQ(index, 2u);
    key.SetFileName("a");
    EXPECT_FALSE(list.Find(key, index));
    EXPECT_EQ(index, 0u);
    key.SetFileName("g");
    EXPECT_FALSE(list.Find(key, index));
    EXPECT_EQ(index, 3u);
}

// A view shares the owning list's entries; dropping the view must leave
// them alive (the sanitizer build catches a double delete or a leak).
TEST(SortedZip, ViewsDoNotOwnTheirEntries) {
    TSortedZip owner(TZipSortMode::ByNone, TDuplicates::Error, true);
    {
        TSortedZip view(TZipSortMode::ByName, TDuplicates::Accept, false);
        for (const EntryRow& s : kEntries) {
            owner.Add(Entry(s));
        }
        for (std::size_t i = 0; i < owner.Count(); ++i) {
            view.Add(&owner.Items(i));
        }
        EXPECT_EQ(&view.Items(0), &owner.Items(1));
        view.Delete(0);
    }
    EXPECT_EQ(owner.Count(), 4u);
    EXPECT_EQ(owner.Items(2).FileName(), "alpha");
    owner.Delete(0);
    TSortedZip moved = std::move(owner);
    EXPECT_EQ(moved.Count(), 3u);
    EXPECT_EQ(owner.Count(), 0u);
}

TEST(SortedZip, ListErrorTexts) {
    TSortedZip list(TZipSortMode::ByName, TDuplicates::Error, true);
    list.Add(Entry({"", "a", kOld, 0, 0, 0}));
    try {
        list.Put(0, nullptr);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Cannot <Put> an Object in a sorted list!");
    }
    try {
        list.Items(1);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Index 1 is out of range");
    }
    EXPECT_THROW(list.Delete(5), EListError);
}

} // namespace
} // namespace mzb
