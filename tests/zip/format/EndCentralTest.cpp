#include "zip/format/EndCentral.h"

#include "support/TempDir.h"
#include "zip/base/ZipError.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>

namespace mzb {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

// An end record written out by hand: 3 entries, directory of 0x5C bytes at
// 0x01020304, comment length as given.
std::string Record(std::size_t commentLength) {
    return Bytes({0x50,
                  0x4B,
                  0x05,
                  0x06,
                  0x00,
                  0x00,
                  0x00,
                  0x00,
                  0x03,
                  0x00,
                  0x03,
                  0x00,
                  0x5C,
                  0x00,
                  0x00,
                  0x00,
                  0x04,
                  0x03,
                  0x02,
                  0x01,
                  static_cast<int>(commentLength & 0xFF),
                  static_cast<int>(commentLength >> 8)});
}

struct Located {
    bool found;
    TEndCentral record;
};

Located LocateIn(const std::string& contents) {
    test::TempDir dir;
    TFileStream s;
    EXPECT_TRUE(s.Open(dir.write("a.zip", contents).string(), TFileMode::Read));
    Located r{false, {}};
    r.found = r.record.Locate(s);
    if (r.found && r.record.CommentLength != 0) {
        EXPECT_TRUE(r.record.LoadComment(s));
    }
    return r;
}

TEST(EndCentral, WritesTheRecordAndComment) {
    test::TempDir dir;
    const std::string path = (dir.path() / "e").string();
    TFileStream s;
    ASSERT_TRUE(s.Open(path, TFileMode::Create));
    TEndCentral e;
    e.EntriesThisDisk = e.TotalEntries = 3;
    e.CentralSize = 0x5C;
    e.CentralOffset = 0x01020304;
    e.SetArchiveComment("hello");
    EXPECT_EQ(e.RecordSize(), 27u);
    ASSERT_TRUE(e.Write(s));
    ASSERT_TRUE(s.Close());
    EXPECT_EQ(test::ReadFile(path), Record(5) + "hello");
}

TEST(EndCentral, RefusesACommentItsFieldCannotHold) {
    test::TempDir dir;
    TFileStream s;
    ASSERT_TRUE(s.Open((dir.path() / "e").string(), TFileMode::Create));
    TEndCentral e;
    e.SetArchiveComment(std::string(65536, 'c'));
    EXPECT_THROW(e.Write(s), EZipFormatError);
    EXPECT_EQ(s.Size(), 0u);
}

std::string LE32(std::uint32_t v) {
    return Bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}

std::string LE64(std::uint64_t v) {
    return LE32(static_cast<std::uint32_t>(v)) + LE32(static_cast<std::uint32_t>(v >> 32));
}

std::string Written(const TEndCentral& e, const TClassicLimits& limits, std::size_t at) {
    test::TempDir dir;
    const std::string path = (dir.path() / "e").string();
    TFileStream s;
    EXPECT_TRUE(s.Open(path, TFileMode::Create));
    EXPECT_TRUE(s.Write(std::string(at, 'd').data(), at) == at);
    EXPECT_TRUE(e.Write(s, limits));
    EXPECT_TRUE(s.Close());
    return test::ReadFile(path).substr(at);
}

// The ZIP64 end record and its locator come only when a value is beyond
// the classic fields, and then only those fields hold the marker.
TEST(EndCentral, WritesTheZip64RecordsOnlyForValuesBeyondTheClassicFields) {
    TEndCentral largest;
    largest.EntriesThisDisk = largest.TotalEntries = 0xFFFE;
    largest.CentralSize = largest.CentralOffset = 0xFFFFFFFEu;
    EXPECT_EQ(Written(largest, {}, 0).size(), kEndCentralSize);

    TEndCentral e;
    e.EntriesThisDisk = e.TotalEntries = 3;
    e.CentralSize = 0x5C;
    e.CentralOffset = 0x01020304;
    e.SetArchiveComment("hi");
    const std::string expected =
        Bytes({0x50, 0x4B, 0x06, 0x06}) + LE64(44) + // ZIP64 end record, size after this field
        Bytes({0x2D, 0x03, 0x2D, 0x00}) +            // made by 4.5 on Unix, needs 4.5
        LE32(0) + LE32(0) +                          // this disk, directory's disk
        LE64(3) + LE64(3) + LE64(0x5C) + LE64(0x01020304) + Bytes({0x50, 0x4B, 0x06, 0x07}) +
        LE32(0) +                                              // locator: the record's disk,
        LE64(0x10) + LE32(1) +                                 // its offset, one disk in all
        Bytes({0x50, 0x4B, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00, // end record
               0xFF, 0xFF, 0xFF, 0xFF,                         // both counts marked
               0x5C, 0x00, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01, 0x02, 0x00}) +
        "hi";
    EXPECT_EQ(Written(e, {.MaxField32 = kMaxField32, .MaxField16 = 2}, 0x10), expected);
}

// A directory of 138 bytes (room for three headers) at offset 10, then the
// ZIP64 end record at 200, its locator and the end record, each part open
// to a hostile value.
struct Zip64Tail {
    std::uint64_t entries = 3;
    std::uint64_t centralSize = 138;
    std::uint64_t centralOffset = 10;
    std::uint64_t recordSize = 44;
    std::uint32_t recordSignature = 0x06064B50u;
    std::uint64_t locatorPointsAt = 200;
    std::uint32_t locatorDisk = 0;
    std::uint32_t disks = 1;
    std::uint16_t classicEntries = 0xFFFF;
    std::uint32_t classicOffset = 0xFFFFFFFFu;

    std::string Bytes() const {
        return std::string(200, 'x') + LE32(recordSignature) + LE64(recordSize) + LE32(0x002D032D) +
               LE32(0) + LE32(0) + LE64(entries) + LE64(entries) + LE64(centralSize) +
               LE64(centralOffset) + LE32(0x07064B50u) + LE32(locatorDisk) + LE64(locatorPointsAt) +
               LE32(disks) + LE32(0x06054B50u) + LE32(0) +
               LE32(classicEntries | std::uint32_t(classicEntries) << 16) + LE32(0x8A) +
               LE32(classicOffset) + std::string(2, '\0');
    }
};

TEST(EndCentral, ReadsTheZip64RecordAndRefusesOneThatContradictsItselfOrTheFile) {
    struct Case {
        const char* what;
        void (*change)(Zip64Tail&);
        bool sound;
    };
    const Case cases[] = {
        {"sound", [](Zip64Tail&) {}, true},
        {"classic fields holding the values", [](Zip64Tail& t) { t.classicEntries = 3; }, true},
        {"a classic count that disagrees", [](Zip64Tail& t) { t.classicEntries = 2; }, false},
        {"a classic offset that disagrees", [](Zip64Tail& t) { t.classicOffset = 11; }, false},
        {"locator pointing past itself", [](Zip64Tail& t) { t.locatorPointsAt = 250; }, false},
        {"locator pointing before the file's start",
         [](Zip64Tail& t) { t.locatorPointsAt = ~0ull - 5; }, false},
        {"locator pointing at something else", [](Zip64Tail& t) { t.locatorPointsAt = 100; },
         false},
        {"record without its signature", [](Zip64Tail& t) { t.recordSignature = 0x06054B50u; },
         false},
        {"record shorter than its fields", [](Zip64Tail& t) { t.recordSize = 43; }, false},
        {"record longer than the room before the locator", [](Zip64Tail& t) { t.recordSize = 45; },
         false},
        {"directory reaching into the record", [](Zip64Tail& t) { t.centralOffset = 63; }, false},
        {"directory offset near 2^64", [](Zip64Tail& t) { t.centralOffset = ~0ull - 100; }, false},
        {"directory size near 2^64", [](Zip64Tail& t) { t.centralSize = ~0ull - 100; }, false},
        {"more entries than the directory holds", [](Zip64Tail& t) { t.entries = 4; }, false},
        {"2^63 entries", [](Zip64Tail& t) { t.entries = 1ull << 63; }, false},
    };
    for (const Case& c : cases) {
        Zip64Tail tail;
        c.change(tail);
        test::TempDir dir;
        TFileStream s;
        ASSERT_TRUE(s.Open(dir.write("a.zip", tail.Bytes()).string(), TFileMode::Read));
        TEndCentral e;
        ASSERT_TRUE(e.Locate(s)) << c.what;
        EXPECT_EQ(e.LoadZip64Record(s), c.sound) << c.what;
        if (c.sound) {
            EXPECT_EQ(e.TotalEntries, 3u) << c.what;
            EXPECT_EQ(e.EntriesThisDisk, 3u) << c.what;
            EXPECT_EQ(e.CentralSize, 138u) << c.what;
            EXPECT_EQ(e.CentralOffset, 10u) << c.what;
        } else {
            EXPECT_EQ(e.TotalEntries, tail.classicEntries) << c.what;
        }
    }
    // A record on another part, and no locator at all: nothing to refuse.
    Zip64Tail split;
    split.disks = 2;
    test::TempDir dir;
    TFileStream s;
    ASSERT_TRUE(s.Open(dir.write("split.zip", split.Bytes()).string(), TFileMode::Read));
    TEndCentral e;
    ASSERT_TRUE(e.Locate(s));
    EXPECT_TRUE(e.LoadZip64Record(s));
    EXPECT_NE(e.ThisDisk, 0u);
    // A damaged record behind an end record that needs none: the locator's
    // bytes were part of something else, and the end record stands.
    Zip64Tail unneeded;
    unneeded.classicEntries = 3;
    unneeded.classicOffset = 10;
    unneeded.locatorPointsAt = 100;
    ASSERT_TRUE(s.Open(dir.write("unneeded.zip", unneeded.Bytes()).string(), TFileMode::Read));
    TEndCentral u;
    ASSERT_TRUE(u.Locate(s));
    EXPECT_TRUE(u.LoadZip64Record(s));
    EXPECT_EQ(u.CentralOffset, 10u);
    const Located classic = LocateIn(Record(0));
    TEndCentral c = classic.record;
    TFileStream cs;
    ASSERT_TRUE(cs.Open(dir.write("classic.zip", Record(0)).string(), TFileMode::Read));
    EXPECT_TRUE(c.LoadZip64Record(cs));
    EXPECT_EQ(c.TotalEntries, 3u);
}

TEST(EndCentral, LocatesTheRecord) {
    const std::string longest(65535, 'c');
    struct Case {
        const char* what;
        std::string contents;
        bool found;
        std::uint64_t commentPosition;
        std::string comment;
    };
    const Case cases[] = {
        {"0-byte file: an empty archive", "", true, 0, ""},
        {"1 byte", "P", false, 0, ""},
        {"21 bytes", Record(0).substr(0, 21), false, 0, ""},
        {"minimal archive", Record(0), true, 22, ""},
        {"after a body", std::string(1000, 'x') + Record(3) + "abc", true, 1022, "abc"},
        {"longest comment", Record(65535) + longest, true, 22, longest},
        {"one byte too far back", Record(0) + std::string(65536, 'c'), false, 0, ""},
        {"signature only in the last 21 bytes", std::string(30, 'x') + Record(0).substr(0, 21),
         false, 0, ""},
        // The backward scan meets the copy inside the comment first.
        {"inner copy in the comment", Record(30) + "12345678" + Record(0) + "x", true, 52, ""},
        {"no signature", std::string(5000, 'x'), false, 0, ""},
    };
    for (const Case& c : cases) {
        const Located r = LocateIn(c.contents);
        ASSERT_EQ(r.found, c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(r.record.CommentPosition, c.commentPosition) << c.what;
            EXPECT_EQ(r.record.ArchiveComment().value_or(""), c.comment) << c.what;
        }
    }
    const Located r = LocateIn(std::string(1000, 'x') + Record(0));
    EXPECT_EQ(r.record.TotalEntries, 3u);
    EXPECT_EQ(r.record.EntriesThisDisk, 3u);
    EXPECT_EQ(r.record.CentralSize, 0x5Cu);
    EXPECT_EQ(r.record.CentralOffset, 0x01020304u);
}

TEST(EndCentral, CommentCutShortByTheEndOfTheFile) {
    const Located r = LocateIn(Record(10) + "abc");
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.record.ArchiveComment(), "abc");
    EXPECT_EQ(r.record.CommentLength, 3u);
}

TEST(EndCentral, AssignKeepsItsOwnChangeMark) {
    TEndCentral source;
    source.TotalEntries = 4;
    source.CommentPosition = 99;
    source.SetArchiveComment("text");
    source.CommentChanged = true;
    TEndCentral copy;
    copy.Assign(source);
    EXPECT_EQ(copy.TotalEntries, 4u);
    EXPECT_EQ(copy.CommentPosition, 99u);
    EXPECT_EQ(copy.ArchiveComment(), "text");
    EXPECT_FALSE(copy.CommentChanged);

    // A length whose text was never loaded is carried with its position so
    // the text can still be read from the same archive.
    TEndCentral unloaded;
    unloaded.CommentLength = 7;
    unloaded.CommentPosition = 50;
    copy.Assign(unloaded);
    EXPECT_EQ(copy.CommentLength, 7u);
    EXPECT_FALSE(copy.ArchiveComment().has_value());
}

// A comment the caller set but has not written yet survives reading the
// archive's record; the archive's own comment replaces it otherwise.
TEST(EndCentral, PendingCommentSurvivesLocate) {
    test::TempDir dir;
    TFileStream s;
    ASSERT_TRUE(s.Open(dir.write("a.zip", Record(3) + "old").string(), TFileMode::Read));
    TEndCentral e;
    e.SetArchiveComment("new one");
    e.CommentChanged = true;
    ASSERT_TRUE(e.Locate(s));
    EXPECT_EQ(e.ArchiveComment(), "new one");
    EXPECT_EQ(e.CommentLength, 7u);
    EXPECT_EQ(e.TotalEntries, 3u);

    e.CommentChanged = false;
    ASSERT_TRUE(e.Locate(s));
    EXPECT_FALSE(e.ArchiveComment().has_value());
    EXPECT_EQ(e.CommentLength, 3u);
}

} // namespace
} // namespace mzb
