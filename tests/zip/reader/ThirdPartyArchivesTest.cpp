// Archives written by other tools (tests/data/thirdparty, see its README):
// the ones their own tools verified must restore exactly, the unsupported
// and damaged ones must end cleanly, never with wrong data and never with a
// file outside the destination.
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/reader/ZipReader.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <zlib.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kDataDir = std::string(MZB_TEST_DATA_DIR) + "/thirdparty/";

struct ExpectedEntry {
    std::string path; // ends in '/' for a directory
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::string check; // path | content | refused | any
};

struct ExpectedArchive {
    std::string name;
    std::string kind; // valid | unsupported | hostile
    std::string password;
    std::vector<ExpectedEntry> entries;
};

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == '\t') {
        fields.emplace_back();
    }
    return fields;
}

// expected.tsv, written by make_expected.py from the collection's manifest.
const std::vector<ExpectedArchive>& Table() {
    static const std::vector<ExpectedArchive> table = [] {
        std::vector<ExpectedArchive> archives;
        std::ifstream in(kDataDir + "expected.tsv");
        std::string line;
        while (std::getline(in, line)) {
            const auto f = SplitTabs(line);
            if (f.size() >= 3 && f[0] == "A") {
                archives.push_back({f[1], f[2], f.size() > 3 ? f[3] : "", {}});
            } else if (f.size() == 6 && f[0] == "E" && !archives.empty() &&
                       archives.back().name == f[1]) {
                archives.back().entries.push_back({PercentDecoded(f[2]), std::stoull(f[3]),
                                                   std::uint32_t(std::stoul(f[4], nullptr, 16)),
                                                   f[5]});
            }
        }
        return archives;
    }();
    return table;
}

std::vector<const ExpectedArchive*> OfKind(const std::string& kind) {
    std::vector<const ExpectedArchive*> out;
    for (const auto& a : Table()) {
        if (a.kind == kind) {
            out.push_back(&a);
        }
    }
    return out;
}

struct FileFacts {
    std::uint64_t size;
    std::uint32_t crc;
};

// zlib's CRC, so that a fault in ours cannot hide one in the reader.
FileFacts FactsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    uLong crc = crc32(0, nullptr, 0);
    std::uint64_t size = 0;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), uInt(in.gcount()));
        size += std::uint64_t(in.gcount());
    }
    return {size, std::uint32_t(crc)};
}

struct RunResult {
    bool fatal = false;
    std::string fatalText;
    std::vector<int> skipReasons;
    std::vector<int> methods;               // of the entries the reader listed
    std::map<std::string, FileFacts> files; // relative to the destination
    std::vector<std::string> dirs;
    std::vector<std::string> outside; // anything beside the destination
};

RunResult ExtractInto(const TempDir& tmp, const std::string& archive, const std::string& password) {
    HeadlessHost host;
    TZipReader reader(host);
    RunResult result;
    reader.OnSkippingFile = [&](TZipReader&, int reason, const std::string&, int, bool&) {
        result.skipReasons.push_back(reason);
    };
    const fs::path out = tmp.path() / "out";
    try {
        reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
        reader.DoProcessMessages = false;
        reader.SetZipName(kDataDir + archive);
        reader.OpenArchive();
        for (int i = 0; i < reader.EntryCount(); ++i) {
            result.methods.push_back(reader.Entry(i).CompressionMethod);
        }
        reader.SetDestDir(out.string());
        reader.ArchivePassword = password;
        reader.RecreateDirs = true;
        reader.DoAll = true;
        reader.OverwriteMode = TUZOverwriteMode::Always;
        reader.RunUnZip();
    } catch (const EZipError& e) {
        result.fatal = true;
        result.fatalText = e.what();
    }
    for (const auto& e : fs::directory_iterator(tmp.path())) {
        if (e.path() != out) {
            result.outside.push_back(e.path().string());
        }
    }
    if (fs::exists(out)) {
        for (const auto& e : fs::recursive_directory_iterator(out)) {
            const std::string rel = fs::relative(e.path(), out).string();
            if (e.is_directory()) {
                result.dirs.push_back(rel + "/");
            } else {
                result.files[rel] = FactsOf(e.path());
            }
        }
    }
    return result;
}

// Checks the files against the entries: listed paths exactly, entries known
// only by content (odd or non-ASCII names) by size and CRC among the rest.
void ExpectContents(const ExpectedArchive& a, RunResult r, bool missingAllowed) {
    for (const auto& e : a.entries) {
        if (e.check != "path") {
            continue;
        }
        if (e.path.back() == '/') {
            const bool made = std::find(r.dirs.begin(), r.dirs.end(), e.path) != r.dirs.end();
            EXPECT_TRUE(made || missingAllowed) << e.path;
            continue;
        }
        const auto it = r.files.find(e.path);
        if (it == r.files.end()) {
            EXPECT_TRUE(missingAllowed) << e.path << " not extracted";
            continue;
        }
        EXPECT_EQ(it->second.size, e.size) << e.path;
        EXPECT_EQ(it->second.crc, e.crc) << e.path;
        r.files.erase(it);
    }
    if (missingAllowed) {
        return;
    }
    for (const auto& e : a.entries) {
        if (e.check != "content" || e.path.back() == '/') {
            continue;
        }
        const auto it = std::find_if(r.files.begin(), r.files.end(), [&](const auto& f) {
            return f.second.size == e.size && f.second.crc == e.crc;
        });
        EXPECT_NE(it, r.files.end()) << e.path << " not extracted with its contents";
        if (it != r.files.end()) {
            r.files.erase(it);
        }
    }
}

TEST(ThirdPartyArchives, TableCoversTheCollection) {
    EXPECT_GE(OfKind("valid").size(), 250u);
    EXPECT_GE(OfKind("unsupported").size(), 20u);
    EXPECT_GE(OfKind("hostile").size(), 150u);
}

TEST(ThirdPartyArchives, VerifiedArchivesRestoreExactlyWithEveryLegacyMethod) {
    std::map<int, int> methodCount;
    for (const ExpectedArchive* a : OfKind("valid")) {
        SCOPED_TRACE(a->name);
        TempDir tmp;
        const RunResult r = ExtractInto(tmp, a->name, a->password);
        EXPECT_FALSE(r.fatal) << r.fatalText;
        EXPECT_TRUE(r.outside.empty());
        const auto refused = std::count_if(a->entries.begin(), a->entries.end(),
                                           [](const auto& e) { return e.check == "refused"; });
        EXPECT_EQ(std::count(r.skipReasons.begin(), r.skipReasons.end(), kSkipUnsafe), refused);
        const auto unnamed = std::count_if(a->entries.begin(), a->entries.end(),
                                           [](const auto& e) { return e.check == "any"; });
        EXPECT_LE(r.skipReasons.size(), std::size_t(refused + unnamed));
        ExpectContents(*a, r, false);
        for (int m : r.methods) {
            ++methodCount[m];
        }
    }
    // Shrink, the four reduce factors and implode all took part.
    for (int method = 0; method <= 8; ++method) {
        if (method != 7) {
            EXPECT_GT(methodCount[method], 0) << "method " << method;
        }
    }
}

TEST(ThirdPartyArchives, WrongPasswordIsRefusedForEveryTraditionallyEncryptedEntry) {
    int archives = 0;
    for (const ExpectedArchive* a : OfKind("valid")) {
        if (a->password.empty()) {
            continue;
        }
        SCOPED_TRACE(a->name);
        ++archives;
        TempDir tmp;
        const RunResult r = ExtractInto(tmp, a->name, a->password + "-wrong");
        EXPECT_FALSE(r.fatal) << r.fatalText;
        EXPECT_FALSE(r.skipReasons.empty());
        for (int reason : r.skipReasons) {
            EXPECT_EQ(reason, kSkipBadPassword);
        }
        // Whatever was extracted was not encrypted and so must be right.
        ExpectContents(*a, r, true);
    }
    EXPECT_GE(archives, 15);
}

TEST(ThirdPartyArchives, UnsupportedFeaturesFailTheirEntriesButNeverGiveWrongData) {
    for (const ExpectedArchive* a : OfKind("unsupported")) {
        SCOPED_TRACE(a->name);
        TempDir tmp;
        const RunResult r = ExtractInto(tmp, a->name, a->password);
        EXPECT_TRUE(r.outside.empty());
        ExpectContents(*a, r, true);
    }
}

TEST(ThirdPartyArchives, DamagedAndHostileArchivesEndCleanlyInsideTheDestination) {
    for (const ExpectedArchive* a : OfKind("hostile")) {
        SCOPED_TRACE(a->name);
        TempDir tmp;
        const RunResult r = ExtractInto(tmp, a->name, a->password);
        EXPECT_TRUE(r.outside.empty());
    }
}

} // namespace
} // namespace mzb
