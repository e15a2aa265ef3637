#include "platform/qt/DefaultHandler.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace mzb {

void OpenFileWithDefaultHandler(const std::string& path, std::function<void()> onFailure) {
    const QString file = QString::fromStdString(path);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        // Qt then looks for a desktop's own opener or a web browser.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
            onFailure();
        }
        return;
    }
    // Qt would start xdg-open detached and never learn that it found no
    // handler; its exit status says so. The process belongs to the
    // application, so it may outlive the window that asked.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, onFailure](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0) {
                             onFailure();
                         }
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, onFailure](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             onFailure();
                             process->deleteLater();
                         }
                     });
    process->start(opener, {file});
}

} // namespace mzb
