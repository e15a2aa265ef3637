#pragma once
// The program's own message window: an icon, the text and one OK button,
// modal, closing by itself after a given number of seconds, so that the
// report of an unattended backup neither stays on screen nor holds up the
// next scheduled run for long.

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

    // The window closes itself `seconds` seconds from now.
    void StartAutoClose(int seconds);

private:
    QTimer autoClose_;
};

// The window for the text (lines separated by '\r'), laid out and placed,
// not shown; its timer is running.
std::unique_ptr<TMsgForm> CreateTimedMessageWindow(const std::string& text, MessageKind kind,
                                                   int seconds, QWidget* parent = nullptr);
// Shows the window modally and returns when it has closed, by OK, Enter,
// Escape, the close box or the timer.
void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds,
                      QWidget* parent = nullptr);

} // namespace mzb
