#pragma once
// The folders an extraction writes into, reached from a base folder one
// component at a time, each opened relative to the one before without
// following a link; files are then made, renamed and removed relative to
// the folder's descriptor. A link that stands on the way, planted before
// the run or swapped in during it, therefore never sends a write anywhere
// else, and no path is looked up twice.
//
// The base is opened as named, a link included: the user chose it. Below
// it a link is refused, except where the rule lets trusted links through.
// A restore to the original places walks from the root of the file system,
// where links such as /bin -> usr/bin belong to the system: there a link is
// followed when it is owned by root or by the running user and sits in a
// folder owned by one of them that nobody else may change, so that no other
// user can have placed it or can change it. Its target is walked by the same
// rule, at most 40 links deep.
//
// Where the kernel has openat2, a folder that exists is reached in one call
// that refuses every link (RESOLVE_NO_SYMLINKS, RESOLVE_BENEATH); a folder
// to make, a link to judge or an older kernel take the walk.

#include <memory>
#include <string>
#include <string_view>

namespace mzb {

enum class TLinkRule {
    Refuse,        // below a destination: no link is followed
    FollowTrusted, // from the root, for the original places
};

// One folder, held open for as long as anything is made in it.
class TOutputFolder {
public:
    TOutputFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~TOutputFolder();
    TOutputFolder(const TOutputFolder&) = delete;
    TOutputFolder& operator=(const TOutputFolder&) = delete;

    int Descriptor() const { return fd_; }
    // The path it was reached by, ending in '/', for messages.
    const std::string& Path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

// What reaching a folder came to: the folder, or why not.
struct TFolderReached {
    std::shared_ptr<TOutputFolder> Folder;
    std::string Link; // the link that stood in the way, when that was why
    int Error = 0;    // errno of any other failure
};

class TOutputTree {
public:
    // trustedUser: whose links FollowTrusted follows besides root's.
    TOutputTree(std::string base, TLinkRule rule, unsigned trustedUser);
    ~TOutputTree();
    TOutputTree(const TOutputTree&) = delete;
    TOutputTree& operator=(const TOutputTree&) = delete;

    // The folder at `relative` ('/'-separated; empty for the base itself),
    // with the missing folders on the way made when `create`. A ".."
    // component is refused.
    TFolderReached Reach(std::string_view relative, bool create);

private:
    class TWalk;

    std::string base_; // ending in '/'
    TLinkRule rule_;
    unsigned trustedUser_;
    int baseFd_ = -1;
    bool oneCall_ = true; // openat2 not yet found missing
};

// An output on its way: the part file being written in the output's folder
// and the name it takes there once complete.
struct TPartInFolder {
    std::shared_ptr<TOutputFolder> Folder;
    std::string Part; // empty while no part file was made
    std::string Name;

    // Removes the part file.
    void Discard() const;
    // The part file takes the name, in one step replacing whatever stood
    // there (a link itself, never what it points to).
    bool PutInPlace() const;
};

} // namespace mzb
