#pragma once
// The times of restored folders. Putting a file into a folder, or taking a
// part file out of it, sets the folder's time to the moment of doing so; a
// folder therefore gets its stored time only once nothing more is written
// into it, at the end of the run.

#include "zip/base/FileTime.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mzb {

class TFolderTimes {
public:
    // The folder is to get the time; for a folder remembered twice, the
    // second time wins.
    void Remember(std::string folder, TFileTime time);
    // Hands every folder remembered with its time to `set`, which finds the
    // folder the way its files were put there, and forgets them. A folder
    // that is gone or refuses keeps the time it has.
    void Apply(const std::function<void(const std::string& folder, TFileTime time)>& set);

private:
    std::vector<std::pair<std::string, TFileTime>> folders_;
};

} // namespace mzb
