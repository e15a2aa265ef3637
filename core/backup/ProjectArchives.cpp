#include "core/backup/ProjectArchives.h"

#include "core/project/ArchiveNaming.h"
#include "core/project/ProjectName.h"
#include "platform/Blanks.h"
#include "zip/io/PathName.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

// A day's room for a clock changed between naming an archive and writing it.
constexpr std::chrono::milliseconds kNameSlack{LocalDateTime::kMsPerDay};

std::optional<LocalDateTime> InYear(CivilDateTime c, int year) {
    c.Year = year;
    const LocalDateTime t = LocalDateTime::FromCivil(c);
    const CivilDateTime back = t.Civil();
    if (back.Month != c.Month || back.Day != c.Day) {
        return std::nullopt;
    }
    return t;
}

bool OwnedRegularFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

LocalDateTime ModifiedTime(const struct stat& st) {
    const auto since =
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
    return LocalDateTime::FromSystem(std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(since)));
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The same folder on disk: the same device and inode, or, for a folder
// that is not there, the same text.
bool SameFolder(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    return a == b;
}

} // namespace

LocalDateTime ArchiveDate(const std::optional<CivilDateTime>& nameDate, LocalDateTime modified) {
    if (!nameDate) {
        return modified;
    }
    const int year = modified.Civil().Year;
    if (const auto same = InYear(*nameDate, year); same && *same <= modified + kNameSlack) {
        return *same;
    }
    if (const auto before = InYear(*nameDate, year - 1)) {
        return *before;
    }
    return modified;
}

std::vector<DatedArchive> OwnArchives(const std::string& folder, const ArchivePattern& own,
                                      const std::vector<ArchivePattern>& others,
                                      const std::vector<FolderFile>& files) {
    std::vector<DatedArchive> archives;
    for (const FolderFile& file : files) {
        const auto parts = ParseArchiveName(file.Name, own.Prefix, own.UseDate);
        if (!parts) {
            continue;
        }
        bool shared = false;
        for (const ArchivePattern& other : others) {
            shared = shared || ParseArchiveName(file.Name, other.Prefix, other.UseDate);
        }
        if (!shared) {
            archives.push_back(
                {folder + file.Name, ArchiveDate(parts->Date, file.Modified), file.Size});
        }
    }
    return archives;
}

std::vector<FolderFile> ListOwnFiles(const std::string& folder) {
    std::vector<FolderFile> files;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return files;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            OwnedRegularFile(st)) {
            files.push_back({entry->d_name, ModifiedTime(st), std::uint64_t(st.st_size)});
        }
    }
    return files;
}

std::string ArchiveFolderOf(const ProjectRecord& project) {
    return WithTrailingSeparator(TrimBlanks(project.SavePath));
}

std::vector<DatedArchive> FindProjectArchives(const ProjectRecord& project,
                                              const std::vector<ProjectRecord>& projects) {
    const std::string folder = ArchiveFolderOf(project);
    std::vector<ArchivePattern> others;
    for (const ProjectRecord& other : projects) {
        if (!SameProjectName(other.Name, project.Name) &&
            SameFolder(ArchiveFolderOf(other), folder)) {
            others.push_back({other.FilenamePrefix, other.UseDate});
        }
    }
    return OwnArchives(folder, {project.FilenamePrefix, project.UseDate}, others,
                       ListOwnFiles(folder));
}

std::string DeleteArchive(const std::string& path) {
    const std::string folder = DirectoryPart(path).empty() ? "." : DirectoryPart(path);
    const std::string name = FileNamePart(path);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return std::strerror(errno);
    }
    std::string problem;
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        problem = std::strerror(errno);
    } else if (!OwnedRegularFile(st)) {
        problem = "no longer an archive of the user's own";
    } else if (::unlinkat(dir, name.c_str(), 0) != 0) {
        problem = std::strerror(errno);
    }
    ::close(dir);
    return problem;
}

} // namespace mzb
