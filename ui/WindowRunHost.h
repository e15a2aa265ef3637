#pragma once
// The backup and restore runs' view of the main window: standard message
// boxes, the timed message window, the run lock, the progress bar and the
// tabbed pages.

#include "core/RunHost.h"

namespace mzb {

class TFormMain;

class WindowRunHost : public RunHost {
public:
    explicit WindowRunHost(TFormMain& form) : form_(form) {}

    bool AskYesNo(const std::string& text, MessageKind kind) override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds) override;
    void SetRunLock(bool enabled) override;
    void SetProgress(int percent) override;
    int ActivePage() override;
    void ShowPage(int page) override;
    LocalDateTime Now() override { return LocalDateTime::Now(); }

private:
    TFormMain& form_;
};

} // namespace mzb
