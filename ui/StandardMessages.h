#pragma once
// The standard message boxes of a kind, with the kind's title and icon.
// Lines of the text may be separated by '\r', as the runs write them.

#include "core/base/RunHost.h"

#include <QMessageBox>
#include <QString>
#include <string>

class QWidget;

namespace mzb {

// The text as Qt shows it: '\r' and "\r\n" become line breaks.
QString MessageText(const std::string& text);
// The kind's title; the custom kind takes the application's name.
QString MessageTitle(MessageKind kind);
// The system's icon of the kind; none for the custom kind.
QMessageBox::Icon MessageIcon(MessageKind kind);

// Yes and No; true for Yes. Escape and the close box count as No.
bool AskYesNo(QWidget* parent, const std::string& text, MessageKind kind);
// OK only.
void ShowMessageBox(QWidget* parent, const std::string& text, MessageKind kind);
// The restore's question about an existing file: a warning titled "File
// Exists Alert" with Yes, Yes to All, No, No to All and Cancel (also Escape).
OverwriteAnswer AskOverwrite(QWidget* parent, const std::string& text);

} // namespace mzb
