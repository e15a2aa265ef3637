#pragma once
// The finder's "containing" test: does a file's byte stream hold a text,
// optionally without regard to ASCII letter case. Files are read in blocks of
// 4096 bytes through one buffer allocated per search; a match may straddle
// two blocks.

#include <functional>
#include <string>
#include <vector>

namespace mzb {

class TContentSearch {
public:
    TContentSearch(std::string text, bool ignoreCase);
    TContentSearch(const TContentSearch&) = delete; // the searcher points into text_
    TContentSearch& operator=(const TContentSearch&) = delete;

    // Throws std::system_error when the file cannot be opened or read.
    bool FileContains(const std::string& path);

private:
    static constexpr size_t kBlockSize = 4096;
    std::string text_;
    bool ignoreCase_;
    std::vector<char> buffer_;
    std::boyer_moore_horspool_searcher<const char*> searcher_;
};

} // namespace mzb
