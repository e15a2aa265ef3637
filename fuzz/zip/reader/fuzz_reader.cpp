// The archive reader over arbitrary bytes: list every entry, then extract
// them all into a fresh directory. Whatever the archive says, the run must
// end with a result or an engine error, and nothing may appear beside the
// destination directory.
//
// A hostile user sharing the destination is played along: before the run,
// links to a folder outside are planted on the way to some entries' outputs
// and FIFOs at others' output paths; during it, the folder of some entries
// is swapped for such a link just before the entry. Nothing may ever reach
// the folder outside.
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/reader/ZipReader.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One scratch directory per process, removed at exit; every input starts
// from an empty destination.
struct Scratch {
    fs::path root;
    fs::path archive;
    fs::path dest;
    fs::path outside; // where planted links point

    Scratch() {
        const fs::path tmp = fs::temp_directory_path();
        root = tmp / ("mzb-fuzz-reader-" + std::to_string(::getpid()));
        fs::create_directories(root);
        archive = root / "archive.zip";
        dest = root / "out";
        outside = root / "outside";
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

// Anything but the archive, the destination and the empty folder the links
// point to below the scratch root was written through a name that escaped
// or a link that was followed.
void CheckNothingEscaped(const Scratch& s) {
    for (const auto& e : fs::directory_iterator(s.root)) {
        if (e.path() != s.archive && e.path() != s.dest && e.path() != s.outside) {
            std::fprintf(stderr, "written outside the destination: %s\n", e.path().c_str());
            std::abort();
        }
    }
    if (!fs::is_empty(s.outside)) {
        std::fprintf(stderr, "written through a link into %s\n", s.outside.c_str());
        std::abort();
    }
}

// The folder of the entry's output below the destination, as a relative
// path; empty for none.
fs::path FolderBelow(const mzb::TZipReader& reader, int index, const fs::path& dest) {
    const auto path = reader.OutputPathOfEntry(reader.Entry(index));
    if (!path) {
        return {};
    }
    const fs::path folder = fs::path(*path).parent_path();
    const fs::path below = folder.lexically_relative(dest);
    return below.empty() || *below.begin() == ".." || below == "." ? fs::path() : below;
}

// Whether each folder of `below` under the destination is a real folder,
// not a link (made first with `make`): what is planted must never be put
// through a link planted earlier.
bool RealFolders(const fs::path& dest, const fs::path& below, bool make) {
    fs::path at = dest;
    for (const auto& part : below) {
        at /= part;
        std::error_code error;
        const auto status = fs::symlink_status(at, error);
        if (status.type() == fs::file_type::not_found && make) {
            fs::create_directory(at, error);
        } else if (status.type() != fs::file_type::directory) {
            return false;
        }
    }
    return true;
}

// Before the run: every third entry finds a link at one of the folders on
// its way (which one depends on the entry), every fifth a FIFO at its own
// output path when its folder is the destination.
void PlantBeforeTheRun(const mzb::TZipReader& reader, const Scratch& s) {
    std::error_code ignored;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const fs::path below = FolderBelow(reader, i, s.dest);
        if (i % 3 == 0 && !below.empty()) {
            const auto depth = std::distance(below.begin(), below.end());
            fs::path above;
            auto part = below.begin();
            for (long level = 0; level < i % depth; ++level, ++part) {
                above /= *part;
            }
            if (RealFolders(s.dest, above, true)) {
                fs::create_directory_symlink(s.outside, s.dest / above / *part, ignored);
            }
        } else if (i % 5 == 1 && below.empty()) {
            if (const auto path = reader.OutputPathOfEntry(reader.Entry(i))) {
                ::mkfifo(path->c_str(), 0600);
            }
        }
    }
}

// During the run, just before every fourth entry: its folder, when it is
// one already, is moved aside and a link takes its place.
void SwapDuringTheRun(mzb::TZipReader& reader, const Scratch& s) {
    reader.OnStartUnZip = [&s](mzb::TZipReader& r, int index, std::string&, bool&) {
        const fs::path below = FolderBelow(r, index, s.dest);
        if (index % 4 != 2 || below.empty() || !RealFolders(s.dest, below, false)) {
            return;
        }
        std::error_code ignored;
        fs::rename(s.dest / below, s.dest / (".moved-" + std::to_string(index)), ignored);
        fs::create_directory_symlink(s.outside, s.dest / below, ignored);
    };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Scratch& s = TheScratch();
    std::error_code ignored;
    fs::remove_all(s.dest, ignored);
    fs::remove_all(s.outside, ignored);
    fs::create_directories(s.dest, ignored);
    fs::create_directories(s.outside, ignored);
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
        PlantBeforeTheRun(reader, s);
        SwapDuringTheRun(reader, s);
        reader.RunUnZip();
    } catch (const mzb::EZipError&) {
        // A refused archive is a fine outcome.
    }
    CheckNothingEscaped(s);
    return 0;
}
