#include "sheet_table_model.h"

#include <algorithm>

namespace spreadsheet {

SheetTableModel::SheetTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void SheetTableModel::setSheet(const xlsx::Sheet* sheet, const regional::Settings& settings) {
    beginResetModel();
    sheet_ = sheet;
    settings_ = settings;
    endResetModel();
}

int SheetTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || sheet_ == nullptr) return 0;
    return std::max(sheet_->lastRow() + 1, 0);
}

int SheetTableModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || sheet_ == nullptr) return 0;
    return std::max(sheet_->lastColumn() + 1, 0);
}

QVariant SheetTableModel::data(const QModelIndex& index, int role) const {
    if (sheet_ == nullptr || !index.isValid()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (!sheet_->hasCell(index.row(), index.column())) return {};
        return QString::fromStdString(sheet_->text(index.row(), index.column(), settings_));
    }
    return {};
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Horizontal) return columnName(section);
    return QString::number(section + 1);
}

Qt::ItemFlags SheetTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QString SheetTableModel::columnName(int column) {
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(static_cast<char16_t>(u'A' + (n - 1) % 26)));
    return name;
}

}  // namespace spreadsheet
