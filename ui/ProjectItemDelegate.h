#pragma once
// How the project selectors draw their entries: the schedule mark at the
// entry's top left when the project's stored schedule is on (read at each
// drawing, so the mark follows the file), and the name 20 pixels in, whether
// or not the mark is drawn. Entries are 17 pixels high, or as high as the
// font's lines where they are higher.

#include <QIcon>
#include <QStyledItemDelegate>
#include <vector>

class QComboBox;

namespace mzb {

class ProjectStore;

class ProjectItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    ProjectItemDelegate(const ProjectStore& store, QIcon mark, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const ProjectStore& store_;
    QIcon mark_;
};

// Gives each entry of a project selector the mark or none, in list order.
void MarkProjectItems(QComboBox& selector, const std::vector<bool>& marks, const QIcon& mark);

} // namespace mzb
