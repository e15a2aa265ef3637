#pragma once
// The engine's host services over the widget toolkit: its message boxes and
// dialogs are the standard ones, and its between-chunk call lets Qt handle
// pending events, so the window repaints, the tray answers and timers tick
// while a backup or a restore runs on the user-interface thread.

#include "zip/base/HostServices.h"

class QWidget;

namespace mzb {

class WindowHostServices : public THostServices {
public:
    // `owner` is the window the dialogs belong to.
    explicit WindowHostServices(QWidget* owner) : owner_(owner) {}

    TMessageAnswer MessageBox(const std::string& text, const std::string& caption,
                              TMessageKind kind, TMessageButtons buttons) override;
    std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& initialDir) override;
    std::optional<std::string> DirectoryDialog(const std::string& initialDir) override;
    void SetBusyCursor(bool busy) override;
    void ProcessEvents() override;

private:
    QWidget* owner_;
    bool busy_ = false;
};

// "Text files|*.txt|All|*" as the file dialog's "Text files (*.txt);;All (*)".
std::string QtFileFilter(const std::string& filter);

} // namespace mzb
