#include "spreadsheet_view.h"

#include <stdexcept>

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include "sheet_table_model.h"

namespace spreadsheet {

SpreadsheetView::SpreadsheetView(QWidget* parent)
    : QWidget(parent),
      model_(new SheetTableModel(this)),
      table_(new QTableView(this)),
      tabs_(new QTabBar(this)) {
    table_->setModel(model_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setWordWrap(false);
    table_->setCornerButtonEnabled(true);
    // Rows of one height: the view then never measures rows it does not show.
    QHeaderView* rows = table_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setExpanding(false);
    tabs_->setDocumentMode(true);
    tabs_->setUsesScrollButtons(true);
    connect(tabs_, &QTabBar::currentChanged, this, &SpreadsheetView::tabChosen);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(table_, 1);
    layout->addWidget(tabs_, 0, Qt::AlignLeft);
    setFocusProxy(table_);
}

SpreadsheetView::~SpreadsheetView() {
    // The model points into the workbook, which goes before the child widgets.
    model_->setSheet(nullptr, settings_);
}

void SpreadsheetView::setWorkbook(std::unique_ptr<xlsx::Workbook> workbook) {
    clear();
    if (!workbook) return;
    settings_ = regional::current();
    workbook_ = std::move(workbook);
    {
        const QSignalBlocker blocker(tabs_);
        for (size_t i = 0; i < workbook_->sheetCount(); ++i)
            tabs_->addTab(QString::fromStdString(workbook_->sheet(i).name()));
    }
    if (workbook_->sheetCount() > 0) setActiveSheet(0);
}

void SpreadsheetView::clear() {
    model_->setSheet(nullptr, settings_);
    {
        const QSignalBlocker blocker(tabs_);
        while (tabs_->count() > 0) tabs_->removeTab(tabs_->count() - 1);
    }
    workbook_.reset();
    active_ = 0;
}

void SpreadsheetView::setActiveSheet(size_t index) {
    if (!workbook_ || index >= workbook_->sheetCount())
        throw std::out_of_range("The workbook has no worksheet " + std::to_string(index + 1) + ".");
    const bool changed = index != active_ || model_->sheet() == nullptr;
    active_ = index;
    model_->setSheet(&workbook_->sheet(index), settings_);
    table_->scrollToTop();
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(static_cast<int>(index));
    }
    if (changed) emit activeSheetChanged(static_cast<int>(index));
}

const xlsx::Sheet* SpreadsheetView::activeSheetPtr() const {
    return model_->sheet();
}

void SpreadsheetView::tabChosen(int index) {
    if (index >= 0 && workbook_ && static_cast<size_t>(index) < workbook_->sheetCount())
        setActiveSheet(static_cast<size_t>(index));
}

}  // namespace spreadsheet
