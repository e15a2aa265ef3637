// Reading an archive's directory into memory: the central directory when it
// can be read, else a rebuild from the local headers, into which the
// central headers that can still be read are merged.
#include "zip/base/ZipError.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"
#include "zip/reader/ZipReader.h"

#include <algorithm>
#include <cctype>

namespace mzb {
namespace {

constexpr std::uint64_t kRebuildPollInterval = 10240;
// Self-extracting archives carry a program of at least this size before
// their first entry.
constexpr std::uint64_t kSfxStubSize = 14000;
// Signature, CRC-32 and both sizes; the sizes take 8 bytes each after a
// local header with a ZIP64 block.
constexpr std::uint64_t kDataDescriptorSize = 16;
constexpr std::uint64_t kZip64DataDescriptorSize = 24;

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    return text.size() >= s.size() &&
           std::equal(s.begin(), s.end(), text.end() - static_cast<std::ptrdiff_t>(s.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + extension;
}

enum class WalkResult { Done, BadHeader, Duplicate };

} // namespace

void TZipReader::RefuseMultiPart() const {
    throw EMultiPartZip("Multi-part archives are not supported: " + zipName_);
}

void TZipReader::ReadDirectory() {
    RememberArchiveFile();
    view_.reset();
    entries_.reset();
    localOffsets_.clear();
    haveDirectory_ = false;
    rebuilt_ = false;
    multiMode_ = TMultiMode::mmNone;

    if (endCentral_.Locate(archive_)) {
        // A ZIP64 record that contradicts itself or the file says nothing
        // that could be trusted about where anything is.
        if (!endCentral_.LoadZip64Record(archive_)) {
            ForgetArchive();
            throw EBadZipFile("Not a valid zip file!");
        }
        if (endCentral_.ThisDisk != 0 || endCentral_.CentralStartDisk != 0) {
            multiMode_ = TMultiMode::mmBlocks;
            RefuseMultiPart();
        }
    } else {
        if (FileExists(WithExtension(zipName_, ".zfc"))) {
            multiMode_ = TMultiMode::mmBlocks;
            RefuseMultiPart();
        }
        if (OnInCompleteZip) {
            OnInCompleteZip(*this, IncompleteZipMode);
        }
        switch (IncompleteZipMode) {
        case TIncompleteZipMode::izAssumeNotAZip:
            throw ENotAZipFile("Not a valid zip file!");
        case TIncompleteZipMode::izAssumeMulti:
            throw EIncompleteZip("Incomplete Zip File");
        case TIncompleteZipMode::izAssumeBad:
            if (!RebuildFromLocalHeaders()) {
                ForgetArchive();
                throw EBadZipFile("Not a valid zip file!");
            }
            break;
        }
    }
    if (!entries_) {
        entries_ = std::make_unique<TSortedZip>(TZipSortMode::ByNone, TDuplicates::Error, true);
    }
    while (!WalkCentralDirectory()) {
        if (rebuilt_ || !RebuildFromLocalHeaders()) {
            ForgetArchive();
            throw EBadZipFile("Not a valid zip file!");
        }
    }
    IndexLocalOffsets();
    BuildSortedView();
    haveDirectory_ = true;
}

void TZipReader::IndexLocalOffsets() {
    localOffsets_.clear();
    localOffsets_.reserve(entries_->Count());
    for (std::size_t i = 0; i < entries_->Count(); ++i) {
        localOffsets_.push_back(entries_->Items(i).RelativeOffset);
    }
    std::sort(localOffsets_.begin(), localOffsets_.end());
}

void TZipReader::AdoptDirectory(std::unique_ptr<TSortedZip> entries,
                                const TEndCentral& endCentral) {
    RememberArchiveFile();
    entries_ = std::move(entries);
    endCentral_.Assign(endCentral);
    endCentral_.CommentChanged = false;
    multiMode_ = TMultiMode::mmNone;
    rebuilt_ = false;
    leadingBytes_ = false;
    IndexLocalOffsets();
    BuildSortedView();
    haveDirectory_ = true;
}

// False when the walk needs a rebuild first. In a rebuilt directory the
// walk only adds what the central headers know, and ends at the first one
// that cannot be read.
bool TZipReader::WalkCentralDirectory() {
    if (endCentral_.TotalEntries == 0) {
        return true;
    }
    if (!archive_.Seek(endCentral_.CentralOffset)) {
        return rebuilt_;
    }
    for (std::uint64_t n = 0; n < endCentral_.TotalEntries; ++n) {
        auto header = std::make_unique<TZipHeaderInfo>();
        if (!header->ReadCentralHeader(archive_)) {
            return rebuilt_;
        }
        if (header->DiskNumberStart != 0) {
            multiMode_ = TMultiMode::mmBlocks;
            RefuseMultiPart();
        }
        if (rebuilt_) {
            MergeCentralHeader(std::move(header));
            continue;
        }
        try {
            entries_->Add(std::move(header));
        } catch (const EListError&) {
            // Two entries claiming one local header: the directory lies
            // (the classic overlapping bomb); trust the local headers.
            return false;
        }
    }
    return true;
}

bool TZipReader::RebuildFromLocalHeaders() {
    rebuilt_ = true;
    leadingBytes_ = true;
    const std::uint64_t start = EndsWithIgnoringCase(zipName_, ".exe") ? kSfxStubSize : 0;
    if (!archive_.Seek(start)) {
        return false;
    }
    // The last six bytes read: a local signature followed by a version
    // field whose high byte is below 10 marks the first entry.
    std::uint64_t window = 0;
    std::uint64_t position = start;
    std::uint64_t sinceLastPoll = 0;
    for (;;) {
        const int b = archive_.ReadByte();
        if (b < 0) {
            return false;
        }
        ++position;
        window = ((window << 8) | static_cast<std::uint64_t>(b)) & 0xFFFFFFFFFFFFull;
        if (position - start >= 6 && (window >> 16) == 0x504B0304u && (window & 0xFF) < 10) {
            break;
        }
        if (++sinceLastPoll == kRebuildPollInterval) {
            sinceLastPoll = 0;
            CheckForCancel();
        }
    }
    archive_.Seek(position - 6);
    entries_ = std::make_unique<TSortedZip>(TZipSortMode::ByNone, TDuplicates::Error, true);
    // Set when the last entry's data runs past the end of the file: the
    // scan then reached that end, and the entry is only cut off.
    bool reachedEnd = false;
    for (;;) {
        auto entry = std::make_unique<TZipHeaderInfo>();
        if (!entry->ReadLocalHeader(archive_)) {
            break;
        }
        const std::uint64_t descriptor = !entry->HasDataDescriptor() ? 0
                                         : entry->LocalZip64         ? kZip64DataDescriptorSize
                                                                     : kDataDescriptorSize;
        const std::uint64_t here = archive_.Position() + entry->LocalExtraLength;
        // Sizes from a ZIP64 block can be anything: compared, never added up
        // past the end of the file.
        const bool fits = here <= archiveSize_ && entry->CompressedSize <= archiveSize_ - here &&
                          descriptor <= archiveSize_ - here - entry->CompressedSize;
        const std::uint64_t next = fits ? here + entry->CompressedSize + descriptor : 0;
        try {
            entries_->Add(std::move(entry));
        } catch (const EListError&) {
            break;
        }
        reachedEnd = !fits;
        if (!fits || !archive_.Seek(next)) {
            break;
        }
    }
    endCentral_.ThisDisk = 0;
    endCentral_.CentralOffset = reachedEnd ? archiveSize_ : archive_.Position();
    endCentral_.TotalEntries = entries_->Count();
    return true;
}

void TZipReader::MergeCentralHeader(std::unique_ptr<TZipHeaderInfo> header) {
    std::size_t index = 0;
    if (!entries_->Find(*header, index)) {
        return;
    }
    auto& entry = entries_->Items(index);
    const auto offset = entry.RelativeOffset;
    const auto localExtra = entry.LocalExtraLength;
    const bool localZip64 = entry.LocalZip64;
    entry.Assign(*header);
    entry.RelativeOffset = offset;
    entry.LocalExtraLength = localExtra;
    entry.LocalZip64 = localZip64;
}

void TZipReader::BuildSortedView() {
    view_.reset();
    if (sortMode_ == TZipSortMode::ByNone) {
        return;
    }
    view_ = std::make_unique<TSortedZip>(sortMode_, TDuplicates::Accept, false);
    for (std::size_t i = 0; i < entries_->Count(); ++i) {
        view_->Add(&entries_->Items(i));
    }
}

// Where an entry's data must end: at the next local header, at the central
// directory, and at the end of the file. Data reaching past it belongs to
// someone else, or is not there.
std::uint64_t TZipReader::DataLimitOf(const TZipHeaderInfo& entry) const {
    std::uint64_t limit = archiveSize_;
    const auto next =
        std::upper_bound(localOffsets_.begin(), localOffsets_.end(), entry.RelativeOffset);
    if (next != localOffsets_.end()) {
        limit = *next;
    }
    if (endCentral_.CentralOffset > entry.RelativeOffset) {
        limit = std::min<std::uint64_t>(limit, endCentral_.CentralOffset);
    }
    return limit;
}

} // namespace mzb
