// The spreadsheet control of the collections window: shows a loaded workbook,
// read-only, one worksheet at a time, with column letters, row numbers and a
// tab per worksheet below the grid. Clear leaves it without a workbook.
#pragma once

#include <cstddef>
#include <memory>

#include <QWidget>

#include "regional.h"
#include "workbook.h"

class QTabBar;
class QTableView;

namespace spreadsheet {

class SheetTableModel;

class SpreadsheetView : public QWidget {
    Q_OBJECT

public:
    explicit SpreadsheetView(QWidget* parent = nullptr);
    ~SpreadsheetView() override;

    // Takes the workbook over (the view owns it from now on) and shows its
    // first worksheet. Cell texts use the regional settings current now.
    void setWorkbook(std::unique_ptr<xlsx::Workbook> workbook);
    const xlsx::Workbook* workbook() const { return workbook_.get(); }

    // Every sheet and all content go; the view shows no workbook.
    void clear();

    // Makes the worksheet at `index` (worksheets counted from 0) the active
    // one. Throws std::out_of_range when there is no such worksheet.
    void setActiveSheet(size_t index);
    size_t activeSheet() const { return active_; }
    // The active worksheet; nullptr when no workbook is shown.
    const xlsx::Sheet* activeSheetPtr() const;

    // The parts, for tests and for the window's layout.
    QTableView* tableView() const { return table_; }
    QTabBar* tabBar() const { return tabs_; }
    SheetTableModel* model() const { return model_; }

signals:
    void activeSheetChanged(int index);

private:
    void tabChosen(int index);

    std::unique_ptr<xlsx::Workbook> workbook_;
    regional::Settings settings_;
    size_t active_ = 0;
    SheetTableModel* model_;
    QTableView* table_;
    QTabBar* tabs_;
};

}  // namespace spreadsheet
