#include "ui/ProjectItemDelegate.h"

#include "core/project/ProjectStore.h"

#include <QComboBox>
#include <QPainter>
#include <algorithm>

namespace mzb {
namespace {

constexpr int kItemHeight = 17;
constexpr int kMarkSize = 16;
constexpr int kNameIndent = 20;

// The list's own font: a selector's drop-down hands its items the closed
// selector's font instead.
QFont EntryFont(const QStyleOptionViewItem& option) {
    return option.widget != nullptr ? option.widget->font() : option.font;
}

} // namespace

ProjectItemDelegate::ProjectItemDelegate(const ProjectStore& store, QIcon mark, QObject* parent)
    : QStyledItemDelegate(parent), store_(store), mark_(std::move(mark)) {}

void ProjectItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());
    const QString name = index.data(Qt::DisplayRole).toString();
    if (store_.IsScheduleEnabled(name.toStdString())) {
        mark_.paint(painter, QRect(option.rect.topLeft(), QSize(kMarkSize, kMarkSize)));
    }
    painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
    painter->setFont(EntryFont(option));
    painter->drawText(option.rect.adjusted(kNameIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      name);
    painter->restore();
}

QSize ProjectItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    // 17 pixels hold the named font's letters; a font that stands in for it
    // where it is missing may reach lower, and letters that drop below the
    // line must not be cut off ("g" read as "a").
    const int height = std::max(kItemHeight, QFontMetrics(EntryFont(option)).height());
    return {QStyledItemDelegate::sizeHint(option, index).width() + kNameIndent, height};
}

void MarkProjectItems(QComboBox& selector, const std::vector<bool>& marks, const QIcon& mark) {
    for (int i = 0; i < selector.count() && i < static_cast<int>(marks.size()); ++i) {
        selector.setItemIcon(i, marks[static_cast<std::size_t>(i)] ? mark : QIcon());
    }
}

} // namespace mzb
