// The about box and its link labels.

#include "UiTest.h"
#include "ui/LinkLabel.h"
#include "ui/Taboutform.h"

#include <QEnterEvent>
#include <QPushButton>
#include <QTest>

using namespace mzb;

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheProductAndItsAddresses() {
        Taboutform about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About  Morvaleen ZIP Backup"));
        // The version mzb --version prints, in the box's own style.
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("LabelHeading"))->text(),
                 QStringLiteral("Morvaleen ZIP Backup V1.00"));
        auto* web = about.findChild<LinkLabel*>(QStringLiteral("Label6"));
        auto* mail = about.findChild<LinkLabel*>(QStringLiteral("Label4"));
        QVERIFY(web != nullptr && mail != nullptr);
        // Reserved example names until the product has addresses of its own.
        QVERIFY(web->text().contains(QStringLiteral("example.com")));
        QVERIFY(mail->text().endsWith(QStringLiteral("@example.com")));
        auto* close = about.findChild<QPushButton*>(QStringLiteral("Button1"));
        QCOMPARE(close->text(), QStringLiteral("Cl&ose"));
        QVERIFY(close->isDefault());
        about.show();
        close->click();
        QVERIFY(!about.isVisible());
    }

    void linkTurnsRedAndUnderlinedUnderTheMouse() {
        Taboutform about;
        auto* link = about.findChild<LinkLabel*>(QStringLiteral("Label6"));
        const QColor navy(0, 0, 128);
        QCOMPARE(link->palette().color(QPalette::WindowText), navy);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &enter);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QCOMPARE(link->palette().color(QPalette::WindowText), navy);
        QVERIFY(!link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::ArrowCursor);
    }
};

MZB_UI_TEST(AboutTest);
#include "AboutTest.moc"
