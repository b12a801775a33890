// The parts of the data grid: group-by box, rows, header, filter row, footer,
// filter box and navigator.
#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>

#include "data_grid_p.h"

namespace grid {

namespace {

const QColor kGridLine(0xC0, 0xC0, 0xC0);

void drawSortArrow(QPainter& p, const QRect& r, bool ascending, const QColor& color, int size) {
    const int cx = r.right() - size;
    const int cy = r.center().y();
    QPainterPath path;
    if (ascending) {
        path.moveTo(cx - size / 2.0, cy + size / 4.0);
        path.lineTo(cx + size / 2.0, cy + size / 4.0);
        path.lineTo(cx, cy - size / 2.0);
    } else {
        path.moveTo(cx - size / 2.0, cy - size / 4.0);
        path.lineTo(cx + size / 2.0, cy - size / 4.0);
        path.lineTo(cx, cy + size / 2.0);
    }
    path.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, color);
    p.restore();
}

void drawRaised(QPainter& p, const QRect& r, const QColor& bg) {
    p.fillRect(r, bg);
    p.setPen(bg.lighter(140));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bg.darker(150));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// The filter editor of one column: Enter or Down goes to the rows, Escape
// clears the column's condition.
class FilterEdit : public QLineEdit {
public:
    FilterEdit(GridCore* core, int column, QWidget* parent)
        : QLineEdit(parent), c_(core), column_(column) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Down) {
            c_->focusedCol = column_;
            c_->area->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (e->key() == Qt::Key_Escape && !text().isEmpty()) {
            clear();
            c_->filterEdited(column_, QString());
            return;
        }
        QLineEdit::keyPressEvent(e);
    }

private:
    GridCore* c_;
    int column_;
};

}  // namespace

// ---------------------------------------------------------------------------
// GroupByBox

GroupByBox::GroupByBox(GridCore* core, QWidget* parent) : QWidget(parent), c(core) {
    setObjectName(QStringLiteral("groupByBox"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString GroupByBox::hintText() {
    return QStringLiteral("Trageti aici antetul unei coloane pentru a grupa dupa ea");
}

QSize GroupByBox::sizeHint() const {
    return QSize(c->px(200), c->headerHeight() + c->px(12));
}

void GroupByBox::setDropHint(bool on) {
    if (dropHint_ == on) return;
    dropHint_ = on;
    update();
}

QRect GroupByBox::chipRect(int level) const {
    const QFontMetrics fm(c->look(c->sheet.header).font);
    int x = c->px(6);
    const auto& levels = c->engine.grouping();
    for (int l = 0; l < static_cast<int>(levels.size()); ++l) {
        const int w = fm.horizontalAdvance(c->headerText(static_cast<int>(levels[static_cast<size_t>(l)].column))) +
                      c->px(26);
        if (l == level) return QRect(x, c->px(6), w, c->headerHeight());
        x += w + c->px(8);
    }
    return {};
}

int GroupByBox::chipAt(const QPoint& p) const {
    for (int l = 0; l < static_cast<int>(c->engine.grouping().size()); ++l)
        if (chipRect(l).contains(p)) return l;
    return -1;
}

void GroupByBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CellLook box = c->look(c->sheet.groupByBox);
    if (!c->sheet.groupByBox || !c->sheet.groupByBox->background)
        box.background = palette().color(QPalette::Dark);
    p.fillRect(rect(), box.background);
    const auto& levels = c->engine.grouping();
    if (levels.empty()) {
        p.setFont(box.font);
        p.setPen(box.text);
        p.drawText(rect().adjusted(c->px(8), 0, -c->px(8), 0), Qt::AlignVCenter | Qt::AlignLeft,
                   hintText());
    }
    CellLook head = c->look(c->sheet.header);
    if (!c->sheet.header || !c->sheet.header->background) head.background = palette().color(QPalette::Button);
    if (!c->sheet.header || !c->sheet.header->textColor) head.text = palette().color(QPalette::ButtonText);
    for (int l = 0; l < static_cast<int>(levels.size()); ++l) {
        const QRect r = chipRect(l);
        if (l > 0) {
            // A connector from the previous chip.
            const QRect prev = chipRect(l - 1);
            p.setPen(box.text);
            p.drawLine(prev.right(), r.center().y(), r.left(), r.center().y());
        }
        drawRaised(p, r, head.background);
        p.setFont(head.font);
        p.setPen(head.text);
        p.drawText(r.adjusted(c->px(5), 0, -c->px(16), 0), Qt::AlignVCenter | Qt::AlignLeft,
                   c->headerText(static_cast<int>(levels[static_cast<size_t>(l)].column)));
        drawSortArrow(p, r, levels[static_cast<size_t>(l)].order == SortOrder::Ascending, head.text,
                      c->px(7));
    }
    if (dropHint_) {
        QPen pen(box.text);
        pen.setStyle(Qt::DashLine);
        pen.setWidth(std::max(1, c->px(2)));
        p.setPen(pen);
        p.drawRect(rect().adjusted(c->px(2), c->px(2), -c->px(3), -c->px(3)));
    }
}

void GroupByBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    pressLevel_ = chipAt(e->position().toPoint());
    pressPos_ = e->position().toPoint();
    dragging_ = false;
}

void GroupByBox::mouseMoveEvent(QMouseEvent* e) {
    if (pressLevel_ < 0) return;
    if ((e->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance())
        dragging_ = true;
}

void GroupByBox::mouseReleaseEvent(QMouseEvent* e) {
    if (pressLevel_ < 0 || e->button() != Qt::LeftButton) return;
    const auto levels = c->engine.grouping();
    const int level = pressLevel_;
    pressLevel_ = -1;
    if (level >= static_cast<int>(levels.size())) return;
    const int column = static_cast<int>(levels[static_cast<size_t>(level)].column);
    if (dragging_) {
        dragging_ = false;
        // Dropped outside the box: the column leaves the grouping.
        if (!rect().contains(e->position().toPoint())) c->q->ungroupColumn(column);
        return;
    }
    // A click turns the group order round.
    c->q->groupByColumn(column, levels[static_cast<size_t>(level)].order == SortOrder::Ascending
                                    ? Qt::DescendingOrder
                                    : Qt::AscendingOrder);
}

// ---------------------------------------------------------------------------
// GridArea

GridArea::GridArea(GridCore* core, QWidget* parent) : QAbstractScrollArea(parent), c(core) {
    setObjectName(QStringLiteral("gridArea"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setObjectName(QStringLiteral("gridRows"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void GridArea::updateScrollBars() {
    const int rows = static_cast<int>(c->engine.viewRowCount());
    const int page = c->pageRows();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, rows - page));
    v->setPageStep(page);
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    const int avail = std::max(0, viewport()->width() - c->indicatorWidth());
    h->setRange(0, std::max(0, c->contentWidth() - avail));
    h->setPageStep(std::max(1, avail));
    h->setSingleStep(c->px(20));
}

int GridArea::rowAt(int y) const {
    if (y < 0) return -1;
    const int row = c->firstRow() + y / std::max(1, c->rowHeight());
    return row < static_cast<int>(c->engine.viewRowCount()) ? row : -1;
}

int GridArea::columnAt(int x) const {
    const int xo = c->xOrigin();
    if (x < c->indicatorWidth()) return -1;
    for (const auto& g : c->shownColumns())
        if (x >= xo + g.x && x < xo + g.x + g.width) return g.column;
    return -1;
}

void GridArea::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    c->layoutParts();
    updateScrollBars();
}

void GridArea::scrollContentsBy(int, int) {
    viewport()->update();
    c->header->update();
    c->filterRow->layoutEditors();
    c->footer->update();
}

void GridArea::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QRect all = viewport()->rect();
    CellLook bg = c->look(c->sheet.background);
    p.fillRect(all, bg.background);
    const int rh = c->rowHeight();
    const int rows = static_cast<int>(c->engine.viewRowCount());
    const int first = c->firstRow();
    const int indW = c->indicatorWidth();
    const int right = c->xOrigin() + c->contentWidth();
    CellLook ind = c->look(c->sheet.indicator);
    if (!c->sheet.indicator || !c->sheet.indicator->background) ind.background = palette().color(QPalette::Button);
    for (int i = 0; first + i < rows && i * rh < all.height(); ++i) {
        const int row = first + i;
        const int y = i * rh;
        p.setClipRect(QRect(indW, y, all.width() - indW, rh));
        if (c->engine.isGroupRow(static_cast<size_t>(row)))
            paintGroupRow(p, row, y, right);
        else
            paintDataRow(p, row, y);
        p.setClipping(false);
        const QRect ir(0, y, indW, rh);
        drawRaised(p, ir, ind.background);
        if (row == c->focusedRow) {
            const int s = std::max(3, c->px(4));
            QPainterPath tri;
            tri.moveTo(ir.center().x() - s / 2.0, ir.center().y() - s);
            tri.lineTo(ir.center().x() + s / 2.0 + 1, ir.center().y());
            tri.lineTo(ir.center().x() - s / 2.0, ir.center().y() + s);
            tri.closeSubpath();
            p.save();
            p.setRenderHint(QPainter::Antialiasing);
            p.fillPath(tri, ind.text);
            p.restore();
        }
    }
}

void GridArea::paintGroupRow(QPainter& p, int viewRow, int y, int right) {
    const uint32_t gi = c->engine.viewEntry(static_cast<size_t>(viewRow)) & ~Engine::kGroupFlag;
    const auto& g = c->engine.groups()[gi];
    const int rh = c->rowHeight();
    const int xo = c->xOrigin();
    const int indent = c->indentWidth();
    const CellLook l = c->dataLook(viewRow);
    CellLook gl = c->look(c->sheet.group);
    if (!c->sheet.group || !c->sheet.group->background) gl.background = palette().color(QPalette::Button);
    const int x0 = xo + static_cast<int>(g.level) * indent;
    const int fullRight = std::max(right, viewport()->width());
    if (g.level > 0) p.fillRect(QRect(xo, y, x0 - xo, rh), gl.background);
    p.fillRect(QRect(x0, y, fullRight - x0, rh), l.background);
    // Expand button.
    const int b = std::max(7, c->px(9));
    const QRect br(x0 + (indent - b) / 2, y + (rh - b) / 2, b, b);
    p.setPen(l.text);
    p.fillRect(br, palette().color(QPalette::Base));
    p.drawRect(br.adjusted(0, 0, -1, -1));
    p.drawLine(br.left() + 2, br.center().y(), br.right() - 2, br.center().y());
    if (!g.expanded) p.drawLine(br.center().x(), br.top() + 2, br.center().x(), br.bottom() - 2);
    p.setFont(l.font);
    const QString caption = c->model->data(c->model->index(viewRow, 0), Qt::DisplayRole).toString();
    p.drawText(QRect(x0 + indent + c->px(2), y, fullRight - x0 - indent, rh),
               Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.setPen(kGridLine);
    p.drawLine(x0, y + rh - 1, fullRight, y + rh - 1);
}

void GridArea::paintDataRow(QPainter& p, int viewRow, int y) {
    const int rh = c->cellHeight();
    const int xo = c->xOrigin();
    const int vw = viewport()->width();
    const int pad = c->px(3);
    GridModel* m = c->model;
    if (c->engine.grouped()) {
        CellLook gl = c->look(c->sheet.group);
        if (!c->sheet.group || !c->sheet.group->background) gl.background = palette().color(QPalette::Button);
        p.fillRect(QRect(xo, y, c->groupIndent(), c->rowHeight()), gl.background);
    }
    if (c->previewCol >= 0) {
        // The preview line under the cells, across the row.
        const int ph = c->previewHeight();
        const QRect pr(xo + c->groupIndent(), y + rh, c->contentWidth() - c->groupIndent(), ph);
        p.fillRect(pr, c->q->previewData(viewRow, Qt::BackgroundRole).value<QBrush>().color());
        p.setFont(c->q->previewData(viewRow, Qt::FontRole).value<QFont>());
        p.setPen(c->q->previewData(viewRow, Qt::ForegroundRole).value<QBrush>().color());
        const QRect tr = pr.adjusted(c->px(20), 0, -pad, 0);
        p.drawText(tr, Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetrics(p.font()).elidedText(c->q->previewData(viewRow, Qt::DisplayRole).toString(),
                                                     Qt::ElideRight, tr.width()));
        p.setPen(kGridLine);
        p.drawLine(pr.left(), pr.bottom(), pr.right(), pr.bottom());
    }
    for (const auto& g : c->shownColumns()) {
        const QRect r(xo + g.x, y, g.width, rh);
        if (r.right() < c->indicatorWidth() || r.left() > vw) continue;
        const QModelIndex idx = m->index(viewRow, g.column);
        const QColor bg = m->data(idx, Qt::BackgroundRole).value<QBrush>().color();
        const QColor fg = m->data(idx, Qt::ForegroundRole).value<QBrush>().color();
        const QFont font = m->data(idx, Qt::FontRole).value<QFont>();
        const auto align = static_cast<Qt::Alignment>(m->data(idx, Qt::TextAlignmentRole).toInt());
        const QString text = m->data(idx, Qt::DisplayRole).toString();
        p.fillRect(r, bg);
        p.setFont(font);
        const QFontMetrics fm(font);
        const QRect tr = r.adjusted(pad, 0, -pad, 0);
        const QString shown = fm.elidedText(text, Qt::ElideRight, tr.width());
        const int inc = std::min(static_cast<int>(shown.size()), m->data(idx, IncSearchLengthRole).toInt());
        if (inc > 0) {
            const int textX = (align & Qt::AlignRight) ? tr.right() + 1 - fm.horizontalAdvance(shown) : tr.left();
            const QString prefix = shown.left(inc);
            const QRect hr(textX, r.top() + 1, fm.horizontalAdvance(prefix), rh - 2);
            p.fillRect(hr, m->data(idx, IncSearchBackgroundRole).value<QColor>());
            p.setPen(m->data(idx, IncSearchForegroundRole).value<QColor>());
            p.drawText(hr, Qt::AlignVCenter | Qt::AlignLeft, prefix);
            p.setPen(fg);
            p.drawText(QRect(hr.right() + 1, r.top(), tr.right() - hr.right(), rh),
                       Qt::AlignVCenter | Qt::AlignLeft, shown.mid(inc));
        } else {
            p.setPen(fg);
            p.drawText(tr, static_cast<int>(align), shown);
        }
        p.setPen(kGridLine);
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        if (viewRow == c->focusedRow && g.column == c->focusedCol && c->hasFocus) {
            QPen pen(fg);
            pen.setStyle(Qt::DotLine);
            p.setPen(pen);
            p.drawRect(r.adjusted(1, 1, -2, -2));
        }
    }
}

void GridArea::keyPressEvent(QKeyEvent* e) {
    const int rows = static_cast<int>(c->engine.viewRowCount());
    const int row = c->focusedRow;
    const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
    const bool onGroup = row >= 0 && c->engine.isGroupRow(static_cast<size_t>(row));
    switch (e->key()) {
    case Qt::Key_Down:
        if (row + 1 < rows) c->setFocus(row + 1, true);
        return;
    case Qt::Key_Up:
        if (row > 0) c->setFocus(row - 1, true);
        return;
    case Qt::Key_PageDown:
        if (rows > 0) c->setFocus(std::min(rows - 1, std::max(0, row) + c->pageRows()), true);
        return;
    case Qt::Key_PageUp:
        if (rows > 0) c->setFocus(std::max(0, row - c->pageRows()), true);
        return;
    case Qt::Key_Home:
        if (ctrl) {
            if (rows > 0) c->setFocus(0, true);
        } else if (!c->shownColumns().empty()) {
            c->q->setFocusedColumn(c->shownColumns().front().column);
        }
        return;
    case Qt::Key_End:
        if (ctrl) {
            if (rows > 0) c->setFocus(rows - 1, true);
        } else if (!c->shownColumns().empty()) {
            c->q->setFocusedColumn(c->shownColumns().back().column);
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onGroup) {
            c->q->setGroupExpanded(row, !c->engine.groups()[c->engine.viewEntry(static_cast<size_t>(row)) & ~Engine::kGroupFlag].expanded);
            return;
        }
        c->nextCell();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const bool right = e->key() == Qt::Key_Right;
        if (onGroup) {
            c->q->setGroupExpanded(row, right);
            return;
        }
        const auto shown = c->shownColumns();
        size_t pos = 0;
        while (pos < shown.size() && shown[pos].column != c->focusedCol) ++pos;
        if (pos >= shown.size()) pos = 0;
        if (right && pos + 1 < shown.size()) c->q->setFocusedColumn(shown[pos + 1].column);
        if (!right && pos > 0 && pos <= shown.size()) c->q->setFocusedColumn(shown[pos - 1].column);
        return;
    }
    case Qt::Key_Backspace:
        if (!c->incSearch.isEmpty()) {
            c->incSearch.chop(1);
            c->model->rowChanged(c->focusedRow);
            viewport()->update();
        }
        return;
    case Qt::Key_Escape:
        if (!c->incSearch.isEmpty()) {
            c->incSearch.clear();
            c->model->rowChanged(c->focusedRow);
            viewport()->update();
            return;
        }
        break;
    default: break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && !ctrl && text.at(0).isPrint()) {
        c->incSearchKey(text);
        return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void GridArea::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = e->position().toPoint();
    const int row = rowAt(pos.y());
    if (row < 0 || pos.x() < c->indicatorWidth()) {
        if (row >= 0) c->setFocus(row, true);
        return;
    }
    if (c->engine.isGroupRow(static_cast<size_t>(row))) {
        const auto& g = c->engine.groups()[c->engine.viewEntry(static_cast<size_t>(row)) & ~Engine::kGroupFlag];
        const int x0 = c->xOrigin() + static_cast<int>(g.level) * c->indentWidth();
        if (pos.x() >= x0 && pos.x() < x0 + c->indentWidth()) {
            c->setFocus(row, true);
            c->q->setGroupExpanded(row, !g.expanded);
            return;
        }
        c->setFocus(row, true);
        return;
    }
    const int col = columnAt(pos.x());
    if (col >= 0 && col != c->focusedCol) {
        c->focusedCol = col;
        c->incSearch.clear();
        if (c->focusedRow >= 0) c->model->rowChanged(c->focusedRow);
    }
    c->setFocus(row, true);
}

void GridArea::mouseDoubleClickEvent(QMouseEvent* e) {
    const int row = rowAt(e->position().toPoint().y());
    if (row >= 0 && c->engine.isGroupRow(static_cast<size_t>(row))) {
        const auto& g = c->engine.groups()[c->engine.viewEntry(static_cast<size_t>(row)) & ~Engine::kGroupFlag];
        c->q->setGroupExpanded(row, !g.expanded);
    }
}

void GridArea::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void GridArea::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}

// ---------------------------------------------------------------------------
// HeaderBar

HeaderBar::HeaderBar(GridCore* core, QWidget* parent) : QWidget(parent), c(core) {
    setObjectName(QStringLiteral("header"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int HeaderBar::sectionAt(int x) const {
    const int xo = c->xOrigin();
    if (x < c->indicatorWidth()) return -1;
    const auto shown = c->shownColumns();
    for (size_t i = 0; i < shown.size(); ++i)
        if (x >= xo + shown[i].x && x < xo + shown[i].x + shown[i].width) return static_cast<int>(i);
    return -1;
}

int HeaderBar::edgeAt(int x) const {
    const int xo = c->xOrigin();
    const auto shown = c->shownColumns();
    const int tol = std::max(2, c->px(3));
    for (size_t i = shown.size(); i-- > 0;) {
        const int edge = xo + shown[i].x + shown[i].width;
        if (edge >= c->indicatorWidth() && std::abs(x - edge) <= tol) return static_cast<int>(i);
    }
    return -1;
}

int HeaderBar::insertPosAt(int x) const {
    const int xo = c->xOrigin();
    for (const auto& g : c->shownColumns()) {
        if (x < xo + g.x + g.width / 2) {
            const auto it = std::find(c->visual.begin(), c->visual.end(), g.column);
            return static_cast<int>(it - c->visual.begin());
        }
    }
    return static_cast<int>(c->visual.size());
}

void HeaderBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QAbstractItemModel* m = c->model;
    const QColor bg = m->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color();
    CellLook head = c->look(c->sheet.header);
    const QColor fg = c->cols.empty() ? head.text : m->headerData(0, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color();
    p.fillRect(rect(), c->cols.empty() ? palette().color(QPalette::Button) : bg);
    const int indW = c->indicatorWidth();
    const int xo = c->xOrigin();
    const int h = height();
    p.setClipRect(QRect(indW, 0, width() - indW, h));
    if (c->groupIndent() > 0) drawRaised(p, QRect(xo, 0, c->groupIndent(), h), bg);
    for (const auto& g : c->shownColumns()) {
        const QRect r(xo + g.x, 0, g.width, h);
        if (r.right() < indW || r.left() > width()) continue;
        drawRaised(p, r, bg);
        p.setFont(m->headerData(g.column, Qt::Horizontal, Qt::FontRole).value<QFont>());
        p.setPen(fg);
        const int order = m->headerData(g.column, Qt::Horizontal, SortOrderRole).toInt();
        const int arrow = order >= 0 ? c->px(14) : 0;
        const QRect tr = r.adjusted(c->px(4), 0, -c->px(3) - arrow, 0);
        p.drawText(tr, Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetrics(p.font()).elidedText(c->headerText(g.column), Qt::ElideRight, tr.width()));
        if (order >= 0) drawSortArrow(p, r.adjusted(0, 0, -c->px(2), 0), order == Qt::AscendingOrder, fg, c->px(7));
    }
    if (dragging_ && dropX_ >= 0) {
        p.fillRect(QRect(dropX_ - 1, 0, std::max(2, c->px(2)), h), fg);
    }
    p.setClipping(false);
    drawRaised(p, QRect(0, 0, indW, h), bg);
}

void HeaderBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    const int edge = edgeAt(pos.x());
    if (edge >= 0) {
        const auto shown = c->shownColumns();
        resizing_ = shown[static_cast<size_t>(edge)].column;
        resizeStartX_ = pos.x();
        resizeStartW_ = shown[static_cast<size_t>(edge)].width;
        return;
    }
    const int s = sectionAt(pos.x());
    if (s < 0) return;
    pressed_ = c->shownColumns()[static_cast<size_t>(s)].column;
    pressPos_ = pos;
    dragging_ = false;
}

void HeaderBar::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (resizing_ >= 0) {
        c->q->setColumnWidth(resizing_, resizeStartW_ + pos.x() - resizeStartX_);
        return;
    }
    if (pressed_ < 0) {
        setCursor(edgeAt(pos.x()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        return;
    }
    if (!dragging_ && (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance())
        dragging_ = true;
    if (!dragging_) return;
    const QPoint global = mapToGlobal(pos);
    const bool overBox = c->groupBox->rect().contains(c->groupBox->mapFromGlobal(global));
    c->groupBox->setDropHint(overBox);
    if (!overBox && pos.y() >= -height() && pos.y() < 2 * height()) {
        const int at = insertPosAt(pos.x());
        int x = c->xOrigin() + c->contentWidth();
        for (const auto& g : c->shownColumns()) {
            const auto it = std::find(c->visual.begin(), c->visual.end(), g.column);
            if (static_cast<int>(it - c->visual.begin()) >= at) {
                x = c->xOrigin() + g.x;
                break;
            }
        }
        dropX_ = x;
    } else {
        dropX_ = -1;
    }
    update();
}

void HeaderBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    if (resizing_ >= 0) {
        resizing_ = -1;
        return;
    }
    const int column = pressed_;
    pressed_ = -1;
    if (column < 0) return;
    if (dragging_) {
        dragging_ = false;
        dropX_ = -1;
        c->groupBox->setDropHint(false);
        const QPoint global = mapToGlobal(pos);
        if (c->groupBox->rect().contains(c->groupBox->mapFromGlobal(global))) {
            c->q->groupByColumn(column);
        } else if (pos.y() >= -height() && pos.y() < 2 * height()) {
            int at = insertPosAt(pos.x());
            const auto it = std::find(c->visual.begin(), c->visual.end(), column);
            if (static_cast<int>(it - c->visual.begin()) < at) --at;
            c->q->moveColumn(column, at);
        }
        update();
        return;
    }
    c->toggleSort(column, (e->modifiers() & Qt::ControlModifier) != 0);
}

void HeaderBar::leaveEvent(QEvent*) {
    if (pressed_ < 0 && resizing_ < 0) unsetCursor();
}

// ---------------------------------------------------------------------------
// FilterRow

FilterRow::FilterRow(GridCore* core, QWidget* parent) : QWidget(parent), c(core) {
    setObjectName(QStringLiteral("filterRow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto* cells = new QWidget(this);
    cells->setObjectName(QStringLiteral("filterCells"));
}

void FilterRow::addEditor(int column) {
    auto* cells = findChild<QWidget*>(QStringLiteral("filterCells"), Qt::FindDirectChildrenOnly);
    auto* ed = new FilterEdit(c, column, cells);
    ed->setObjectName(QStringLiteral("filter_") + c->cols[static_cast<size_t>(column)].field);
    ed->setFrame(false);
    ed->setToolTip(QStringLiteral("Filtru: ") + c->headerText(column));
    c->cols[static_cast<size_t>(column)].editor = ed;
    QObject::connect(ed, &QLineEdit::textEdited, ed,
                     [core = c, column](const QString& text) { core->filterEdited(column, text); });
    layoutEditors();
}

void FilterRow::layoutEditors() {
    auto* cells = findChild<QWidget*>(QStringLiteral("filterCells"), Qt::FindDirectChildrenOnly);
    if (!cells) return;
    const int indW = c->indicatorWidth();
    cells->setGeometry(indW, 0, std::max(0, width() - indW), height());
    const int xo = c->xOrigin() - indW;
    std::vector<bool> placed(c->cols.size(), false);
    for (const auto& g : c->shownColumns()) {
        QLineEdit* ed = c->cols[static_cast<size_t>(g.column)].editor;
        if (!ed) continue;
        ed->setGeometry(xo + g.x, 0, g.width - 1, height() - 1);
        ed->show();
        placed[static_cast<size_t>(g.column)] = true;
    }
    for (size_t col = 0; col < c->cols.size(); ++col)
        if (!placed[col] && c->cols[col].editor) c->cols[col].editor->hide();
}

void FilterRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kGridLine);
    CellLook ind = c->look(c->sheet.indicator);
    if (!c->sheet.indicator || !c->sheet.indicator->background) ind.background = palette().color(QPalette::Button);
    const QRect corner(0, 0, c->indicatorWidth(), height());
    drawRaised(p, corner, ind.background);
    // A funnel in the corner marks the row of filters.
    const int s = std::max(4, c->px(5));
    const QPoint m = corner.center();
    QPainterPath funnel;
    funnel.moveTo(m.x() - s, m.y() - s);
    funnel.lineTo(m.x() + s, m.y() - s);
    funnel.lineTo(m.x() + 1, m.y());
    funnel.lineTo(m.x() + 1, m.y() + s);
    funnel.lineTo(m.x() - 1, m.y() + s);
    funnel.lineTo(m.x() - 1, m.y());
    funnel.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(funnel, ind.text);
    p.restore();
}

// ---------------------------------------------------------------------------
// FooterBar

FooterBar::FooterBar(GridCore* core, QWidget* parent) : QWidget(parent), c(core) {
    setObjectName(QStringLiteral("footer"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FooterBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor bg = c->q->footerData(0, Qt::BackgroundRole).value<QBrush>().color();
    const QColor fg = c->q->footerData(0, Qt::ForegroundRole).value<QBrush>().color();
    const QFont font = c->q->footerData(0, Qt::FontRole).value<QFont>();
    p.fillRect(rect(), bg);
    const int indW = c->indicatorWidth();
    const int xo = c->xOrigin();
    const int pad = c->px(3);
    p.setClipRect(QRect(indW, 0, width() - indW, height()));
    p.setFont(font);
    const QFontMetrics fm(font);
    for (const auto& g : c->shownColumns()) {
        const QRect r(xo + g.x, 0, g.width, height());
        if (r.right() < indW || r.left() > width()) continue;
        const QString text = c->q->footerText(g.column);
        p.setPen(kGridLine);
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        if (text.isEmpty()) continue;
        p.setPen(fg);
        const bool sum = c->cols[static_cast<size_t>(g.column)].sum;
        const QRect tr = r.adjusted(pad, 0, -pad, 0);
        p.drawText(tr, Qt::AlignVCenter | (sum ? Qt::AlignRight : Qt::AlignLeft),
                   fm.elidedText(text, Qt::ElideRight, tr.width()));
    }
    p.setClipping(false);
    p.setPen(kGridLine);
    p.drawLine(0, 0, width(), 0);
    CellLook ind = c->look(c->sheet.indicator);
    if (!c->sheet.indicator || !c->sheet.indicator->background) ind.background = palette().color(QPalette::Button);
    drawRaised(p, QRect(0, 0, indW, height()), ind.background);
}

// ---------------------------------------------------------------------------
// FilterBox

FilterBox::FilterBox(GridCore* core, QWidget* parent) : QWidget(parent), c(core) {
    setObjectName(QStringLiteral("filterBox"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(c->px(4), c->px(2), c->px(4), c->px(2));
    layout->setSpacing(c->px(6));
    clear_ = new QToolButton(this);
    clear_->setObjectName(QStringLiteral("filterClear"));
    clear_->setText(QStringLiteral("\u2715"));
    clear_->setToolTip(QStringLiteral("Sterge filtrul"));
    clear_->setAutoRaise(true);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("filterText"));
    text_->setTextFormat(Qt::PlainText);
    layout->addWidget(clear_);
    layout->addWidget(text_, 1);
    QObject::connect(clear_, &QToolButton::clicked, this, [core = c] { core->q->clearFilters(); });
    setVisible(false);
}

void FilterBox::refresh() {
    const QString text = c->q->filterDescription();
    CellLook l = c->look(c->sheet.filterBox);
    if (!c->sheet.filterBox || !c->sheet.filterBox->background) l.background = palette().color(QPalette::Window);
    if (palette().color(QPalette::Window) != l.background || palette().color(QPalette::WindowText) != l.text) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, l.background);
        pal.setColor(QPalette::WindowText, l.text);
        pal.setColor(QPalette::ButtonText, l.text);
        setPalette(pal);
    }
    if (text_->font() != l.font) text_->setFont(l.font);
    if (text_->text() != text) text_->setText(text);
    if (isHidden() == !text.isEmpty()) setVisible(!text.isEmpty());
}

void FilterBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(kGridLine);
    p.drawLine(0, 0, width(), 0);
}

// ---------------------------------------------------------------------------
// NavigatorBar

NavigatorBar::NavigatorBar(GridCore* core, QWidget* parent) : QWidget(parent), c(core) {
    setObjectName(QStringLiteral("navigator"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(c->px(2), c->px(2), c->px(2), c->px(2));
    layout->setSpacing(c->px(1));
    auto button = [this, layout](const char* name, const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
        return b;
    };
    first_ = button("navFirst", QStringLiteral("|\u25C0"), QStringLiteral("Prima inregistrare"));
    priorPage_ = button("navPriorPage", QStringLiteral("\u25C0\u25C0"), QStringLiteral("Pagina anterioara"));
    prior_ = button("navPrior", QStringLiteral("\u25C0"), QStringLiteral("Inregistrarea anterioara"));
    next_ = button("navNext", QStringLiteral("\u25B6"), QStringLiteral("Inregistrarea urmatoare"));
    nextPage_ = button("navNextPage", QStringLiteral("\u25B6\u25B6"), QStringLiteral("Pagina urmatoare"));
    last_ = button("navLast", QStringLiteral("\u25B6|"), QStringLiteral("Ultima inregistrare"));
    info_ = new QLabel(this);
    info_->setObjectName(QStringLiteral("navInfo"));
    layout->addSpacing(c->px(8));
    layout->addWidget(info_);
    layout->addStretch(1);
    GridCore* const gc = c;
    QObject::connect(first_, &QToolButton::clicked, this, [gc] { gc->q->focusFirstRow(); });
    QObject::connect(prior_, &QToolButton::clicked, this, [gc] { gc->q->focusPriorRow(); });
    QObject::connect(next_, &QToolButton::clicked, this, [gc] { gc->q->focusNextRow(); });
    QObject::connect(last_, &QToolButton::clicked, this, [gc] { gc->q->focusLastRow(); });
    QObject::connect(priorPage_, &QToolButton::clicked, this, [gc] {
        const int rows = static_cast<int>(gc->engine.viewRowCount());
        if (rows > 0) gc->setFocus(std::max(0, gc->focusedRow - gc->pageRows()), true);
    });
    QObject::connect(nextPage_, &QToolButton::clicked, this, [gc] {
        const int rows = static_cast<int>(gc->engine.viewRowCount());
        if (rows > 0) gc->setFocus(std::min(rows - 1, std::max(0, gc->focusedRow) + gc->pageRows()), true);
    });
    refresh();
}

void NavigatorBar::refresh() {
    info_->setText(c->q->infoText());
    // Whether a data row lies before or after the focus, in the order shown.
    const auto& vis = c->engine.visible();
    long before = -1, after = -1;   // index in visible() of the rows on either side
    const long idx = c->dataIndexOfFocus();
    if (idx >= 0) {
        before = idx - 1;
        after = idx + 1;
    } else if (c->focusedRow >= 0) {
        const uint32_t e = c->engine.viewEntry(static_cast<size_t>(c->focusedRow));
        const auto first = static_cast<long>(c->engine.groups()[e & ~Engine::kGroupFlag].first);
        before = first - 1;
        after = first;
    }
    const bool hasBefore = before >= 0;
    const bool hasAfter = after >= 0 && after < static_cast<long>(vis.size());
    first_->setEnabled(hasBefore);
    priorPage_->setEnabled(hasBefore);
    prior_->setEnabled(hasBefore);
    next_->setEnabled(hasAfter);
    nextPage_->setEnabled(hasAfter);
    last_->setEnabled(hasAfter);
}

}  // namespace grid
