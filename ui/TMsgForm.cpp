#include "ui/TMsgForm.h"

#include "core/base/MessageKindText.h"
#include "core/base/TimedMessageLayout.h"
#include "ui/StandardMessages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace mzb {
namespace {

constexpr int kDefaultAutoCloseMs = 3000;

QRect ToQRect(const MessageRect& r) {
    return QRect(r.Left, r.Top, r.Width, r.Height);
}

QStyle::StandardPixmap StyleIconOf(QMessageBox::Icon icon) {
    switch (icon) {
    case QMessageBox::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Critical:
        return QStyle::SP_MessageBoxCritical;
    case QMessageBox::Question:
        return QStyle::SP_MessageBoxQuestion;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}

QRect ScreenOf(const QWidget* parent) {
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

} // namespace

TMsgForm::TMsgForm(QWidget* parent) : QDialog(parent) {
    setFont(QApplication::font("QMessageBox"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    autoClose_.setInterval(kDefaultAutoCloseMs);
    autoClose_.setSingleShot(true);
    connect(&autoClose_, &QTimer::timeout, this, &QDialog::close);
}

void TMsgForm::StartAutoClose(int seconds) {
    if (seconds == kRunMessageStays) {
        autoClose_.stop();
        return;
    }
    autoClose_.start(seconds * 1000);
}

std::unique_ptr<TMsgForm> CreateTimedMessageWindow(const std::string& text, MessageKind kind,
                                                   int seconds, QWidget* parent) {
    auto form = std::make_unique<TMsgForm>(parent);
    form->StartAutoClose(seconds);
    form->setLayoutDirection(QApplication::layoutDirection());

    const QFontMetrics fm(form->font());
    const QString letters = QString::fromLatin1(kMeasureLetters.data(), kMeasureLetters.size());
    const QSize lettersSize = fm.size(Qt::TextSingleLine, letters);
    const TimedMessageMetrics metrics =
        MessageMetrics(lettersSize.width(), lettersSize.height(),
                       fm.size(Qt::TextSingleLine, QStringLiteral("OK")).width());

    const QRect screen = ScreenOf(parent);
    const QString shown = MessageText(text);
    const int textFlags = Qt::TextWordWrap | Qt::TextExpandTabs;
    const QRect textRect = fm.boundingRect(QRect(0, 0, screen.width() / 2, 0), textFlags, shown);
    const bool hasIcon = MessageKindHasIcon(kind);
    const TimedMessageLayout layout =
        LayOutTimedMessage(metrics, textRect.width(), textRect.height(), hasIcon,
                           form->layoutDirection() == Qt::RightToLeft);

    form->setWindowTitle(MessageTitle(kind));
    if (layout.Icon) {
        auto* image = new QLabel(form.get());
        image->setObjectName(QStringLiteral("Image"));
        image->setGeometry(ToQRect(*layout.Icon));
        image->setPixmap(form->style()
                             ->standardIcon(StyleIconOf(MessageIcon(kind)), nullptr, form.get())
                             .pixmap(kMessageIconSize, kMessageIconSize));
    }
    auto* message = new QLabel(shown, form.get());
    message->setObjectName(QStringLiteral("Message"));
    message->setWordWrap(true);
    message->setTextFormat(Qt::PlainText);
    message->setGeometry(ToQRect(layout.Message));

    auto* ok = new QPushButton(QStringLiteral("OK"), form.get());
    ok->setObjectName(QStringLiteral("OK"));
    ok->setGeometry(ToQRect(layout.Button));
    ok->setDefault(true);
    // Escape rejects a dialog, which closes it as the button does.
    QObject::connect(ok, &QPushButton::clicked, form.get(), &QDialog::accept);

    form->setFixedSize(layout.ClientWidth, layout.ClientHeight);
    const QSize frame = form->frameGeometry().size() - form->geometry().size();
    const MessagePoint origin =
        CentredOnScreen(screen.width(), screen.height(), layout.ClientWidth + frame.width(),
                        layout.ClientHeight + frame.height());
    form->move(screen.x() + origin.X, screen.y() + origin.Y);
    return form;
}

void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds, QWidget* parent) {
    std::unique_ptr<TMsgForm> form = CreateTimedMessageWindow(text, kind, seconds, parent);
    if (seconds == kRunMessageStays) {
        form->setAttribute(Qt::WA_DeleteOnClose);
        form.release()->show();
        return;
    }
    form->exec();
}

} // namespace mzb
