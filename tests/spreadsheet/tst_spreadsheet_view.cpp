// The spreadsheet view: a workbook that openpyxl wrote, shown with its tabs,
// column letters, row numbers and cell texts; the active sheet; Clear; and
// texts computed only for the cells on screen.
#include <QtTest>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>

#include <memory>
#include <stdexcept>

#include "memory_workbook.h"
#include "sheet_table_model.h"
#include "spreadsheet_view.h"

using spreadsheet::SheetTableModel;
using spreadsheet::SpreadsheetView;

namespace {

std::unique_ptr<xlsx::Workbook> twoSheets() {
    return xlsx::Workbook::load(SPREADSHEET_FIXTURES "/two-sheets.xlsx");
}

QString shown(const SpreadsheetView& view, int row, int column) {
    const QAbstractItemModel* model = view.tableView()->model();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

QString header(const SpreadsheetView& view, Qt::Orientation orientation, int section) {
    return view.tableView()->model()->headerData(section, orientation, Qt::DisplayRole).toString();
}

// A sheet of many rows that counts the texts asked of it.
std::unique_ptr<testing::MemoryWorkbook> bigWorkbook(int rows) {
    auto workbook = std::make_unique<testing::MemoryWorkbook>();
    workbook->addSheet("Mic").set(0, 0, "x");
    testing::MemorySheet& big = workbook->addSheet("Mare");
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < 11; ++column)
            big.set(row, column, std::to_string(row + 1) + "/" + std::to_string(column + 1));
    return workbook;
}

}  // namespace

class SpreadsheetViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() { regional::setOverride(regional::Settings{}); }
    void cleanup() { regional::setOverride(std::nullopt); }

    void columnNames_data();
    void columnNames();
    void loadShowsTabsAndFirstSheet();
    void headers_data();
    void headers();
    void texts_data();
    void texts();
    void regionalSettingsOfTheLoad();
    void activeSheet();
    void tabChoosesSheet();
    void activeSheetOutOfRange();
    void clearEmpties();
    void readOnly();
    void onlyVisibleCellsAreRead();
};

void SpreadsheetViewTest::columnNames_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << "A";
    QTest::newRow("K") << 10 << "K";
    QTest::newRow("Z") << 25 << "Z";
    QTest::newRow("AA") << 26 << "AA";
    QTest::newRow("AZ") << 51 << "AZ";
    QTest::newRow("BA") << 52 << "BA";
    QTest::newRow("ZZ") << 701 << "ZZ";
    QTest::newRow("AAA") << 702 << "AAA";
    QTest::newRow("last, XFD") << 16383 << "XFD";
    QTest::newRow("negative") << -1 << "";
}

void SpreadsheetViewTest::columnNames() {
    QFETCH(int, column);
    QFETCH(QString, name);
    QCOMPARE(SheetTableModel::columnName(column), name);
}

void SpreadsheetViewTest::loadShowsTabsAndFirstSheet() {
    SpreadsheetView view;
    QSignalSpy changed(&view, &SpreadsheetView::activeSheetChanged);
    view.setWorkbook(twoSheets());
    QVERIFY(view.workbook() != nullptr);
    QCOMPARE(view.tabBar()->count(), 2);
    QCOMPARE(view.tabBar()->tabText(0), QString("Sumar"));
    QCOMPARE(view.tabBar()->tabText(1), QString("Incasari"));
    QCOMPARE(view.tabBar()->currentIndex(), 0);
    QCOMPARE(view.activeSheet(), size_t{0});
    QCOMPARE(view.activeSheetPtr(), &view.workbook()->sheet(0));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 0);
    // Sumar stores rows 1 to 3 and columns A to C.
    QCOMPARE(view.tableView()->model()->rowCount(), 3);
    QCOMPARE(view.tableView()->model()->columnCount(), 3);
}

void SpreadsheetViewTest::headers_data() {
    QTest::addColumn<int>("section");
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("number");
    QTest::newRow("first") << 0 << "A" << "1";
    QTest::newRow("second") << 1 << "B" << "2";
    QTest::newRow("fourth") << 3 << "D" << "4";
    QTest::newRow("27th") << 26 << "AA" << "27";
    QTest::newRow("28th") << 27 << "AB" << "28";
}

void SpreadsheetViewTest::headers() {
    QFETCH(int, section);
    QFETCH(QString, letters);
    QFETCH(QString, number);
    SpreadsheetView view;
    view.setWorkbook(twoSheets());
    view.setActiveSheet(1);
    // Incasari stores rows 1 to 4 and a cell as far right as AB.
    QCOMPARE(view.tableView()->model()->rowCount(), 4);
    QCOMPARE(view.tableView()->model()->columnCount(), 28);
    QCOMPARE(header(view, Qt::Horizontal, section), letters);
    QCOMPARE(header(view, Qt::Vertical, section), number);
}

void SpreadsheetViewTest::texts_data() {
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << 0 << 0 << 0 << "Raport incasari";
    QTest::newRow("number") << 0 << 1 << 1 << "12.5";
    QTest::newRow("date") << 0 << 2 << 2 << "2024-03-15";
    QTest::newRow("cell left out") << 0 << 0 << 2 << "";
    QTest::newRow("header") << 1 << 0 << 1 << "Nume destinatar";
    QTest::newRow("Romanian letters") << 1 << 1 << 2 << QString::fromUtf8("Iași");
    QTest::newRow("far right") << 1 << 2 << 27 << "departe";
    QTest::newRow("truth value") << 1 << 3 << 3 << "TRUE";
}

void SpreadsheetViewTest::texts() {
    QFETCH(int, sheet);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    SpreadsheetView view;
    view.setWorkbook(twoSheets());
    view.setActiveSheet(static_cast<size_t>(sheet));
    QCOMPARE(shown(view, row, column), text);
}

void SpreadsheetViewTest::regionalSettingsOfTheLoad() {
    regional::Settings romanian;
    romanian.decimalSeparator = ",";
    romanian.shortDateFormat = "%d.%m.%Y";
    regional::setOverride(romanian);
    SpreadsheetView view;
    view.setWorkbook(twoSheets());
    QCOMPARE(shown(view, 1, 1), QString("12,5"));
    QCOMPARE(shown(view, 2, 2), QString("15.03.2024"));
}

void SpreadsheetViewTest::activeSheet() {
    SpreadsheetView view;
    view.setWorkbook(twoSheets());
    QSignalSpy changed(&view, &SpreadsheetView::activeSheetChanged);
    view.setActiveSheet(1);
    QCOMPARE(view.activeSheet(), size_t{1});
    QCOMPARE(view.activeSheetPtr(), &view.workbook()->sheet(1));
    QCOMPARE(view.activeSheetPtr()->name(), std::string("Incasari"));
    QCOMPARE(view.tabBar()->currentIndex(), 1);
    QCOMPARE(shown(view, 1, 0), QString("1EMGLN000000001"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1);
    view.setActiveSheet(1);  // already active: no second signal
    QCOMPARE(changed.count(), 1);
}

void SpreadsheetViewTest::tabChoosesSheet() {
    SpreadsheetView view;
    view.setWorkbook(twoSheets());
    view.setActiveSheet(1);
    QSignalSpy changed(&view, &SpreadsheetView::activeSheetChanged);
    view.tabBar()->setCurrentIndex(0);
    QCOMPARE(view.activeSheet(), size_t{0});
    QCOMPARE(shown(view, 0, 0), QString("Raport incasari"));
    QCOMPARE(changed.count(), 1);
}

void SpreadsheetViewTest::activeSheetOutOfRange() {
    SpreadsheetView view;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, view.setActiveSheet(0));
    view.setWorkbook(twoSheets());
    view.setActiveSheet(1);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, view.setActiveSheet(2));
    // The failed call changed nothing.
    QCOMPARE(view.activeSheet(), size_t{1});
    QCOMPARE(view.tabBar()->currentIndex(), 1);
}

void SpreadsheetViewTest::clearEmpties() {
    SpreadsheetView view;
    view.resize(400, 300);
    view.setWorkbook(twoSheets());
    view.setActiveSheet(1);
    QSignalSpy changed(&view, &SpreadsheetView::activeSheetChanged);
    view.clear();
    QCOMPARE(view.workbook(), nullptr);
    QCOMPARE(view.activeSheetPtr(), nullptr);
    QCOMPARE(view.tabBar()->count(), 0);
    QCOMPARE(view.tableView()->model()->rowCount(), 0);
    QCOMPARE(view.tableView()->model()->columnCount(), 0);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!view.grab().isNull());  // paints without a workbook

    // A workbook after Clear shows from its first sheet again.
    view.setWorkbook(twoSheets());
    QCOMPARE(view.tabBar()->count(), 2);
    QCOMPARE(view.activeSheet(), size_t{0});
    QCOMPARE(shown(view, 0, 0), QString("Raport incasari"));
}

void SpreadsheetViewTest::readOnly() {
    SpreadsheetView view;
    view.setWorkbook(twoSheets());
    const QAbstractItemModel* model = view.tableView()->model();
    const QModelIndex cell = model->index(0, 0);
    QVERIFY(!(model->flags(cell) & Qt::ItemIsEditable));
    QVERIFY(model->flags(cell) & Qt::ItemIsSelectable);
    QCOMPARE(view.tableView()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!view.tableView()->model()->setData(cell, QString("changed")));
    QCOMPARE(shown(view, 0, 0), QString("Raport incasari"));
}

void SpreadsheetViewTest::onlyVisibleCellsAreRead() {
    const int rows = 100000;
    auto workbook = bigWorkbook(rows);
    const auto& big = dynamic_cast<const testing::MemorySheet&>(workbook->sheet(1));
    SpreadsheetView view;
    view.resize(800, 400);
    view.setWorkbook(std::move(workbook));
    view.setActiveSheet(1);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    big.cellsRead = 0;
    QVERIFY(!view.grab().isNull());
    QCOMPARE(view.tableView()->model()->rowCount(), rows);
    // 400 pixels show a few dozen rows of 11 cells; a repaint reads each
    // cell a few times at most, nowhere near the sheet's 1.1 million.
    QVERIFY2(big.cellsRead > 0, "the visible cells are painted");
    QVERIFY2(big.cellsRead < 2000, qPrintable(QString::number(big.cellsRead)));

    // Scrolling to the end reads the cells shown there, and the last row's
    // number is there.
    view.tableView()->scrollToBottom();
    big.cellsRead = 0;
    QVERIFY(!view.grab().isNull());
    QVERIFY(big.cellsRead > 0 && big.cellsRead < 2000);
    QCOMPARE(header(view, Qt::Vertical, rows - 1), QString("100000"));
    QCOMPARE(shown(view, rows - 1, 10), QString("100000/11"));
}

QTEST_MAIN(SpreadsheetViewTest)
#include "tst_spreadsheet_view.moc"
