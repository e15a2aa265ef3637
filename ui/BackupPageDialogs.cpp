#include "ui/BackupPageDialogs.h"

#include "ui/TFormProjectName.h"
#include "ui/TFormselectbyfilter.h"

#include <QFileDialog>

namespace mzb {

std::optional<std::string> StandardBackupPageDialogs::AskProjectName(const QString& caption,
                                                                     const QString& text) {
    TFormProjectName prompt(host_, parent_);
    return prompt.Ask(caption, text);
}

std::optional<std::string> StandardBackupPageDialogs::AskWildcardEntry() {
    return TFormselectbyfilter::Ask(parent_);
}

std::vector<std::string> StandardBackupPageDialogs::AskFiles() {
    QFileDialog dialog(parent_, QStringLiteral("Select files by filename"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setSizeGripEnabled(true);
    std::vector<std::string> files;
    if (dialog.exec() == QDialog::Accepted) {
        for (const QString& file : dialog.selectedFiles()) {
            files.push_back(file.toStdString());
        }
    }
    return files;
}

std::optional<std::string> StandardBackupPageDialogs::AskDirectory() {
    const QString chosen =
        QFileDialog::getExistingDirectory(parent_, QStringLiteral("Please select directory"));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

} // namespace mzb
