#pragma once
// The program's own message window: an icon, the text and one OK button,
// modal, closing by itself after a given number of seconds, so that the
// report of an unattended backup neither stays on screen nor holds up the
// next scheduled run for long. A report of what was lost stays instead,
// without being modal.

#include "core/base/RunHost.h"

#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>

namespace mzb {

class TMsgForm : public QDialog {
    Q_OBJECT

public:
    // An empty window in the message-box font with a dialog border; its
    // auto-close timer is made but not started.
    explicit TMsgForm(QWidget* parent = nullptr);

    // The window closes itself `seconds` seconds from now; with
    // kRunMessageStays it stays until the user closes it.
    void StartAutoClose(int seconds);
    bool ClosesByItself() const { return autoClose_.isActive(); }

private:
    QTimer autoClose_;
};

// The window for the text (lines separated by '\r'), laid out and placed,
// not shown; its timer is running.
std::unique_ptr<TMsgForm> CreateTimedMessageWindow(const std::string& text, MessageKind kind,
                                                   int seconds, QWidget* parent = nullptr);
// Shows the window modally and returns when it has closed, by OK, Enter,
// Escape, the close box or the timer. With kRunMessageStays the window
// stays, not modal, and the call returns at once: the report waits for the
// user without holding up the run's end or the schedule.
void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds,
                      QWidget* parent = nullptr);

} // namespace mzb
