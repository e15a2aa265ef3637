// The timed message window: how it closes, its size rules and its titles.

#include "ModalDriver.h"
#include "UiTest.h"
#include "ui/TMsgForm.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace mzb;

namespace {

QLabel* MessageOf(QWidget* form) {
    return form->findChild<QLabel*>(QStringLiteral("Message"));
}

} // namespace

class TimedMessageTest : public QObject {
    Q_OBJECT

private slots:
    // A report of what was lost stays for a user who was away, without
    // holding up the caller (the run's end, the schedule's next run).
    void aReportThatStaysReturnsAtOnceAndWaitsForTheUser_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::newRow("incomplete backup") << int(MessageKind::Warning) << "Warning";
        QTest::newRow("nothing saved") << int(MessageKind::Error) << "Error";
    }
    void aReportThatStaysReturnsAtOnceAndWaitsForTheUser() {
        QFETCH(int, kind);
        QFETCH(QString, title);
        const auto shown = [] {
            QList<TMsgForm*> forms;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto* form = qobject_cast<TMsgForm*>(window); form && form->isVisible()) {
                    forms << form;
                }
            }
            return forms;
        };
        ShowTimedMessage("Backup incomplete!\rFiles Left Out: 1", static_cast<MessageKind>(kind),
                         kRunMessageStays);
        QCOMPARE(shown().size(), 1);
        TMsgForm* form = shown().front();
        QVERIFY(!form->isModal());
        QVERIFY(!form->ClosesByItself());
        QCOMPARE(form->windowTitle(), title);
        QVERIFY(form->findChild<QLabel*>(QStringLiteral("Image")) != nullptr);
        QCOMPARE(MessageOf(form)->text(), QStringLiteral("Backup incomplete!\nFiles Left Out: 1"));
        form->findChild<QPushButton*>(QStringLiteral("OK"))->click();
        QTRY_VERIFY(shown().isEmpty());
    }

    void closesByItselfAfterItsSeconds() {
        const test::ModalDriver driver([](QWidget*) {});
        ShowTimedMessage("Backup Files Succeeds!", MessageKind::Information, 1);
        QVERIFY(!driver.WatchdogFired());
    }

    void enterAndEscapeCloseIt_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void enterAndEscapeCloseIt() {
        QFETCH(int, key);
        const test::ModalDriver driver(
            [key](QWidget* modal) { QTest::keyClick(modal, Qt::Key(key)); });
        ShowTimedMessage("Restore files fails!", MessageKind::Error, 60);
        QVERIFY(!driver.WatchdogFired());
    }

    void titleAndIconFollowTheKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("icon");
        QTest::newRow("warning") << 0 << "Warning" << true;
        QTest::newRow("custom") << 4 << QCoreApplication::applicationName() << false;
    }
    void titleAndIconFollowTheKind() {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(bool, icon);
        const auto form = CreateTimedMessageWindow("text", MessageKind(kind), 4);
        QCOMPARE(form->windowTitle(), title);
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("Image")) != nullptr, icon);
        auto* ok = form->findChild<QPushButton*>(QStringLiteral("OK"));
        QVERIFY(ok != nullptr && ok->isDefault());
    }

    void customKindStartsTheTextAtTheLeftMargin() {
        const auto custom = CreateTimedMessageWindow("text", MessageKind::Custom, 4);
        const auto info = CreateTimedMessageWindow("text", MessageKind::Information, 4);
        const QLabel* image = info->findChild<QLabel*>(QStringLiteral("Image"));
        QCOMPARE(MessageOf(custom.get())->x(), image->x());
        QVERIFY(MessageOf(info.get())->x() >= image->x() + 32);
    }

    void shortTextGetsTheButtonsWidthPlusMargins() {
        const auto form = CreateTimedMessageWindow("ok", MessageKind::Custom, 4);
        const auto* ok = form->findChild<QPushButton*>(QStringLiteral("OK"));
        QCOMPARE(form->width(), ok->width() + 2 * ok->x());
        QCOMPARE(form->height(), ok->geometry().bottom() + 1 + MessageOf(form.get())->y());
    }

    void longLineWrapsWithinHalfTheScreenAndTheWindowGrows() {
        const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
        const std::string oneLine = "short";
        std::string longLine;
        for (int i = 0; i < 60; ++i) {
            longLine += "archive" + std::to_string(i) + " ";
        }
        const auto small = CreateTimedMessageWindow(oneLine, MessageKind::Warning, 4);
        const auto large = CreateTimedMessageWindow(longLine, MessageKind::Warning, 4);
        QLabel* message = MessageOf(large.get());
        QVERIFY(message->width() <= half);
        QVERIFY(message->width() > half * 3 / 4);
        QVERIFY(large->height() > small->height() + 2 * MessageOf(small.get())->height());
        // The label has all the room its wrapped text needs: nothing is cut.
        QVERIFY(message->heightForWidth(message->width()) <= message->height());
        // Lines split at carriage returns, as the runs write them.
        const auto lines = CreateTimedMessageWindow("one\rtwo\rthree", MessageKind::Custom, 4);
        QCOMPARE(MessageOf(lines.get())->text(), QStringLiteral("one\ntwo\nthree"));
    }
};

MZB_UI_TEST(TimedMessageTest);
#include "TimedMessageTest.moc"
