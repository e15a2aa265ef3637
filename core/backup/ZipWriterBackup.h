#pragma once
// The backup run's view of the main window's long-lived archive writer.
// The writer keeps every setting between runs, so each run assigns all of
// the job's settings again; nothing of an earlier project may leak into the
// next archive.

#include "core/backup/BackupRun.h"
#include "zip/writer/ZipWriter.h"

namespace mzb {

class ZipWriterBackup : public BackupWriter {
public:
    explicit ZipWriterBackup(TZipWriter& writer) : writer_(writer) {}

    // Any file of the archive's name is removed first; the writer's events
    // are assigned for the run and cleared after it.
    void RunZip(const BackupJob& job, const BackupWriterEvents& events) override;
    // Tests the archive with a reader of its own on the writer's host, so
    // that it can run inside the writer's run; the window stays live and a
    // cancel of the writer reaches it.
    std::vector<std::string> ReadBack(const std::string& path,
                                      const std::string& password) override;
    // With the writer's own reader, which keeps the window live.
    std::optional<std::string> ReadEntryText(const std::string& path, const std::string& storedName,
                                             const std::string& password) override;
    bool KeepGoing() override;

private:
    void Apply(const BackupJob& job);

    TZipWriter& writer_;
};

} // namespace mzb
