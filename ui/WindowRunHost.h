#pragma once
// The backup and restore runs' view of the main window: standard message
// boxes, the timed message window, the run lock, the progress bar with the
// current file, the tabbed pages and the cancel request of a run.

#include "core/base/RunHost.h"

namespace mzb {

class TFormMain;

class WindowRunHost : public RunHost {
public:
    explicit WindowRunHost(TFormMain& form) : form_(form) {}

    bool AskYesNo(const std::string& text, MessageKind kind) override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    OverwriteAnswer AskOverwrite(const std::string& text) override;
    void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds) override;
    void SetRunLock(bool enabled) override;
    void SetProgress(int percent) override;
    // The progress bar's text names the file; an empty path hides the text.
    void ShowCurrentFile(const std::string& path) override;
    int ActivePage() override;
    void ShowPage(int page) override;
    LocalDateTime Now() override { return LocalDateTime::Now(); }

    // The Cancel button and Escape: the running backup or restore stops at
    // its next chunk.
    void RequestCancel();

private:
    TFormMain& form_;
};

} // namespace mzb
