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
#include <sys/types.h>
#include <unordered_set>
#include <vector>

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
    // The folder was made by this tree: the names an extraction gives its
    // files there are expected to be free.
    bool Made = false;
    // The base, or a folder reached through folders this tree made from the
    // base down (TOutputTree::MadeFromBase).
    bool OfBase = false;
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
    // The base, opened on first need; -1 with errno when it cannot be.
    int BaseDescriptor();
    // `relative` is the base, or lies below a folder this tree made in the
    // base: a file made without a name in the base can be linked there and
    // has what it would have had if made there (file system, group, default
    // permissions), since those folders took theirs from the base.
    bool MadeFromBase(std::string_view relative) const;

private:
    class TWalk;

    bool MadeFromBase(const std::vector<std::string_view>& parts) const;

    std::string base_;                     // ending in '/'
    std::unordered_set<std::string> made_; // relative paths of the folders it made
    TLinkRule rule_;
    unsigned trustedUser_;
    int baseFd_ = -1;
    bool oneCall_ = true; // openat2 not yet found missing
};

// An output on its way: the file being written in the output's folder and
// the name it takes there once complete. Where the file system allows, the
// file has no name at all while it is written (O_TMPFILE): a run killed at
// any moment leaves nothing behind, and a new output takes its name in one
// link, which fails where anything stands at the name. Elsewhere, and where
// something stands at the name already, it is a part file that takes the
// name in one rename.
struct TPartInFolder {
    std::shared_ptr<TOutputFolder> Folder;
    std::string Part; // the part file's name; empty while it has none
    std::string Name;
    // What stands at the name was judged before the file was made, and is
    // replaced. When not, an unnamed file takes only a free name, and what
    // it finds there is judged then.
    bool Judged = true;

    // The file to write, made with `mode` (less the umask) when unnamed and
    // 0600 as a part file named `prefix` and random characters; -1 with
    // errno when neither can be made.
    int Create(const std::string& prefix, mode_t mode);
    // Takes as the file to write `fd`, made without a name in the folder's
    // file system and owned by its stream; `prefix` as for Create.
    void Adopt(int fd, const std::string& prefix);
    bool Unnamed() const { return unnamed_ >= 0; }
    // Removes the part file; an unnamed file goes when it is closed.
    void Discard() const;
    // The file takes the name, in one step replacing whatever stood there
    // (a link itself, never what it points to). An unnamed file is given its
    // name before it is closed.
    bool PutInPlace();
    // An unnamed file takes the name only where nothing stands there; false
    // with errno EEXIST where something does.
    bool TakeFreeName() const;

private:
    std::string prefix_;
    int unnamed_ = -1; // the unnamed file's descriptor, owned by its stream
};

} // namespace mzb
