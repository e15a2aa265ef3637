// The records against archives other tools made, and other tools against an
// archive laid out from our records.
#include "support/PeerTools.h"
#include "support/TempDir.h"
#include "zip/base/DosDateTime.h"
#include "zip/format/Crc32.h"
#include "zip/format/EndCentral.h"
#include "zip/format/SortedZip.h"
#include "zip/format/ZipHeaderInfo.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mzb {
namespace {

std::string NamesFile(const char* name) {
    return std::string(MZB_TEST_DATA_DIR) + "/zip/names/" + name;
}

// Walks the central directory the end record points to, in physical order.
std::vector<std::string> CentralNames(const std::string& path) {
    TFileStream s;
    EXPECT_TRUE(s.Open(path, TFileMode::Read));
    TEndCentral end;
    EXPECT_TRUE(end.Locate(s));
    EXPECT_TRUE(s.Seek(end.CentralOffset));
    TSortedZip list(TZipSortMode::ByNone, TDuplicates::Error, true);
    for (std::uint64_t i = 0; i < end.TotalEntries; ++i) {
        auto e = std::make_unique<TZipHeaderInfo>();
        EXPECT_TRUE(e->ReadCentralHeader(s)) << path << " entry " << i;
        list.Add(std::move(e));
    }
    EXPECT_EQ(s.Position(), end.CentralOffset + end.CentralSize) << path;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        names.push_back(list.Items(i).Directory() + list.Items(i).FileName());
    }
    return names;
}

TEST(ArchiveRecords, NamesFromOtherTools) {
    struct Case {
        const char* file;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        // MS-DOS host: code page 437 unless flagged UTF-8.
        {"utf8-7zip-test.zip", {"ascii.txt", "Ölfässer.txt", "€_for_Dollar.txt"}},
        // Its extra field says the byte 0xFC was "³" (another DOS code page),
        // not code page 437's "ⁿ".
        {"test-winzip.zip", {"doc.txt.gz", "doc2.txt", "ä/", "ä/³zip.zip", "ä/ü.txt"}},
        // The UTF-8 form from the extra field wins over the legacy bytes.
        {"utf8-winzip-test.zip", {"€_for_Dollar.txt", "Ölfässer.txt", "ascii.txt"}},
        // Unix host: the bytes stay as they are.
        {"non_utf8.zip", {"\xD6\xD0\xCE\xC4", "\x93\xFA\x95\xB6"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CentralNames(NamesFile(c.file)), c.names) << c.file;
    }
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// One stored entry with a UTF-8 name and the Unix mode, one directory entry
// and an archive comment, laid out only through the records. Peers must
// accept it and see the same values.
TEST(ArchiveRecords, PeersReadWhatTheRecordsLayOut) {
    MZB_REQUIRE_PEERS("python3", "unzip", "7zz");
    test::TempDir dir;
    const std::string path = (dir.path() / "our.zip").string();
    const std::string data = "some stored bytes\n";
    TFileStream out;
    ASSERT_TRUE(out.Open(path, TFileMode::Create));

    TSortedZip entries(TZipSortMode::ByNone, TDuplicates::Error, true);
    auto file = std::make_unique<TZipHeaderInfo>();
    file->SetDirectory("sub/dir");
    file->SetFileName("grüße.sh");
    file->CompressionMethod = kMethodStored;
    file->FileDateTime = PackDosDateTime({2023, 4, 5, 6, 7, 8});
    file->Crc32 = Crc32(data.data(), data.size());
    file->CompressedSize = file->UncompressedSize = data.size();
    file->InternalAttributes = 1;
    file->ExternalAttributes = 0100755u << 16 | 0x20;
    ASSERT_TRUE(file->WriteLocalHeader(out));
    ASSERT_EQ(out.Write(data.data(), data.size()), data.size());
    entries.Add(std::move(file));

    auto folder = std::make_unique<TZipHeaderInfo>();
    folder->SetDirectory("sub/");
    folder->CompressionMethod = kMethodStored;
    folder->FileDateTime = PackDosDateTime({2023, 4, 5, 6, 7, 8});
    folder->Crc32 = 0;
    folder->InternalAttributes = 0;
    folder->ExternalAttributes = 040755u << 16 | 0x10;
    ASSERT_TRUE(folder->WriteLocalHeader(out));
    entries.Add(std::move(folder));

    TEndCentral end;
    end.CentralOffset = out.Position();
    for (std::size_t i = 0; i < entries.Count(); ++i) {
        ASSERT_TRUE(entries.Items(i).WriteCentralHeader(out));
    }
    end.CentralSize = out.Position() - end.CentralOffset;
    end.EntriesThisDisk = end.TotalEntries = entries.Count();
    end.SetArchiveComment("backup of today");
    ASSERT_TRUE(end.Write(out));
    ASSERT_TRUE(out.Close());

    const std::string script = dir.write("check.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
infos = z.infolist()
assert [i.filename for i in infos] == ["sub/dir/grüße.sh", "sub/"], infos
f = infos[0]
assert f.flag_bits & 0x800 and f.create_system == 3 and f.create_version == 20
assert f.external_attr >> 16 == 0o100755
assert f.date_time == (2023, 4, 5, 6, 7, 8)
assert z.read(f) == b"some stored bytes\n"
assert z.comment == b"backup of today"
)")
                                   .string();
    EXPECT_TRUE(Shell("python3 " + script + " " + path));
    EXPECT_TRUE(Shell("unzip -tq " + path + " >/dev/null"));
    EXPECT_TRUE(Shell("7zz t " + path + " >/dev/null"));
}

} // namespace
} // namespace mzb
