#pragma once
// The restore run's view of the main window's long-lived archive reader.
// The reader keeps its settings between runs, so a password set once stays
// in force until another one is typed.

#include "core/restore/RestoreRun.h"
#include "zip/reader/ZipReader.h"

namespace mzb {

class ZipReaderRestore : public RestoreReader {
public:
    explicit ZipReaderRestore(TZipReader& reader) : reader_(reader) {}

    void Apply(const RestoreJob& job) override;
    // Reads the archive's directory when it is not in memory.
    std::string OriginalPlacesFolder() override;
    // The reader's events are assigned for the run and cleared after it.
    void RunUnZip(const RestoreReaderEvents& events) override;
    std::optional<std::string> ReadEntryText(const std::string& path, const std::string& storedName,
                                             const std::string& password) override;

private:
    bool Excluded(const TZipHeaderInfo& entry) const;

    TZipReader& reader_;
    std::vector<std::string> onlyNames_;
};

TUZOverwriteMode ReaderOverwriteMode(RestoreOverwrite mode);

} // namespace mzb
