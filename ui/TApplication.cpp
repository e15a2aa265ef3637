#include "ui/TApplication.h"

#include "ui/StandardMessages.h"
#include "zip/base/ZipError.h"

namespace mzb {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const EAbort&) {
    } catch (const std::exception& error) {
        ShowMessageBox(activeWindow(), error.what(), MessageKind::Error);
    }
    return false;
}

} // namespace mzb
