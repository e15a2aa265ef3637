#include "zip/io/OutputFolder.h"

#include "zip/io/PartFile.h"
#include "zip/io/PathName.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

namespace mzb {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// As many as the kernel follows in one path.
constexpr int kMaxLinks = 40;

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const auto part = path.substr(0, slash);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    }
    return parts;
}

int Duplicate(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// The folder below `base` in one call that refuses every link and every way
// out of `base`; -1 with errno ENOSYS where the kernel cannot.
int OpenBeneath(int base, const std::string& relative) {
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
    struct open_how how {};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how));
#else
    (void)base;
    (void)relative;
    errno = ENOSYS;
    return -1;
#endif
}

} // namespace

TOutputFolder::~TOutputFolder() {
    ::close(fd_);
}

// One walk: each step takes over the descriptor it starts from, and the
// first failure is kept for the caller.
class TOutputTree::TWalk {
public:
    explicit TWalk(const TOutputTree& tree) : tree_(tree) {}

    // From `fd` through `parts`; the folder reached, or -1. `shown` follows
    // the names walked.
    int Through(int fd, std::string& shown, const std::vector<std::string_view>& parts,
                bool mayCreate) {
        for (const std::string_view part : parts) {
            const int next = Step(fd, shown, std::string(part), mayCreate);
            ::close(fd);
            if (next < 0) {
                return -1;
            }
            fd = next;
        }
        return fd;
    }

    TFolderReached failure;
    // The paths, relative to the base, of the folders made on the way.
    std::vector<std::string> made;

private:
    int Fail(int error) {
        failure.Error = error;
        return -1;
    }

    int Step(int fd, std::string& shown, const std::string& name, bool mayCreate) {
        for (bool tried = false;;) {
            const int next = ::openat(fd, name.c_str(), kFolderFlags | O_NOFOLLOW);
            if (next >= 0) {
                shown += name + "/";
                return next;
            }
            const int error = errno;
            if (error == ENOENT && mayCreate && !tried) {
                // Made here or by someone else meanwhile: either way it is
                // opened, and judged, like any other.
                if (::mkdirat(fd, name.c_str(), 0777) == 0) {
                    made.push_back(shown.substr(tree_.base_.size()) + name);
                } else if (errno != EEXIST) {
                    return Fail(errno);
                }
                tried = true;
                continue;
            }
            struct stat st {};
            if ((error == ENOTDIR || error == ELOOP) &&
                ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
                return Follow(fd, shown, name, st);
            }
            return Fail(error);
        }
    }

    bool Trusted(int folderFd, const struct stat& link) const {
        const auto ours = [this](uid_t uid) { return uid == 0 || uid == tree_.trustedUser_; };
        struct stat folder {};
        return ::fstat(folderFd, &folder) == 0 && ours(link.st_uid) && ours(folder.st_uid) &&
               (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    }

    int Follow(int fd, std::string& shown, const std::string& name, const struct stat& link) {
        if (tree_.rule_ != TLinkRule::FollowTrusted || !Trusted(fd, link)) {
            failure.Link = shown + name;
            return -1;
        }
        if (++links_ > kMaxLinks) {
            return Fail(ELOOP);
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(fd, name.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            return Fail(n < 0 ? errno : ENAMETOOLONG);
        }
        target.resize(static_cast<std::size_t>(n));
        const bool absolute = target.front() == '/';
        std::string where = absolute ? std::string("/") : shown;
        const int start = absolute ? ::open("/", kFolderFlags) : Duplicate(fd);
        if (start < 0) {
            return Fail(errno);
        }
        // What a link points to is taken as it is: nothing is made there.
        const int reached = Through(start, where, Components(target), false);
        if (reached >= 0) {
            shown += name + "/";
        }
        return reached;
    }

    const TOutputTree& tree_;
    int links_ = 0;
};

TOutputTree::TOutputTree(std::string base, TLinkRule rule, unsigned trustedUser)
    : base_(WithTrailingSeparator(base)), rule_(rule), trustedUser_(trustedUser) {}

TOutputTree::~TOutputTree() {
    if (baseFd_ >= 0) {
        ::close(baseFd_);
    }
}

TFolderReached TOutputTree::Reach(std::string_view relative, bool create) {
    TFolderReached result;
    const std::vector<std::string_view> parts = Components(relative);
    std::string shown = base_;
    for (const std::string_view part : parts) {
        if (part == "..") {
            result.Error = EINVAL;
            return result;
        }
        shown.append(part).push_back('/');
    }
    if (BaseDescriptor() < 0) {
        result.Error = errno;
        return result;
    }
    // Named as the walk names the folders it makes.
    const std::string key =
        parts.empty() ? std::string() : shown.substr(base_.size(), shown.size() - base_.size() - 1);
    if (oneCall_ && !parts.empty()) {
        const int fd = OpenBeneath(baseFd_, key);
        if (fd >= 0) {
            result.Folder = std::make_shared<TOutputFolder>(fd, shown);
            result.Made = made_.contains(key);
            result.OfBase = MadeFromBase(parts);
            return result;
        }
        oneCall_ = errno != ENOSYS;
    }
    TWalk walk(*this);
    shown = base_;
    const int start = Duplicate(baseFd_);
    const int fd = start < 0 ? -1 : walk.Through(start, shown, parts, create);
    const int error = errno;
    made_.insert(walk.made.begin(), walk.made.end());
    if (fd < 0) {
        return start < 0 ? TFolderReached{nullptr, {}, error} : walk.failure;
    }
    result.Folder = std::make_shared<TOutputFolder>(fd, shown);
    result.Made = made_.contains(key);
    result.OfBase = MadeFromBase(parts);
    return result;
}

int TOutputTree::BaseDescriptor() {
    if (baseFd_ < 0) {
        baseFd_ = ::open(base_.empty() ? "." : base_.c_str(), kFolderFlags);
    }
    return baseFd_;
}

bool TOutputTree::MadeFromBase(std::string_view relative) const {
    return MadeFromBase(Components(relative));
}

// Whatever lies below a folder this tree made was made by this run too.
bool TOutputTree::MadeFromBase(const std::vector<std::string_view>& parts) const {
    return parts.empty() || made_.contains(std::string(parts.front()));
}

int TPartInFolder::Create(const std::string& prefix, mode_t mode) {
    const int folder = Folder->Descriptor();
    prefix_ = prefix;
    unnamed_ = CreateUnnamedAt(folder, mode);
    return unnamed_ >= 0 ? unnamed_ : CreatePartFileAt(folder, prefix, Part);
}

void TPartInFolder::Adopt(int fd, const std::string& prefix) {
    prefix_ = prefix;
    unnamed_ = fd;
}

void TPartInFolder::Discard() const {
    if (Folder && !Part.empty()) {
        ::unlinkat(Folder->Descriptor(), Part.c_str(), 0);
    }
}

bool TPartInFolder::TakeFreeName() const {
    return LinkUnnamedAt(unnamed_, Folder->Descriptor(), Name);
}

bool TPartInFolder::PutInPlace() {
    const int folder = Folder->Descriptor();
    if (Unnamed()) {
        if (LinkUnnamedAt(unnamed_, folder, Name)) {
            return true;
        }
        // Taken: named as a part file first, so that it replaces what stands
        // there in one rename.
        if (errno != EEXIST || !LinkAsPartFileAt(folder, unnamed_, prefix_, Part)) {
            return false;
        }
    }
    return ::renameat(folder, Part.c_str(), folder, Name.c_str()) == 0;
}

} // namespace mzb
