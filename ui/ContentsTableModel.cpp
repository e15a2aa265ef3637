#include "ui/ContentsTableModel.h"

namespace mzb {

namespace {

constexpr int kColumns = 3;

} // namespace

ContentsTableModel::ContentsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ContentsTableModel::SetRows(const std::vector<ContentsRow>& rows) {
    beginResetModel();
    rows_ = rows;
    blankRows_ = rows_.empty() ? 1 : 0;
    endResetModel();
}

void ContentsTableModel::SetHeadings(const QStringList& headings) {
    headings_ = headings;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

const ContentsRow* ContentsTableModel::RowAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return nullptr;
    }
    return &rows_[static_cast<std::size_t>(row)];
}

int ContentsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + blankRows_;
}

int ContentsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ContentsTableModel::data(const QModelIndex& index, int role) const {
    const ContentsRow* row = RowAt(index.row());
    if (row == nullptr || role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case 0:
        return QString::fromStdString(row->Name);
    case 1:
        return QString::fromStdString(row->Size);
    case 2:
        return QString::fromStdString(row->Directory);
    default:
        return {};
    }
}

QVariant ContentsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= headings_.size()) {
        return {};
    }
    return headings_[section];
}

} // namespace mzb
