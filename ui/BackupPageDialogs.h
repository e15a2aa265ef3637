#pragma once
// The windows the "Backup " page opens to ask for something: the name
// prompt, the wildcard window, the file-open dialog and the folder
// browser. The page asks through this interface, so window tests answer
// without a person.

#include <QString>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace mzb {

class RunHost;

class BackupPageDialogs {
public:
    virtual ~BackupPageDialogs() = default;
    // The name prompt with the caption and the text; the trimmed name, or
    // nothing when cancelled.
    virtual std::optional<std::string> AskProjectName(const QString& caption,
                                                      const QString& text) = 0;
    // The wildcard window; the list entry, or nothing when cancelled.
    virtual std::optional<std::string> AskWildcardEntry() = 0;
    // The file-open dialog with multiple selection; empty when cancelled.
    virtual std::vector<std::string> AskFiles() = 0;
    // The folder browser; nothing when cancelled.
    virtual std::optional<std::string> AskDirectory() = 0;
};

// The program's own windows and the system's dialogs over `parent`.
class StandardBackupPageDialogs : public BackupPageDialogs {
public:
    StandardBackupPageDialogs(QWidget* parent, RunHost& host) : parent_(parent), host_(host) {}

    std::optional<std::string> AskProjectName(const QString& caption, const QString& text) override;
    std::optional<std::string> AskWildcardEntry() override;
    std::vector<std::string> AskFiles() override;
    std::optional<std::string> AskDirectory() override;

private:
    QWidget* parent_;
    RunHost& host_;
};

} // namespace mzb
