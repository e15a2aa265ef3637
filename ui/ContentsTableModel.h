#pragma once
// The rows of the contents grid (StringGrid1) as a table model: the view
// asks only for the cells it paints, so showing an archive of tens of
// thousands of entries costs one reset, not a relayout per row.

#include "core/restore/ArchiveContents.h"

#include <QAbstractTableModel>
#include <vector>

namespace mzb {

class ContentsTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The grid before the first archive is shown: 20 empty rows.
    static constexpr int kInitialBlankRows = 20;

    explicit ContentsTableModel(QObject* parent = nullptr);

    // The archive's rows; none shows one empty row.
    void SetRows(const std::vector<ContentsRow>& rows);
    void SetHeadings(const QStringList& headings);
    // The entry shown in a row; null for an empty row.
    const ContentsRow* RowAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<ContentsRow> rows_;
    int blankRows_ = kInitialBlankRows;
    QStringList headings_;
};

} // namespace mzb
