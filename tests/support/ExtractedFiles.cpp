#include "support/ExtractedFiles.h"

#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/reader/ZipReader.h"

#include <filesystem>

namespace mzb::test {

namespace fs = std::filesystem;

std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& f : fs::recursive_directory_iterator(folder)) {
        if (f.is_regular_file()) {
            files[fs::relative(f.path(), folder).string()] = ReadFile(f.path());
        }
    }
    return files;
}

std::map<std::string, std::string> ExtractAll(const std::string& archive, const std::string& dest,
                                              const std::string& password) {
    HeadlessHost host;
    TZipReader reader(host);
    reader.SetZipName(archive);
    reader.SetDestDir(dest);
    reader.RecreateDirs = true;
    reader.DoAll = true;
    reader.OverwriteMode = TUZOverwriteMode::Always;
    reader.ArchivePassword = password;
    reader.RunUnZip();
    return FilesBelow(dest);
}

} // namespace mzb::test
