#include "ui/ProjectItemDelegate.h"

#include "core/project/ProjectStore.h"

#include <QPainter>

namespace mzb {
namespace {

constexpr int kItemHeight = 17;
constexpr int kMarkSize = 16;
constexpr int kNameIndent = 20;

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
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(kNameIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      name);
    painter->restore();
}

QSize ProjectItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width() + kNameIndent, kItemHeight};
}

} // namespace mzb
