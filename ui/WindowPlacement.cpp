#include "ui/WindowPlacement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <utility>
#include <vector>

namespace mzb {
namespace {

// The frame is known only once the window manager has drawn it, after the
// window is shown; until then the style's title bar and border stand in.
QSize FrameAllowance(const QWidget& window) {
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return {2 * border, title + 2 * border};
}

QRect FreeRoom(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

int Depth(const QWidget* widget) {
    int depth = 0;
    for (; widget != nullptr; widget = widget->parentWidget()) {
        ++depth;
    }
    return depth;
}

} // namespace

QSize NeededSize(QWidget& widget) {
    widget.ensurePolished();
    // Showing would settle the layouts one pass of the event loop per level;
    // from the innermost out, each finds the sizes of the ones inside it
    // already settled.
    std::vector<std::pair<int, QLayout*>> layouts;
    for (QWidget* child : widget.findChildren<QWidget*>()) {
        if (child->layout() != nullptr) {
            layouts.emplace_back(Depth(child), child->layout());
        }
    }
    std::stable_sort(layouts.begin(), layouts.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [depth, layout] : layouts) {
        layout->activate();
    }
    if (widget.layout() != nullptr) {
        widget.layout()->activate();
    }
    return widget.minimumSizeHint();
}

QSize RoomForClient(const QWidget& window) {
    return FreeRoom(window).size() - FrameAllowance(window);
}

void CentreOnScreen(QWidget& window) {
    const QRect room = FreeRoom(window);
    const QSize outer = window.size() + FrameAllowance(window);
    window.move(room.x() + std::max(0, (room.width() - outer.width()) / 2),
                room.y() + std::max(0, (room.height() - outer.height()) / 2));
}

void FixDialogSize(QWidget& dialog, QSize specified) {
    dialog.setFixedSize(specified.expandedTo(NeededSize(dialog)));
}

} // namespace mzb
