#pragma once
// What the backup and restore runs need from the main window: questions and
// message boxes, the program's timed message, the run lock, the progress bar,
// the tabbed pages and the clock. The window implements it; tests fake it and
// the command-line tool answers without a person.

#include "platform/LocalDateTime.h"

#include <string>

namespace mzb {

enum class MessageKind { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };

// The answers to the question about an existing file during a restore.
enum class OverwriteAnswer { Yes, YesToAll, No, NoToAll, Cancel };

class RunHost {
public:
    virtual ~RunHost() = default;

    // A standard message box with Yes and No; true for Yes. Escape counts as No.
    virtual bool AskYesNo(const std::string& text, MessageKind kind) = 0;
    // A standard message box with OK.
    virtual void ShowMessage(const std::string& text, MessageKind kind) = 0;
    // The question (warning kind, title "File Exists Alert") with Yes, Yes
    // to All, No, No to All and Cancel; Escape counts as Cancel.
    virtual OverwriteAnswer AskOverwrite(const std::string& text) = 0;
    // The program's own modal message window that closes by itself. Lines of
    // the text are separated by '\r'. With kRunMessageStays it stays until
    // the user closes it, without holding up the caller: a report of what
    // went wrong must reach a user who was away, and must not stop the
    // schedule meanwhile.
    virtual void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds) = 0;
    // False locks Start Backup, Start Restore, both pages and the tray Backup
    // submenu (with the busy cursor); true releases them.
    virtual void SetRunLock(bool enabled) = 0;
    virtual void SetProgress(int percent) = 0;
    // The file the run is working on, beside the progress; a host without a
    // place for it ignores it.
    virtual void ShowCurrentFile(const std::string& path) { (void)path; }
    // The active page of the tabbed area, and making one active again, which
    // runs the page-change handler once.
    virtual int ActivePage() = 0;
    virtual void ShowPage(int page) = 0;
    virtual LocalDateTime Now() = 0;
};

// The seconds a run's success stays on screen.
inline constexpr int kRunMessageSeconds = 4;
// A result that names what was lost or went wrong: it stays.
inline constexpr int kRunMessageStays = 0;

// The run lock held for one run: taken when made, and released with the
// progress bar cleared however the run ends.
class RunLock {
public:
    explicit RunLock(RunHost& host) : host_(host) { host_.SetRunLock(false); }
    ~RunLock() {
        host_.SetRunLock(true);
        host_.SetProgress(0);
    }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

private:
    RunHost& host_;
};

} // namespace mzb
