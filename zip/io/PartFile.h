#pragma once
// Part files: a file being written is first a hidden file beside its final
// name, and takes that name in one rename once it is complete. A run that
// is killed leaves at most a part file, never a damaged file under a name
// the user sees.
//
// A part file is held under an exclusive advisory lock for as long as its
// writer keeps it open. The kernel drops the lock when the writer ends,
// however it ends, so a part file nobody holds is a leftover of a run that
// died, and a later run may remove it without disturbing one still writing.
// A file is removed only while its remover holds the lock, and its creator
// checks, once it has the lock, that its name still leads to it: a file
// removed in the moment between its creation and its lock is made again.

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace mzb {

// The number of random characters that end a part file's name.
inline constexpr std::size_t kPartSuffixLength = 6;

// Creates a new file in dir named prefix + kPartSuffixLength random
// characters, exclusively (nothing that stands at the name is opened or
// followed) and readable and writable by the owner only, and locks it.
// Returns the descriptor (-1 when none could be created, errno set) and the
// path in `name`.
int CreatePartFile(const std::string& dir, const std::string& prefix, std::string& name);
// The same in the folder open as dirFd; `name` is the file's name there.
int CreatePartFileAt(int dirFd, const std::string& prefix, std::string& name);

// A new file without a name (O_TMPFILE) in the file system of the folder
// open as dirFd, with `mode` less the umask, open for reading and writing;
// -1 with errno where the file system cannot make one or it could never be
// given a name.
int CreateUnnamedAt(int dirFd, mode_t mode);
// Gives the open file `fd`, made without a name (O_TMPFILE), a part file's
// name in the folder open as dirFd, under the lock it holds like any part
// file. Returns false when no name could be given (errno set).
bool LinkAsPartFileAt(int dirFd, int fd, const std::string& prefix, std::string& name);
// Gives the open file `fd`, made without a name, the name `name` in the
// folder open as dirFd; false (errno EEXIST) when something stands there.
bool LinkUnnamedAt(int fd, int dirFd, const std::string& name);

// Removes the leftovers in dir: regular files named prefix + exactly
// kPartSuffixLength characters that no open part file holds. Returns the
// number removed.
int RemoveStaleParts(const std::string& dir, const std::string& prefix);
int RemoveStalePartsAt(int dirFd, const std::string& prefix);
// The same for the part files of every name that ends in `ending`: regular
// files named "." + a name + ending + kPartSuffixLength characters. Archives
// named by the date leave parts under names no later run writes again.
int RemoveStalePartsEndingIn(const std::string& dir, const std::string& ending);

} // namespace mzb
