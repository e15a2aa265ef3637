// The differential backup's decisions without a file system: the manifest
// that records a point in time, what counts as changed since the full
// backup, and when a full backup is due.
#include "core/backup/Differential.h"

#include "core/base/Manifest.h"
#include "core/restore/PointInTime.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace mzb {
namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;

ManifestFile Recorded(std::string name, std::uint64_t size, std::int64_t mtime,
                      std::uint32_t mode = 0100644, std::int64_t ctime = 5) {
    return {std::move(name), size, mtime, mode, ctime, 0x12345678u, "full.zip"};
}

FileState Now(std::string name, std::uint64_t size, std::int64_t mtime,
              std::uint32_t mode = 0100644, std::int64_t ctime = 5) {
    return {std::move(name), size, mtime, mode, ctime};
}

TEST(ManifestTest, RoundTripKeepsAwkwardNamesAndFullRangeFields) {
    Manifest manifest;
    manifest.Archive = "Home 2024-05-06\t\\diff.zip";
    manifest.FullArchive = "Home\n2024-05-01.zip";
    manifest.MadeSeconds = -1; // before 1970: a clock set wrong must not break the format
    const std::vector<std::string> names = {
        "docs/line\nbreak.txt", "docs/tab\there",
        "back\\slash\\\\n",     "latin1-\xe9t\xe9.txt",
        "cut-\xe2\x82.txt",     "ctl-\x01\x1b[31m\x7f\xc2\x85",
        "ünïcødé/日本語",       "x\\x41",
        " lead and trail ",     "",
    };
    for (const std::string& name : names)
        manifest.Files.push_back(
            {name, UINT64_MAX, INT64_MIN, 0177777, INT64_MAX, 0xFFFFFFFFu, "holder\x80\\t.zip"});
    manifest.Files.push_back({"zero", 0, 0, 0, 0, 0, "full.zip"});

    const std::string text = WriteManifest(manifest);
    EXPECT_EQ(ReadManifest(text), manifest);
    // One line per record, and text throughout: the names' tabs, line
    // breaks and stray bytes are escaped, so another tool's user can read it.
    size_t lines = 0;
    for (const char c : text) {
        lines += c == '\n';
        EXPECT_TRUE(c == '\n' || c == '\t' || static_cast<unsigned char>(c) >= 0x20) << text;
    }
    EXPECT_EQ(lines, 4 + manifest.Files.size());
    EXPECT_NE(text.find("file\tdocs/line\\nbreak.txt\t"), std::string::npos) << text;
    EXPECT_NE(text.find("latin1-\\xe9t\\xe9.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("ünïcødé/日本語"), std::string::npos) << text;
    EXPECT_NE(text.find("\t0\t0\t0\t0\t00000000\tfull.zip\n"), std::string::npos) << text;
}

TEST(ManifestTest, DamagedTextIsRefusedNotReadAsFewerFiles) {
    const std::string good = "mzb-manifest\t1\narchive\ta.zip\nfull\ta.zip\nmade\t7\n"
                             "file\tf\t1\t2\t644\t3\t0000abcd\ta.zip\n";
    EXPECT_EQ(ReadManifest(good).Files.at(0).Crc32, 0xabcdu);
    const std::vector<std::string> bad = {
        "",
        good.substr(0, good.size() - 1),                          // cut inside the last line
        "mzb-manifest\t2\n" + good.substr(good.find('\n') + 1),   // a later version
        "mzb-manifest\t1\nfull\ta.zip\nmade\t7\n",                // no archive record
        good + "file\tg\t1\t2\t644\t3\t0000abcd\n",               // a field short
        good + "file\tg\t-1\t2\t644\t3\t0000abcd\ta.zip\n",       // negative size
        good + "file\tg\t1\t2\t648\t3\t0000abcd\ta.zip\n",        // mode not octal
        good + "file\tg\t1\t2\t644\t3\tabcd\ta.zip\n",            // short CRC
        good + "file\tg\\q\t1\t2\t644\t3\t0000abcd\ta.zip\n",     // unknown escape
        good + "file\tg\\x4\t1\t2\t644\t3\t0000abcd\ta.zip\n",    // half a hex escape
        good + "file\tg\\\t1\t2\t644\t3\t0000abcd\ta.zip\n",      // lone backslash
        good + "file\tg\\u00a0\t1\t2\t644\t3\t0000abcd\ta.zip\n", // \\u beyond C1
        good + "file\tg\t1\t2\t644\t3\t0000abcd\t../x.zip\n",     // holder outside the folder
        good + "file\tg\t1\t2\t644\t3\t0000abcd\t..\n",
        good + "file\tg\t1\t2\t644\t3\t0000abcd\t\n",
        good + "file\tg\t1\t2\t644\t3\t0000abcd\ta\\x00.zip\n",
        "mzb-manifest\t1\narchive\t/tmp/a.zip\nfull\ta.zip\nmade\t7\n",
        good + "dir\tg\n", // unknown record
    };
    for (const std::string& text : bad)
        EXPECT_THROW(ReadManifest(text), std::invalid_argument) << text;
}

TEST(DifferentialTest, EachRecordedFactDecidesAChangeOnItsOwn) {
    const ManifestFile before = Recorded("f", 10, 1000, 0100644, 2000);
    EXPECT_FALSE(HasChanged(before, Now("f", 10, 1000, 0100644, 2000)));
    EXPECT_TRUE(HasChanged(before, Now("f", 11, 1000, 0100644, 2000)));
    EXPECT_TRUE(HasChanged(before, Now("f", 10, 1001, 0100644, 2000))); // a nanosecond later
    EXPECT_TRUE(HasChanged(before, Now("f", 10, 999, 0100644, 2000)));  // restored older copy
    EXPECT_TRUE(HasChanged(before, Now("f", 10, 1000, 0100755, 2000)));
    // Replaced by a file of equal size and time (cp -p, an unpacked
    // archive): only the inode change time tells.
    EXPECT_TRUE(HasChanged(before, Now("f", 10, 1000, 0100644, 2001)));
}

DifferentialPlan PlanDifferential(const Manifest& full, const std::vector<FileState>& now) {
    DifferentialPlanner planner(full);
    for (const FileState& file : now)
        planner.Add(file);
    return planner.Plan();
}

TEST(DifferentialTest, PlanAddsNewAndChangedAndDropsDeletedFiles) {
    Manifest full;
    full.Archive = full.FullArchive = "full.zip";
    full.Files = {Recorded("keep", 1, 1), Recorded("edit", 2, 2), Recorded("gone", 3, 3),
                  Recorded("old name", 4, 4)};
    const std::vector<FileState> now = {
        Now("new/in newly included folder", 9, 9),
        Now("edit", 2, 2, 0100644, 6),
        Now("new name", 4, 4), // renamed: the same facts under another name
        Now("keep", 1, 1),
    };
    const DifferentialPlan plan = PlanDifferential(full, now);
    EXPECT_EQ(plan.ToAdd,
              (std::vector<std::string>{"new/in newly included folder", "edit", "new name"}));
    EXPECT_EQ(plan.Unchanged, std::vector<ManifestFile>{full.Files[0]});

    // Nothing changed: nothing to add, every file still in the full archive.
    std::vector<FileState> same;
    for (const ManifestFile& file : full.Files)
        same.push_back(Now(file.Name, file.Size, file.ModifiedNs, file.Mode, file.ChangedNs));
    const DifferentialPlan quiet = PlanDifferential(full, same);
    EXPECT_TRUE(quiet.ToAdd.empty());
    EXPECT_EQ(quiet.Unchanged, full.Files);

    // Overlapping items name an unchanged file twice: one record.
    same.push_back(same[0]);
    EXPECT_EQ(PlanDifferential(full, same).Unchanged, full.Files);
}

TEST(DifferentialTest, FullBackupIsDueWithoutAFullAfterItsDaysAndWhenDifferentialsGrow) {
    const ChainFacts none;
    EXPECT_EQ(FullBackupDue(none, 100 * kDay, 7), FullReason::NoFull);

    ChainFacts chain{true, 100 * kDay, 1001, 0};
    EXPECT_EQ(FullBackupDue(chain, 100 * kDay, 7), FullReason::None);
    EXPECT_EQ(FullBackupDue(chain, 107 * kDay - 1, 7), FullReason::None);
    EXPECT_EQ(FullBackupDue(chain, 107 * kDay, 7), FullReason::Age);
    EXPECT_EQ(FullBackupDue(chain, 101 * kDay, 1), FullReason::Age);
    EXPECT_EQ(FullBackupDue(chain, 100 * kDay, 0), FullReason::Age); // every backup full
    EXPECT_EQ(FullBackupDue(chain, 90 * kDay, 7), FullReason::None); // clock set back

    chain.LastDifferentialBytes = 500; // half of 1001 is 500.5
    EXPECT_EQ(FullBackupDue(chain, 101 * kDay, 7), FullReason::None);
    chain.LastDifferentialBytes = 501;
    EXPECT_EQ(FullBackupDue(chain, 101 * kDay, 7), FullReason::Differential);
    chain.FullBytes = 1002; // exactly half is not more than half
    EXPECT_EQ(FullBackupDue(chain, 101 * kDay, 7), FullReason::None);
}

Manifest Made(std::string archive, std::string full, std::int64_t made) {
    Manifest manifest;
    manifest.Archive = std::move(archive);
    manifest.FullArchive = std::move(full);
    manifest.MadeSeconds = made;
    return manifest;
}

TEST(DifferentialTest, ChainStartsAtTheNewestFullThatKeptItsName) {
    ChainFacts chain;
    EXPECT_EQ(FindChain({}, chain), -1);
    EXPECT_FALSE(chain.HasFull);

    const std::vector<ArchiveOnDisk> archives = {
        {"d-new.zip", 40, Made("d-new.zip", "f-new.zip", 300)},
        {"f-old.zip", 1000, Made("f-old.zip", "f-old.zip", 100)},
        {"d-old.zip", 900, Made("d-old.zip", "f-old.zip", 150)}, // of the older chain
        {"copy.zip", 5000, Made("f-new.zip", "f-new.zip", 200)}, // a renamed copy
        {"f-new.zip", 2000, Made("f-new.zip", "f-new.zip", 200)},
        {"d-mid.zip", 70, Made("d-mid.zip", "f-new.zip", 250)},
        {"d-late.zip", 30, Made("d-late.zip", "f-new.zip", 400)},
    };
    EXPECT_EQ(FindChain(archives, chain), 4);
    EXPECT_TRUE(chain.HasFull);
    EXPECT_EQ(chain.FullMadeSeconds, 200);
    EXPECT_EQ(chain.FullBytes, 2000u);
    EXPECT_EQ(chain.LastDifferentialBytes, 30u); // the newest by time, not by place in the list

    // Renamed, the only full starts no chain: the next backup is a full one.
    EXPECT_EQ(FindChain({archives[3]}, chain), -1);
    EXPECT_FALSE(chain.HasFull);
}

TEST(DifferentialTest, PointInTimeTakesEachFileFromItsHolderAndNamesMissingOnes) {
    Manifest point = Made("d.zip", "f.zip", 9);
    point.Files = {Recorded("a", 1, 1), Recorded("b", 1, 1), Recorded("c", 1, 1)};
    point.Files[1].Holder = "d.zip";
    point.Files.push_back({"e", 1, 1, 0100644, 1, 0, "other.zip"});

    const auto present = [](const std::string& archive) { return archive != "other.zip"; };
    const ArchiveGroups plan = PlanPointInTime(point, present);
    ASSERT_EQ(plan.Extract.size(), 2u);
    EXPECT_EQ(plan.Extract[0].Archive, "full.zip");
    EXPECT_EQ(plan.Extract[0].Names, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(plan.Extract[1].Archive, "d.zip");
    EXPECT_EQ(plan.Extract[1].Names, std::vector<std::string>{"b"});
    ASSERT_EQ(plan.Missing.size(), 1u);
    EXPECT_EQ(plan.Missing[0].Archive, "other.zip");
    EXPECT_EQ(plan.Missing[0].Names, std::vector<std::string>{"e"});
}

} // namespace
} // namespace mzb
