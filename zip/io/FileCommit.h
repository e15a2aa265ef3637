#pragma once
// The steps that make a finished file last: its data forced to the disk,
// the rename that gives it its name, and the folder entry of that name
// forced to the disk. A run reports success only after all three, so a
// power cut after the report cannot take the file back. Tests put a layer
// in between that records the calls.

#include <string>

namespace mzb {

class TFileCommit {
public:
    virtual ~TFileCommit() = default;

    // Forces an open file's data and size to the disk.
    virtual bool SyncFile(int fd);
    // Moves a file to a new name, replacing any file of that name in one step.
    virtual bool Rename(const std::string& from, const std::string& to);
    // Forces a folder's entries (a rename into it) to the disk. A file
    // system that cannot sync a folder counts as done.
    virtual bool SyncDirectory(const std::string& dir);
};

// The layer every run uses unless it is given another.
TFileCommit& SystemFileCommit();

} // namespace mzb
