// grid::DataGrid: a read-only data grid bound to a db::Query.
//
// From top to bottom the widget shows: the group-by box (drag a column header
// into it to group the rows by that column); the column headers (click to sort,
// click again for descending, Ctrl+click to drop the sort; drag to move; drag a
// header's right edge to resize); the filter row (one editor per column: what is
// typed applies at once, without regard to case, as "contains" on the text the
// cell shows); the rows, with the row indicator column on the left; the footer
// (record count and the sums of chosen columns, over the records that pass the
// filter); the filter box (the active filter as text, with a button that clears
// it); and the navigator bar (first, prior page, prior, next, next page, last,
// and the info panel "Inregistrarea i din n").
//
// Every row of the query is shown; nothing is copied: the grid reads the
// query's column store and keeps only indexes (see grid_engine.h). The query's
// current record follows the focused row and the focused row follows the
// query's current record. When the query is opened or refreshed the grid
// reloads all rows, keeps its sort, filter and grouping, and focuses the query's
// current record (or, when the filter hides it, the first row, which then
// becomes current). There is no editing.
//
// Keys in the rows: arrows, Page Up/Down, Ctrl+Home/End; Enter moves to the next
// cell (and from the last cell to the next row); Left/Right on a group row
// collapse/expand it; typing letters searches the focused column incrementally
// from the focused row (the matched start is highlighted), Backspace shortens
// the search and Escape ends it.
//
// Sizes (column widths) are given for 96 dpi and scale with the display.
//
// Child widgets carry object names for tests and tools: "groupByBox",
// "gridArea" (the scroll area of the rows; its viewport paints them), "header",
// "filterRow", "filter_<field>" (the filter editor of a column), "footer",
// "filterBox", "filterText", "filterClear", "navigator", "navFirst",
// "navPriorPage", "navPrior", "navNext", "navNextPage", "navLast", "navInfo".
#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <memory>

#include "grid_style.h"

namespace db {
class Query;
}

namespace grid {

class GridCore;

// Data roles of the grid's model (model()), beyond Qt's DisplayRole,
// BackgroundRole, ForegroundRole, FontRole and TextAlignmentRole, which give
// what is painted, styles resolved (the focused row in Selection or Inactive,
// other rows in ContentEven/ContentOdd by their position from 0, group rows in
// Group). Header data (Qt::Horizontal) gives the caption and the Header style.
enum Role {
    RecordRole = Qt::UserRole + 1,   // query record index (qlonglong); -1 on a group row
    GroupRowRole,                    // bool
    GroupLevelRole,                  // int, on a group row
    GroupExpandedRole,               // bool, on a group row
    GroupCountRole,                  // qlonglong: data rows in the group
    IncSearchLengthRole,             // int: characters of the cell highlighted by incremental search
    IncSearchBackgroundRole,         // QColor of that highlight (IncSearch style)
    IncSearchForegroundRole,
    SortOrderRole,                   // header: -1 unsorted, else Qt::SortOrder
};

class DataGrid : public QWidget {
    Q_OBJECT

public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    // The query whose rows are shown (not owned; it must outlive the grid or be
    // detached with setQuery(nullptr) first). Its current state is shown at once.
    void setQuery(db::Query* query);
    db::Query* query() const;

    // Adds a column showing `fieldName`; returns its index (columns are
    // addressed by these indexes in the order added). An empty header shows the
    // field name. `width` is in pixels at 96 dpi (0: a default). A display
    // format ("yyyy-mm-dd hh:nn:ss") applies to date and date-time fields;
    // without one, dates show in the regional short date, date-times in the
    // short date plus the long time when not midnight, doubles in the regional
    // general number form, integers as digits, booleans as "Da"/"Nu", text as it is.
    int addColumn(const QString& fieldName, const QString& header = {}, int width = 0,
                  const QString& displayFormat = {});
    int columnCount() const;
    int columnIndex(const QString& fieldName) const;   // -1 when there is none
    QString columnField(int column) const;
    QString columnHeader(int column) const;
    int columnWidth(int column) const;                 // device pixels
    void setColumnWidth(int column, int width);        // device pixels
    // Columns in the order shown, left to right (grouped columns included).
    QList<int> visualOrder() const;
    void moveColumn(int column, int visualIndex);

    void setGridStyleSheet(const StyleSheet& sheet);
    const StyleSheet& gridStyleSheet() const;

    // Footer: the count of the records that pass the filter, under the first
    // shown column, and the sums of these fields' columns under them.
    void setFooterSums(const QStringList& fieldNames);
    QString footerText(int column) const;
    // Data of a footer cell: DisplayRole, BackgroundRole, ForegroundRole, FontRole.
    QVariant footerData(int column, int role) const;
    long long footerCount() const;
    double footerSum(int column) const;

    // Filter row. A column's condition is "contains `text`, ignoring case" on
    // the text its cells show; several columns AND together; "" removes it.
    void setColumnFilter(int column, const QString& text);
    void setColumnFilter(const QString& fieldName, const QString& text);
    QString columnFilter(int column) const;
    void clearFilters();
    // The active filter as the filter box shows it; "" when there is none.
    QString filterDescription() const;

    // Sorting by one column; stable; NULLs first ascending, last descending.
    void sortByColumn(int column, Qt::SortOrder order);
    void clearSort();
    int sortColumn() const;   // -1 when unsorted
    Qt::SortOrder sortOrder() const;

    // Grouping: groupByColumn adds a level (outermost first; the column leaves
    // the headers while grouped). Groups start collapsed.
    void groupByColumn(int column, Qt::SortOrder order = Qt::AscendingOrder);
    void ungroupColumn(int column);
    void ungroup();
    QList<int> groupColumns() const;
    void expandAll();
    void collapseAll();
    void setGroupExpanded(int viewRow, bool expanded);

    // Preview: a line under each data row that shows one column's text across
    // the row in the Preview style (the column leaves the cells). An empty
    // name (the default) shows no preview.
    void setPreviewColumn(const QString& fieldName);
    int previewColumn() const;   // -1 for none
    // The preview line of a data row: DisplayRole, BackgroundRole,
    // ForegroundRole, FontRole; nothing for a group row or without a preview.
    QVariant previewData(int viewRow, int role) const;

    // Records that pass the filter (group rows are never counted).
    long long filteredRecordCount() const;
    // Rows of the view (group rows and the data rows shown).
    int viewRowCount() const;
    long recordAtViewRow(int viewRow) const;   // -1 for a group row or out of range
    bool isGroupRow(int viewRow) const;
    // Text of a cell as painted ("" for a group row's cells but column 0).
    QString cellText(int viewRow, int column) const;

    // Focus. focusFirstRow/focusNextRow/focusPriorRow/focusLastRow move over the
    // data rows in the order the view shows them, skipping group rows and
    // expanding groups as needed; they return false when there is no such row.
    bool focusFirstRow();
    bool focusNextRow();
    bool focusPriorRow();
    bool focusLastRow();
    long focusedRecord() const;   // query record index, -1 when none (or a group row)
    int focusedViewRow() const;   // -1 when none
    int focusedColumn() const;
    void setFocusedViewRow(int viewRow);
    void setFocusedColumn(int column);
    // The navigator's info panel text.
    QString infoText() const;
    // The incremental search text ("" when none).
    QString incSearchText() const;

    // Re-reads the regional settings for the texts of dates and numbers.
    void regionalSettingsChanged();

    QAbstractItemModel* model() const;

    // Bytes of the grid's own structures over the rows (indexes, bitmaps,
    // folded texts); the rows themselves are the query's.
    size_t memoryBytes() const;

signals:
    void focusedRecordChanged(long record);
    void focusedRowChanged(int viewRow);
    void filterChanged();
    void viewChanged();   // rows reloaded, filtered, sorted or grouped

protected:
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<GridCore> d;
    friend class GridCore;
};

}  // namespace grid
