#include "ui/LinkLabel.h"

#include "ui/TextColour.h"

#include <QMouseEvent>

namespace mzb {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    SetHovered(false);
}

void LinkLabel::SetHovered(bool hovered) {
    SetTextColour(*this, hovered ? kRed : kNavy);
    QFont shown = font();
    shown.setUnderline(hovered);
    setFont(shown);
    setCursor(hovered ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    SetHovered(true);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    SetHovered(false);
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace mzb
