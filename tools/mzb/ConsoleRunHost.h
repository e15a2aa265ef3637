#pragma once
// The window's side of a backup or restore run on a terminal: every yes-or-no
// question is answered Yes, since the command itself is the request, the
// question about an existing file is asked on the terminal, and every text
// goes to standard output with its carriage returns as line breaks. Unless
// quiet, the run's progress shows on a line of stderr that is a terminal.

#include "core/base/RunHost.h"
#include "tools/mzb/ProgressLine.h"

#include <optional>

namespace mzb::cli {

class ConsoleRunHost : public RunHost {
public:
    // A fixed clock for --now; the system clock otherwise.
    explicit ConsoleRunHost(std::optional<LocalDateTime> now = std::nullopt, bool quiet = true)
        : now_(now), progress_(quiet) {}

    bool AskYesNo(const std::string&, MessageKind) override { return true; }
    void ShowMessage(const std::string& text, MessageKind) override { Print(text); }
    // On stderr, read from stdin: y yes, A yes to all, n no, N no to all,
    // c cancel; the end of the input answers No to All.
    OverwriteAnswer AskOverwrite(const std::string& text) override;
    void ShowTimedMessage(const std::string& text, MessageKind, int) override { Print(text); }
    void SetRunLock(bool) override {}
    void SetProgress(int percent) override { progress_.SetPercent(percent); }
    int ActivePage() override { return 0; }
    void ShowPage(int) override {}
    LocalDateTime Now() override { return now_ ? *now_ : LocalDateTime::Now(); }

private:
    void Print(const std::string& text);

    std::optional<LocalDateTime> now_;
    TProgressLine progress_;
};

} // namespace mzb::cli
