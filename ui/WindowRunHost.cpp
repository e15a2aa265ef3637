#include "ui/WindowRunHost.h"

#include "ui/StandardMessages.h"
#include "ui/TFormMain.h"
#include "ui/TMsgForm.h"
#include "ui_TFormMain.h"

namespace mzb {

bool WindowRunHost::AskYesNo(const std::string& text, MessageKind kind) {
    return mzb::AskYesNo(&form_, text, kind);
}

void WindowRunHost::ShowMessage(const std::string& text, MessageKind kind) {
    ShowMessageBox(&form_, text, kind);
}

void WindowRunHost::ShowTimedMessage(const std::string& text, MessageKind kind, int seconds) {
    // Owned by the application, not the main window: a report of a backup
    // started from the tray shows while the window stays hidden.
    mzb::ShowTimedMessage(text, kind, seconds, nullptr);
}

void WindowRunHost::SetRunLock(bool enabled) {
    form_.SetRunLock(enabled);
}

void WindowRunHost::SetProgress(int percent) {
    form_.Controls().ProgressBar1->setValue(percent);
}

int WindowRunHost::ActivePage() {
    return form_.Controls().PageControl1->currentIndex();
}

void WindowRunHost::ShowPage(int page) {
    QTabWidget* pages = form_.Controls().PageControl1;
    if (pages->currentIndex() == page) {
        form_.PageControl1Change();
    } else {
        pages->setCurrentIndex(page);
    }
}

} // namespace mzb
