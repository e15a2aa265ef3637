// Takes the pictures of docs/screenshots: the program's own windows, built
// by the window classes over the project.ini of a prepared program folder,
// shown on the X server the script starts, and saved as PNG files.
//
//   ui_screenshots [--dark] [--font-scale F] [--suffix S] PROGRAM_DIR OUT_DIR SHOT...
//
// Each shot is one row of the table at the end of this file.

#include "core/backup/BackupRun.h"
#include "core/restore/RestoreReport.h"
#include "core/restore/RestoreRun.h"
#include "ui/ArchiveSearchDialog.h"
#include "ui/RestorePage.h"
#include "ui/StandardMessages.h"
#include "ui/TFormMain.h"
#include "ui/TFormPreferences.h"
#include "ui/TFormProjectName.h"
#include "ui/TFormselectbyfilter.h"
#include "ui/TMsgForm.h"
#include "ui/Taboutform.h"
#include "ui_TFormMain.h"
#include "ui_TFormPreferences.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

namespace {

using namespace mzb;

constexpr int kSettleMs = 300;

struct ShotContext {
    TFormMain& form;
    QString file;
};

bool Save(const QPixmap& picture, const QString& file) {
    if (picture.isNull() || !picture.save(file)) {
        std::fprintf(stderr, "ui_screenshots: cannot save %s\n", qPrintable(file));
        return false;
    }
    return true;
}

// What the screen shows inside the rectangle: popups and their windows
// together.
bool SaveScreen(const QRect& area, const QString& file) {
    QTest::qWait(kSettleMs);
    return Save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                             area.height()),
                file);
}

bool SaveWindow(QWidget& window, const QString& file) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return false;
    }
    QTest::qWait(kSettleMs);
    return Save(window.grab(), file);
}

bool MainOnPage(ShotContext& c, int page) {
    c.form.Controls().PageControl1->setCurrentIndex(page);
    return SaveWindow(c.form, c.file);
}

// A first start: no project.ini yet, so no project.
bool FirstStart(ShotContext& c) {
    QTemporaryDir empty;
    ProgramSetup setup;
    setup.Layout = LayoutFor(empty.path().toStdString() + "/");
    TFormMain first(setup);
    return SaveWindow(first, c.file);
}

// The "Backup " page after a change: Save and Cancel enabled, the project
// commands disabled. Cancel puts the editor back for the shots that follow.
bool BackupEditMode(ShotContext& c) {
    c.form.Controls().PageControl1->setCurrentIndex(0);
    c.form.findChild<QLineEdit*>(QStringLiteral("EditPrefix"))->setText(QStringLiteral("Letters"));
    const bool saved = SaveWindow(c.form, c.file);
    c.form.Controls().SpCancel->click();
    return saved;
}

bool NamePrompt(ShotContext& c) {
    TFormProjectName prompt(c.form.Host(), &c.form);
    prompt.setWindowTitle(QStringLiteral("Add Project"));
    prompt.findChild<QLineEdit*>(QStringLiteral("EditProjName"))
        ->setText(QStringLiteral("Letters 2026"));
    return SaveWindow(prompt, c.file);
}

bool WildcardWindow(ShotContext& c) {
    TFormselectbyfilter wildcard(&c.form);
    wildcard.SelectDirectory(QDir::homePath() + QStringLiteral("/Documents"));
    return SaveWindow(wildcard, c.file);
}

bool ProgramMenu(ShotContext& c) {
    c.form.show();
    if (!QTest::qWaitForWindowExposed(&c.form)) {
        return false;
    }
    QToolButton* button = c.form.Controls().SpMenu;
    QMenu* menu = button->menu();
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    const QRect area = c.form.frameGeometry().united(menu->geometry());
    const bool saved = SaveScreen(area, c.file);
    menu->hide();
    return saved;
}

// The menu as it opens over the desktop, the window in the tray.
bool TrayMenu(ShotContext& c) {
    c.form.hide();
    auto* menu = c.form.findChild<QMenu*>(QStringLiteral("PopupMenu2"));
    auto* backup = c.form.findChild<QMenu*>(QStringLiteral("menuBackup"));
    menu->popup(QPoint(40, 40));
    QTest::qWait(kSettleMs);
    menu->setActiveAction(backup->menuAction());
    QTest::qWait(kSettleMs * 2);
    QRect area = menu->geometry().united(backup->geometry()).adjusted(-8, -8, 8, 8);
    const bool saved = SaveScreen(area, c.file);
    menu->hide();
    return saved;
}

bool Message(ShotContext& c, const std::string& text, MessageKind kind) {
    const auto window = CreateTimedMessageWindow(text, kind, 60);
    return SaveWindow(*window, c.file);
}

// The Restore page over the save folder of the shown project, its newest
// archive's entries in the contents grid.
bool RestorePageShown(ShotContext& c) {
    c.form.Controls().PageControl1->setCurrentIndex(1);
    // The project's "Save Path", whether or not the editor has loaded it.
    c.form.findChild<QLineEdit*>(QStringLiteral("DirectoryView"))
        ->setText(qEnvironmentVariable("HOME") + QStringLiteral("/Backups"));
    c.form.Controls().TabRestore->RefreshArchiveList();
    auto* grid = c.form.findChild<QTableWidget*>(QStringLiteral("StringGridZipfilename"));
    grid->setCurrentCell(0, 0);
    return SaveWindow(c.form, c.file);
}

// The search over the backup folder: a file found in both backups, changed
// between them, and its versions listed.
bool ArchiveSearch(ShotContext& c) {
    ArchiveSearchDialog search(c.form.FindFile1(), &c.form);
    search.SetFolder(QDir::homePath().toStdString() + "/Backups");
    search.findChild<QLineEdit*>(QStringLiteral("SearchText"))->setText(QStringLiteral("notes"));
    search.StartSearch();
    auto* results = search.findChild<QTableWidget*>(QStringLiteral("SearchResults"));
    results->setCurrentCell(results->rowCount() - 1, 0);
    search.ShowVersions();
    return SaveWindow(search, c.file);
}

// A restore asks before it replaces a file (overwrite mode "Prompt Before").
bool OverwriteQuestion(ShotContext& c) {
    c.form.Controls().PageControl1->setCurrentIndex(1);
    c.form.show();
    if (!QTest::qWaitForWindowExposed(&c.form)) {
        return false;
    }
    bool saved = false;
    QTimer::singleShot(kSettleMs, [&] {
        QWidget* box = QApplication::activeModalWidget();
        saved = box != nullptr &&
                SaveScreen(c.form.frameGeometry().united(box->frameGeometry()), c.file);
        if (auto* question = qobject_cast<QMessageBox*>(box)) {
            question->button(QMessageBox::Cancel)->click();
        }
    });
    AskOverwrite(&c.form,
                 OverwriteQuestionText(QDir::homePath().toStdString() + "/Documents/letter.odt"));
    return saved;
}

bool About(ShotContext& c) {
    Taboutform about(c.form.HelpFile(), &c.form);
    return SaveWindow(about, c.file);
}

bool PreferencesTab(ShotContext& c, int tab) {
    TFormPreferences preferences(c.form);
    preferences.Controls().PageControl1->setCurrentIndex(tab);
    return SaveWindow(preferences, c.file);
}

using Shot = std::function<bool(ShotContext&)>;

const std::map<std::string, Shot>& Shots() {
    static const std::map<std::string, Shot> shots = {
        {"main-backup", [](ShotContext& c) { return MainOnPage(c, 0); }},
        {"main-backup-edit", BackupEditMode},
        {"main-first-start", FirstStart},
        {"name-prompt", NamePrompt},
        {"wildcard-window", WildcardWindow},
        {"main-restore", RestorePageShown},
        {"main-history", [](ShotContext& c) { return MainOnPage(c, 2); }},
        {"archive-search", ArchiveSearch},
        {"restore-overwrite", OverwriteQuestion},
        {"main-menu", ProgramMenu},
        {"tray-menu", TrayMenu},
        {"message-warning",
         [](ShotContext& c) {
             return Message(c, ArchiveExistsText("/home/robin/Backups/Documents12-09_09-26-53.zip"),
                            MessageKind::Warning);
         }},
        {"message-error",
         [](ShotContext& c) { return Message(c, kRestoreFailedText, MessageKind::Error); }},
        {"message-information",
         [](ShotContext& c) {
             return Message(c,
                            BackupCompletionText("Documents",
                                                 "/home/robin/Backups/Documents12-09_09-26-53.zip",
                                                 1843, {}),
                            MessageKind::Information);
         }},
        {"message-confirmation",
         [](ShotContext& c) {
             return Message(c, "Do you want backup project 'Documents'?",
                            MessageKind::Confirmation);
         }},
        {"message-custom",
         [](ShotContext& c) {
             return Message(c, "Morvaleen ZIP Backup keeps running in the tray.",
                            MessageKind::Custom);
         }},
        {"about", About},
        {"preferences-general", [](ShotContext& c) { return PreferencesTab(c, 0); }},
        {"preferences-backup", [](ShotContext& c) { return PreferencesTab(c, 1); }},
        {"preferences-schedule", [](ShotContext& c) { return PreferencesTab(c, 2); }},
    };
    return shots;
}

// A dark colour scheme as a desktop's dark theme gives it.
QPalette DarkPalette() {
    QPalette p(QColor(0x35, 0x35, 0x35));
    const QColor text(0xee, 0xee, 0xee);
    for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
        p.setColor(g, QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
        p.setColor(g, QPalette::ToolTipText, text);
        p.setColor(g, QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        p.setColor(g, QPalette::HighlightedText, Qt::black);
    }
    return p;
}

} // namespace

// The options before the folders set how the desktop looks: --dark for a
// dark colour scheme, --font-scale F for a font F times the default, and
// --suffix S is added to every picture's name.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/desktop/morvaleen-zip-backup.svg")));
    QString suffix;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const std::string option = argv[first];
        if (option == "--dark") {
            QApplication::setStyle(QStringLiteral("Fusion"));
            QApplication::setPalette(DarkPalette());
        } else if (option == "--font-scale" && first + 1 < argc) {
            QFont font = QApplication::font();
            font.setPointSizeF(font.pointSizeF() * std::atof(argv[++first]));
            QApplication::setFont(font);
        } else if (option == "--suffix" && first + 1 < argc) {
            suffix = QString::fromLocal8Bit(argv[++first]);
        } else {
            std::fprintf(stderr, "ui_screenshots: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (argc - first < 3) {
        std::fprintf(stderr, "usage: ui_screenshots [--dark] [--font-scale F] [--suffix S] "
                             "PROGRAM_DIR OUT_DIR SHOT...\n");
        return 2;
    }
    ProgramSetup setup;
    setup.Layout = LayoutFor(argv[first]);
    TFormMain form(setup);
    int failures = 0;
    for (int i = first + 2; i < argc; ++i) {
        const auto shot = Shots().find(argv[i]);
        if (shot == Shots().end()) {
            std::fprintf(stderr, "ui_screenshots: no shot named %s\n", argv[i]);
            ++failures;
            continue;
        }
        ShotContext context{form, QString::fromLocal8Bit(argv[first + 1]) + "/" + argv[i] + suffix +
                                      ".png"};
        if (!shot->second(context)) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
