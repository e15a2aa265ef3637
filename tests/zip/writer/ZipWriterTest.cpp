#include "zip/writer/ZipWriter.h"

#include "support/ArchiveBuilder.h"
#include "support/ChildProcess.h"
#include "support/ExtractedFiles.h"
#include "support/LocalTime.h"
#include "support/PeerTests.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/SampleData.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "support/TurnMeter.h"
#include "support/ZlibOracle.h"
#include "zip/base/ByteOrder.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/format/Crc32.h"
#include "zip/format/ExtraField.h"
#include "zip/io/FileCommit.h"
#include "zip/io/PartFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <span>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

void SetModified(const fs::path& file, std::time_t when) {
    const utimbuf times{when, when};
    ASSERT_EQ(::utime(file.c_str(), &times), 0);
}

// Every entry of an archive decoded without our inflater: the data as the
// local header places it, decrypted with the keys, inflated by zlib, and
// checked against the CRC the headers carry.
std::string CommentOf(const std::string& archive) {
    HeadlessHost host;
    TZipReader reader(host);
    reader.SetZipName(archive);
    reader.OpenArchive();
    return reader.ArchiveComment();
}

std::map<std::string, std::string> DecodeWithZlib(const std::string& archive,
                                                  const std::string& password = {}) {
    HeadlessHost host;
    TZipReader reader(host);
    reader.SetZipName(archive);
    reader.OpenArchive();
    const std::string bytes = ReadFile(archive);
    std::map<std::string, std::string> files;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const auto& e = reader.Entry(i);
        const auto* local = reinterpret_cast<const std::uint8_t*>(bytes.data()) + e.RelativeOffset;
        EXPECT_EQ(GetLE32(local), kLocalHeaderSignature);
        EXPECT_EQ(GetLE32(local + 14), e.Crc32) << "local and central headers differ";
        EXPECT_EQ(GetLE32(local + 18), e.CompressedSize);
        std::string data = bytes.substr(
            e.RelativeOffset + 30 + GetLE16(local + 26) + GetLE16(local + 28), e.CompressedSize);
        if (e.IsEncrypted()) {
            auto* p = reinterpret_cast<std::uint8_t*>(data.data());
            TZipCryptKeys keys(password);
            keys.Decrypt(p, data.size());
            EXPECT_EQ(p[11], e.Crc32 >> 24) << "check byte";
            EXPECT_EQ(p[10], (e.Crc32 >> 16) & 0xFF);
            data.erase(0, kEncryptionHeaderSize);
        }
        std::string plain = data;
        if (e.CompressionMethod == kMethodDeflated) {
            const auto inflated = test::ZlibInflateRaw(
                reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
            EXPECT_TRUE(inflated) << e.FileName() << " is not a valid deflate stream";
            plain = inflated ? AsText(*inflated) : std::string();
        }
        EXPECT_EQ(Crc32(plain.data(), plain.size()), e.Crc32) << e.FileName();
        EXPECT_EQ(plain.size(), e.UncompressedSize);
        files[e.Directory() + e.FileName()] = plain;
    }
    return files;
}

class WriterTest : public ::testing::Test {
protected:
    WriterTest() : writer(host) {
        writer.DoProcessMessages = false;
        writer.OnSkippingFile = [this](TZipWriter&, int reason, const std::string& name, int,
                                       bool&) { skipped.emplace_back(reason, name); };
    }

    std::string Src() const { return tmp.dir() + "src/"; }
    std::string Zip() const { return tmp.dir() + "out.zip"; }
    std::string Put(const std::string& rel, std::string_view contents) {
        return tmp.write("src/" + rel, contents).string();
    }

    int Run(std::vector<std::string> items) {
        writer.SetZipName(Zip());
        writer.SetFilesList(items);
        return writer.RunZip();
    }

    // What our own reader extracts, by stored name.
    std::map<std::string, std::string> Extracted(const std::string& password = {}) {
        const std::string dest = tmp.dir() + "extracted";
        fs::remove_all(dest);
        return test::ExtractAll(Zip(), dest, password);
    }

    // What the archive's folder holds besides the sources and extractions:
    // the archive and anything a run left beside it.
    std::set<std::string> ArchiveFolder() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp.path())) {
            const std::string name = e.path().filename().string();
            if (name != "src" && name != "extracted") {
                names.insert(name);
            }
        }
        return names;
    }

    std::vector<std::string> StoredNames() {
        std::vector<std::string> names;
        for (int i = 0; i < writer.EntryCount(); ++i) {
            names.push_back(writer.Entry(i).Directory() + writer.Entry(i).FileName());
        }
        return names;
    }

    TempDir tmp;
    HeadlessHost host;
    TZipWriter writer;
    std::vector<std::pair<int, std::string>> skipped;
};

// Inputs around the sizes where the compressor's window, its blocks and
// the writer's 32 KiB pieces change hands.
std::map<std::string, std::string> BoundaryInputs() {
    std::map<std::string, std::string> inputs;
    inputs["empty"] = "";
    inputs["one"] = "x";
    inputs["random"] = AsText(test::MakeRandomBytes(70000, 1));
    inputs["runs"] = std::string(200000, 'a') + std::string(70000, '\0');
    inputs["text"] = AsText(test::MakeText(300000, 2));
    inputs["binary"] = AsText(test::MakeBinary(150000, 3));
    const std::string text = AsText(test::MakeText(140000, 4));
    for (const std::size_t size : {32767u, 32768u, 32769u, 65535u, 65536u, 65537u, 131072u}) {
        inputs["text" + std::to_string(size)] = text.substr(0, size);
    }
    return inputs;
}

TEST_F(WriterTest, EveryLevelRoundTripsThroughOurReaderAndZlib) {
    const auto inputs = BoundaryInputs();
    for (const auto& [name, data] : inputs) {
        Put(name, data);
    }
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        fs::remove(Zip());
        writer.SetPackLevel(level);
        EXPECT_EQ(Run({Src() + "*"}), int(inputs.size()));
        EXPECT_EQ(Extracted(), inputs);
        EXPECT_EQ(DecodeWithZlib(Zip()), inputs);
    }
    EXPECT_TRUE(skipped.empty());
}

TEST_F(WriterTest, EncryptedEntriesRoundTripAndCarryTheCheckBytes) {
    const auto inputs = BoundaryInputs();
    for (const auto& [name, data] : inputs) {
        Put(name, data);
    }
    writer.ArchivePassword = "pass wörd";
    for (const int level : {0, 5}) {
        fs::remove(Zip());
        writer.SetPackLevel(level);
        Run({Src() + "*"});
        EXPECT_EQ(Extracted("pass wörd"), inputs);
        EXPECT_EQ(DecodeWithZlib(Zip(), "pass wörd"), inputs);
    }
    // Our reader refuses a wrong password instead of writing garbage.
    EXPECT_TRUE(Extracted("wrong").size() < inputs.size());
}

TEST_F(WriterTest, EntryFieldsFollowLevelMethodAndPassword) {
    Put("empty", "");
    Put("text.txt", AsText(test::MakeText(50000, 5)));
    Put("photo.jpg", AsText(test::MakeText(50000, 6)));
    writer.NoCompressList = {"*.jpg"};
    writer.SetPackLevel(9);
    Run({Src() + "*"});
    std::map<std::string, TZipHeaderInfo> byName;
    for (int i = 0; i < writer.EntryCount(); ++i) {
        byName[writer.Entry(i).FileName()] = writer.Entry(i);
    }
    const auto& empty = byName["empty"];
    EXPECT_EQ(empty.CompressionMethod, kMethodStored);
    EXPECT_EQ(empty.Crc32, 0u);
    EXPECT_EQ(empty.CompressedSize, 0u);
    EXPECT_EQ(byName["text.txt"].CompressionMethod, kMethodDeflated);
    EXPECT_EQ(byName["text.txt"].Flags & 0x0006, kFlagMaximumLevel);
    EXPECT_EQ(byName["text.txt"].InternalAttributes, 1);
    EXPECT_EQ(byName["photo.jpg"].CompressionMethod, kMethodStored);
    EXPECT_EQ(byName["photo.jpg"].Flags, 0);
    EXPECT_EQ(byName["photo.jpg"].InternalAttributes, 0);
    for (const auto& [name, e] : byName) {
        EXPECT_EQ(e.VersionMadeBy >> 8, kHostUnix);
        EXPECT_EQ(e.ExternalAttributes >> 16 & 0170000, 0100000u) << "regular-file mode";
    }

    fs::remove(Zip());
    writer.ArchivePassword = "pw";
    writer.SetPackLevel(1);
    writer.SetStorePaths(true);
    Run({Src() + "empty", Src() + "text.txt", Src()});
    const auto& dir = writer.Entry(2);
    EXPECT_FALSE(dir.IsEncrypted()) << "directory entries carry no encryption header";
    EXPECT_EQ(dir.CompressedSize, 0u);
    const auto& e0 = writer.Entry(0);
    EXPECT_EQ(e0.CompressedSize, kEncryptionHeaderSize);
    EXPECT_TRUE(e0.IsEncrypted());
    EXPECT_EQ(writer.Entry(1).Flags & 0x0007, kFlagEncrypted | kFlagFastLevel);
    EXPECT_EQ(DecodeWithZlib(Zip(), "pw").at(Src().substr(1) + "empty"), "");
}

// At each strength, with the keys derived on the caller and on workers:
// entries under 20 bytes in the version that stores CRC 0, the others with
// their CRC; a file of several pieces encrypted as one stream. An update
// carries the entries over with one AES block in each header.
TEST_F(WriterTest, AesEntriesRoundTripAtEveryStrengthInTheVersionTheirSizeCallsFor) {
    const std::map<std::string, std::string> inputs = {
        {"zero", ""},
        {"one", "x"},
        {"nineteen", AsText(test::MakeRandomBytes(19, 8))},
        {"twenty", AsText(test::MakeRandomBytes(20, 9))},
        {"large", AsText(test::MakeText(2'600'000, 7))}};
    for (const auto& [name, data] : inputs) {
        Put(name, data);
    }
    writer.ArchivePassword = "pass wörd";
    for (const TEncryption encryption :
         {TEncryption::Aes128, TEncryption::Aes192, TEncryption::Aes256}) {
        for (const unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(std::string(EncryptionName(encryption)) + ", threads " +
                         std::to_string(threads));
            fs::remove(Zip());
            writer.Encryption = encryption;
            writer.Threads = threads;
            Run({Src() + "*"});
            EXPECT_EQ(Extracted("pass wörd"), inputs);
            for (int i = 0; i < writer.EntryCount(); ++i) {
                const TZipHeaderInfo& e = writer.Entry(i);
                const std::string& data = inputs.at(e.FileName());
                SCOPED_TRACE(e.FileName());
                EXPECT_EQ(e.CompressionMethod, 99);
                EXPECT_EQ(e.Aes.Strength, static_cast<int>(encryption));
                EXPECT_EQ(e.Aes.Version, data.size() < 20 ? 2 : 1);
                EXPECT_EQ(e.Crc32, data.size() < 20 ? 0u : Crc32(data.data(), data.size()));
                EXPECT_EQ(e.Aes.Method, e.FileName() == "large" ? kMethodDeflated : kMethodStored);
                // Salt of 8, 12 or 16 bytes, verifier and code around the data.
                if (e.Aes.Method == kMethodStored) {
                    EXPECT_EQ(e.CompressedSize, data.size() + 4 * e.Aes.Strength + 4 + 2 + 10);
                }
            }
        }
    }
    Put("added", "added later");
    SetModified(Src() + "added", std::time(nullptr) + 60);
    Run({Src() + "added"});
    auto all = inputs;
    all["added"] = "added later";
    EXPECT_EQ(Extracted("pass wörd"), all);
    TFileStream archive;
    ASSERT_TRUE(archive.Open(Zip(), TFileMode::Read));
    for (int i = 0; i < writer.EntryCount(); ++i) {
        TZipHeaderInfo local;
        ASSERT_TRUE(archive.Seek(writer.Entry(i).RelativeOffset) && local.ReadLocalHeader(archive));
        std::string extra(local.LocalExtraLength, '\0');
        ASSERT_EQ(archive.Read(extra.data(), extra.size()), extra.size());
        EXPECT_EQ(extra.size() - WithoutExtraBlock(extra, kExtraAes).size(), 11u)
            << local.FileName() << ": one AES block, no more";
        EXPECT_TRUE(local.Aes.Present());
    }
}

TEST(EncryptionHeaderTest, FillerThenCrcBytesAllEncrypted) {
    int calls = 0;
    const TFillerSource filler = [&calls](std::uint8_t* out, std::size_t n) {
        ++calls;
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = std::uint8_t(0xA0 + i);
        }
    };
    TZipCryptKeys keys("secret");
    auto header = EncryptionHeader(keys, 0x12345678u, filler);
    TZipCryptKeys(std::string_view("secret")).Decrypt(header.data(), header.size());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(header[0], 0xA0);
    EXPECT_EQ(header[9], 0xA9);
    EXPECT_EQ(header[10], 0x34);
    EXPECT_EQ(header[11], 0x12);
}

// Equal headers would give equal key streams, and the XOR of two encrypted
// files with the same password would be the XOR of their contents.
TEST_F(WriterTest, TwoEntriesNeverShareAKeyStream) {
    const std::string same(4000, 'z');
    Put("a", same);
    Put("b", same);
    writer.ArchivePassword = "pw";
    writer.SetPackLevel(0);
    Run({Src() + "a", Src() + "b"});
    const std::string bytes = ReadFile(Zip());
    auto dataOf = [&](int i) {
        const auto& e = writer.Entry(i);
        return bytes.substr(e.RelativeOffset + e.LocalHeaderSize(), e.CompressedSize);
    };
    EXPECT_NE(dataOf(0).substr(0, 12), dataOf(1).substr(0, 12));
    EXPECT_NE(dataOf(0).substr(12), dataOf(1).substr(12));
}

TEST_F(WriterTest, StoredNamesFollowThePathSettings) {
    Put("a.txt", "a");
    Put("sub/b.txt", "b");
    Put("sub/deep/c.txt", "c");
    const std::vector<std::string> items = {Src() + "a.txt", Src() + "sub/", Src() + "sub/b.txt",
                                            Src() + "sub/deep/c.txt"};
    writer.SetStorePaths(true);
    Run(items);
    const std::string base = Src().substr(1); // the full path without its leading '/'
    EXPECT_EQ(StoredNames(),
              (std::vector<std::string>{base + "a.txt", base + "sub/", base + "sub/b.txt",
                                        base + "sub/deep/c.txt"}));

    fs::remove(Zip());
    writer.SetRootDir(Src());
    writer.SetRelativePaths(true);
    EXPECT_TRUE(writer.StorePaths());
    EXPECT_TRUE(writer.Recurse);
    Run(items);
    EXPECT_EQ(StoredNames(),
              (std::vector<std::string>{"a.txt", "sub/", "sub/b.txt", "sub/deep/c.txt"}));

    // Without paths a directory entry would have no name; it is left out.
    fs::remove(Zip());
    writer.SetStorePaths(false);
    EXPECT_FALSE(writer.RelativePaths());
    Run(items);
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

// Files that change while they are read: a plain entry takes the size the
// file had when opened; an encrypted entry whose contents differ from its
// first pass (which made the check bytes) is taken back rather than written
// undecryptable, and the archive stays sound.
TEST_F(WriterTest, FilesChangingWhileReadNeverCorruptTheArchive) {
    const std::string original = AsText(test::MakeRandomBytes(200000, 10));
    const std::string growing = Put("growing", original);
    Put("after", "after");
    bool changed = false;
    writer.OnTotalPercentDone = [&](TZipWriter&, int) {
        if (!changed) {
            changed = true;
            std::ofstream(growing, std::ios::app) << "appended while read";
        }
    };
    writer.SetPackLevel(0);
    Run({growing, Src() + "after"});
    EXPECT_EQ(DecodeWithZlib(Zip()),
              (std::map<std::string, std::string>{{"growing", original}, {"after", "after"}}));

    // Changed once the first pass is over: it makes the first half of the
    // file's progress.
    fs::remove(Zip());
    Put("growing", original);
    changed = false;
    writer.OnTotalPercentDone = [&](TZipWriter&, int percent) {
        if (!changed && percent > 50) {
            changed = true;
            std::fstream f(growing, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(150000);
            f << "overwritten while read";
        }
    };
    writer.ArchivePassword = "pw";
    EXPECT_EQ(Run({growing, Src() + "after"}), 1);
    EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{{kSkipCannotOpen, growing}}));
    EXPECT_EQ(DecodeWithZlib(Zip(), "pw"),
              (std::map<std::string, std::string>{{"after", "after"}}));
    EXPECT_EQ(Extracted("pw"), (std::map<std::string, std::string>{{"after", "after"}}));
}

// Makes every later read of the open file fail, as a failing disk would:
// its descriptor is replaced by one that cannot be read.
void BreakReadsOf(const fs::path& file) {
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec) == file && !ec) {
            const int unreadable = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            ::dup2(unreadable, std::stoi(e.path().filename().string()));
            ::close(unreadable);
        }
    }
}

// Either way the entry would end short of what the file held when opened:
// it is taken back, named to the skip handler, and the archive stays sound.
TEST_F(WriterTest, AFileThatShrinksOrFailsWhileReadIsTakenBackAndReported) {
    MZB_REQUIRE_PEERS("unzip");
    // Larger than what the writer reads ahead of the compressor, so the
    // mishap strikes while the file is still being read.
    const std::string original = AsText(test::MakeRandomBytes(8 << 20, 11));
    writer.Threads = 1;
    const std::function<void(const std::string&)> mishaps[] = {
        [](const std::string& file) { fs::resize_file(file, 4 << 20); },
        [](const std::string& file) { BreakReadsOf(file); },
    };
    for (const bool deflate : {false, true}) {
        for (const auto& mishap : mishaps) {
            fs::remove(Zip());
            skipped.clear();
            const std::string file = Put("victim", original);
            Put("after", "after");
            bool struck = false;
            writer.OnTotalPercentDone = [&](TZipWriter&, int) {
                if (!std::exchange(struck, true)) {
                    mishap(file);
                }
            };
            writer.SetPackLevel(deflate ? 6 : 0);
            EXPECT_EQ(Run({file, Src() + "after"}), 1);
            EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{{kSkipCannotOpen, file}}));
            EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"after", "after"}}));
            const auto check = test::RunCommand({test::PeerPath("unzip"), "-tq", Zip()});
            EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        }
    }
}

// Hundreds of names before the duplicate: the names taken are still found
// once the run has had to make room for more.
TEST_F(WriterTest, DuplicateStoredNamesAreSkippedButLetterCaseCounts) {
    Put("one/same.txt", "first");
    Put("two/same.txt", "second");
    Put("one/Same.txt", "other case");
    std::vector<std::string> items = {Src() + "one/same.txt"};
    for (int i = 0; i < 300; ++i) {
        Put("many/f" + std::to_string(i), "");
        items.push_back(Src() + "many/f" + std::to_string(i));
    }
    items.push_back(Src() + "two/same.txt");
    items.push_back(Src() + "one/Same.txt");
    EXPECT_EQ(Run(items), 302);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0], std::make_pair(kSkipDuplicateName, Src() + "two/same.txt"));
    const auto extracted = Extracted();
    EXPECT_EQ(extracted.size(), 302u);
    EXPECT_EQ(extracted.at("same.txt"), "first");
    EXPECT_EQ(extracted.at("Same.txt"), "other case");
}

TEST_F(WriterTest, OneFileNamedByOverlappingItemsIsAddedOnceAndNotLeftOut) {
    Put("a/x.txt", "x");
    Put("a/y.txt", "y");
    int lastPercent = -1;
    writer.OnTotalPercentDone = [&](TZipWriter&, int percent) { lastPercent = percent; };
    EXPECT_EQ(Run({Src() + "a/*", Src() + "a/x.txt", Src() + "a//./x.txt"}), 2);
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(lastPercent, 100);
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"x.txt", "x"}, {"y.txt", "y"}}));
}

TEST_F(WriterTest, UnopenableFileIsLeftOutAfterTheRetriesAsked) {
    Put("ok.txt", "ok");
    fs::create_directories(Src() + "notafile");
    int retries = 1;
    writer.OnSkippingFile = [&](TZipWriter&, int reason, const std::string& name, int index,
                                bool& retry) {
        skipped.emplace_back(reason, name);
        EXPECT_EQ(index, -1);
        retry = retries-- > 0;
    };
    EXPECT_EQ(Run({Src() + "notafile", Src() + "ok.txt"}), 1);
    EXPECT_EQ(skipped,
              (std::vector<std::pair<int, std::string>>{{kSkipCannotOpen, Src() + "notafile"},
                                                        {kSkipCannotOpen, Src() + "notafile"}}));
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"ok.txt", "ok"}}));
}

// Another user who may write in the folder backed up swaps things in
// between the listing and the reading: a FIFO for a file must be refused,
// not read nor waited on, and a link for a folder never entered.
TEST_F(WriterTest, WhatIsSwappedInAfterTheListingIsNeitherWaitedOnNorFollowed) {
    const std::string fifo = Put("a", "a");
    Put("b", "b");
    Put("sub/c", "c");
    tmp.write("elsewhere/secret", "secret");
    writer.Recurse = true;
    std::vector<std::pair<std::string, int>> notListed;
    writer.OnFolderNotListed = [&](TZipWriter&, const std::string& name, int error) {
        notListed.emplace_back(name, error);
    };
    writer.OnRecursingFile = [&](TZipWriter&, const std::string& name) {
        if (name == Src() + "b") {
            fs::remove(fifo);
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
            fs::rename(Src() + "sub", tmp.dir() + "sub-moved");
            fs::create_directory_symlink(tmp.dir() + "elsewhere", Src() + "sub");
        }
    };
    // A writer at the FIFO's other end meets whatever opens it for reading,
    // so a run that opened it as a file would read it empty rather than hang.
    std::thread other([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
        }
    });
    const int result = Run({Src() + "*"});
    // Held open until the writer has gone, however late it comes to the FIFO.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    other.join();
    ::close(reader);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{{kSkipCannotOpen, fifo}}));
    EXPECT_EQ(notListed, (std::vector<std::pair<std::string, int>>{{Src() + "sub", ENOTDIR}}));
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"b", "b"}}));
}

TEST_F(WriterTest, FileBeyondTheLargestSizeTakenIsLeftOutAndTheRunGoesOn) {
    Put("small", "s");
    const std::string big = Put("big", std::string(1001, 'b'));
    TZipWriter capped(host, TZipLimits{.MaxFileSize = 1000, .Classic = {}});
    capped.OnSkippingFile = writer.OnSkippingFile;
    capped.SetZipName(Zip());
    capped.SetFilesList({Src() + "*"});
    EXPECT_EQ(capped.RunZip(), 1);
    EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{{kSkipTooLarge, big}}));
    EXPECT_EQ(capped.TotalBytes(), 1u);
    EXPECT_EQ(DecodeWithZlib(Zip()), (std::map<std::string, std::string>{{"small", "s"}}));
}

TEST_F(WriterTest, NothingToAddStillWritesAValidEmptyArchive) {
    Put("skip.tmp", "x");
    writer.ExcludeList = {"*.tmp"};
    writer.SetZipName(Zip());
    writer.SetArchiveComment("only a comment");
    int completed = -1;
    writer.OnZipComplete = [&](TZipWriter&, int count) { completed = count; };
    EXPECT_EQ(Run({Src() + "*", Src() + "missing.txt"}), 0);
    EXPECT_EQ(completed, 0);
    EXPECT_EQ(fs::file_size(Zip()), kEndCentralSize + std::string("only a comment").size());
    EXPECT_EQ(CommentOf(Zip()), "only a comment");
}

// The backup run deletes the old archive and names it again with the same
// comment: the comment is unchanged, yet the new archive must carry it.
TEST_F(WriterTest, TwoRunsWithTheSameCommentBothCarryIt) {
    Put("a", "a");
    for (int run = 0; run < 2; ++run) {
        fs::remove(Zip());
        writer.SetZipName(Zip());
        writer.SetArchiveComment("weekly");
        Run({Src() + "a"});
        EXPECT_EQ(CommentOf(Zip()), "weekly") << "run " << run;
    }
}

// Only a run writes an archive: a comment set and then left by a new name
// is dropped, whatever the settings are by then (replacing would empty it).
TEST_F(WriterTest, ChangingTheNameNeverWritesThePreviousArchive) {
    Put("a", "a");
    Run({Src() + "a"});
    const std::string before = ReadFile(Zip());
    writer.ReplaceExisting = true;
    writer.SetArchiveComment("added later");
    writer.SetZipName(tmp.dir() + "other.zip");
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_FALSE(fs::exists(tmp.dir() + "other.zip"));
    writer.SetZipName(Zip());
    EXPECT_EQ(writer.ArchiveComment(), "");
}

TEST_F(WriterTest, AfterARunTheReaderSideKnowsTheNewArchive) {
    Put("a", "aaa");
    Put("b", "bb");
    writer.SetSortMode(TZipSortMode::ByUnCompressedSize);
    Run({Src() + "b", Src() + "a"});
    ASSERT_EQ(writer.EntryCount(), 2);
    EXPECT_EQ(writer.Entry(0).FileName(), "a");
    EXPECT_EQ(writer.SortMode(), TZipSortMode::ByUnCompressedSize);
    EXPECT_TRUE(writer.FilesList().empty());
    writer.SetDestDir(tmp.dir() + "x");
    writer.DoAll = true;
    EXPECT_EQ(writer.RunUnZip(), 2);
    EXPECT_EQ(ReadFile(tmp.dir() + "x/a"), "aaa");
}

TEST_F(WriterTest, ProgressReachesOneHundredAndEventsComeInOrder) {
    Put("a", AsText(test::MakeText(200000, 7)));
    Put("b", std::string(100000, 'b'));
    std::vector<int> total;
    std::vector<std::string> events;
    writer.OnTotalPercentDone = [&](TZipWriter&, int p) { total.push_back(p); };
    writer.OnStartZipInfo = [&](TZipWriter&, int n, std::uint64_t bytes, TEndCentral&, bool&) {
        events.push_back("info " + std::to_string(n) + " " + std::to_string(bytes));
    };
    writer.OnStartZip = [&](TZipWriter&, const std::string& name, TZipHeaderInfo&, bool&) {
        events.push_back("start " + fs::path(name).filename().string());
    };
    writer.OnEndZip = [&](TZipWriter&, const std::string& name, std::uint64_t size, std::uint64_t,
                          std::uint64_t) {
        events.push_back("end " + fs::path(name).filename().string() + " " + std::to_string(size));
    };
    Run({Src() + "a", Src() + "b"});
    EXPECT_EQ(events, (std::vector<std::string>{"info 2 300000", "start a", "end a 200000",
                                                "start b", "end b 100000"}));
    ASSERT_FALSE(total.empty());
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_EQ(total.back(), 100);
}

// The choice comes while the list is expanded: a file chosen out is never
// started, counted in the bytes to read or reported as left out, and the
// host decides on the stored name and the expansion's own look at the file.
TEST_F(WriterTest, FilesChosenOutAreNeitherStartedNorCountedNorReported) {
    Put("keep.txt", "kept");
    Put("sub/drop.txt", std::string(5000, 'd'));
    fs::create_directories(Src() + "empty");
    writer.SetRootDir(Src());
    writer.SetRelativePaths(true);
    writer.AddDirEntriesOnRecurse = true;
    std::map<std::string, std::uint64_t> asked;
    writer.OnChooseFile = [&](TZipWriter&, const std::string& path, const std::string& stored,
                              const FileInfo& info, bool& skip) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(info.ChangeTime, st.st_ctim.tv_sec) << path;
        EXPECT_EQ(info.ChangeTimeNanoseconds, st.st_ctim.tv_nsec) << path;
        asked[stored] = info.Size;
        skip = stored == "sub/drop.txt";
    };
    std::vector<std::string> started;
    writer.OnStartZip = [&](TZipWriter&, const std::string& name, TZipHeaderInfo&, bool&) {
        started.push_back(name);
    };
    std::uint64_t total = 0;
    writer.OnStartZipInfo = [&](TZipWriter&, int, std::uint64_t bytes, TEndCentral&, bool&) {
        total = bytes;
    };
    EXPECT_EQ(Run({Src() + "*"}), 3);
    EXPECT_EQ(asked,
              (std::map<std::string, std::uint64_t>{{"keep.txt", 4}, {"sub/drop.txt", 5000}}));
    EXPECT_EQ(std::count(started.begin(), started.end(), Src() + "sub/drop.txt"), 0);
    EXPECT_EQ(total, 4u);
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"empty/", "keep.txt", "sub/"}));
}

// --- threads: the same archive and the same events with any number --------------

// A tree of many small files (some empty, some sharing a stored name), one
// file large enough to be cut into pieces, and a file in NoCompressList.
void PutThreadsTree(const std::function<void(const std::string&, std::string_view)>& put) {
    for (int i = 0; i < 120; ++i) {
        const std::string name = "many/f" + std::to_string(i) + (i % 3 == 0 ? ".bin" : ".txt");
        put(name, i % 17 == 0 ? std::string()
                              : AsText(i % 3 == 0 ? test::MakeBinary(100 + i * 397, i)
                                                  : test::MakeText(50 + i * 811, i)));
    }
    put("other/f5.txt", "same stored name without paths");
    put("large.dat", AsText(test::MakeText(1500000, 90)) + AsText(test::MakeBinary(1200000, 91)));
    put("raw.jpg", AsText(test::MakeRandomBytes(5000, 92)));
}

class ThreadsTest : public WriterTest {
protected:
    // A writer whose encryption filler is fixed, so that archives compare.
    std::string Write(unsigned threads, const std::string& zip, bool storePaths = true) {
        TZipWriter w(host, {}, [](std::uint8_t* out, std::size_t n) { std::fill_n(out, n, 0x5A); });
        Configure(w, threads, storePaths);
        w.SetZipName(zip);
        w.SetFilesList({Src() + "*"});
        w.RunZip();
        return ReadFile(zip);
    }
    void Configure(TZipWriter& w, unsigned threads, bool storePaths) {
        w.DoProcessMessages = false;
        w.Threads = threads;
        w.Recurse = true;
        w.SetRootDir(Src());
        w.SetRelativePaths(storePaths);
        w.SetStorePaths(storePaths);
        w.SetPackLevel(5);
        w.NoCompressList = {"*.jpg"};
        w.ArchivePassword = password;
    }
    std::string password;
};

TEST_F(ThreadsTest, ArchivesAreByteIdenticalWithOneTwoAndFourThreads) {
    PutThreadsTree([this](const std::string& rel, std::string_view data) { Put(rel, data); });
    for (const std::string pw : {"", "secret"}) {
        SCOPED_TRACE("password \"" + pw + "\"");
        password = pw;
        const std::string one = Write(1, tmp.dir() + "t1.zip");
        EXPECT_EQ(Write(2, tmp.dir() + "t2.zip"), one);
        EXPECT_EQ(Write(4, tmp.dir() + "t4.zip"), one);
        fs::copy_file(tmp.dir() + "t1.zip", Zip(), fs::copy_options::overwrite_existing);
        EXPECT_EQ(DecodeWithZlib(Zip(), pw).at("large.dat"), ReadFile(Src() + "large.dat"));
        EXPECT_EQ(Extracted(pw).at("many/f3.bin"), ReadFile(Src() + "many/f3.bin"));
    }
    // An update: changed and new files replace and join the carried-over ones.
    const std::string base = tmp.dir() + "base.zip";
    fs::copy_file(tmp.dir() + "t1.zip", base);
    Put("large.dat", AsText(test::MakeBinary(2100000, 93)));
    Put("many/f4.txt", "changed");
    Put("many/new.txt", AsText(test::MakeText(40000, 94)));
    for (const auto& f : {"large.dat", "many/f4.txt"}) {
        SetModified(Src() + f, std::time(nullptr) + 7200);
    }
    std::string first;
    for (const unsigned threads : {1u, 2u, 4u}) {
        const std::string zip = tmp.dir() + "u" + std::to_string(threads) + ".zip";
        fs::copy_file(base, zip);
        const std::string written = Write(threads, zip);
        if (first.empty()) {
            first = written;
        }
        EXPECT_EQ(written, first) << threads << " threads";
    }
    fs::copy_file(tmp.dir() + "u4.zip", Zip(), fs::copy_options::overwrite_existing);
    const auto files = DecodeWithZlib(Zip(), password);
    EXPECT_EQ(files.at("large.dat"), ReadFile(Src() + "large.dat"));
    EXPECT_EQ(files.at("many/new.txt"), ReadFile(Src() + "many/new.txt"));
}

TEST_F(ThreadsTest, EventsAndPercentsWithFourThreadsAreThoseOfOne) {
    PutThreadsTree([this](const std::string& rel, std::string_view data) { Put(rel, data); });
    auto record = [this](unsigned threads) {
        std::vector<std::string> events;
        TZipWriter w(host);
        // Without paths many/f5.txt and other/f5.txt share a stored name.
        Configure(w, threads, false);
        w.OnStartZip = [&](TZipWriter&, const std::string& name, TZipHeaderInfo&, bool&) {
            events.push_back("start " + name);
        };
        w.OnSkippingFile = [&](TZipWriter&, int reason, const std::string& name, int, bool&) {
            events.push_back("skip " + std::to_string(reason) + " " + name);
        };
        w.OnEndZip = [&](TZipWriter&, const std::string& name, std::uint64_t size,
                         std::uint64_t packed, std::uint64_t archive) {
            events.push_back("end " + name + " " + std::to_string(size) + " " +
                             std::to_string(packed) + " " + std::to_string(archive));
        };
        w.OnFilePercentDone = [&](TZipWriter&, int p) {
            events.push_back("file " + std::to_string(p));
        };
        w.OnTotalPercentDone = [&](TZipWriter&, int p) {
            events.push_back("total " + std::to_string(p));
        };
        fs::remove(Zip());
        w.SetZipName(Zip());
        w.SetFilesList({Src() + "*"});
        w.RunZip();
        return events;
    };
    const auto one = record(1);
    EXPECT_EQ(record(4), one);
    EXPECT_NE(std::find(one.begin(), one.end(), "skip 1 " + Src() + "other/f5.txt"), one.end());
    std::vector<int> total;
    for (const auto& e : one) {
        if (e.starts_with("total ")) {
            total.push_back(std::stoi(e.substr(6)));
        }
    }
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_EQ(total.back(), 100);
}

// On one thread or four, a large encrypted file (read whole for its CRC,
// then compressed in pieces) gives the same events in the same order and
// its host a turn at least every 32 KiB of the run's own reading and
// writing and of the file's progress, whatever the workers do; a cancel at
// a chosen turn, in either pass, ends the run there and leaves nothing.
TEST_F(ThreadsTest, ThreadsKeepOneThreadsEventsAndTurnsEvery32KiB) {
    Put("a.txt", "first");
    const std::string big = Put("big.dat", AsText(test::MakeRandomBytes(4 << 20, 38)));
    Put("c.txt", AsText(test::MakeText(5000, 3)));
    password = "pw";
    auto write = [&](unsigned threads, int cancelAt) {
        test::TurnMeter meter;
        TZipWriter w(meter, {},
                     [](std::uint8_t* out, std::size_t n) { std::fill_n(out, n, 0x5A); });
        Configure(w, threads, false);
        w.DoProcessMessages = true;
        std::vector<std::string> events;
        w.OnStartZip = [&](TZipWriter&, const std::string& name, TZipHeaderInfo&, bool&) {
            events.push_back("start " + name);
            meter.Follow(name == big);
        };
        w.OnFilePercentDone = [&](TZipWriter&, int p) {
            events.push_back("file " + std::to_string(p));
            meter.Percent(p);
        };
        w.OnEndZip = [&](TZipWriter&, const std::string& name, std::uint64_t, std::uint64_t,
                         std::uint64_t) { events.push_back("end " + name); };
        meter.CancelAt(cancelAt, [&] {
            events.push_back("cancel");
            w.Cancel();
        });
        fs::remove(Zip());
        w.SetZipName(Zip());
        w.SetFilesList({Src() + "*"});
        events.push_back(meter.Measure([&] { return "added " + std::to_string(w.RunZip()); }));
        meter.ExpectStepsKept();
        events.push_back(fs::exists(Zip()) ? "archive" : "no archive");
        return events;
    };
    for (const int cancelAt : {30, 70, 101}) {
        SCOPED_TRACE("cancel at " + std::to_string(cancelAt));
        const auto one = write(1, cancelAt);
        EXPECT_EQ(write(4, cancelAt), one);
        EXPECT_EQ(one.end()[-2], cancelAt > 100 ? "added 3" : "canceled");
    }
    EXPECT_EQ(DecodeWithZlib(Zip(), "pw").at("big.dat"), ReadFile(big));
    EXPECT_EQ(ArchiveFolder(), std::set<std::string>{"out.zip"});
}

// --- failures: nothing partial is left behind -------------------------------------

class CancellingHost : public HeadlessHost {
public:
    void ProcessEvents() override {
        if (++calls == cancelAt && writer != nullptr) {
            writer->Cancel();
        }
    }
    TZipWriter* writer = nullptr;
    int calls = 0;
    int cancelAt = 3;
};

TEST_F(WriterTest, CancelDuringARunRemovesTheOutputAndKeepsTheOldArchive) {
    Put("big", AsText(test::MakeRandomBytes(400000, 8)));
    CancellingHost cancelling;
    TZipWriter w(cancelling);
    cancelling.writer = &w;
    w.SetZipName(Zip());
    w.SetFilesList({Src() + "big"});
    try {
        w.RunZip();
        ADD_FAILURE() << "no error";
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User Aborted Operation");
    }
    EXPECT_TRUE(ArchiveFolder().empty());

    // Rewriting: the old archive stays as it was and the temporary goes.
    Run({Src() + "big"});
    const std::string before = ReadFile(Zip());
    SetModified(Src() + "big", std::time(nullptr) + 3600);
    cancelling.calls = 0;
    w.SetFilesList({Src() + "big"});
    EXPECT_THROW(w.RunZip(), EUserCanceled);
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(ArchiveFolder(), std::set<std::string>{"out.zip"});
}

// Workers still compress pieces read ahead when the cancel comes: the run
// stops all the same and leaves neither archive nor temporary file.
TEST_F(WriterTest, CancelWithFourThreadsAtAnyPointLeavesNothingBehind) {
    PutThreadsTree([this](const std::string& rel, std::string_view data) { Put(rel, data); });
    CancellingHost cancelling;
    TZipWriter w(cancelling);
    cancelling.writer = &w;
    w.Threads = 4;
    w.Recurse = true;
    w.TempPath = tmp.dir() + "temp";
    fs::create_directories(w.TempPath);
    for (const bool rewriting : {false, true}) {
        if (rewriting) {
            Run({Src() + "*"});
        }
        const std::string before = rewriting ? ReadFile(Zip()) : std::string();
        for (const int at : {1, 2, 7, 40, 90, 140}) {
            SCOPED_TRACE("cancel at call " + std::to_string(at) + (rewriting ? ", rewriting" : ""));
            cancelling.calls = 0;
            cancelling.cancelAt = at;
            SetModified(Src() + "large.dat", std::time(nullptr) + 3600 + at);
            w.SetZipName(Zip());
            w.SetFilesList({Src() + "*"});
            EXPECT_THROW(w.RunZip(), EUserCanceled);
            EXPECT_EQ(fs::exists(Zip()), rewriting);
            if (rewriting) {
                EXPECT_EQ(ReadFile(Zip()), before);
            }
            EXPECT_TRUE(fs::is_empty(w.TempPath));
        }
    }
}

TEST_F(WriterTest, StopNowAtTheStartCancelsTheRun) {
    Put("a", "a");
    bool completed = false;
    writer.OnStartZipInfo = [](TZipWriter&, int, std::uint64_t, TEndCentral&, bool& stop) {
        stop = true;
    };
    writer.OnZipComplete = [&](TZipWriter&, int) { completed = true; };
    try {
        Run({Src() + "a"});
        ADD_FAILURE() << "no error";
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User canceled Zip operation");
    }
    EXPECT_FALSE(completed);
    EXPECT_FALSE(fs::exists(Zip()));
    EXPECT_TRUE(writer.FilesList().empty());
}

// In a child process only: no file may grow past `bytes`, so a write beyond
// fails as it would on a full disk instead of killing the process.
void LimitFileSizes(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// A full disk, made real with a file-size limit in a child process: 0 when
// the run failed as it should and left nothing behind.
int RunWithFileSizeLimit(const std::function<int()>& run, const std::string& output) {
    LimitFileSizes(100000);
    int code = 1;
    try {
        run();
    } catch (const ENotEnoughRoom& e) {
        code = std::string(e.what()) == "Not enough room to write archive" ? 0 : 2;
    }
    if (fs::exists(output)) {
        return 3;
    }
    for (const auto& e : fs::directory_iterator(fs::path(output).parent_path())) {
        if (e.path().filename().string().starts_with(".")) {
            return 4; // the part file stayed
        }
    }
    return code;
}

TEST_F(WriterTest, ShortWriteRaisesNotEnoughRoomAndRemovesThePartialArchive) {
    Put("big", AsText(test::MakeRandomBytes(300000, 9)));
    EXPECT_EXIT(std::exit(RunWithFileSizeLimit([this] { return Run({Src() + "big"}); }, Zip())),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(WriterTest, SpanningIsRefused) {
    Put("a", "a");
    writer.MultiZipInfo.MultiMode = TMultiMode::mmSpan;
    EXPECT_THROW(Run({Src() + "a"}), EZipError);
    EXPECT_FALSE(fs::exists(Zip()));
}

// --- rewriting an existing archive ---------------------------------------------------

class UpdateTest : public WriterTest {
protected:
    // An archive of old.txt, keep.txt and gone.txt written an hour ago.
    void SetUp() override {
        const std::time_t hourAgo = std::time(nullptr) - 3600;
        for (const char* name : {"old.txt", "keep.txt", "gone.txt"}) {
            SetModified(Put(name, std::string("first ") + name), hourAgo);
        }
        Run({Src() + "*"});
        fs::remove(Src() + "gone.txt");
        Put("old.txt", "second old.txt");                                // newer now
        SetModified(Put("keep.txt", "second keep.txt"), hourAgo - 3600); // older than its entry
        Put("new.txt", "new");
        writer.OnUpdate = [this](TZipWriter& w, int action, int index) {
            updates.emplace_back(action, w.Entry(index).FileName());
        };
    }

    std::vector<std::pair<int, std::string>> updates;
};

TEST_F(UpdateTest, UpdateReplacesNewerFilesKeepsTheRestAndAddsNewOnes) {
    writer.ZipAction = TZipAction::zaUpdate;
    EXPECT_EQ(Run({Src() + "*"}), 2);
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"gone.txt", "first gone.txt"},
                                                               {"keep.txt", "first keep.txt"},
                                                               {"new.txt", "new"},
                                                               {"old.txt", "second old.txt"}}));
    EXPECT_EQ(DecodeWithZlib(Zip()).size(), 4u);
    EXPECT_EQ(updates, (std::vector<std::pair<int, std::string>>{{1, "keep.txt"}, {0, "old.txt"}}));
}

TEST_F(UpdateTest, ReplaceTakesEveryListedFile) {
    writer.ZipAction = TZipAction::zaReplace;
    EXPECT_EQ(Run({Src() + "*"}), 3);
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"gone.txt", "first gone.txt"},
                                                               {"keep.txt", "second keep.txt"},
                                                               {"new.txt", "new"},
                                                               {"old.txt", "second old.txt"}}));
}

TEST_F(UpdateTest, FreshenOnlyRefreshesWhatTheArchiveHolds) {
    writer.ZipAction = TZipAction::zaFreshen;
    EXPECT_EQ(Run({Src() + "*"}), 1);
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"gone.txt", "first gone.txt"},
                                                               {"keep.txt", "first keep.txt"},
                                                               {"old.txt", "second old.txt"}}));
}

TEST_F(UpdateTest, AFileThatCannotBeReadKeepsItsOldEntry) {
    writer.ZipAction = TZipAction::zaReplace;
    fs::remove(Src() + "old.txt");
    fs::create_directories(Src() + "old.txt"); // listed by name, cannot be opened
    Run({Src() + "old.txt", Src() + "keep.txt"});
    EXPECT_EQ(Extracted()["old.txt"], "first old.txt");
    EXPECT_EQ(skipped.size(), 1u);
}

TEST_F(UpdateTest, RewriteKeepsCommentsAndPermissionsAndLeavesNoTemporaryFile) {
    writer.SetArchiveComment("kept");
    Run({});
    writer.SetZipName(tmp.dir() + "elsewhere.zip"); // the rewrite reads it back
    fs::permissions(Zip(), fs::perms(0640));
    Run({Src() + "new.txt"});
    EXPECT_EQ(CommentOf(Zip()), "kept");
    EXPECT_EQ(DecodeWithZlib(Zip()).size(), 4u);
    EXPECT_EQ(fs::status(Zip()).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(ArchiveFolder(), std::set<std::string>{"out.zip"});
}

// An archive planted at the name by another user, or a link to one, lends
// the archive written in its place neither its entries nor its mode (0666):
// updated or replaced, the result holds this run's files and is the user's
// alone. The planted file itself is left as it was.
TEST_F(UpdateTest, AnArchiveThatIsNotTheUsersOwnLendsNeitherEntriesNorMode) {
    const std::string planted = tmp.dir() + "planted";
    fs::copy_file(Zip(), planted);
    fs::permissions(planted, fs::perms(0666));
    const std::string before = ReadFile(planted);
    std::vector<std::string> kinds{"link"};
    if (::geteuid() == 0) {
        kinds.push_back("another user's file");
    }
    for (const bool replace : {false, true}) {
        for (const std::string& kind : kinds) {
            fs::remove(Zip());
            if (kind == "link") {
                fs::create_symlink(planted, Zip());
            } else {
                fs::copy_file(planted, Zip());
                fs::permissions(Zip(), fs::perms(0666));
                ASSERT_EQ(::chown(Zip().c_str(), 4242, 4242), 0);
            }
            writer.ReplaceExisting = replace;
            EXPECT_EQ(Run({Src() + "new.txt"}), 1);
            EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"new.txt", "new"}}))
                << kind;
            EXPECT_EQ(fs::symlink_status(Zip()).permissions(), fs::perms(0600)) << kind;
            EXPECT_EQ(fs::symlink_status(Zip()).type(), fs::file_type::regular) << kind;
            EXPECT_EQ(ReadFile(planted), before);
        }
    }
}

// A backup that overwrites must not lose the last one when it fails.
TEST_F(UpdateTest, ReplacingStartsAfreshButTheOldArchiveStaysUntilTheNewIsComplete) {
    fs::permissions(Zip(), fs::perms(0640));
    const std::string before = ReadFile(Zip());
    writer.ReplaceExisting = true;
    writer.OnStartZipInfo = [](TZipWriter&, int, std::uint64_t, TEndCentral&, bool& stop) {
        stop = true;
    };
    EXPECT_THROW(Run({Src() + "new.txt"}), EUserCanceled);
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(ArchiveFolder(), std::set<std::string>{"out.zip"});

    writer.OnStartZipInfo = nullptr;
    EXPECT_EQ(Run({Src() + "new.txt"}), 1);
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"new.txt", "new"}}));
    EXPECT_EQ(fs::status(Zip()).permissions() & fs::perms::all, fs::perms(0640));
}

// --- putting the archive in place ------------------------------------------------

// The file system's side of finishing an archive, recorded in order; each
// step is done for real unless it is told to fail.
class RecordingCommit : public TFileCommit {
public:
    bool SyncFile(int fd) override {
        calls.push_back("sync file");
        return failSync ? false : TFileCommit::SyncFile(fd);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        const std::string name = fs::path(from).filename().string();
        calls.push_back("rename " + name.substr(0, name.size() - kPartSuffixLength) + " " +
                        fs::path(to).filename().string());
        if (failRename) {
            errno = EACCES;
            return false;
        }
        return TFileCommit::Rename(from, to);
    }
    bool SyncDirectory(const std::string& dir) override {
        calls.push_back("sync folder");
        return TFileCommit::SyncDirectory(dir);
    }

    std::vector<std::string> calls;
    bool failSync = false;
    bool failRename = false;
};

TEST_F(WriterTest, SuccessIsReportedOnlyOnceTheArchiveAndItsNameAreOnTheDisk) {
    Put("a", "a");
    RecordingCommit commit;
    writer.SetFileCommit(commit);
    writer.OnZipComplete = [&](TZipWriter&, int) { commit.calls.push_back("complete"); };
    const std::vector<std::string> expected{"sync file", "rename .out.zip.part- out.zip",
                                            "sync folder", "complete"};
    Run({Src() + "a"});
    EXPECT_EQ(commit.calls, expected);
    commit.calls.clear();
    SetModified(Put("a", "changed"), std::time(nullptr) + 60);
    Run({Src() + "a"}); // an update goes the same way
    EXPECT_EQ(commit.calls, expected);
    EXPECT_EQ(Extracted()["a"], "changed");
}

TEST_F(WriterTest, AnArchiveThatCannotBeMadeToLastIsNotPutInPlace) {
    Put("a", "a");
    RecordingCommit commit;
    writer.SetFileCommit(commit);
    bool completed = false;
    writer.OnZipComplete = [&](TZipWriter&, int) { completed = true; };
    commit.failSync = true;
    EXPECT_THROW(Run({Src() + "a"}), ENotEnoughRoom);
    EXPECT_TRUE(ArchiveFolder().empty());

    commit.failSync = false;
    Run({Src() + "a"});
    const std::string before = ReadFile(Zip());
    completed = false;
    commit.failRename = true;
    SetModified(Put("a", "changed"), std::time(nullptr) + 60);
    EXPECT_THROW(Run({Src() + "a"}), EZipError);
    EXPECT_FALSE(completed);
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(ArchiveFolder(), std::set<std::string>{"out.zip"});
}

// The host sees the complete archive, readable while the run still holds
// it, before it takes the name; one it refuses stands where the host said,
// never at the name, and without a place to go it is not left behind.
TEST_F(WriterTest, AnArchiveTheHostRefusesItsNameLeavesTheOldOneThere) {
    Put("a", "old");
    Run({Src() + "a"});
    const std::string before = ReadFile(Zip());
    RecordingCommit commit;
    writer.SetFileCommit(commit);
    bool completed = false;
    writer.OnZipComplete = [&](TZipWriter&, int) { completed = true; };
    std::map<std::string, std::string> seen;
    writer.OnArchiveReady = [&](TZipWriter&, const std::string& part, std::string& keepAs) {
        seen = test::ExtractAll(part, tmp.dir() + "extracted");
        keepAs = tmp.dir() + "out.zip.refused";
    };
    SetModified(Put("a", "new"), std::time(nullptr) + 60);
    try {
        Run({Src() + "a"});
        ADD_FAILURE() << "the refused archive took the name";
    } catch (const EArchiveRefused& refused) {
        EXPECT_EQ(refused.KeptAs, tmp.dir() + "out.zip.refused");
    }
    EXPECT_EQ(seen, (std::map<std::string, std::string>{{"a", "new"}}));
    EXPECT_FALSE(completed);
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(test::ExtractAll(tmp.dir() + "out.zip.refused", tmp.dir() + "extracted"), seen);

    commit.failRename = true;
    try {
        Run({Src() + "a"});
        ADD_FAILURE() << "the refused archive took the name";
    } catch (const EArchiveRefused& refused) {
        EXPECT_EQ(refused.KeptAs, "");
        EXPECT_EQ(refused.ErrorCode, EACCES);
    }
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(ArchiveFolder(), (std::set<std::string>{"out.zip", "out.zip.refused"}));
}

// Entries added last from memory come after the files of the same run,
// hear what those were written with, and take the archive's cipher: an AES
// or traditional entry whose header, check byte or trailer is wrong, or a
// stored one mislabelled, is what the other tools would refuse.
TEST_F(WriterTest, EntriesAddedLastFollowTheFilesInTheSameRunWithTheArchivesCipher) {
    MZB_REQUIRE_PEERS("unzip", "7zz", "bsdtar", "python3");
    const std::string text = AsText(test::MakeText(90000, 5));
    const std::string raw = AsText(test::MakeRandomBytes(5000, 6));
    Put("a.txt", text);
    Put("b.bin", raw);
    const std::uint32_t attributes = (0100600u << 16) | kAttrArchive;
    std::vector<std::pair<std::string, std::uint32_t>> heard;
    writer.OnAddLast = [&](TZipWriter&, const TSortedZip& written,
                           std::vector<TLastEntry>& addLast) {
        heard.clear();
        for (std::size_t i = 0; i < written.Count(); ++i) {
            heard.emplace_back(written.Items(i).FileName(), written.Items(i).Crc32);
        }
        addLast.push_back({"list.txt", text + "listed", 1, 1700000000, attributes});
        addLast.push_back({"sub/raw", raw, 0, 1700000000, attributes});
    };
    const struct {
        const char* password;
        TEncryption encryption;
    } cases[] = {{"", TEncryption::Traditional},
                 {"pass", TEncryption::Traditional},
                 {"pass", TEncryption::Aes256}};
    for (const auto& [password, encryption] : cases) {
        SCOPED_TRACE(std::string(EncryptionName(encryption)) + " '" + password + "'");
        fs::remove(Zip());
        writer.ArchivePassword = password;
        writer.Encryption = encryption;
        EXPECT_EQ(Run({Src() + "*"}), 2);
        EXPECT_EQ(StoredNames(),
                  (std::vector<std::string>{"a.txt", "b.bin", "list.txt", "sub/raw"}));
        EXPECT_EQ(heard, (std::vector<std::pair<std::string, std::uint32_t>>{
                             {"a.txt", writer.Entry(0).Crc32}, {"b.bin", writer.Entry(1).Crc32}}));
        EXPECT_EQ(writer.Entry(2).ExternalAttributes, attributes);
        EXPECT_EQ(writer.Entry(3).Flags & kFlagEncrypted, *password ? kFlagEncrypted : 0);
        const std::map<std::string, std::string> expected = {
            {"a.txt", text}, {"b.bin", raw}, {"list.txt", text + "listed"}, {"sub/raw", raw}};
        EXPECT_EQ(Extracted(password), expected);
        // Only 7-Zip of the other tools reads AES.
        if (encryption == TEncryption::Traditional) {
            EXPECT_EQ(DecodeWithZlib(Zip(), password), expected);
            EXPECT_EQ(test::PeerTestFailures(Zip(), password), std::vector<std::string>{});
        } else {
            const auto tested =
                test::RunCommand({test::PeerPath("7zz"), "t", "-p" + std::string(password), Zip()});
            EXPECT_EQ(tested.exitCode, 0) << tested.out << tested.err;
        }
    }

    // A name the archive holds already is refused before anything takes it.
    writer.OnAddLast = [](TZipWriter&, const TSortedZip&, std::vector<TLastEntry>& addLast) {
        addLast.push_back({"b.bin", "again", 1, 1700000000, 0});
    };
    const std::string before = ReadFile(Zip());
    writer.ReplaceExisting = true;
    EXPECT_THROW(Run({Src() + "*"}), EZipFormatError);
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(ArchiveFolder(), (std::set<std::string>{"out.zip"}));
}

// Under umask 022 a new archive is still the owner's alone, an update keeps
// the mode its owner gave the archive, and the part file each run writes
// beside the archive is private from its creation.
TEST_F(WriterTest, ModesOfNewUpdatedAndTemporaryArchives) {
    Put("a", "a");
    std::vector<std::pair<std::string, unsigned>> parts; // seen while writing
    writer.OnStartZip = [&](TZipWriter&, const std::string&, TZipHeaderInfo&, bool&) {
        for (const auto& e : fs::directory_iterator(tmp.path())) {
            const std::string name = e.path().filename().string();
            if (name.starts_with(".out.zip.part-")) {
                parts.emplace_back(name.substr(0, 14),
                                   static_cast<unsigned>(e.status().permissions()));
            }
        }
    };
    const mode_t mask = ::umask(022);
    Run({Src() + "a"});
    const auto created = fs::status(Zip()).permissions();
    fs::permissions(Zip(), fs::perms(0664));
    SetModified(Put("a", "changed"), std::time(nullptr) + 60);
    Run({Src() + "a"});
    ::umask(mask);
    EXPECT_EQ(created, fs::perms(0600));
    EXPECT_EQ(fs::status(Zip()).permissions(), fs::perms(0664));
    const std::pair<std::string, unsigned> part{".out.zip.part-", 0600};
    EXPECT_EQ(parts, (std::vector<std::pair<std::string, unsigned>>{part, part}));
}

// Also those of names no later run writes again, as a date makes them.
TEST_F(WriterTest, LeftoversOfKilledRunsOfArchivesInTheFolderGo) {
    Put("a", "a");
    tmp.write(".out.zip.part-Ab12Cd", "half an archive");
    tmp.write(".out03-14_09-26-53.zip.part-Ab12Cd", "half of yesterday's archive");
    tmp.write(".out.zip.part-x", "not a name the writer gives");
    tmp.write(".notes.txt.part-Ab12Cd", "not an archive's");
    writer.SetStorePaths(false);
    Run({tmp.dir() + "*"}); // the leftovers are not backed up either
    EXPECT_EQ(ArchiveFolder(),
              (std::set<std::string>{".notes.txt.part-Ab12Cd", ".out.zip.part-x", "out.zip"}));
    EXPECT_EQ(StoredNames(),
              (std::vector<std::string>{".notes.txt.part-Ab12Cd", ".out.zip.part-x"}));
}

// An update whose new archive fills the disk: the run fails with the full
// disk's message, the old archive stays as it was, and the folder holds
// nothing else.
TEST_F(UpdateTest, AnUpdateThatFillsTheDiskKeepsTheOldArchiveAsItWas) {
    const std::string before = ReadFile(Zip());
    Put("big.bin", AsText(test::MakeRandomBytes(400000, 12)));
    const std::string report = test::RunInChild([&] {
        LimitFileSizes(256 << 10);
        std::string out;
        try {
            Run({Src() + "big.bin"});
            out = "no error\n";
        } catch (const EZipError& e) {
            out = std::string(e.what()) + "\n";
        }
        return out;
    });
    EXPECT_EQ(report, "Not enough room to write archive\n");
    EXPECT_EQ(ReadFile(Zip()), before);
    EXPECT_EQ(ArchiveFolder(), std::set<std::string>{"out.zip"});
}

TEST_F(WriterTest, EntriesOfOtherToolsAreCarriedOverIntact) {
    test::ArchiveBuilder b;
    auto& described = b.AddDeflated("described.txt", std::string(5000, 'd'));
    described.flags |= kFlagDataDescriptor;
    described.dataDescriptor = std::string("PK\x07\x08", 4) + std::string(12, '\0');
    b.Add("commented.txt", "c").comment = "entry comment";
    b.Add("extra.txt", "e").localExtra = std::string("\x99\x99\x02\x00xy", 6);
    b.AddEncrypted("secret.txt", "classified", "pw", true);
    b.comment = "archive comment";
    b.WriteTo(Zip());
    Put("added.txt", "added");
    Run({Src() + "added.txt"});
    TZipReader reader(host);
    reader.SetZipName(Zip());
    reader.OpenArchive();
    ASSERT_EQ(reader.EntryCount(), 5);
    EXPECT_EQ(reader.ArchiveComment(), "archive comment");
    EXPECT_EQ(reader.EntryComment(1), "entry comment");
    EXPECT_EQ(Extracted("pw"),
              (std::map<std::string, std::string>{{"described.txt", std::string(5000, 'd')},
                                                  {"commented.txt", "c"},
                                                  {"extra.txt", "e"},
                                                  {"secret.txt", "classified"},
                                                  {"added.txt", "added"}}));
}

TEST_F(WriterTest, DamagedExistingArchiveIsLeftAlone) {
    const std::string junk = "this is not an archive at all, just some text";
    tmp.write("out.zip", junk);
    Put("a", "a");
    EXPECT_THROW(Run({Src() + "a"}), EZipError);
    EXPECT_EQ(ReadFile(Zip()), junk);
}

TEST_F(WriterTest, DisposeDeletesTheAddedFilesTheHandlerDoesNotKeep) {
    Put("a", "a");
    Put("b", "b");
    writer.Dispose = true;
    writer.OnDisposeFile = [](TZipWriter&, const std::string& name, bool& skip) {
        skip = name.ends_with("/b");
    };
    Run({Src() + "a", Src() + "b"});
    EXPECT_FALSE(fs::exists(Src() + "a"));
    EXPECT_TRUE(fs::exists(Src() + "b"));
    EXPECT_EQ(DecodeWithZlib(Zip()).size(), 2u);
}

// --- times -------------------------------------------------------------------------

void SetModifiedExactly(const std::string& path, std::int64_t seconds, long nanoseconds) {
    const struct timespec when = {seconds, nanoseconds};
    const struct timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct timespec ModifiedOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mtim;
}

// An update compares a file with its entry to the second: a change within
// the two seconds of one MS-DOS time still replaces the entry, and a file
// left alone keeps it, whatever its fraction of a second.
TEST_F(WriterTest, AnUpdateComparesTimesToTheSecond) {
    const std::string file = Put("f.txt", "first");
    SetModifiedExactly(file, 1700000000, 250000000);
    ASSERT_EQ(Run({Src() + "*"}), 1);
    Put("f.txt", "second");
    SetModifiedExactly(file, 1700000001, 900000000);
    EXPECT_EQ(Run({Src() + "*"}), 1);
    EXPECT_EQ(Extracted()["f.txt"], "second");
    EXPECT_EQ(Run({Src() + "*"}), 0);
}

struct TimedItem {
    const char* path; // a folder's ends in '/'
    std::int64_t seconds;
    long nanoseconds = 0;
};

// Each comes back to the second, in any zone. Folders come last: putting
// the files in changes their times.
const TimedItem kTimedItems[] = {
    {"odd.txt", 1720102273, 700000000}, // 2024-07-04 10:11:13.7 EDT
    {"fall/first.txt", 1730611801},     // 2024-11-03 01:30:01 EDT
    {"fall/second.txt", 1730615401},    // 2024-11-03 01:30:01 EST, an hour later
    {"future.txt", 2222164801},         // 2040-06-01 12:00:01 UTC, past 31 bits
    {"fall/", 1730615403},
    {"empty/", 1700000001},
};

// Beyond what the extended timestamp carries, so only their MS-DOS times
// are kept: its first value and the last one a reader takes.
const TimedItem kUntimedItems[] = {
    {"old.txt", -302443199},  // 1960-06-01 12:00:01 UTC
    {"late.txt", 4431067201}, // 2110-06-01 12:00:01 UTC
};

// An archive of files and folders with those times, written in New York.
class TimesTest : public WriterTest {
protected:
    void SetUp() override {
        using Items = std::span<const TimedItem>;
        for (const Items items : {Items(kUntimedItems), Items(kTimedItems)}) {
            for (const TimedItem& item : items) {
                const std::string path = Src() + item.path;
                if (path.ends_with('/')) {
                    fs::create_directories(path);
                } else {
                    Put(item.path, item.path);
                }
                SetModifiedExactly(path, item.seconds, item.nanoseconds);
            }
        }
        const test::ScopedEnvironment zone("TZ", test::kNewYorkZone);
        writer.SetRootDir(Src());
        writer.SetRelativePaths(true);
        writer.AddDirEntriesOnRecurse = true;
        ASSERT_EQ(Run({Src() + "*"}), 8);
    }

    static void ExpectTimesRestored(const std::string& root) {
        for (const TimedItem& item : kTimedItems) {
            const struct timespec restored = ModifiedOf(root + "/" + item.path);
            EXPECT_EQ(restored.tv_sec, item.seconds) << item.path;
            EXPECT_EQ(restored.tv_nsec, 0) << item.path;
        }
    }
};

TEST_F(TimesTest, FilesAndFoldersComeBackToTheSecondInEveryZone) {
    int run = 0;
    for (const char* zone : {"UTC0", test::kNewYorkZone, test::kZoneWithDaylightSaving}) {
        SCOPED_TRACE(zone);
        const test::ScopedEnvironment tz("TZ", zone);
        const std::string dest = tmp.dir() + "restored-" + std::to_string(run++);
        test::ExtractAll(Zip(), dest);
        ExpectTimesRestored(dest);
        EXPECT_EQ(ModifiedOf(dest + "/old.txt").tv_sec, test::LocalTime(1980, 1, 1, 0, 0, 0));
        EXPECT_EQ(ModifiedOf(dest + "/late.txt").tv_sec, test::LocalTime(2099, 12, 31, 23, 59, 58));
    }
}

// In UTC, where 7-Zip's reading of an MS-DOS time is exact too.
TEST_F(TimesTest, UnzipAndSevenZipRestoreThemToo) {
    MZB_REQUIRE_PEERS("unzip", "7zz");
    const std::string byUnzip = tmp.dir() + "by-unzip";
    const std::string bySeven = tmp.dir() + "by-7zz";
    const std::vector<std::string> utc = {"TZ=UTC0"};
    ASSERT_EQ(test::RunCommand({test::PeerPath("unzip"), "-q", Zip(), "-d", byUnzip}, utc).exitCode,
              0);
    ASSERT_EQ(test::RunCommand(
                  {test::PeerPath("7zz"), "x", "-y", "-bd", "-bso0", "-o" + bySeven, Zip()}, utc)
                  .exitCode,
              0);
    for (const std::string& dest : {byUnzip, bySeven}) {
        SCOPED_TRACE(dest);
        ExpectTimesRestored(dest);
        EXPECT_EQ(ModifiedOf(dest + "/old.txt").tv_sec, 315532800); // 1980-01-01 00:00:00
    }
}

} // namespace
} // namespace mzb
