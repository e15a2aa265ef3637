#include "ui/UserGuide.h"

#include "platform/qt/DefaultHandler.h"
#include "ui/StandardMessages.h"

#include <QPointer>
#include <QWidget>

namespace mzb {

void OpenUserGuide(QWidget* parent, const std::string& path) {
    // The answer may come after the window that asked has closed.
    QPointer<QWidget> asking(parent);
    OpenFileWithDefaultHandler(path, [asking, path] {
        ShowMessageBox(asking.data(),
                       "No program is set up to open the user guide.\rIt is the file " + path,
                       MessageKind::Information);
    });
}

} // namespace mzb
