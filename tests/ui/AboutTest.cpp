// The about box, its link label, and the user guide it and Help... open.

#include "MainWindowFixture.h"
#include "UiTest.h"
#include "ui/LinkLabel.h"
#include "ui/Taboutform.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using namespace mzb;

namespace {

// Programs are looked up in the given folder alone until the end of scope.
struct SearchPath {
    QByteArray saved = qgetenv("PATH");
    explicit SearchPath(const std::string& folder) {
        qputenv("PATH", QByteArray::fromStdString(folder));
    }
    ~SearchPath() { qputenv("PATH", saved); }
};

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheProductAndLinksToTheGuide() {
        Taboutform about("/opt/mzb/help.html");
        QCOMPARE(about.windowTitle(), QStringLiteral("About  Morvaleen ZIP Backup"));
        // The version mzb --version prints, in the box's own style.
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("LabelHeading"))->text(),
                 QStringLiteral("Morvaleen ZIP Backup V1.00"));
        auto* web = about.findChild<LinkLabel*>(QStringLiteral("Label6"));
        QVERIFY(web != nullptr);
        // No public address exists: the guide shipped with the program
        // stands in, and support is plain text rather than a dead link.
        QCOMPARE(web->text(), QStringLiteral("/opt/mzb/help.html"));
        QVERIFY(about.findChild<LinkLabel*>(QStringLiteral("Label4")) == nullptr);
        auto* close = about.findChild<QPushButton*>(QStringLiteral("Button1"));
        QCOMPARE(close->text(), QStringLiteral("Cl&ose"));
        QVERIFY(close->isDefault());
        about.show();
        close->click();
        QVERIFY(!about.isVisible());
    }

    void linkTurnsRedAndUnderlinedUnderTheMouse() {
        Taboutform about("/opt/mzb/help.html");
        auto* link = about.findChild<LinkLabel*>(QStringLiteral("Label6"));
        const QColor navy(0, 0, 128);
        QCOMPARE(link->palette().color(QPalette::WindowText), navy);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &enter);
        // Red, darkened as far as the light background needs.
        const QColor hovered = link->palette().color(QPalette::WindowText);
        QCOMPARE(hovered.hue(), 0);
        QVERIFY(hovered.saturation() > 200);
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QCOMPARE(link->palette().color(QPalette::WindowText), navy);
        QVERIFY(!link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::ArrowCursor);
    }

    // A desktop without a handler for web pages: the opener fails, and the
    // user is told where the guide is instead of nothing happening.
    void helpWithoutAHandlerNamesTheGuide() {
        test::TempDir bin;
        const std::string opener = bin.write("xdg-open", "#!/bin/sh\nexit 3\n").string();
        ::chmod(opener.c_str(), 0755);
        const SearchPath onlyThere(bin.path().string());
        test::MainWindowFixture f;
        auto form = f.Open();
        QString shown;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        answer.start(20);
        form->Help1Click();
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 10000);
        QVERIFY(shown.contains(QString::fromStdString(form->HelpFile())));
    }
};

MZB_UI_TEST(AboutTest);
#include "AboutTest.moc"
