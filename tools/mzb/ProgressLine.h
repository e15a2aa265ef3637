#pragma once
// One line on stderr showing how far a long command has come ("42% name"),
// rewritten in place. Only when stderr is a terminal and not silenced: a
// log or a pipe never gets it.

#include <chrono>
#include <string>

namespace mzb::cli {

class TProgressLine {
public:
    explicit TProgressLine(bool quiet);
    ~TProgressLine() { Clear(); }
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    void SetPercent(int percent);
    void SetName(const std::string& name);
    // Takes the line away, before other output on stderr and at the end.
    void Clear();

private:
    void Draw();

    bool active_;
    bool shown_ = false;
    int percent_ = 0;
    std::string name_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

} // namespace mzb::cli
