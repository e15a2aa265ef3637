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

TEST(EndCentral, RefusesValuesItsFieldsCannotHold) {
    struct Case {
        const char* what;
        void (*set)(TEndCentral&);
    };
    const Case cases[] = {
        {"entries", [](TEndCentral& e) { e.TotalEntries = e.EntriesThisDisk = 0xFFFF; }},
        {"central size", [](TEndCentral& e) { e.CentralSize = 0xFFFFFFFFu; }},
        {"central offset", [](TEndCentral& e) { e.CentralOffset = 1ull << 33; }},
        {"comment", [](TEndCentral& e) { e.SetArchiveComment(std::string(65536, 'c')); }},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        TFileStream s;
        ASSERT_TRUE(s.Open((dir.path() / "e").string(), TFileMode::Create));
        TEndCentral e;
        c.set(e);
        EXPECT_THROW(e.Write(s), EZipFormatError) << c.what;
        EXPECT_EQ(s.Size(), 0u) << c.what;
    }
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
