// Inside of grid::DataGrid: the shared state (GridCore), the model over the
// engine, and the parts the widget is made of.
#pragma once

#include <QAbstractScrollArea>
#include <QAbstractTableModel>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <optional>
#include <vector>

#include "data_grid.h"
#include "db.h"
#include "grid_engine.h"
#include "grid_style.h"

namespace grid {

class GridModel;
class GroupByBox;
class GridArea;
class HeaderBar;
class FilterRow;
class FooterBar;
class FilterBox;
class NavigatorBar;

// What a resolved style gives a cell.
struct CellLook {
    QColor background;
    QColor text;
    QFont font;
};

class GridCore {
public:
    explicit GridCore(DataGrid* owner);
    ~GridCore();

    DataGrid* q;
    struct Col {
        QString field;
        QString header;   // as given; "" shows the field name
        int width96 = 0;
        int width = 0;    // device pixels
        QString format;
        bool sum = false;
        QLineEdit* editor = nullptr;   // owned by the filter row
    };
    std::vector<Col> cols;
    std::vector<int> visual;   // logical column at each visual position
    Engine engine;
    db::Query* query = nullptr;
    int listener = 0;
    StyleSheet sheet;
    int focusedRow = -1;
    int focusedCol = 0;
    long lastRecord = -1;
    bool syncing = false;
    QString incSearch;
    double scale = 1.0;
    std::vector<double> sums;   // per column, when `sum`
    bool hasFocus = false;
    int previewCol = -1;   // column shown in each row's preview line, -1 for none

    GridModel* model = nullptr;
    GroupByBox* groupBox = nullptr;
    GridArea* area = nullptr;
    HeaderBar* header = nullptr;
    FilterRow* filterRow = nullptr;
    FooterBar* footer = nullptr;
    FilterBox* filterBox = nullptr;
    NavigatorBar* nav = nullptr;

    // Geometry, in device pixels.
    int px(int at96) const;
    int indicatorWidth() const;
    int rowHeight() const;      // a row of the view: its cells and its preview line
    int cellHeight() const;     // the cells of a row
    int previewHeight() const;  // 0 without a preview column
    int headerHeight() const;
    int filterRowHeight() const;
    int footerHeight() const;
    int indentWidth() const;
    int groupIndent() const;   // width of the indentation before the columns
    struct Geo {
        int column;
        int x;       // from the start of the columns area, before scrolling
        int width;
    };
    std::vector<Geo> shownColumns() const;   // visual order, grouped columns left out
    int contentWidth() const;
    int xOrigin() const;   // where content x 0 lands in a part's coordinates
    int firstRow() const;  // top view row shown
    int pageRows() const;  // rows that fit in the viewport
    bool isShown(int column) const;
    QString headerText(int column) const;

    // Styles resolved to what is painted; unset values come from the grid.
    CellLook look(const std::optional<Style>& style) const;
    CellLook dataLook(int viewRow) const;
    CellLook previewLook() const;
    QFont scaled(const QFont& f) const;

    // Behaviour.
    void attach(db::Query* q);
    void onQueryEvent(db::Query::Event e);
    void reloadRows();
    void setFocus(int viewRow, bool moveQuery);
    void focusRecord(long record, bool moveQuery);
    void ensureVisible(int viewRow);
    void updateSums();
    void updateParts();
    void layoutParts();
    void filterEdited(int column, const QString& text);
    void toggleSort(int column, bool clear);
    void incSearchKey(const QString& text);
    void nextCell();
    long dataIndexOfFocus() const;   // index in engine.visible() of the focused data row
    bool focusVisibleIndex(size_t index);
};

class GridModel : public QAbstractTableModel {
public:
    GridModel(GridCore* core, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void reset();
    void rowChanged(int viewRow);

private:
    GridCore* c;
};

class GroupByBox : public QWidget {
public:
    GroupByBox(GridCore* core, QWidget* parent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    void setDropHint(bool on);
    static QString hintText();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QRect chipRect(int level) const;
    int chipAt(const QPoint& p) const;
    GridCore* c;
    bool dropHint_ = false;
    int pressLevel_ = -1;
    QPoint pressPos_;
    bool dragging_ = false;
};

class GridArea : public QAbstractScrollArea {
public:
    GridArea(GridCore* core, QWidget* parent);
    void updateScrollBars();
    void setMargins(int top, int bottom) { setViewportMargins(0, top, 0, bottom); }
    int rowAt(int y) const;       // view row under a viewport y, -1 when none
    int columnAt(int x) const;    // column under a viewport x, -1 when none

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    void paintGroupRow(QPainter& p, int viewRow, int y, int right);
    void paintDataRow(QPainter& p, int viewRow, int y);
    GridCore* c;
};

class HeaderBar : public QWidget {
public:
    HeaderBar(GridCore* core, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    int sectionAt(int x) const;       // index into shownColumns(), -1 when none
    int edgeAt(int x) const;          // index whose right edge is under x, -1 when none
    int insertPosAt(int x) const;     // visual position a dragged column would take
    GridCore* c;
    int resizing_ = -1;               // logical column being resized
    int resizeStartX_ = 0;
    int resizeStartW_ = 0;
    int pressed_ = -1;                // logical column pressed
    QPoint pressPos_;
    bool dragging_ = false;
    int dropX_ = -1;                  // insertion marker, -1 when none
};

class FilterRow : public QWidget {
public:
    FilterRow(GridCore* core, QWidget* parent);
    void addEditor(int column);
    void layoutEditors();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    GridCore* c;
};

class FooterBar : public QWidget {
public:
    FooterBar(GridCore* core, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    GridCore* c;
};

class FilterBox : public QWidget {
public:
    FilterBox(GridCore* core, QWidget* parent);
    void refresh();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    GridCore* c;
    QToolButton* clear_;
    QLabel* text_;
};

class NavigatorBar : public QWidget {
public:
    NavigatorBar(GridCore* core, QWidget* parent);
    void refresh();

private:
    GridCore* c;
    QToolButton* first_;
    QToolButton* priorPage_;
    QToolButton* prior_;
    QToolButton* next_;
    QToolButton* nextPage_;
    QToolButton* last_;
    QLabel* info_;
};

}  // namespace grid
