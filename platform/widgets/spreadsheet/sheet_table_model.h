// A worksheet as a read-only table model: one row per stored row, one column
// per column up to the last one holding a cell. Texts are computed when the
// view asks for them, i.e. for the cells it shows, never for the whole sheet.
#pragma once

#include <QAbstractTableModel>

#include "regional.h"
#include "workbook.h"

namespace spreadsheet {

class SheetTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit SheetTableModel(QObject* parent = nullptr);

    // Shows `sheet` (nullptr: nothing) with the given regional settings. The
    // sheet must outlive the model's use of it; setSheet(nullptr, ...) first.
    void setSheet(const xlsx::Sheet* sheet, const regional::Settings& settings);
    const xlsx::Sheet* sheet() const { return sheet_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Column letters: 0 is "A", 25 "Z", 26 "AA", 16383 "XFD". "" for a negative index.
    static QString columnName(int column);

private:
    const xlsx::Sheet* sheet_ = nullptr;
    regional::Settings settings_;
};

}  // namespace spreadsheet
