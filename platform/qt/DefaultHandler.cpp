#include "platform/qt/DefaultHandler.h"

#include <QDesktopServices>
#include <QUrl>

namespace mzb {

void OpenFileWithDefaultHandler(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void OpenUrlWithDefaultHandler(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

} // namespace mzb
