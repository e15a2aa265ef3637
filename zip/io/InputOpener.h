#pragma once
// Opening the files a writer reads, one after the other, relative to their
// folder: the folder's descriptor is kept for the next file of the same
// folder, so that a tree of tiny files, read in listing order, costs no
// walk of the whole path per file.
//
// A file is reached as its path would reach it, a link at its own name
// followed (a listing takes a link to a regular file as that file); the
// folder is the one its path named when its first file was opened, so a
// folder swapped for a link afterwards is not followed for the files after.

#include "zip/io/FileStream.h"

#include <string>
#include <sys/stat.h>

namespace mzb {

class TInputOpener {
public:
    TInputOpener() = default;
    ~TInputOpener();
    TInputOpener(const TInputOpener&) = delete;
    TInputOpener& operator=(const TInputOpener&) = delete;

    // Opens the regular file at `path` into `stream` for reading; `status`
    // receives the open file's. A FIFO, a device or a socket there is
    // refused (EINVAL) without waiting for a writer at its other end, a
    // directory too (EISDIR). Returns 0, or the errno of the failure.
    int Open(const std::string& path, TFileStream& stream, struct stat& status);

private:
    int FolderOf(const std::string& path);

    std::string folder_; // the folder held, ending in '/'
    int folderFd_ = -1;
};

} // namespace mzb
