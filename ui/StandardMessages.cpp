#include "ui/StandardMessages.h"

#include "core/base/MessageKindText.h"

#include <QCoreApplication>

namespace mzb {

QMessageBox::Icon MessageIcon(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Confirmation:
        return QMessageBox::Question;
    case MessageKind::Custom:
        break;
    }
    return QMessageBox::NoIcon;
}

QString MessageTitle(MessageKind kind) {
    return QString::fromStdString(
        MessageKindTitle(kind, QCoreApplication::applicationName().toStdString()));
}

QString MessageText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

bool AskYesNo(QWidget* parent, const std::string& text, MessageKind kind) {
    QMessageBox box(MessageIcon(kind), MessageTitle(kind), MessageText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void ShowMessageBox(QWidget* parent, const std::string& text, MessageKind kind) {
    QMessageBox box(MessageIcon(kind), MessageTitle(kind), MessageText(text), QMessageBox::Ok,
                    parent);
    box.exec();
}

OverwriteAnswer AskOverwrite(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("File Exists Alert"), MessageText(text),
                    QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No |
                        QMessageBox::NoToAll | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return OverwriteAnswer::Yes;
    case QMessageBox::YesToAll:
        return OverwriteAnswer::YesToAll;
    case QMessageBox::No:
        return OverwriteAnswer::No;
    case QMessageBox::NoToAll:
        return OverwriteAnswer::NoToAll;
    default:
        return OverwriteAnswer::Cancel;
    }
}

} // namespace mzb
