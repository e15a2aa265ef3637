#include "ui/TextColour.h"

#include "core/base/ReadableColour.h"

#include <QEvent>
#include <QLineEdit>
#include <QWidget>

namespace mzb {
namespace {

Rgb ToRgb(const QColor& c) {
    return {c.red(), c.green(), c.blue()};
}

} // namespace

// Lives as a child of its widget and watches it for palette changes.
class TextColourKeeper : public QObject {
    Q_OBJECT

public:
    explicit TextColourKeeper(QWidget& widget) : QObject(&widget), widget_(widget) {
        widget.installEventFilter(this);
    }

    void Keep(const QColor& wanted) {
        wanted_ = wanted;
        Apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &widget_ && event->type() == QEvent::PaletteChange) {
            Apply();
        }
        return false;
    }

private:
    void Apply() {
        // A field's text lies on its base; a label's and a box's caption on
        // the window.
        const bool field = qobject_cast<QLineEdit*>(&widget_) != nullptr;
        const QPalette::ColorRole text = field ? QPalette::Text : QPalette::WindowText;
        const QPalette::ColorRole background = field ? QPalette::Base : QPalette::Window;
        if (!wanted_.isValid()) {
            // Nothing but the text colour was ever set on these widgets.
            if (widget_.testAttribute(Qt::WA_SetPalette)) {
                widget_.setPalette(QPalette());
            }
            return;
        }
        QPalette palette = widget_.palette();
        bool changed = false;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const Rgb shown = ReadableOn(ToRgb(wanted_), ToRgb(palette.color(group, background)));
            const QColor colour(shown.Red, shown.Green, shown.Blue);
            if (palette.color(group, text) != colour) {
                palette.setColor(group, text, colour);
                changed = true;
            }
        }
        // Setting the palette raises the event that brought us here; the
        // second pass finds nothing to change.
        if (changed) {
            widget_.setPalette(palette);
        }
    }

    QWidget& widget_;
    QColor wanted_;
};

void SetTextColour(QWidget& widget, const QColor& wanted) {
    auto* keeper = widget.findChild<TextColourKeeper*>(QString(), Qt::FindDirectChildrenOnly);
    if (keeper == nullptr) {
        keeper = new TextColourKeeper(widget);
    }
    keeper->Keep(wanted);
}

} // namespace mzb

#include "TextColour.moc"
