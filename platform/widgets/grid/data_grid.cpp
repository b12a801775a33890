#include "data_grid.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "data_grid_p.h"
#include "regional.h"

namespace grid {

namespace {

std::string utf8(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QString fromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

SortOrder toOrder(Qt::SortOrder o) {
    return o == Qt::DescendingOrder ? SortOrder::Descending : SortOrder::Ascending;
}

}  // namespace

// ---------------------------------------------------------------------------
// GridCore

GridCore::GridCore(DataGrid* owner) : q(owner) {}

GridCore::~GridCore() {
    if (query && listener != 0) query->removeListener(listener);
}

int GridCore::px(int at96) const { return static_cast<int>(at96 * scale + 0.5); }

int GridCore::indicatorWidth() const { return px(14); }

int GridCore::rowHeight() const { return cellHeight() + previewHeight(); }

int GridCore::previewHeight() const {
    if (previewCol < 0) return 0;
    return QFontMetrics(previewLook().font).height() + px(4);
}

CellLook GridCore::previewLook() const {
    CellLook l = look(sheet.preview);
    return l;
}

int GridCore::cellHeight() const {
    int h = QFontMetrics(q->font()).height();
    for (const auto* st : {&sheet.content, &sheet.contentEven, &sheet.contentOdd, &sheet.selection,
                           &sheet.inactive, &sheet.group})
        if (*st && (*st)->font) h = std::max(h, QFontMetrics(scaled(*(*st)->font)).height());
    return h + px(4);
}

int GridCore::headerHeight() const {
    return QFontMetrics(look(sheet.header).font).height() + px(6);
}

int GridCore::filterRowHeight() const { return QFontMetrics(q->font()).height() + px(6); }

int GridCore::footerHeight() const {
    return QFontMetrics(look(sheet.footer).font).height() + px(6);
}

int GridCore::indentWidth() const { return px(16); }

int GridCore::groupIndent() const {
    return static_cast<int>(engine.grouping().size()) * indentWidth();
}

bool GridCore::isShown(int column) const {
    if (column == previewCol) return false;
    for (const auto& g : engine.grouping())
        if (static_cast<int>(g.column) == column) return false;
    return true;
}

std::vector<GridCore::Geo> GridCore::shownColumns() const {
    std::vector<Geo> out;
    int x = groupIndent();
    for (int column : visual) {
        if (!isShown(column)) continue;
        const int w = cols[static_cast<size_t>(column)].width;
        out.push_back({column, x, w});
        x += w;
    }
    return out;
}

int GridCore::contentWidth() const {
    int w = groupIndent();
    for (int column : visual)
        if (isShown(column)) w += cols[static_cast<size_t>(column)].width;
    return w;
}

int GridCore::xOrigin() const {
    return indicatorWidth() - (area ? area->horizontalScrollBar()->value() : 0);
}

int GridCore::firstRow() const { return area ? area->verticalScrollBar()->value() : 0; }

int GridCore::pageRows() const {
    const int h = area ? area->viewport()->height() : 0;
    return std::max(1, h / std::max(1, rowHeight()));
}

QString GridCore::headerText(int column) const {
    const Col& c = cols[static_cast<size_t>(column)];
    return c.header.isEmpty() ? c.field : c.header;
}

QFont GridCore::scaled(const QFont& f) const {
    QFont out = f;
    if (f.pixelSize() > 0) out.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * scale + 0.5)));
    return out;
}

CellLook GridCore::look(const std::optional<Style>& style) const {
    const QPalette& pal = q->palette();
    CellLook l{pal.color(QPalette::Base), pal.color(QPalette::Text), q->font()};
    if (style) {
        if (style->background) l.background = *style->background;
        if (style->textColor) l.text = *style->textColor;
        if (style->font) l.font = scaled(*style->font);
    }
    return l;
}

CellLook GridCore::dataLook(int viewRow) const {
    if (viewRow == focusedRow) {
        const QPalette& pal = q->palette();
        const std::optional<Style>& st = hasFocus ? sheet.selection : sheet.inactive;
        CellLook l = look(st);
        if (!st || !st->background)
            l.background = pal.color(hasFocus ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
        if (hasFocus && (!st || !st->textColor)) l.text = pal.color(QPalette::HighlightedText);
        return l;
    }
    if (viewRow >= 0 && engine.isGroupRow(static_cast<size_t>(viewRow))) {
        CellLook l = look(sheet.group);
        if (!sheet.group || !sheet.group->background) l.background = q->palette().color(QPalette::Button);
        return l;
    }
    const bool even = viewRow % 2 == 0;
    const std::optional<Style>& specific = even ? sheet.contentEven : sheet.contentOdd;
    return look(specific ? specific : sheet.content);
}

void GridCore::attach(db::Query* qy) {
    if (query && listener != 0) query->removeListener(listener);
    listener = 0;
    query = qy;
    if (query) listener = query->addListener([this](db::Query::Event e) { onQueryEvent(e); });
    reloadRows();
}

void GridCore::onQueryEvent(db::Query::Event e) {
    switch (e) {
    case db::Query::Event::Opened:
    case db::Query::Event::Refreshed:
    case db::Query::Event::Closed: reloadRows(); break;
    case db::Query::Event::CurrentChanged:
        if (syncing || !query) return;
        // During a refresh the rows may already be new while the grid still
        // indexes the old ones; the Refreshed event that follows reloads.
        if (query->recordCount() != engine.recordCount()) return;
        focusRecord(query->recNo(), false);
        break;
    }
}

void GridCore::reloadRows() {
    engine.reload(query);
    incSearch.clear();
    const long current = query && query->active() ? query->recNo() : -1;
    focusedRow = -1;
    model->reset();
    std::optional<size_t> idx;
    if (current >= 0) idx = engine.visibleIndexOf(static_cast<uint32_t>(current));
    if (idx) {
        setFocus(static_cast<int>(engine.revealVisible(*idx)), false);
    } else if (!engine.visible().empty()) {
        setFocus(static_cast<int>(engine.revealVisible(0)), true);
    } else {
        setFocus(-1, false);
    }
    updateSums();
    updateParts();
    emit q->viewChanged();
}

// The view row that shows a visible record without expanding anything: the
// record's row when its groups are open, else the outermost closed group's row.
static int rowWithoutExpanding(const Engine& engine, size_t index) {
    if (!engine.grouped()) return static_cast<int>(index);
    const auto& groups = engine.groups();
    uint32_t target = static_cast<uint32_t>(index);
    size_t i = 0;
    while (i < groups.size()) {
        const auto& g = groups[i];
        if (index >= g.first && index < static_cast<size_t>(g.first) + g.count) {
            if (!g.expanded) {
                target = Engine::kGroupFlag | static_cast<uint32_t>(i);
                break;
            }
            if (g.level + 1 == engine.grouping().size()) break;
            ++i;
        } else {
            i = g.end;
        }
    }
    for (size_t r = 0; r < engine.viewRowCount(); ++r)
        if (engine.viewEntry(r) == target) return static_cast<int>(r);
    return engine.viewRowCount() > 0 ? 0 : -1;
}

static long anchorRecord(const GridCore& c) {
    if (c.focusedRow < 0 || static_cast<size_t>(c.focusedRow) >= c.engine.viewRowCount()) return -1;
    const uint32_t e = c.engine.viewEntry(static_cast<size_t>(c.focusedRow));
    if ((e & Engine::kGroupFlag) != 0) {
        const auto& g = c.engine.groups()[e & ~Engine::kGroupFlag];
        return static_cast<long>(c.engine.visible()[g.first]);
    }
    return static_cast<long>(c.engine.visible()[e]);
}

void GridCore::setFocus(int viewRow, bool moveQuery) {
    const int count = static_cast<int>(engine.viewRowCount());
    if (viewRow >= count) viewRow = count - 1;
    if (viewRow < 0) viewRow = count > 0 ? 0 : -1;
    const int old = focusedRow;
    focusedRow = viewRow;
    if (old != viewRow) incSearch.clear();
    const long record = viewRow >= 0 ? engine.recordAt(static_cast<size_t>(viewRow)) : -1;
    if (record >= 0 && moveQuery && query && query->recNo() != record) {
        // The query's CurrentChanged comes back here: it is ours, not news.
        struct Syncing {
            bool& flag;
            explicit Syncing(bool& f) : flag(f) { flag = true; }
            ~Syncing() { flag = false; }
        } guard(syncing);
        query->setRecNo(record);
    }
    if (viewRow >= 0) ensureVisible(viewRow);
    if (old >= 0 && old < count) model->rowChanged(old);
    if (viewRow >= 0) model->rowChanged(viewRow);
    if (area) area->viewport()->update();
    if (nav) nav->refresh();
    if (old != viewRow) emit q->focusedRowChanged(viewRow);
    if (record != lastRecord) {
        lastRecord = record;
        emit q->focusedRecordChanged(record);
    }
}

void GridCore::focusRecord(long record, bool moveQuery) {
    if (record < 0) return;
    const auto idx = engine.visibleIndexOf(static_cast<uint32_t>(record));
    if (!idx) return;
    const size_t before = engine.viewRowCount();
    const int row = static_cast<int>(engine.revealVisible(*idx));
    if (engine.viewRowCount() != before) {
        model->reset();
        updateParts();
    }
    setFocus(row, moveQuery);
}

bool GridCore::focusVisibleIndex(size_t index) {
    if (index >= engine.visible().size()) return false;
    // Walking row by row: the neighbour of the focused row, when it is shown.
    const auto target = static_cast<uint32_t>(index);
    const int count = static_cast<int>(engine.viewRowCount());
    for (int r : {focusedRow + 1, focusedRow - 1, focusedRow}) {
        if (focusedRow >= 0 && r >= 0 && r < count && engine.viewEntry(static_cast<size_t>(r)) == target) {
            setFocus(r, true);
            return true;
        }
    }
    const size_t before = engine.viewRowCount();
    const int row = static_cast<int>(engine.revealVisible(index));
    if (engine.viewRowCount() != before) {
        model->reset();
        updateParts();
    }
    setFocus(row, true);
    return true;
}

long GridCore::dataIndexOfFocus() const {
    if (focusedRow < 0 || static_cast<size_t>(focusedRow) >= engine.viewRowCount()) return -1;
    const uint32_t e = engine.viewEntry(static_cast<size_t>(focusedRow));
    if ((e & Engine::kGroupFlag) != 0) return -1;
    return static_cast<long>(e);
}

void GridCore::ensureVisible(int viewRow) {
    if (!area) return;
    QScrollBar* sb = area->verticalScrollBar();
    area->updateScrollBars();
    const int page = pageRows();
    if (viewRow < sb->value())
        sb->setValue(viewRow);
    else if (viewRow >= sb->value() + page)
        sb->setValue(viewRow - page + 1);
}

void GridCore::updateSums() {
    sums.assign(cols.size(), 0.0);
    for (size_t c = 0; c < cols.size(); ++c)
        if (cols[c].sum) sums[c] = engine.visibleSum(c);
}

void GridCore::updateParts() {
    if (!area) return;
    layoutParts();
    area->updateScrollBars();
    header->update();
    filterRow->layoutEditors();
    filterRow->update();
    footer->update();
    filterBox->refresh();
    nav->refresh();
    if (groupBox->sizeHint().height() != groupBox->height()) groupBox->updateGeometry();
    groupBox->update();
    area->viewport()->update();
}

void GridCore::layoutParts() {
    if (!area) return;
    const int hh = headerHeight(), fh = filterRowHeight(), foot = footerHeight();
    area->setMargins(hh + fh, foot);
    const QRect vp = area->viewport()->geometry();
    header->setGeometry(vp.left(), vp.top() - hh - fh, vp.width(), hh);
    filterRow->setGeometry(vp.left(), vp.top() - fh, vp.width(), fh);
    footer->setGeometry(vp.left(), vp.bottom() + 1, vp.width(), foot);
    filterRow->layoutEditors();
}

void GridCore::filterEdited(int column, const QString& text) {
    if (column < 0 || static_cast<size_t>(column) >= cols.size()) return;
    const long anchor = anchorRecord(*this);
    if (!engine.setFilter(static_cast<size_t>(column), utf8(text))) {
        filterBox->refresh();
        return;
    }
    incSearch.clear();
    focusedRow = -1;
    model->reset();
    std::optional<size_t> idx;
    if (anchor >= 0) idx = engine.visibleIndexOf(static_cast<uint32_t>(anchor));
    if (idx)
        setFocus(rowWithoutExpanding(engine, *idx), true);
    else if (!engine.visible().empty())
        setFocus(rowWithoutExpanding(engine, 0), true);
    else
        setFocus(-1, false);
    updateSums();
    updateParts();
    emit q->filterChanged();
    emit q->viewChanged();
}

void GridCore::toggleSort(int column, bool clear) {
    if (clear) {
        q->clearSort();
        return;
    }
    const auto sc = engine.sortColumn();
    if (sc && static_cast<int>(*sc) == column)
        q->sortByColumn(column, engine.sortOrder() == SortOrder::Ascending ? Qt::DescendingOrder
                                                                            : Qt::AscendingOrder);
    else
        q->sortByColumn(column, Qt::AscendingOrder);
}

void GridCore::incSearchKey(const QString& text) {
    if (engine.visible().empty() || focusedCol < 0 || !isShown(focusedCol)) return;
    const QString candidate = incSearch + text;
    long start = dataIndexOfFocus();
    if (start < 0) start = 0;
    const auto found = engine.findPrefix(static_cast<size_t>(focusedCol), utf8(candidate),
                                         static_cast<size_t>(start));
    if (!found) return;   // a key that matches nothing is dropped
    focusVisibleIndex(*found);
    incSearch = candidate;
    model->rowChanged(focusedRow);
    area->viewport()->update();
}

void GridCore::nextCell() {
    const auto shown = shownColumns();
    if (shown.empty()) return;
    size_t pos = 0;
    while (pos < shown.size() && shown[pos].column != focusedCol) ++pos;
    if (pos + 1 < shown.size()) {
        focusedCol = shown[pos + 1].column;
        incSearch.clear();
        if (focusedRow >= 0) model->rowChanged(focusedRow);
    } else {
        focusedCol = shown.front().column;
        if (focusedRow + 1 < static_cast<int>(engine.viewRowCount())) setFocus(focusedRow + 1, true);
    }
    // Keep the focused cell in sight.
    for (const Geo& g : shownColumns()) {
        if (g.column != focusedCol) continue;
        QScrollBar* sb = area->horizontalScrollBar();
        const int avail = area->viewport()->width() - indicatorWidth();
        if (g.x < sb->value())
            sb->setValue(g.x);
        else if (g.x + g.width > sb->value() + avail)
            sb->setValue(std::min(g.x, g.x + g.width - avail));
    }
    area->viewport()->update();
}

// ---------------------------------------------------------------------------
// GridModel

GridModel::GridModel(GridCore* core, QObject* parent) : QAbstractTableModel(parent), c(core) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(c->engine.viewRowCount());
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(c->cols.size());
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void GridModel::reset() {
    beginResetModel();
    endResetModel();
}

void GridModel::rowChanged(int viewRow) {
    if (viewRow < 0 || viewRow >= rowCount() || columnCount() == 0) return;
    emit dataChanged(index(viewRow, 0), index(viewRow, columnCount() - 1));
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const auto row = static_cast<size_t>(index.row());
    const auto col = static_cast<size_t>(index.column());
    const Engine& e = c->engine;
    const uint32_t entry = e.viewEntry(row);
    const bool group = (entry & Engine::kGroupFlag) != 0;
    const Engine::Group* g = group ? &e.groups()[entry & ~Engine::kGroupFlag] : nullptr;
    switch (role) {
    case Qt::DisplayRole: {
        if (!group) return fromUtf8(e.displayText(col, e.visible()[entry]));
        if (col != 0) return QString();
        const size_t gc = e.grouping()[g->level].column;
        return c->headerText(static_cast<int>(gc)) + QStringLiteral(": ") +
               fromUtf8(e.displayText(gc, e.visible()[g->first])) + QStringLiteral(" (") +
               QString::number(g->count) + QStringLiteral(")");
    }
    case Qt::BackgroundRole: return QBrush(c->dataLook(index.row()).background);
    case Qt::ForegroundRole: return QBrush(c->dataLook(index.row()).text);
    case Qt::FontRole: return c->dataLook(index.row()).font;
    case Qt::TextAlignmentRole:
        return static_cast<int>((!group && e.isNumeric(col) ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignVCenter);
    case RecordRole: return static_cast<qlonglong>(group ? -1 : e.visible()[entry]);
    case GroupRowRole: return group;
    case GroupLevelRole: return group ? QVariant(static_cast<int>(g->level)) : QVariant();
    case GroupExpandedRole: return group ? QVariant(g->expanded) : QVariant();
    case GroupCountRole: return group ? QVariant(static_cast<qlonglong>(g->count)) : QVariant();
    case IncSearchLengthRole:
        return index.row() == c->focusedRow && index.column() == c->focusedCol
                   ? static_cast<int>(c->incSearch.size())
                   : 0;
    case IncSearchBackgroundRole: {
        CellLook l = c->look(c->sheet.incSearch);
        if (!c->sheet.incSearch || !c->sheet.incSearch->background)
            l.background = c->q->palette().color(QPalette::Highlight);
        return l.background;
    }
    case IncSearchForegroundRole: return c->look(c->sheet.incSearch).text;
    default: return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    CellLook l = c->look(c->sheet.header);
    if (!c->sheet.header || !c->sheet.header->background)
        l.background = c->q->palette().color(QPalette::Button);
    if (!c->sheet.header || !c->sheet.header->textColor)
        l.text = c->q->palette().color(QPalette::ButtonText);
    switch (role) {
    case Qt::DisplayRole: return c->headerText(section);
    case Qt::BackgroundRole: return QBrush(l.background);
    case Qt::ForegroundRole: return QBrush(l.text);
    case Qt::FontRole: return l.font;
    case SortOrderRole: {
        const auto sc = c->engine.sortColumn();
        if (!sc || static_cast<int>(*sc) != section) return -1;
        return c->engine.sortOrder() == SortOrder::Ascending ? static_cast<int>(Qt::AscendingOrder)
                                                             : static_cast<int>(Qt::DescendingOrder);
    }
    default: return {};
    }
}

// ---------------------------------------------------------------------------
// DataGrid

DataGrid::DataGrid(QWidget* parent) : QWidget(parent), d(std::make_unique<GridCore>(this)) {
    d->scale = logicalDpiY() / 96.0;
    d->model = new GridModel(d.get(), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    d->groupBox = new GroupByBox(d.get(), this);
    d->area = new GridArea(d.get(), this);
    d->header = new HeaderBar(d.get(), d->area);
    d->filterRow = new FilterRow(d.get(), d->area);
    d->footer = new FooterBar(d.get(), d->area);
    d->filterBox = new FilterBox(d.get(), this);
    d->nav = new NavigatorBar(d.get(), this);
    layout->addWidget(d->groupBox);
    layout->addWidget(d->area, 1);
    layout->addWidget(d->filterBox);
    layout->addWidget(d->nav);
    setFocusProxy(d->area);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        const bool focused = now && (now == this || isAncestorOf(now));
        if (focused == d->hasFocus) return;
        d->hasFocus = focused;
        d->model->rowChanged(d->focusedRow);
        d->area->viewport()->update();
    });
    d->updateParts();
}

DataGrid::~DataGrid() {
    disconnect(qApp, nullptr, this, nullptr);
    if (d->query && d->listener != 0) d->query->removeListener(d->listener);
    d->query = nullptr;
    d->listener = 0;
    // The parts reach the core; they go before it does.
    const auto parts = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : parts) delete w;
    d->area = nullptr;
}

void DataGrid::setQuery(db::Query* query) { d->attach(query); }

db::Query* DataGrid::query() const { return d->query; }

int DataGrid::addColumn(const QString& fieldName, const QString& header, int width,
                        const QString& displayFormat) {
    EngineColumn ec;
    ec.field = utf8(fieldName);
    if (!displayFormat.isEmpty()) ec.format = DisplayFormat(utf8(displayFormat));
    const int index = static_cast<int>(d->engine.addColumn(std::move(ec)));
    GridCore::Col col;
    col.field = fieldName;
    col.header = header;
    col.width96 = width > 0 ? width : 100;
    col.width = d->px(col.width96);
    col.format = displayFormat;
    d->cols.push_back(col);
    d->visual.push_back(index);
    d->sums.push_back(0.0);
    d->filterRow->addEditor(index);
    if (d->query) d->reloadRows();
    d->model->reset();
    d->updateParts();
    return index;
}

int DataGrid::columnCount() const { return static_cast<int>(d->cols.size()); }

int DataGrid::columnIndex(const QString& fieldName) const {
    for (size_t c = 0; c < d->cols.size(); ++c)
        if (d->cols[c].field == fieldName) return static_cast<int>(c);
    return -1;
}

QString DataGrid::columnField(int column) const {
    return column >= 0 && column < columnCount() ? d->cols[static_cast<size_t>(column)].field : QString();
}

QString DataGrid::columnHeader(int column) const {
    return column >= 0 && column < columnCount() ? d->headerText(column) : QString();
}

int DataGrid::columnWidth(int column) const {
    return column >= 0 && column < columnCount() ? d->cols[static_cast<size_t>(column)].width : 0;
}

void DataGrid::setColumnWidth(int column, int width) {
    if (column < 0 || column >= columnCount()) return;
    d->cols[static_cast<size_t>(column)].width = std::max(d->px(8), width);
    d->updateParts();
}

QList<int> DataGrid::visualOrder() const {
    QList<int> out;
    for (int c : d->visual) out.push_back(c);
    return out;
}

void DataGrid::moveColumn(int column, int visualIndex) {
    auto it = std::find(d->visual.begin(), d->visual.end(), column);
    if (it == d->visual.end()) return;
    d->visual.erase(it);
    visualIndex = std::clamp(visualIndex, 0, static_cast<int>(d->visual.size()));
    d->visual.insert(d->visual.begin() + visualIndex, column);
    d->updateParts();
}

void DataGrid::setGridStyleSheet(const StyleSheet& sheet) {
    d->sheet = sheet;
    d->model->reset();
    if (d->focusedRow >= 0) d->model->rowChanged(d->focusedRow);
    d->updateParts();
}

const StyleSheet& DataGrid::gridStyleSheet() const { return d->sheet; }

void DataGrid::setFooterSums(const QStringList& fieldNames) {
    for (auto& c : d->cols) c.sum = fieldNames.contains(c.field);
    d->updateSums();
    d->footer->update();
}

static int countColumn(const GridCore& c) {
    for (const auto& g : c.shownColumns())
        if (!c.cols[static_cast<size_t>(g.column)].sum) return g.column;
    return -1;
}

QString DataGrid::footerText(int column) const {
    if (column < 0 || column >= columnCount()) return {};
    const auto& col = d->cols[static_cast<size_t>(column)];
    if (col.sum)
        return QString::fromStdString(regional::formatGeneralNumber(
            d->sums[static_cast<size_t>(column)], regional::current()));
    if (column == countColumn(*d)) return QStringLiteral("Nr: ") + QString::number(footerCount());
    return {};
}

QVariant DataGrid::footerData(int column, int role) const {
    CellLook l = d->look(d->sheet.footer);
    if (!d->sheet.footer || !d->sheet.footer->background)
        l.background = palette().color(QPalette::Button);
    switch (role) {
    case Qt::DisplayRole: return footerText(column);
    case Qt::BackgroundRole: return QBrush(l.background);
    case Qt::ForegroundRole: return QBrush(l.text);
    case Qt::FontRole: return l.font;
    default: return {};
    }
}

long long DataGrid::footerCount() const { return filteredRecordCount(); }

double DataGrid::footerSum(int column) const {
    if (column < 0 || column >= columnCount()) return 0;
    return d->cols[static_cast<size_t>(column)].sum ? d->sums[static_cast<size_t>(column)]
                                                    : d->engine.visibleSum(static_cast<size_t>(column));
}

void DataGrid::setColumnFilter(int column, const QString& text) {
    if (column < 0 || column >= columnCount()) return;
    QLineEdit* ed = d->cols[static_cast<size_t>(column)].editor;
    if (ed && ed->text() != text) ed->setText(text);
    d->filterEdited(column, text);
}

void DataGrid::setColumnFilter(const QString& fieldName, const QString& text) {
    setColumnFilter(columnIndex(fieldName), text);
}

QString DataGrid::columnFilter(int column) const {
    if (column < 0 || column >= columnCount()) return {};
    return fromUtf8(d->engine.filterText(static_cast<size_t>(column)));
}

void DataGrid::clearFilters() {
    for (auto& c : d->cols)
        if (c.editor && !c.editor->text().isEmpty()) c.editor->clear();
    const long anchor = anchorRecord(*d);
    if (!d->engine.clearFilters()) {
        d->filterBox->refresh();
        return;
    }
    d->focusedRow = -1;
    d->model->reset();
    const auto idx = anchor >= 0 ? d->engine.visibleIndexOf(static_cast<uint32_t>(anchor)) : std::nullopt;
    if (idx)
        d->setFocus(rowWithoutExpanding(d->engine, *idx), true);
    else if (!d->engine.visible().empty())
        d->setFocus(rowWithoutExpanding(d->engine, 0), true);
    else
        d->setFocus(-1, false);
    d->updateSums();
    d->updateParts();
    emit filterChanged();
    emit viewChanged();
}

QString DataGrid::filterDescription() const {
    QStringList parts;
    for (int c : d->visual) {
        const QString text = columnFilter(c);
        if (text.isEmpty()) continue;
        parts << d->headerText(c) + QStringLiteral(" contine \"") + text + QStringLiteral("\"");
    }
    return parts.join(QStringLiteral(" si "));
}

// Re-applies focus after the order of the rows changed (sort or grouping).
static void refocusAfterReorder(GridCore& c, long anchor, DataGrid* q) {
    c.incSearch.clear();
    c.focusedRow = -1;
    c.model->reset();
    const auto idx = anchor >= 0 ? c.engine.visibleIndexOf(static_cast<uint32_t>(anchor)) : std::nullopt;
    if (idx)
        c.setFocus(rowWithoutExpanding(c.engine, *idx), true);
    else if (!c.engine.visible().empty())
        c.setFocus(rowWithoutExpanding(c.engine, 0), true);
    else
        c.setFocus(-1, false);
    c.updateParts();
    emit q->viewChanged();
}

void DataGrid::sortByColumn(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    const long anchor = anchorRecord(*d);
    d->engine.setSort(static_cast<size_t>(column), toOrder(order));
    refocusAfterReorder(*d, anchor, this);
}

void DataGrid::clearSort() {
    const long anchor = anchorRecord(*d);
    d->engine.setSort(std::nullopt, SortOrder::Ascending);
    refocusAfterReorder(*d, anchor, this);
}

int DataGrid::sortColumn() const {
    const auto sc = d->engine.sortColumn();
    return sc ? static_cast<int>(*sc) : -1;
}

Qt::SortOrder DataGrid::sortOrder() const {
    return d->engine.sortOrder() == SortOrder::Descending ? Qt::DescendingOrder : Qt::AscendingOrder;
}

void DataGrid::groupByColumn(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    auto levels = d->engine.grouping();
    bool found = false;
    for (auto& l : levels)
        if (static_cast<int>(l.column) == column) {
            l.order = toOrder(order);
            found = true;
        }
    if (!found) levels.push_back({static_cast<size_t>(column), toOrder(order)});
    if (column == d->focusedCol) {
        for (const auto& g : d->shownColumns())
            if (g.column != column) {
                d->focusedCol = g.column;
                break;
            }
    }
    const long anchor = anchorRecord(*d);
    d->engine.setGrouping(std::move(levels));
    refocusAfterReorder(*d, anchor, this);
}

void DataGrid::ungroupColumn(int column) {
    auto levels = d->engine.grouping();
    std::erase_if(levels, [column](const auto& l) { return static_cast<int>(l.column) == column; });
    const long anchor = anchorRecord(*d);
    d->engine.setGrouping(std::move(levels));
    refocusAfterReorder(*d, anchor, this);
}

void DataGrid::ungroup() {
    const long anchor = anchorRecord(*d);
    d->engine.setGrouping({});
    refocusAfterReorder(*d, anchor, this);
}

QList<int> DataGrid::groupColumns() const {
    QList<int> out;
    for (const auto& l : d->engine.grouping()) out.push_back(static_cast<int>(l.column));
    return out;
}

void DataGrid::expandAll() {
    const long anchor = anchorRecord(*d);
    d->engine.setAllExpanded(true);
    refocusAfterReorder(*d, anchor, this);
}

void DataGrid::collapseAll() {
    const long anchor = anchorRecord(*d);
    d->engine.setAllExpanded(false);
    refocusAfterReorder(*d, anchor, this);
}

void DataGrid::setGroupExpanded(int viewRow, bool expanded) {
    if (!isGroupRow(viewRow)) return;
    const uint32_t g = d->engine.viewEntry(static_cast<size_t>(viewRow)) & ~Engine::kGroupFlag;
    const bool focusedHere = viewRow == d->focusedRow;
    const long anchor = anchorRecord(*d);
    d->engine.setExpanded(g, expanded);
    d->model->reset();
    if (focusedHere) {
        // The group row keeps the focus.
        for (size_t r = 0; r < d->engine.viewRowCount(); ++r)
            if (d->engine.viewEntry(r) == (Engine::kGroupFlag | g)) {
                d->focusedRow = -1;
                d->setFocus(static_cast<int>(r), false);
                break;
            }
    } else {
        d->focusedRow = -1;
        const auto idx = anchor >= 0 ? d->engine.visibleIndexOf(static_cast<uint32_t>(anchor)) : std::nullopt;
        d->setFocus(idx ? rowWithoutExpanding(d->engine, *idx) : 0, false);
    }
    d->updateParts();
    emit viewChanged();
}

void DataGrid::setPreviewColumn(const QString& fieldName) {
    const int column = fieldName.isEmpty() ? -1 : columnIndex(fieldName);
    if (column == d->previewCol) return;
    d->previewCol = column;
    if (column >= 0 && column == d->focusedCol) {
        for (const auto& g : d->shownColumns())
            if (g.column != column) {
                d->focusedCol = g.column;
                break;
            }
    }
    d->model->reset();
    d->updateParts();
}

int DataGrid::previewColumn() const { return d->previewCol; }

QVariant DataGrid::previewData(int viewRow, int role) const {
    if (d->previewCol < 0 || viewRow < 0 || viewRow >= viewRowCount() || isGroupRow(viewRow)) return {};
    const CellLook l = d->previewLook();
    switch (role) {
    case Qt::DisplayRole: return cellText(viewRow, d->previewCol);
    case Qt::BackgroundRole: return QBrush(l.background);
    case Qt::ForegroundRole: return QBrush(l.text);
    case Qt::FontRole: return l.font;
    default: return {};
    }
}

long long DataGrid::filteredRecordCount() const {
    return static_cast<long long>(d->engine.visible().size());
}

int DataGrid::viewRowCount() const { return static_cast<int>(d->engine.viewRowCount()); }

long DataGrid::recordAtViewRow(int viewRow) const {
    if (viewRow < 0) return -1;
    return d->engine.recordAt(static_cast<size_t>(viewRow));
}

bool DataGrid::isGroupRow(int viewRow) const {
    return viewRow >= 0 && viewRow < viewRowCount() && d->engine.isGroupRow(static_cast<size_t>(viewRow));
}

QString DataGrid::cellText(int viewRow, int column) const {
    if (viewRow < 0 || viewRow >= viewRowCount() || column < 0 || column >= columnCount()) return {};
    return d->model->data(d->model->index(viewRow, column), Qt::DisplayRole).toString();
}

bool DataGrid::focusFirstRow() { return d->focusVisibleIndex(0); }

bool DataGrid::focusNextRow() {
    const auto& vis = d->engine.visible();
    if (vis.empty()) return false;
    long idx = d->dataIndexOfFocus();
    size_t next = 0;
    if (idx >= 0) {
        next = static_cast<size_t>(idx) + 1;
    } else if (d->focusedRow >= 0) {
        // On a group row: its first data row comes next.
        const uint32_t e = d->engine.viewEntry(static_cast<size_t>(d->focusedRow));
        next = d->engine.groups()[e & ~Engine::kGroupFlag].first;
    }
    return d->focusVisibleIndex(next);
}

bool DataGrid::focusPriorRow() {
    const auto& vis = d->engine.visible();
    if (vis.empty()) return false;
    long idx = d->dataIndexOfFocus();
    if (idx < 0 && d->focusedRow >= 0) {
        const uint32_t e = d->engine.viewEntry(static_cast<size_t>(d->focusedRow));
        idx = d->engine.groups()[e & ~Engine::kGroupFlag].first;
    }
    if (idx <= 0) return false;
    return d->focusVisibleIndex(static_cast<size_t>(idx) - 1);
}

bool DataGrid::focusLastRow() {
    const auto& vis = d->engine.visible();
    if (vis.empty()) return false;
    return d->focusVisibleIndex(vis.size() - 1);
}

long DataGrid::focusedRecord() const {
    return d->focusedRow >= 0 ? d->engine.recordAt(static_cast<size_t>(d->focusedRow)) : -1;
}

int DataGrid::focusedViewRow() const { return d->focusedRow; }

int DataGrid::focusedColumn() const { return d->focusedCol; }

void DataGrid::setFocusedViewRow(int viewRow) {
    if (viewRow < 0 || viewRow >= viewRowCount()) return;
    d->setFocus(viewRow, true);
}

void DataGrid::setFocusedColumn(int column) {
    if (column < 0 || column >= columnCount()) return;
    d->focusedCol = column;
    d->incSearch.clear();
    if (d->focusedRow >= 0) d->model->rowChanged(d->focusedRow);
    d->area->viewport()->update();
}

QString DataGrid::infoText() const {
    const long idx = d->dataIndexOfFocus();
    const QString pos = idx >= 0 ? QString::number(idx + 1) : QStringLiteral("-");
    return QStringLiteral("Inregistrarea ") + pos + QStringLiteral(" din ") +
           QString::number(filteredRecordCount());
}

QString DataGrid::incSearchText() const { return d->incSearch; }

void DataGrid::regionalSettingsChanged() {
    const long anchor = anchorRecord(*d);
    d->engine.reload(d->query);
    refocusAfterReorder(*d, anchor, this);
    d->updateSums();
}

QAbstractItemModel* DataGrid::model() const { return d->model; }

size_t DataGrid::memoryBytes() const {
    return d->engine.memoryBytes() + d->sums.capacity() * sizeof(double) +
           d->visual.capacity() * sizeof(int);
}

void DataGrid::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (!d || !d->area) return;
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        d->model->reset();
        d->updateParts();
    } else if (event->type() == QEvent::ScreenChangeInternal) {
        const double scale = logicalDpiY() / 96.0;
        if (scale != d->scale) {
            for (auto& c : d->cols) c.width = static_cast<int>(c.width * scale / d->scale + 0.5);
            d->scale = scale;
            d->updateParts();
        }
    }
}

}  // namespace grid
