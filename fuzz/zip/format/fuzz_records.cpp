// The record readers on hostile bytes: find the end record (and the ZIP64
// end record it may lead to), walk the central directory it names, sort the
// entries every way, load comments and read the local headers the entries
// point to. Nothing may crash, hang or read outside the input, whatever the
// fields claim.

#include "zip/format/EndCentral.h"
#include "zip/format/SortedZip.h"
#include "zip/format/ZipHeaderInfo.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("records", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        std::perror("memfd");
        std::abort();
    }
    mzb::TFileStream archive;
    if (!archive.Attach(fd)) {
        std::abort();
    }
    mzb::TEndCentral end;
    if (!end.Locate(archive) || !end.LoadZip64Record(archive)) {
        return 0;
    }
    end.LoadComment(archive);

    mzb::TSortedZip entries(mzb::TZipSortMode::ByNone, mzb::TDuplicates::Accept, true);
    archive.Seek(end.CentralOffset);
    for (std::uint64_t i = 0; i < end.TotalEntries; ++i) {
        auto entry = std::make_unique<mzb::TZipHeaderInfo>();
        if (!entry->ReadCentralHeader(archive)) {
            break;
        }
        if (entry->FileNameLength() > 3 * 0xFFFF) { // code page 437 at most triples it
            std::abort();
        }
        entries.Add(std::move(entry));
    }
    for (int mode = 0; mode <= 7; ++mode) {
        entries.SetSortMode(static_cast<mzb::TZipSortMode>(mode));
    }
    for (std::size_t i = 0; i < entries.Count(); ++i) {
        mzb::TZipHeaderInfo& entry = entries.Items(i);
        entry.LoadFileComment(archive);
        mzb::TZipHeaderInfo local;
        if (archive.Seek(entry.RelativeOffset) && local.ReadLocalHeader(archive) &&
            local.RelativeOffset != entry.RelativeOffset) {
            std::abort();
        }
    }
    return 0;
}
