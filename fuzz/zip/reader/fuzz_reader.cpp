// The archive reader over arbitrary bytes: list every entry, then extract
// them all into a fresh directory. Whatever the archive says, the run must
// end with a result or an engine error, and nothing may appear beside the
// destination directory.
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/reader/ZipReader.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One scratch directory per process, removed at exit; every input starts
// from an empty destination.
struct Scratch {
    fs::path root;
    fs::path archive;
    fs::path dest;

    Scratch() {
        const fs::path tmp = fs::temp_directory_path();
        root = tmp / ("mzb-fuzz-reader-" + std::to_string(::getpid()));
        fs::create_directories(root);
        archive = root / "archive.zip";
        dest = root / "out";
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

void ListEntries(mzb::TZipReader& reader) {
    reader.OpenArchive();
    for (int i = 0; i < reader.EntryCount(); ++i) {
        (void)reader.EntryFileName(i);
        (void)reader.EntryDirectory(i);
        (void)reader.EntryDateTime(i);
        (void)reader.EntryComment(i);
    }
    (void)reader.ArchiveComment();
}

// Anything but the archive and the destination below the scratch root was
// written through a name that escaped.
void CheckNothingEscaped(const Scratch& s) {
    for (const auto& e : fs::directory_iterator(s.root)) {
        if (e.path() != s.archive && e.path() != s.dest) {
            std::fprintf(stderr, "written outside the destination: %s\n", e.path().c_str());
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Scratch& s = TheScratch();
    std::error_code ignored;
    fs::remove_all(s.dest, ignored);
    {
        std::ofstream out(s.archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    mzb::HeadlessHost host;
    mzb::TZipReader reader(host);
    reader.IncompleteZipMode = mzb::TIncompleteZipMode::izAssumeBad;
    reader.DoProcessMessages = false;
    reader.ArchivePassword = "pw";
    try {
        reader.SetZipName(s.archive.string());
        ListEntries(reader);
        reader.SetDestDir(s.dest.string());
        reader.RecreateDirs = true;
        reader.DoAll = true;
        reader.OverwriteMode = mzb::TUZOverwriteMode::Always;
        reader.RunUnZip();
    } catch (const mzb::EZipError&) {
        // A refused archive is a fine outcome.
    }
    CheckNothingEscaped(s);
    return 0;
}
