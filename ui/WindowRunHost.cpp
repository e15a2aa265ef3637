#include "ui/WindowRunHost.h"

#include "ui/StandardMessages.h"
#include "ui/TFormMain.h"
#include "ui/TMsgForm.h"
#include "ui_TFormMain.h"
#include "zip/reader/ZipReader.h"
#include "zip/writer/ZipWriter.h"

#include <algorithm>

namespace mzb {

bool WindowRunHost::AskYesNo(const std::string& text, MessageKind kind) {
    return mzb::AskYesNo(&form_, text, kind);
}

void WindowRunHost::ShowMessage(const std::string& text, MessageKind kind) {
    ShowMessageBox(&form_, text, kind);
}

OverwriteAnswer WindowRunHost::AskOverwrite(const std::string& text) {
    return mzb::AskOverwrite(&form_, text);
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

void WindowRunHost::ShowCurrentFile(const std::string& path) {
    QProgressBar* bar = form_.Controls().ProgressBar1;
    if (path.empty()) {
        bar->setTextVisible(false);
        bar->setFormat(QStringLiteral("%p%"));
        return;
    }
    // The percent stays readable: a long path loses its middle.
    const QString prefix = QStringLiteral("%p%   ");
    const int room =
        bar->width() - bar->fontMetrics().horizontalAdvance(QStringLiteral("100%   ")) - 16;
    bar->setFormat(prefix + bar->fontMetrics().elidedText(QString::fromStdString(path),
                                                          Qt::ElideMiddle, std::max(room, 40)));
    bar->setTextVisible(true);
}

void WindowRunHost::RequestCancel() {
    // One of the two runs at most is going; a request to the idle one is
    // cleared when its next run starts.
    form_.ZipWriter1().Cancel();
    form_.ZipReader1().Cancel();
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
