#include "ui/WindowHostServices.h"

#include "ui/StandardMessages.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace mzb {
namespace {

QMessageBox::Icon IconOf(TMessageKind kind) {
    switch (kind) {
    case TMessageKind::Warning:
        return QMessageBox::Warning;
    case TMessageKind::Error:
        return QMessageBox::Critical;
    case TMessageKind::Information:
        return QMessageBox::Information;
    case TMessageKind::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(TMessageButtons buttons) {
    switch (buttons) {
    case TMessageButtons::Ok:
        return QMessageBox::Ok;
    case TMessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

TMessageAnswer AnswerOf(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return TMessageAnswer::Yes;
    case QMessageBox::No:
        return TMessageAnswer::No;
    case QMessageBox::Cancel:
        return TMessageAnswer::Cancel;
    default:
        return TMessageAnswer::Ok;
    }
}

} // namespace

std::string QtFileFilter(const std::string& filter) {
    std::string out;
    std::size_t pos = 0;
    while (pos < filter.size()) {
        const std::size_t bar = filter.find('|', pos);
        const std::string description = filter.substr(pos, bar - pos);
        std::string pattern;
        if (bar == std::string::npos) {
            pos = filter.size();
        } else {
            const std::size_t next = filter.find('|', bar + 1);
            pattern = filter.substr(bar + 1, next == std::string::npos ? next : next - bar - 1);
            pos = next == std::string::npos ? filter.size() : next + 1;
        }
        for (char& c : pattern) {
            if (c == ';') {
                c = ' ';
            }
        }
        if (!out.empty()) {
            out += ";;";
        }
        out += description + " (" + (pattern.empty() ? "*" : pattern) + ")";
    }
    return out;
}

TMessageAnswer WindowHostServices::MessageBox(const std::string& text, const std::string& caption,
                                              TMessageKind kind, TMessageButtons buttons) {
    QMessageBox box(IconOf(kind), QString::fromStdString(caption), MessageText(text),
                    ButtonsOf(buttons), owner_);
    return AnswerOf(box.exec());
}

std::optional<std::string> WindowHostServices::OpenFileDialog(const std::string& title,
                                                              const std::string& filter,
                                                              const std::string& initialDir) {
    const QString chosen = QFileDialog::getOpenFileName(
        owner_, QString::fromStdString(title), QString::fromStdString(initialDir),
        QString::fromStdString(QtFileFilter(filter)));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

std::optional<std::string> WindowHostServices::DirectoryDialog(const std::string& initialDir) {
    const QString chosen =
        QFileDialog::getExistingDirectory(owner_, QString(), QString::fromStdString(initialDir));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

void WindowHostServices::SetBusyCursor(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void WindowHostServices::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace mzb
