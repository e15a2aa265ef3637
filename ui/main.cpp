// The program entry: one running copy per user and program directory; a
// later start brings that copy to the front and ends without reading or
// writing project.ini.

#include "platform/KnownDirectories.h"
#include "platform/ProgramLayout.h"
#include "platform/SingleCopyName.h"
#include "platform/qt/SingleCopy.h"
#include "ui/ProductInfo.h"
#include "ui/StandardMessages.h"
#include "ui/TApplication.h"
#include "ui/TFormMain.h"

#include <QIcon>
#include <QSystemTrayIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (const char* value = std::getenv(name); value != nullptr && value[0] != '\0') {
            return true;
        }
    }
    return false;
}

// --version and --help answer before anything needs a display, so they
// work over ssh and in package checks. Every other argument is Qt's.
bool AnsweredInformationRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(MZB_VERSION_LINE("mzbackup"), stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs("usage: mzbackup [--version] [--help]\n"
                       "Opens the window of " MZB_PRODUCT_NAME ", or brings the copy that\n"
                       "already runs to the front. mzb(1) backs up and restores from the\n"
                       "command line.\n",
                       stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnsweredInformationRequest(argc, argv)) {
        return 0;
    }
    if (!HasDisplay()) {
        std::fprintf(stderr, "mzbackup: no display to open the window on; "
                             "mzb backs up and restores from the command line.\n");
        return 1;
    }
    mzb::TApplication app(argc, argv);
    // A report that closes while the window sits in the tray is the last
    // window to close, and must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(mzb::kDesktopName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/desktop/morvaleen-zip-backup.svg")));

    const mzb::ProgramLayout layout = mzb::LayoutFor(mzb::ProgramDirectory());
    mzb::SingleCopy single(mzb::SingleCopySocketPath(layout.ProgramDirectory));
    if (single.Claim() == mzb::SingleCopy::Role::Second) {
        return 0;
    }
    mzb::EnsureIniDirectory(layout);

    // The window reads project.ini as it is made; a file that is refused
    // (another user's, a link, a lock held for good) is said, not crashed on.
    std::unique_ptr<mzb::TFormMain> form;
    try {
        form = std::make_unique<mzb::TFormMain>(
            mzb::ProgramSetup{layout, &QSystemTrayIcon::isSystemTrayAvailable});
    } catch (const std::exception& error) {
        mzb::ShowMessageBox(nullptr, error.what(), mzb::MessageKind::Error);
        return 1;
    }
    QObject::connect(&single, &mzb::SingleCopy::ActivationRequested, form.get(),
                     &mzb::TFormMain::OpenMainWindow1Click);
    QObject::connect(form.get(), &mzb::TFormMain::Closed, &app, &QCoreApplication::quit);
    form->show();
    return app.exec();
}
