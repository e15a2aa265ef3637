// Every window as a user of any desktop meets it: readable on a dark
// palette, named for a screen reader, and whole on a small screen at a
// large font. One table of the windows' pages serves all three checks.

#include "MainWindowFixture.h"
#include "UiTest.h"
#include "ui/ArchiveSearchDialog.h"
#include "ui/TFormPreferences.h"
#include "ui/TFormProjectName.h"
#include "ui/TFormselectbyfilter.h"
#include "ui/TMsgForm.h"
#include "ui/Taboutform.h"
#include "ui_TFormPreferences.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <functional>

using namespace mzb;
using test::CommonWith;
using test::MainWindowFixture;

namespace {

// A numbered, scheduled project: every navy label is enabled and the
// schedule switch shows its red caption.
const std::string kProject = CommonWith({"Documents"}, "") +
                             "[Documents]\nFilename prefix=Doc\nWhether use Date=0\n"
                             "Backup Directory Count=1\nBackup0=/home/u/Documents/*.*\n"
                             "IsEnabledAutoBack=1\nBackupMode=0\nStartTime_or_Increase=21:30:00\n"
                             "Last Backup=2024-03-08 12:00:02\n";

// Every window of the program over one project, each page a user can look
// at brought to the front by its own step.
struct Windows {
    MainWindowFixture f;
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TFormPreferences> preferences;
    std::unique_ptr<TFormselectbyfilter> wildcard;
    std::unique_ptr<TFormProjectName> prompt;
    std::unique_ptr<Taboutform> about;
    std::unique_ptr<TMsgForm> message;
    std::unique_ptr<ArchiveSearchDialog> search;

    struct Page {
        QString name;
        std::function<QWidget*()> show;
    };

    Windows() {
        f.WriteIni(kProject);
        form = f.Open();
        preferences = std::make_unique<TFormPreferences>(*form);
        wildcard = std::make_unique<TFormselectbyfilter>();
        prompt = std::make_unique<TFormProjectName>(form->Host());
        about = std::make_unique<Taboutform>(form->HelpFile());
        message = CreateTimedMessageWindow("Backup Files Succeeds!\rProject Name: 'Documents'",
                                           MessageKind::Information, 600);
        search = std::make_unique<ArchiveSearchDialog>(form->FindFile1());
    }

    std::vector<Page> Pages() {
        std::vector<Page> pages;
        for (int tab : {0, 1}) {
            pages.push_back(
                {tab == 0 ? "main window, Backup page" : "main window, Restore page", [this, tab] {
                     form->Controls().PageControl1->setCurrentIndex(tab);
                     return form.get();
                 }});
        }
        for (int tab : {0, 1, 2}) {
            pages.push_back({"preferences, tab " + QString::number(tab), [this, tab] {
                                 preferences->Controls().PageControl1->setCurrentIndex(tab);
                                 return preferences.get();
                             }});
        }
        pages.push_back({"wildcard window", [this] { return wildcard.get(); }});
        pages.push_back({"name prompt", [this] { return prompt.get(); }});
        pages.push_back({"about box", [this] { return about.get(); }});
        pages.push_back({"message window", [this] { return message.get(); }});
        pages.push_back({"archive search", [this] { return search.get(); }});
        return pages;
    }
};

// Shows the page; false when the window never appeared.
bool Shown(QWidget* window) {
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

template <typename T> std::vector<T*> VisibleEnabled(QWidget* window) {
    std::vector<T*> found;
    for (T* w : window->findChildren<T*>()) {
        if (w->isVisible() && w->isEnabled()) {
            found.push_back(w);
        }
    }
    return found;
}

// The guidelines' formula, written out here rather than taken from the
// program, so a fault in the program's own copy cannot hide itself.
double ContrastOf(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](int v) {
            const double s = v / 255.0;
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x2a, 0x2a, 0x2a);
    const QColor text(0xee, 0xee, 0xee);
    for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Window, window);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::AlternateBase, window);
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::Button, window);
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        p.setColor(g, QPalette::HighlightedText, Qt::black);
    }
    for (const QPalette::ColorRole r :
         {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase}) {
        p.setColor(QPalette::Disabled, r, r == QPalette::Base ? base : window);
    }
    for (const QPalette::ColorRole r :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, r, QColor(0x80, 0x80, 0x80));
    }
    return p;
}

// The application's font for the length of a test.
struct AppFont {
    QFont saved = QApplication::font();
    explicit AppFont(double scale) {
        QFont large = saved;
        large.setPointSizeF(saved.pointSizeF() * scale);
        QApplication::setFont(large);
    }
    ~AppFont() { QApplication::setFont(saved); }
};

QString Describe(const QString& page, const QWidget* w) {
    return page + ": " + w->metaObject()->className() + " " + w->objectName();
}

// The accessibility tree below `node`, depth first.
void Walk(QAccessibleInterface* node, const std::function<void(QAccessibleInterface*)>& visit) {
    if (node == nullptr || !node->isValid()) {
        return;
    }
    visit(node);
    for (int i = 0; i < node->childCount(); ++i) {
        Walk(node->child(i), visit);
    }
}

} // namespace

class ReadabilityTest : public QObject {
    Q_OBJECT

private slots:
    // The desktop switches to a dark scheme with the windows open.
    void everyTextIsReadableOnADarkPalette() {
        Windows windows;
        const QPalette light = QApplication::palette();
        QApplication::setPalette(DarkPalette());
        QStringList faint;
        for (const Windows::Page& page : windows.Pages()) {
            QWidget* window = page.show();
            QVERIFY2(Shown(window), qPrintable(page.name));
            const auto check = [&](QWidget* w, QPalette::ColorRole text,
                                   QPalette::ColorRole background) {
                const double contrast =
                    ContrastOf(w->palette().color(QPalette::Active, text),
                               w->palette().color(QPalette::Active, background));
                if (contrast < 4.5) {
                    faint << Describe(page.name, w) + QString(" %1:1").arg(contrast, 0, 'f', 2);
                }
            };
            // A style sheet's colour never shows in the palette checked
            // below, and stays the same whatever the background.
            static const QRegularExpression fixedColour(QStringLiteral("(^|[;{\\s])color\\s*:"));
            for (QWidget* w : VisibleEnabled<QWidget>(window)) {
                if (w->styleSheet().contains(fixedColour)) {
                    faint << Describe(page.name, w) + " colour fixed by a style sheet";
                }
            }
            for (QLabel* label : VisibleEnabled<QLabel>(window)) {
                if (!label->text().isEmpty()) {
                    check(label, QPalette::WindowText, QPalette::Window);
                }
            }
            for (QAbstractButton* box : VisibleEnabled<QAbstractButton>(window)) {
                if (qobject_cast<QCheckBox*>(box) || qobject_cast<QRadioButton*>(box)) {
                    check(box, QPalette::WindowText, QPalette::Window);
                }
            }
            for (QLineEdit* field : VisibleEnabled<QLineEdit>(window)) {
                check(field, QPalette::Text, QPalette::Base);
            }
        }
        QApplication::setPalette(light);
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join('\n')));
    }

    // What a screen reader announces: every field, box, list, grid and
    // button has a name of its own, never its group's title.
    void everyControlHasItsOwnAccessibleName() {
        Windows windows;
        const QSet<QAccessible::Role> named = {
            QAccessible::EditableText, QAccessible::SpinBox,       QAccessible::ComboBox,
            QAccessible::List,         QAccessible::Table,         QAccessible::Tree,
            QAccessible::CheckBox,     QAccessible::RadioButton,   QAccessible::PushButton,
            QAccessible::ButtonMenu,   QAccessible::ButtonDropDown};
        QStringList unnamed;
        int seen = 0;
        for (const Windows::Page& page : windows.Pages()) {
            QWidget* window = page.show();
            QVERIFY2(Shown(window), qPrintable(page.name));
            QSet<QString> groupTitles;
            for (const QGroupBox* group : window->findChildren<QGroupBox*>()) {
                groupTitles.insert(group->title().trimmed());
            }
            Walk(QAccessible::queryAccessibleInterface(window), [&](QAccessibleInterface* node) {
                if (!named.contains(node->role()) || node->state().invisible) {
                    return;
                }
                ++seen;
                const QString name = node->text(QAccessible::Name).trimmed();
                if (name.isEmpty() || groupTitles.contains(name)) {
                    const QObject* object = node->object();
                    unnamed << page.name + ": role " + QString::number(node->role()) + " " +
                                   (object != nullptr ? object->objectName() : QString()) +
                                   " named '" + name + "'";
                }
            });
        }
        QVERIFY(seen > 50); // the walk reached the controls
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join('\n')));
    }

    // On a 1280 by 720 screen every window opens whole, and every caption
    // gets the room its text needs, at the desktop's font and a large one.
    void windowsFitASmallScreenWithoutCutCaptions_data() {
        QTest::addColumn<double>("fontScale");
        QTest::newRow("desktop font") << 1.0;
        QTest::newRow("large font") << 1.6;
    }
    void windowsFitASmallScreenWithoutCutCaptions() {
        QFETCH(double, fontScale);
        const AppFont font(fontScale);
        Windows windows;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(1280, 720));
        QStringList cut;
        for (const Windows::Page& page : windows.Pages()) {
            QWidget* window = page.show();
            QVERIFY2(Shown(window), qPrintable(page.name));
            if (!screen.contains(window->frameGeometry())) {
                cut << page.name + ": off the screen";
            }
            for (QTableView* grid : VisibleEnabled<QTableView>(window)) {
                if (grid->verticalHeader()->defaultSectionSize() < grid->fontMetrics().height()) {
                    cut << Describe(page.name, grid) + " rows lower than its letters";
                }
            }
            for (QWidget* w : VisibleEnabled<QWidget>(window)) {
                const bool caption =
                    (qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->text().isEmpty()) ||
                    (qobject_cast<QAbstractButton*>(w) &&
                     !static_cast<QAbstractButton*>(w)->text().isEmpty());
                const QSize needed =
                    caption ? w->sizeHint()
                    : qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w)
                        ? w->minimumSizeHint()
                        : QSize();
                if (w->width() < needed.width() || w->height() < needed.height()) {
                    cut << Describe(page.name, w) + QString(" %1x%2 < %3x%4")
                                                        .arg(w->width())
                                                        .arg(w->height())
                                                        .arg(needed.width())
                                                        .arg(needed.height());
                }
            }
        }
        // The main window opens at its own size, or larger for the font,
        // never so small that its scroll bars appear.
        const QSize opened = windows.form->size();
        QVERIFY(opened.width() >= 712 && opened.height() >= 515);
        for (const char* name : {"ToolBarScroll", "ScrollBox1"}) {
            auto* scroll = windows.form->findChild<QScrollArea*>(QString::fromLatin1(name));
            QVERIFY2(!scroll->horizontalScrollBar()->isVisible() &&
                         !scroll->verticalScrollBar()->isVisible(),
                     name);
        }
        // A run shows its Cancel button beside the progress bar without
        // taking room from the pages.
        windows.form->SetRunLock(false);
        QPushButton* cancel = windows.form->Controls().SpCancelRun;
        QTRY_VERIFY_WITH_TIMEOUT(
            cancel->isVisible() && cancel->size().height() >= cancel->sizeHint().height(), 5000);
        QVERIFY(!windows.form->findChild<QScrollArea*>(QStringLiteral("ScrollBox1"))
                     ->verticalScrollBar()
                     ->isVisible());
        windows.form->SetRunLock(true);
        // The selector's entries are as high as their letters reach.
        QComboBox* selector = windows.form->Controls().comboProject;
        QVERIFY(selector->view()->sizeHintForRow(0) >=
                QFontMetrics(selector->view()->font()).height());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
    }
};

MZB_UI_TEST(ReadabilityTest);
#include "ReadabilityTest.moc"
