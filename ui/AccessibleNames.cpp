#include "ui/AccessibleNames.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace mzb {
namespace {

// An icon alone, or a caption such as "..." that holds no word.
bool ShowsNoWords(const QToolButton& button) {
    if (!button.icon().isNull() && button.toolButtonStyle() == Qt::ToolButtonIconOnly) {
        return true;
    }
    const QString caption = button.text();
    return std::none_of(caption.begin(), caption.end(),
                        [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

void NameControlsForAssistiveTools(QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        // The labels' mnemonic marks are no part of what is read out.
        const QString name = QString(label->text()).remove(QLatin1Char('&'));
        auto* view = qobject_cast<QAbstractItemView*>(label->buddy());
        if (view != nullptr && view->accessibleName().isEmpty()) {
            view->setAccessibleName(name);
        }
        // A combined field and list is one control to the user, but its
        // field is a child of its own.
        auto* combo = qobject_cast<QComboBox*>(label->buddy());
        if (combo != nullptr && combo->lineEdit() != nullptr &&
            combo->lineEdit()->accessibleName().isEmpty()) {
            combo->lineEdit()->setAccessibleName(name);
        }
    }
    for (QToolButton* button : window.findChildren<QToolButton*>()) {
        if (button->accessibleName().isEmpty() && ShowsNoWords(*button) &&
            !button->toolTip().isEmpty()) {
            button->setAccessibleName(button->toolTip().trimmed());
        }
    }
}

} // namespace mzb
