// The data grid over the collections log of a real company database (a clone
// of vek_template on the throwaway cluster), with real widgets offscreen.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <chrono>
#include <memory>

#include "data_grid.h"
#include "grid_fixture.h"
#include "regional.h"

using namespace std::chrono;

namespace {

// Ten collections, in the log query's order (data_awb, awb): record r is
// AWB00(r+1). Receipts exist for AWB002, AWB003 and AWB009.
const char* const kRows = R"(
truncate log_sameday_incasari;
delete from doc_fin;
delete from doc;
insert into log_sameday_incasari
  (data_log, awb, nume_destinatar, judet_destinatar, oras_destinatar, suma_ramburs,
   data_awb, data_colectare_ramburs, nume_fisier) values
  ('2024-03-05 14:07:09', 'AWB001', 'Ion Pop',     'ALBA',      'Alba Iulia',  150.5,   '2024-03-05', '2024-03-07', 'a.xlsx'),
  ('2024-03-05 09:00:00', 'AWB002', 'Ana Dan',     'Bucuresti', 'Bucuresti',   89.99,   '2024-03-05', '2024-03-08', 'a.xlsx'),
  ('2024-03-06 10:11:12', 'AWB003', 'Dan Ilie',    'Cluj',      'Cluj-Napoca', 1234.55, '2024-03-06', null,         'a.xlsx'),
  ('2024-03-06 10:11:13', 'AWB004', 'Maria Rus',   'alba',      'Blaj',        20,      '2024-03-06', '2024-03-09', 'a.xlsx'),
  ('2024-03-07 08:00:00', 'AWB005', 'Vlad Tepes',  'Iasi',      'Iasi',        null,    '2024-03-07', '2024-03-09', 'b.xlsx'),
  ('2024-03-07 08:00:01', 'AWB006', 'Ilie Mos',    'Galati',    'Tecuci',      5.5,     '2024-03-07', '2024-03-10', 'b.xlsx'),
  ('2024-04-10 16:30:00', 'AWB007', 'Radu Voda',   'BUCURESTI', 'Bucuresti',   300,     '2024-04-10', '2024-04-12', 'b.xlsx'),
  ('2024-04-10 16:30:01', 'AWB008', 'Sorin Cutu',  'Sălaj',     'Zalău',       12.25,   '2024-04-10', '2024-04-12', 'c.xlsx'),
  ('2024-04-11 07:45:00', 'AWB009', 'Elena Gheorghe', 'Alba',   'Aiud',        1234.5,  '2024-04-11', '2024-04-13', 'c.xlsx'),
  ('2024-04-11 07:45:01', 'AWB010', 'Petru Rares', 'Vaslui',    'Barlad',      45,      '2024-04-11', '2024-04-13', 'c.xlsx');
insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener) values
  ('2024-03-05', 'Ch_INC', 'AWB002', 89.99,   'RON', 'CLIENT A'),
  ('2024-03-06', 'Ch_INC', 'AWB003', 1234.55, 'RON', 'CLIENT B'),
  ('2024-04-11', 'Ch_INC', 'AWB009', 1234.5,  'RON', 'CLIENT C');
)";

regional::Settings testRegional() {
    regional::Settings s;
    s.decimalSeparator = ",";
    s.shortDateFormat = "%d.%m.%Y";
    s.longTimeFormat = "%H:%M:%S";
    return s;
}

// Types one character as the keyboard would (QTest::keyClicks knows ASCII only).
void typeChar(QWidget* w, QChar ch) {
    if (ch.unicode() < 128)
        QTest::keyClick(w, static_cast<char>(ch.unicode()));
    else
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

QStringList split(const char* awbs) {
    return QString::fromLatin1(awbs).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

}  // namespace

class TestGrid : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testdb::CompanyDatabase> company_;
    std::unique_ptr<db::Connection> conn_;
    std::unique_ptr<db::Query> query_;
    std::unique_ptr<grid::DataGrid> grid_;

    int col(const char* field) const { return grid_->columnIndex(QString::fromLatin1(field)); }

    // The AWBs of the data rows in the order shown (group rows skipped).
    QStringList shownAwbs() const {
        QStringList out;
        const int awb = grid_->columnIndex(QStringLiteral("awb"));
        for (int r = 0; r < grid_->viewRowCount(); ++r)
            if (!grid_->isGroupRow(r)) out << grid_->cellText(r, awb);
        return out;
    }
    QString awbOf(long record) const {
        return QString::fromStdString(query_->column("awb").asString(static_cast<size_t>(record)));
    }
    long recordOf(const QString& awb) const {
        const db::Column& c = query_->column("awb");
        for (size_t r = 0; r < c.size(); ++r)
            if (QString::fromStdString(c.asString(r)) == awb) return static_cast<long>(r);
        return -1;
    }
    int viewRowOf(const QString& awb) const {
        const int c = grid_->columnIndex(QStringLiteral("awb"));
        for (int r = 0; r < grid_->viewRowCount(); ++r)
            if (!grid_->isGroupRow(r) && grid_->cellText(r, c) == awb) return r;
        return -1;
    }
    QLineEdit* editor(const char* field) const {
        return grid_->findChild<QLineEdit*>(QStringLiteral("filter_") + QString::fromLatin1(field));
    }

private slots:
    void initTestCase() {
        regional::setOverride(testRegional());
        company_ = std::make_unique<testdb::CompanyDatabase>("grid");
    }

    void init() {
        company_->superuser().exec(kRows);
        conn_ = std::make_unique<db::Connection>("conVek");
        gridtest::configureVek(*conn_, company_->name());
        query_ = std::make_unique<db::Query>("dsLogSamedayIncasari", *conn_, gridtest::kLogStatement,
                                             gridtest::logFields(),
                                             std::vector<std::string>{"data_awb", "awb"});
        query_->params().setKind("pDataIncep", db::ParamKind::Date);
        query_->paramByName("pDataIncep").setDate(year{2024} / 1 / 1);
        grid_ = std::make_unique<grid::DataGrid>();
        gridtest::addLogColumns(*grid_);
        grid_->setGridStyleSheet(gridtest::devExpressSheet());
        grid_->setFooterSums({QStringLiteral("suma_ramburs"), QStringLiteral("val_mon_ch")});
        grid_->setQuery(query_.get());
        grid_->resize(1218, 343);
        query_->open();
    }

    void cleanup() {
        grid_.reset();
        query_.reset();
        conn_.reset();
    }

    void cleanupTestCase() {
        company_.reset();
        regional::setOverride(std::nullopt);
    }

    // --- what the cells show ------------------------------------------------

    void showsEveryRowInQueryOrder() {
        QCOMPARE(grid_->viewRowCount(), 10);
        QCOMPARE(grid_->filteredRecordCount(), 10LL);
        QCOMPARE(shownAwbs(), split("AWB001 AWB002 AWB003 AWB004 AWB005 AWB006 AWB007 AWB008 AWB009 AWB010"));
        QCOMPARE(grid_->focusedRecord(), 0L);
        QCOMPARE(grid_->model()->rowCount(), 10);
        QCOMPARE(grid_->model()->columnCount(), 23);
    }

    void headers_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("width96");
        QTest::newRow("own caption dataAWB") << "data_awb" << "dataAWB" << 70;
        QTest::newRow("own caption dataRamburs") << "data_colectare_ramburs" << "dataRamburs" << 82;
        QTest::newRow("field name awb") << "awb" << "awb" << 110;
        QTest::newRow("field name partener") << "partener" << "partener" << 219;
        QTest::newRow("field name data_log") << "data_log" << "data_log" << 110;
    }
    void headers() {
        QFETCH(QString, field);
        QFETCH(QString, header);
        QFETCH(int, width96);
        const int c = grid_->columnIndex(field);
        QVERIFY(c >= 0);
        QCOMPARE(grid_->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), header);
        const double scale = grid_->logicalDpiY() / 96.0;
        QCOMPARE(grid_->columnWidth(c), static_cast<int>(width96 * scale + 0.5));
    }

    void displayTexts_data() {
        QTest::addColumn<QString>("awb");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("date-time in its display format") << "AWB001" << "data_log" << "2024-03-05 14:07:09";
        QTest::newRow("date-time before ten o'clock") << "AWB002" << "data_log" << "2024-03-05 09:00:00";
        QTest::newRow("date in the regional short date") << "AWB001" << "data_awb" << "05.03.2024";
        QTest::newRow("second date column") << "AWB004" << "data_colectare_ramburs" << "09.03.2024";
        QTest::newRow("number with the regional separator") << "AWB001" << "suma_ramburs" << "150,5";
        QTest::newRow("number with two decimals") << "AWB003" << "suma_ramburs" << "1234,55";
        QTest::newRow("whole number") << "AWB004" << "suma_ramburs" << "20";
        QTest::newRow("null number") << "AWB005" << "suma_ramburs" << "";
        QTest::newRow("null date") << "AWB003" << "data_colectare_ramburs" << "";
        QTest::newRow("text as it is") << "AWB008" << "judet_destinatar" << "Sălaj";
        QTest::newRow("receipt number") << "AWB002" << "nr_ch" << "AWB002";
        QTest::newRow("receipt value") << "AWB009" << "val_mon_ch" << "1234,5";
        QTest::newRow("no receipt") << "AWB001" << "nr_ch" << "";
        QTest::newRow("receipt date") << "AWB003" << "data_ch" << "06.03.2024";
    }
    void displayTexts() {
        QFETCH(QString, awb);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const int row = viewRowOf(awb);
        QVERIFY(row >= 0);
        QCOMPARE(grid_->cellText(row, grid_->columnIndex(field)), expected);
        QCOMPARE(grid_->model()->data(grid_->model()->index(row, grid_->columnIndex(field))).toString(),
                 expected);
    }

    void numbersAlignRight() {
        auto* m = grid_->model();
        const auto align = [&](const char* field) {
            return static_cast<Qt::Alignment>(m->data(m->index(0, col(field)), Qt::TextAlignmentRole).toInt());
        };
        QVERIFY(align("suma_ramburs") & Qt::AlignRight);
        QVERIFY(align("awb") & Qt::AlignLeft);
        QVERIFY(align("data_awb") & Qt::AlignLeft);
    }

    // --- the filter row -----------------------------------------------------

    void filterAsTyped_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("countAfterEachKey");
        QTest::addColumn<QStringList>("finalAwbs");
        QTest::newRow("alba keeps ALBA, alba and Alba")
            << "judet_destinatar" << "alba" << QList<int>{7, 4, 3, 3}
            << split("AWB001 AWB004 AWB009");
        QTest::newRow("upper case typed") << "judet_destinatar" << "BUC" << QList<int>{5, 2, 2}
                                          << split("AWB002 AWB007");
        QTest::newRow("letters beyond ASCII fold too")
            << "judet_destinatar" << "SĂL" << QList<int>{5, 1, 1} << split("AWB008");
        QTest::newRow("middle of a word") << "oras_destinatar" << "apo" << QList<int>{7, 1, 1}
                                          << split("AWB003");
        QTest::newRow("no match") << "nume_destinatar" << "zz" << QList<int>{0, 0} << QStringList{};
        QTest::newRow("no match across two records (alba, bucuresti)")
            << "judet_destinatar" << "ab" << QList<int>{7, 0} << QStringList{};
        QTest::newRow("number by its shown text") << "suma_ramburs" << "34,5" << QList<int>{3, 2, 2, 2}
                                                  << split("AWB003 AWB009");
        QTest::newRow("decimal separator as shown") << "suma_ramburs" << ",5" << QList<int>{6, 4}
                                                    << split("AWB001 AWB003 AWB006 AWB009");
        QTest::newRow("date by its shown text") << "data_awb" << "04.2024" << QList<int>{10, 4, 4, 4, 4, 4, 4}
                                                << split("AWB007 AWB008 AWB009 AWB010");
        QTest::newRow("day and month") << "data_awb" << "11.04" << QList<int>{4, 2, 2, 2, 2}
                                       << split("AWB009 AWB010");
        QTest::newRow("date-time in its format") << "data_log" << "14:07" << QList<int>{8, 1, 1, 1, 1}
                                                 << split("AWB001");
    }
    void filterAsTyped() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QList<int>, countAfterEachKey);
        QFETCH(QStringList, finalAwbs);
        QLineEdit* ed = editor(field.toLatin1().constData());
        QVERIFY(ed);
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        ed->setFocus();
        QList<int> counts;
        for (QChar ch : typed) {
            typeChar(ed, ch);
            counts << static_cast<int>(grid_->filteredRecordCount());
        }
        QCOMPARE(counts, countAfterEachKey);
        QCOMPARE(shownAwbs(), finalAwbs);
        QCOMPARE(grid_->columnFilter(grid_->columnIndex(field)), typed);
        // Deleting what was typed gives back the counts in reverse, then all rows.
        QList<int> back;
        for (int k = 0; k < typed.size(); ++k) {
            QTest::keyClick(ed, Qt::Key_Backspace);
            back << static_cast<int>(grid_->filteredRecordCount());
        }
        QList<int> expectedBack;
        for (int k = static_cast<int>(countAfterEachKey.size()) - 2; k >= 0; --k) expectedBack << countAfterEachKey[k];
        expectedBack << 10;
        QCOMPARE(back, expectedBack);
        QCOMPARE(grid_->viewRowCount(), 10);
        QVERIFY(grid_->filterDescription().isEmpty());
    }

    void foldingThatChangesLength_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("awbs");
        QTest::newRow("capital sharp s typed") << "GROẞ" << split("AWB005");
        QTest::newRow("small sharp s typed") << "groß" << split("AWB005");
        QTest::newRow("text after the longer letter") << "ẞ-NORD" << split("AWB005");
        QTest::newRow("rows after it still found") << "cluj" << split("AWB003");
        QTest::newRow("nothing across records (Blaj, GROẞ-NORD)") << "ajgro" << QStringList{};
        QTest::newRow("nothing across records (GROẞ-NORD, Tecuci)") << "nordtec" << QStringList{};
        QTest::newRow("last record") << "barlad" << split("AWB010");
    }
    void foldingThatChangesLength() {
        // A capital sharp s (3 bytes) folds to a small one (2 bytes): the
        // folded text no longer lines up with the column's own.
        QFETCH(QString, filter);
        QFETCH(QStringList, awbs);
        company_->superuser().exec("update log_sameday_incasari set oras_destinatar = 'GROẞ-NORD' where awb = 'AWB005'");
        query_->refresh();
        grid_->setColumnFilter(QStringLiteral("oras_destinatar"), filter);
        QCOMPARE(shownAwbs(), awbs);
    }

    void filtersAndTogether() {
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("a"));
        QCOMPARE(grid_->filteredRecordCount(), 7LL);
        grid_->setColumnFilter(QStringLiteral("data_awb"), QStringLiteral(".04."));
        QCOMPARE(shownAwbs(), split("AWB008 AWB009 AWB010"));
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QString());
        QCOMPARE(shownAwbs(), split("AWB007 AWB008 AWB009 AWB010"));
        // A text that does not extend the previous one is filtered afresh.
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alba"));
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("buc"));
        QCOMPARE(shownAwbs(), split("AWB007"));
    }

    void filterEditorsShowApiFilters() {
        grid_->setColumnFilter(QStringLiteral("awb"), QStringLiteral("00"));
        QCOMPARE(editor("awb")->text(), QStringLiteral("00"));
        grid_->clearFilters();
        QCOMPARE(editor("awb")->text(), QString());
        QCOMPARE(grid_->filteredRecordCount(), 10LL);
    }

    void filterBoxShowsAndClears() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* box = grid_->findChild<QWidget*>(QStringLiteral("filterBox"));
        auto* text = grid_->findChild<QLabel*>(QStringLiteral("filterText"));
        auto* clear = grid_->findChild<QToolButton*>(QStringLiteral("filterClear"));
        QVERIFY(box && text && clear);
        QVERIFY(!box->isVisible());
        QSignalSpy changed(grid_.get(), &grid::DataGrid::filterChanged);
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alba"));
        grid_->setColumnFilter(QStringLiteral("data_awb"), QStringLiteral("2024"));
        QVERIFY(box->isVisible());
        QCOMPARE(text->text(), QStringLiteral("dataAWB contine \"2024\" si judet_destinatar contine \"alba\""));
        QCOMPARE(box->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xE1));
        QCOMPARE(changed.count(), 2);
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(!box->isVisible());
        QCOMPARE(grid_->filteredRecordCount(), 10LL);
        QCOMPARE(editor("judet_destinatar")->text(), QString());
        QCOMPARE(changed.count(), 3);
    }

    void focusedRecordHiddenByFilterMovesToFirstShown() {
        query_->setRecNo(4);   // AWB005, Iasi
        QCOMPARE(grid_->focusedRecord(), 4L);
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alba"));
        QCOMPARE(grid_->focusedRecord(), recordOf(QStringLiteral("AWB001")));
        QCOMPARE(query_->recNo(), recordOf(QStringLiteral("AWB001")));
        // A record that stays shown keeps the focus.
        query_->setRecNo(recordOf(QStringLiteral("AWB009")));
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alb"));
        QCOMPARE(grid_->focusedRecord(), recordOf(QStringLiteral("AWB009")));
    }

    // --- sorting ------------------------------------------------------------

    void sort_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("awbs");
        QTest::newRow("text ascending, case ignored, ties in query order")
            << "judet_destinatar" << false
            << split("AWB001 AWB004 AWB009 AWB002 AWB007 AWB003 AWB006 AWB005 AWB008 AWB010");
        QTest::newRow("text descending, ties still in query order")
            << "judet_destinatar" << true
            << split("AWB010 AWB008 AWB005 AWB006 AWB003 AWB002 AWB007 AWB001 AWB004 AWB009");
        QTest::newRow("number ascending, null first")
            << "suma_ramburs" << false
            << split("AWB005 AWB006 AWB008 AWB004 AWB010 AWB002 AWB001 AWB007 AWB009 AWB003");
        QTest::newRow("number descending, null last")
            << "suma_ramburs" << true
            << split("AWB003 AWB009 AWB007 AWB001 AWB002 AWB010 AWB004 AWB008 AWB006 AWB005");
        QTest::newRow("mostly null column ascending")
            << "val_mon_ch" << false
            << split("AWB001 AWB004 AWB005 AWB006 AWB007 AWB008 AWB010 AWB002 AWB009 AWB003");
        QTest::newRow("mostly null column descending")
            << "val_mon_ch" << true
            << split("AWB003 AWB009 AWB002 AWB001 AWB004 AWB005 AWB006 AWB007 AWB008 AWB010");
        QTest::newRow("date-time descending")
            << "data_log" << true
            << split("AWB010 AWB009 AWB008 AWB007 AWB006 AWB005 AWB004 AWB003 AWB001 AWB002");
        QTest::newRow("date with nulls ascending")
            << "data_colectare_ramburs" << false
            << split("AWB003 AWB001 AWB002 AWB004 AWB005 AWB006 AWB007 AWB008 AWB009 AWB010");
    }
    void sort() {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        QFETCH(QStringList, awbs);
        grid_->sortByColumn(grid_->columnIndex(field), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCOMPARE(shownAwbs(), awbs);
        QCOMPARE(grid_->model()->headerData(grid_->columnIndex(field), Qt::Horizontal, grid::SortOrderRole).toInt(),
                 descending ? static_cast<int>(Qt::DescendingOrder) : static_cast<int>(Qt::AscendingOrder));
        // The sort holds under a filter and the filter under the sort.
        grid_->setColumnFilter(QStringLiteral("awb"), QStringLiteral("0"));
        QCOMPARE(shownAwbs(), awbs);
    }

    void headerClickSortsThenReverses() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* header = grid_->findChild<QWidget*>(QStringLiteral("header"));
        QVERIFY(header);
        // The middle of the suma_ramburs header (the sixth column).
        const double scale = grid_->logicalDpiY() / 96.0;
        int x = static_cast<int>(14 * scale + 0.5);
        for (int c : grid_->visualOrder()) {
            if (c == col("suma_ramburs")) break;
            x += grid_->columnWidth(c);
        }
        const QPoint at(x + grid_->columnWidth(col("suma_ramburs")) / 2, header->height() / 2);
        QTest::mouseClick(header, Qt::LeftButton, {}, at);
        QCOMPARE(grid_->sortColumn(), col("suma_ramburs"));
        QCOMPARE(grid_->sortOrder(), Qt::AscendingOrder);
        QCOMPARE(shownAwbs().first(), QStringLiteral("AWB005"));
        QTest::mouseClick(header, Qt::LeftButton, {}, at);
        QCOMPARE(grid_->sortOrder(), Qt::DescendingOrder);
        QCOMPARE(shownAwbs().first(), QStringLiteral("AWB003"));
        QTest::mouseClick(header, Qt::LeftButton, Qt::ControlModifier, at);
        QCOMPARE(grid_->sortColumn(), -1);
        QCOMPARE(shownAwbs().first(), QStringLiteral("AWB001"));
    }

    void currentFollowsFocusAfterSort() {
        query_->setRecNo(recordOf(QStringLiteral("AWB004")));
        grid_->sortByColumn(col("suma_ramburs"), Qt::DescendingOrder);
        // The same record stays focused and current, now at another row.
        QCOMPARE(grid_->focusedRecord(), recordOf(QStringLiteral("AWB004")));
        QCOMPARE(grid_->focusedViewRow(), 6);
        QCOMPARE(query_->recNo(), recordOf(QStringLiteral("AWB004")));
        // Moving the focus down goes in the sorted order; the query follows.
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = grid_->findChild<QWidget*>(QStringLiteral("gridArea"));
        area->setFocus();
        QTest::keyClick(area, Qt::Key_Down);
        QCOMPARE(awbOf(query_->recNo()), QStringLiteral("AWB008"));
        QTest::keyClick(area, Qt::Key_Up);
        QTest::keyClick(area, Qt::Key_Up);
        QCOMPARE(awbOf(query_->recNo()), QStringLiteral("AWB010"));
        grid_->setFocusedViewRow(0);
        QCOMPARE(awbOf(query_->recNo()), QStringLiteral("AWB003"));
    }

    void focusFollowsSetRecNo_data() {
        QTest::addColumn<bool>("grouped");
        QTest::newRow("plain view") << false;
        QTest::newRow("grouped view, the group opens") << true;
    }
    void focusFollowsSetRecNo() {
        QFETCH(bool, grouped);
        if (grouped) grid_->groupByColumn(col("judet_destinatar"));
        QSignalSpy spy(grid_.get(), &grid::DataGrid::focusedRecordChanged);
        for (const char* awb : {"AWB007", "AWB002", "AWB010"}) {
            query_->setRecNo(recordOf(QString::fromLatin1(awb)));
            QCOMPARE(grid_->focusedRecord(), recordOf(QString::fromLatin1(awb)));
            QCOMPARE(grid_->cellText(grid_->focusedViewRow(), col("awb")), QString::fromLatin1(awb));
        }
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.last().first().toLongLong(), static_cast<qlonglong>(recordOf(QStringLiteral("AWB010"))));
        QVERIFY(grid_->infoText().endsWith(QStringLiteral(" din 10")));
    }

    void refreshKeepsFilterSortAndCurrent_data() {
        QTest::addColumn<QString>("currentBefore");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("awbsAfter");
        QTest::addColumn<QString>("focusedAfter");
        QTest::newRow("current stays, rows added and removed")
            << "AWB009"
            << "delete from log_sameday_incasari where awb = 'AWB004';"
               "insert into log_sameday_incasari (awb, judet_destinatar, suma_ramburs, data_awb)"
               " values ('AWB011', 'ALBA', 500, '2024-04-12')"
            << split("AWB009 AWB011 AWB001") << "AWB009";
        QTest::newRow("current deleted: the first row, which the filter shows")
            << "AWB004" << "delete from log_sameday_incasari where awb = 'AWB004'"
            << split("AWB009 AWB001") << "AWB001";
        QTest::newRow("current hidden by a changed value: the first shown row")
            << "AWB009" << "update log_sameday_incasari set judet_destinatar = 'Cluj' where awb = 'AWB009'"
            << split("AWB001 AWB004") << "AWB001";
    }
    void refreshKeepsFilterSortAndCurrent() {
        QFETCH(QString, currentBefore);
        QFETCH(QString, change);
        QFETCH(QStringList, awbsAfter);
        QFETCH(QString, focusedAfter);
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alba"));
        grid_->sortByColumn(col("suma_ramburs"), Qt::DescendingOrder);
        query_->setRecNo(recordOf(currentBefore));
        QCOMPARE(grid_->focusedRecord(), recordOf(currentBefore));
        company_->superuser().exec(change.toStdString());
        query_->refresh();
        QCOMPARE(shownAwbs(), awbsAfter);
        QCOMPARE(grid_->columnFilter(col("judet_destinatar")), QStringLiteral("alba"));
        QCOMPARE(grid_->sortColumn(), col("suma_ramburs"));
        QCOMPARE(awbOf(grid_->focusedRecord()), focusedAfter);
        QCOMPARE(query_->recNo(), grid_->focusedRecord());
        QCOMPARE(grid_->model()->rowCount(), static_cast<int>(awbsAfter.size()));
    }

    void refreshKeepsGroupsOpen() {
        grid_->groupByColumn(col("judet_destinatar"));
        query_->setRecNo(recordOf(QStringLiteral("AWB009")));   // opens the Alba group
        QCOMPARE(grid_->viewRowCount(), 10);
        company_->superuser().exec(
            "insert into log_sameday_incasari (awb, judet_destinatar, data_awb) values ('AWB000', 'Alba', '2024-03-01')");
        query_->refresh();
        // One row more in the open group; the current collection stays focused.
        QCOMPARE(grid_->viewRowCount(), 11);
        QCOMPARE(awbOf(grid_->focusedRecord()), QStringLiteral("AWB009"));
        QCOMPARE(grid_->cellText(0, 0), QStringLiteral("judet_destinatar: Alba (4)"));
        QCOMPARE(shownAwbs(), split("AWB000 AWB001 AWB004 AWB009"));
    }

    void closeEmptiesTheGrid() {
        query_->close();
        QCOMPARE(grid_->viewRowCount(), 0);
        QCOMPARE(grid_->focusedRecord(), -1L);
        QCOMPARE(grid_->infoText(), QStringLiteral("Inregistrarea - din 0"));
        query_->open();
        QCOMPARE(grid_->viewRowCount(), 10);
        QCOMPARE(grid_->focusedRecord(), 0L);
    }

    // --- grouping -----------------------------------------------------------

    void grouping() {
        grid_->sortByColumn(col("suma_ramburs"), Qt::DescendingOrder);
        grid_->groupByColumn(col("judet_destinatar"));
        // One collapsed group row per county, counties in folded order.
        QCOMPARE(grid_->viewRowCount(), 7);
        QStringList captions;
        for (int r = 0; r < grid_->viewRowCount(); ++r) {
            QVERIFY(grid_->isGroupRow(r));
            QCOMPARE(grid_->recordAtViewRow(r), -1L);
            captions << grid_->cellText(r, 0);
        }
        // A group shows the value of its first row in the order shown.
        QCOMPARE(captions, (QStringList{"judet_destinatar: Alba (3)", "judet_destinatar: BUCURESTI (2)",
                                        "judet_destinatar: Cluj (1)", "judet_destinatar: Galati (1)",
                                        "judet_destinatar: Iasi (1)", "judet_destinatar: Sălaj (1)",
                                        "judet_destinatar: Vaslui (1)"}));
        QCOMPARE(grid_->filteredRecordCount(), 10LL);
        auto* m = grid_->model();
        QCOMPARE(m->data(m->index(1, 0), grid::GroupRowRole).toBool(), true);
        QCOMPARE(m->data(m->index(1, 0), grid::GroupCountRole).toLongLong(), 2LL);
        // Expanding a group shows its rows, in the sort order inside it.
        grid_->setGroupExpanded(0, true);
        QCOMPARE(grid_->viewRowCount(), 10);
        QCOMPARE(shownAwbs(), split("AWB009 AWB001 AWB004"));
        QCOMPARE(m->data(m->index(0, 0), grid::GroupExpandedRole).toBool(), true);
        grid_->setGroupExpanded(0, false);
        QCOMPARE(grid_->viewRowCount(), 7);
        // The grouped column leaves the headers' order of shown columns only.
        QCOMPARE(grid_->groupColumns(), QList<int>{col("judet_destinatar")});
        grid_->ungroup();
        QCOMPARE(grid_->viewRowCount(), 10);
        QCOMPARE(shownAwbs(), split("AWB003 AWB009 AWB007 AWB001 AWB002 AWB010 AWB004 AWB008 AWB006 AWB005"));
    }

    void walkVisitsDataRowsInShownOrder_data() {
        QTest::addColumn<QString>("groupField");
        QTest::addColumn<QString>("sortField");
        QTest::addColumn<QString>("filter");   // on judet_destinatar
        QTest::addColumn<QStringList>("walk");
        QTest::newRow("plain view, sorted by amount")
            << "" << "suma_ramburs" << ""
            << split("AWB003 AWB009 AWB007 AWB001 AWB002 AWB010 AWB004 AWB008 AWB006 AWB005");
        QTest::newRow("grouped by county, amount descending inside")
            << "judet_destinatar" << "suma_ramburs" << ""
            << split("AWB009 AWB001 AWB004 AWB007 AWB002 AWB003 AWB006 AWB005 AWB008 AWB010");
        QTest::newRow("grouped by file, filtered")
            << "nume_fisier" << "suma_ramburs" << "a"
            << split("AWB001 AWB004 AWB006 AWB005 AWB009 AWB010 AWB008");
        QTest::newRow("filter hides every row") << "judet_destinatar" << "" << "zzz" << QStringList{};
    }
    void walkVisitsDataRowsInShownOrder() {
        QFETCH(QString, groupField);
        QFETCH(QString, sortField);
        QFETCH(QString, filter);
        QFETCH(QStringList, walk);
        if (!sortField.isEmpty()) grid_->sortByColumn(grid_->columnIndex(sortField), Qt::DescendingOrder);
        if (!groupField.isEmpty()) grid_->groupByColumn(grid_->columnIndex(groupField));
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), filter);
        // What posting all does: first row, n records, next row each time.
        const long long n = grid_->filteredRecordCount();
        QCOMPARE(n, static_cast<long long>(walk.size()));
        QStringList visited;
        QCOMPARE(grid_->focusFirstRow(), n > 0);
        for (long long i = 0; i < n; ++i) {
            visited << awbOf(query_->recNo());
            QCOMPARE(grid_->focusedRecord(), query_->recNo());
            QCOMPARE(grid_->focusNextRow(), i + 1 < n);
        }
        QCOMPARE(visited, walk);
        if (n > 0) {
            QVERIFY(grid_->focusPriorRow());
            QCOMPARE(awbOf(query_->recNo()), walk.at(walk.size() - 2));
        }
    }

    void dragHeaderIntoGroupBox() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* header = grid_->findChild<QWidget*>(QStringLiteral("header"));
        auto* box = grid_->findChild<QWidget*>(QStringLiteral("groupByBox"));
        QVERIFY(header && box);
        const int awbX = static_cast<int>(14 * grid_->logicalDpiY() / 96.0 + 0.5) + grid_->columnWidth(0) +
                         grid_->columnWidth(1) / 2;
        const QPoint start(awbX, header->height() / 2);
        const QPoint inBox = header->mapFromGlobal(box->mapToGlobal(box->rect().center()));
        QTest::mousePress(header, Qt::LeftButton, {}, start);
        QTest::mouseMove(header, start + QPoint(0, -10));
        QTest::mouseMove(header, inBox);
        QTest::mouseRelease(header, Qt::LeftButton, {}, inBox);
        QCOMPARE(grid_->groupColumns(), QList<int>{col("awb")});
        QCOMPARE(grid_->viewRowCount(), 10);
        QVERIFY(grid_->isGroupRow(0));
        QCOMPARE(grid_->sortColumn(), -1);   // a drag is not a click
    }

    void dragHeaderMovesColumn() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* header = grid_->findChild<QWidget*>(QStringLiteral("header"));
        const int ind = static_cast<int>(14 * grid_->logicalDpiY() / 96.0 + 0.5);
        // Drag "awb" (second) onto the left half of "data_awb" (first).
        const QPoint start(ind + grid_->columnWidth(0) + grid_->columnWidth(1) / 2, header->height() / 2);
        const QPoint end(ind + 5, header->height() / 2);
        QTest::mousePress(header, Qt::LeftButton, {}, start);
        QTest::mouseMove(header, start - QPoint(20, 0));
        QTest::mouseMove(header, end);
        QTest::mouseRelease(header, Qt::LeftButton, {}, end);
        QCOMPARE(grid_->visualOrder().mid(0, 3), (QList<int>{1, 0, 2}));
        // Resizing: drag the right edge of the first shown column.
        const int edge = ind + grid_->columnWidth(1);
        const int before = grid_->columnWidth(1);
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(edge, 5));
        QTest::mouseMove(header, QPoint(edge + 30, 5));
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(edge + 30, 5));
        QCOMPARE(grid_->columnWidth(1), before + 30);
        QCOMPARE(grid_->sortColumn(), -1);
    }

    void groupBoxChips() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        grid_->groupByColumn(col("nume_fisier"));
        grid_->groupByColumn(col("judet_destinatar"));
        QCOMPARE(grid_->groupColumns(), (QList<int>{col("nume_fisier"), col("judet_destinatar")}));
        // Two levels: files, then counties inside each file.
        QCOMPARE(grid_->viewRowCount(), 3);
        grid_->expandAll();
        QStringList captions;
        for (int r = 0; r < grid_->viewRowCount(); ++r)
            if (grid_->isGroupRow(r)) captions << grid_->cellText(r, 0);
        QCOMPARE(captions.mid(0, 4), (QStringList{"nume_fisier: a.xlsx (4)", "judet_destinatar: ALBA (2)",
                                                  "judet_destinatar: Bucuresti (1)", "judet_destinatar: Cluj (1)"}));
        QCOMPARE(shownAwbs(), split("AWB001 AWB004 AWB002 AWB003 AWB007 AWB006 AWB005 AWB009 AWB008 AWB010"));
        auto* box = grid_->findChild<QWidget*>(QStringLiteral("groupByBox"));
        // A click on the first chip turns the files' order round.
        const QPoint chip(box->height() / 2 + 10, box->height() / 2);
        QTest::mouseClick(box, Qt::LeftButton, {}, chip);
        QCOMPARE(shownAwbs().first(), QStringLiteral("AWB009"));
        // Dragging it out of the box ungroups the files.
        QTest::mousePress(box, Qt::LeftButton, {}, chip);
        QTest::mouseMove(box, chip + QPoint(0, 20));
        QTest::mouseMove(box, QPoint(chip.x(), box->height() + 40));
        QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(chip.x(), box->height() + 40));
        QCOMPARE(grid_->groupColumns(), QList<int>{col("judet_destinatar")});
        grid_->ungroup();
        QVERIFY(grid_->groupColumns().isEmpty());
        QCOMPARE(grid_->viewRowCount(), 10);
    }

    void mouseOnRowsAndGroups() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = qobject_cast<QAbstractScrollArea*>(grid_->findChild<QWidget*>(QStringLiteral("gridArea")));
        QWidget* rows = area->viewport();
        const int ind = static_cast<int>(14 * grid_->logicalDpiY() / 96.0 + 0.5);
        // Row height: the grid's rows are uniform; find it from the model's
        // row count and a click that lands on the fourth row.
        int rowH = 0;
        for (int y = 1; y < 100 && rowH == 0; ++y) {
            QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(ind + 20, y));
            if (grid_->focusedViewRow() == 1) rowH = y;
        }
        QVERIFY(rowH > 0);
        QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(ind + grid_->columnWidth(0) + 5, 3 * rowH + rowH / 2));
        QCOMPARE(grid_->focusedViewRow(), 3);
        QCOMPARE(query_->recNo(), 3L);
        QCOMPARE(grid_->focusedColumn(), grid_->visualOrder().at(1));
        // A click on a group row's button opens it.
        grid_->groupByColumn(col("judet_destinatar"));
        QCOMPARE(grid_->viewRowCount(), 7);
        QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(ind + 8, rowH + rowH / 2));
        QCOMPARE(grid_->viewRowCount(), 9);
        QVERIFY(grid_->isGroupRow(1));
        QCOMPARE(grid_->model()->data(grid_->model()->index(1, 0), grid::GroupExpandedRole).toBool(), true);
        QTest::mouseDClick(rows, Qt::LeftButton, {}, QPoint(ind + 60, rowH + rowH / 2));
        QCOMPARE(grid_->viewRowCount(), 7);
    }

    void keyboardOnRows() {
        grid_->resize(1218, 250);
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = grid_->findChild<QWidget*>(QStringLiteral("gridArea"));
        area->setFocus();
        QTest::keyClick(area, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(query_->recNo(), 9L);
        QTest::keyClick(area, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(query_->recNo(), 0L);
        QTest::keyClick(area, Qt::Key_PageDown);
        const long page = query_->recNo();
        QVERIFY(page > 1 && page <= 9);
        QTest::keyClick(area, Qt::Key_PageUp);
        QCOMPARE(query_->recNo(), 0L);
        QTest::keyClick(area, Qt::Key_End);
        QCOMPARE(grid_->focusedColumn(), grid_->visualOrder().last());
        QTest::keyClick(area, Qt::Key_Left);
        QCOMPARE(grid_->focusedColumn(), grid_->visualOrder().at(grid_->visualOrder().size() - 2));
        QTest::keyClick(area, Qt::Key_Home);
        QCOMPARE(grid_->focusedColumn(), grid_->visualOrder().first());
        // Left and right close and open a group row.
        grid_->groupByColumn(col("judet_destinatar"));
        grid_->setFocusedViewRow(0);
        QTest::keyClick(area, Qt::Key_Right);
        QCOMPARE(grid_->viewRowCount(), 10);
        QTest::keyClick(area, Qt::Key_Left);
        QCOMPARE(grid_->viewRowCount(), 7);
    }

    void partsScrollWithTheColumns() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = qobject_cast<QAbstractScrollArea*>(grid_->findChild<QWidget*>(QStringLiteral("gridArea")));
        QLineEdit* awb = editor("awb");
        const int before = awb->mapTo(grid_.get(), QPoint(0, 0)).x();
        QVERIFY(area->horizontalScrollBar()->maximum() > 100);
        area->horizontalScrollBar()->setValue(100);
        QCOMPARE(awb->mapTo(grid_.get(), QPoint(0, 0)).x(), before - 100);
        // The indicator column stays; the cells are clipped under it.
        auto* cells = grid_->findChild<QWidget*>(QStringLiteral("filterCells"));
        QCOMPARE(cells->x(), static_cast<int>(14 * grid_->logicalDpiY() / 96.0 + 0.5));
    }

    // --- footer -------------------------------------------------------------

    void footer_data() {
        QTest::addColumn<QString>("filterField");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("sumaRamburs");
        QTest::addColumn<QString>("valMonCh");
        QTest::newRow("all rows") << "" << "" << "Nr: 10" << "3092,29" << "2559,04";
        QTest::newRow("alba") << "judet_destinatar" << "alba" << "Nr: 3" << "1405" << "1234,5";
        QTest::newRow("April") << "data_awb" << ".04." << "Nr: 4" << "1591,75" << "1234,5";
        QTest::newRow("nothing shown") << "awb" << "x" << "Nr: 0" << "0" << "0";
    }
    void footer() {
        QFETCH(QString, filterField);
        QFETCH(QString, filter);
        QFETCH(QString, count);
        QFETCH(QString, sumaRamburs);
        QFETCH(QString, valMonCh);
        if (!filterField.isEmpty()) grid_->setColumnFilter(filterField, filter);
        // The count sits under the first shown column, dataAWB.
        QCOMPARE(grid_->footerText(col("data_awb")), count);
        QCOMPARE(grid_->footerText(col("suma_ramburs")), sumaRamburs);
        QCOMPARE(grid_->footerText(col("val_mon_ch")), valMonCh);
        QCOMPARE(grid_->footerText(col("awb")), QString());
        // Grouping changes nothing in the totals.
        grid_->groupByColumn(col("nume_fisier"));
        QCOMPARE(grid_->footerText(col("suma_ramburs")), sumaRamburs);
        QCOMPARE(grid_->footerText(col("data_awb")), count);
    }

    // --- styles -------------------------------------------------------------

    void styles_data() {
        QTest::addColumn<bool>("focused");
        QTest::newRow("grid has the focus") << true;
        QTest::newRow("grid without the focus") << false;
    }
    void styles() {
        QFETCH(bool, focused);
        QLineEdit outside;
        grid_->show();
        outside.show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        if (focused) {
            grid_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(grid_.get()));
            grid_->setFocus();
            QTRY_VERIFY(grid_->findChild<QWidget*>(QStringLiteral("gridArea"))->hasFocus());
        } else {
            outside.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&outside));
            outside.setFocus();
        }
        auto* m = grid_->model();
        auto bg = [m](int row) { return m->data(m->index(row, 1), Qt::BackgroundRole).value<QBrush>().color(); };
        auto fg = [m](int row) { return m->data(m->index(row, 1), Qt::ForegroundRole).value<QBrush>().color(); };
        QCOMPARE(grid_->focusedViewRow(), 0);
        // The focused row: Selection while focused, Inactive otherwise.
        QCOMPARE(bg(0), focused ? QColor(0x31, 0x6A, 0xC5) : QColor(0xA4, 0xC4, 0xEB));
        QCOMPARE(fg(0), focused ? QColor(Qt::white) : grid_->palette().color(QPalette::Text));
        // Other rows alternate by position from 0: even D9EAF7, odd EAF3FB, black.
        QCOMPARE(bg(1), QColor(0xEA, 0xF3, 0xFB));
        QCOMPARE(bg(2), QColor(0xD9, 0xEA, 0xF7));
        QCOMPARE(bg(3), QColor(0xEA, 0xF3, 0xFB));
        QCOMPARE(fg(2), QColor(Qt::black));
        // ContentEven/Odd set no font: the cells take the grid's own font,
        // not Content's.
        QCOMPARE(m->data(m->index(2, 1), Qt::FontRole).value<QFont>(), grid_->font());
        // Position counts in the view: after a sort the colours stay by row.
        grid_->sortByColumn(col("suma_ramburs"), Qt::AscendingOrder);
        QCOMPARE(bg(1), QColor(0xEA, 0xF3, 0xFB));
        QCOMPARE(bg(2), QColor(0xD9, 0xEA, 0xF7));
    }

    void headerFooterAndGroupStyles() {
        auto* m = grid_->model();
        const QFont hf = m->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>();
        const int px11 = static_cast<int>(11 * grid_->logicalDpiY() / 96.0 + 0.5);
        QCOMPARE(hf.family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(hf.pixelSize(), px11);
        QVERIFY(hf.bold());
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color(), QColor(0x31, 0x6A, 0xC5));
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::white));
        const QFont ff = grid_->footerData(0, Qt::FontRole).value<QFont>();
        QVERIFY(ff.bold());
        QCOMPARE(ff.pixelSize(), px11);
        QCOMPARE(grid_->footerData(0, Qt::BackgroundRole).value<QBrush>().color(), QColor(0xFF, 0xFF, 0xE1));
        QCOMPARE(grid_->footerData(0, Qt::ForegroundRole).value<QBrush>().color(), QColor(0x00, 0x00, 0x80));
        grid_->groupByColumn(col("judet_destinatar"));
        grid_->setFocusedViewRow(0);
        QCOMPARE(m->data(m->index(1, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(0xF1, 0xEF, 0xE2));
        // The incremental search highlight takes IncSearch.
        QCOMPARE(m->data(m->index(0, 0), grid::IncSearchBackgroundRole).value<QColor>(), QColor(0xFE, 0xD5, 0x47));
    }

    void previewLine() {
        grid_->resize(1218, 600);
        grid_->setPreviewColumn(QStringLiteral("nume_fisier"));
        QCOMPARE(grid_->previewColumn(), col("nume_fisier"));
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        const int row = viewRowOf(QStringLiteral("AWB006"));
        QCOMPARE(grid_->previewData(row, Qt::DisplayRole).toString(), QStringLiteral("b.xlsx"));
        QCOMPARE(grid_->previewData(row, Qt::BackgroundRole).value<QBrush>().color(), QColor(0xFF, 0xFF, 0xE1));
        QCOMPARE(grid_->previewData(row, Qt::ForegroundRole).value<QBrush>().color(), QColor(0x00, 0x00, 0x80));
        QVERIFY(grid_->previewData(row, Qt::FontRole).value<QFont>().bold());
        // Painted under each row's cells: the preview colour shows in the
        // rows area, beneath a row's own colour.
        auto* area = qobject_cast<QAbstractScrollArea*>(grid_->findChild<QWidget*>(QStringLiteral("gridArea")));
        const QImage rows = area->viewport()->grab().toImage();
        const int x = static_cast<int>(14 * grid_->logicalDpiY() / 96.0 + 0.5) + 4;
        QStringList bands;
        QColor last;
        for (int y = 0; y < rows.height() && bands.size() < 6; ++y) {
            const QColor c = rows.pixelColor(x, y);
            if (c != last && (c == QColor(0xFF, 0xFF, 0xE1) || c == QColor(0xEA, 0xF3, 0xFB) ||
                              c == QColor(0xD9, 0xEA, 0xF7)))
                bands << c.name();
            if (c == QColor(0xFF, 0xFF, 0xE1) || c == QColor(0xEA, 0xF3, 0xFB) || c == QColor(0xD9, 0xEA, 0xF7)) last = c;
        }
        QCOMPARE(bands.mid(0, 4), (QStringList{"#ffffe1", "#eaf3fb", "#ffffe1", "#d9eaf7"}));
        // Group rows have no preview.
        grid_->groupByColumn(col("judet_destinatar"));
        QVERIFY(!grid_->previewData(0, Qt::DisplayRole).isValid());
        grid_->setPreviewColumn(QString());
        QCOMPARE(grid_->previewColumn(), -1);
    }

    void painting() {
        // What is painted matches the model: sample pixels of a grab.
        grid_->resize(1218, 600);
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = qobject_cast<QAbstractScrollArea*>(grid_->findChild<QWidget*>(QStringLiteral("gridArea")));
        QVERIFY(area);
        const QImage rows = area->viewport()->grab().toImage();
        const int rh = rows.height() > 0 ? area->viewport()->height() : 0;
        QVERIFY(rh > 0);
        auto* m = grid_->model();
        // Sample the first pixels inside the second column of rows 1 and 2.
        const int ind = static_cast<int>(14 * grid_->logicalDpiY() / 96.0 + 0.5);
        const int x = ind + grid_->columnWidth(0) + 2;
        int rowH = 0;
        for (int y = 0; y < rows.height(); ++y)
            if (rows.pixelColor(x, y) == QColor(0xEA, 0xF3, 0xFB)) {
                rowH = y;   // first pixel of row 1
                break;
            }
        QVERIFY(rowH > 0);
        QCOMPARE(rows.pixelColor(x, rowH + 1), m->data(m->index(1, 1), Qt::BackgroundRole).value<QBrush>().color());
        QCOMPARE(rows.pixelColor(x, 2 * rowH + 1), m->data(m->index(2, 1), Qt::BackgroundRole).value<QBrush>().color());
        // Below the last row: the Background style.
        QCOMPARE(rows.pixelColor(x, rows.height() - 2), QColor(0xFF, 0xFB, 0xF0));
        // The group-by box and its colour.
        auto* box = grid_->findChild<QWidget*>(QStringLiteral("groupByBox"));
        const QImage boxImage = box->grab().toImage();
        QCOMPARE(boxImage.pixelColor(2, boxImage.height() - 2), QColor(0xFE, 0xD5, 0x47));
        // The header.
        auto* header = grid_->findChild<QWidget*>(QStringLiteral("header"));
        const QImage h = header->grab().toImage();
        QCOMPARE(h.pixelColor(x + grid_->columnWidth(1) - 12, h.height() / 2), QColor(0x31, 0x6A, 0xC5));
    }

    // --- keyboard -----------------------------------------------------------

    void enterMovesToNextCell() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = grid_->findChild<QWidget*>(QStringLiteral("gridArea"));
        area->setFocus();
        const QList<int> order = grid_->visualOrder();
        grid_->setFocusedColumn(order[0]);
        QTest::keyClick(area, Qt::Key_Return);
        QCOMPARE(grid_->focusedColumn(), order[1]);
        QCOMPARE(grid_->focusedViewRow(), 0);
        grid_->setFocusedColumn(order.last());
        QTest::keyClick(area, Qt::Key_Enter);
        QCOMPARE(grid_->focusedColumn(), order[0]);
        QCOMPARE(grid_->focusedViewRow(), 1);
        QCOMPARE(query_->recNo(), 1L);
    }

    void incrementalSearch_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("foundAwb");
        QTest::addColumn<int>("highlighted");
        QTest::newRow("name prefix") << "nume_destinatar" << "ma" << "AWB004" << 2;
        QTest::newRow("ignores case") << "nume_destinatar" << "ELENA" << "AWB009" << 5;
        QTest::newRow("a key that matches nothing is dropped") << "nume_destinatar" << "rx" << "AWB007" << 1;
    }
    void incrementalSearch() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, foundAwb);
        QFETCH(int, highlighted);
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto* area = grid_->findChild<QWidget*>(QStringLiteral("gridArea"));
        area->setFocus();
        grid_->setFocusedColumn(grid_->columnIndex(field));
        QTest::keyClicks(area, typed);
        QCOMPARE(awbOf(query_->recNo()), foundAwb);
        QCOMPARE(grid_->incSearchText().size(), highlighted);
        auto* m = grid_->model();
        QCOMPARE(m->data(m->index(grid_->focusedViewRow(), grid_->columnIndex(field)), grid::IncSearchLengthRole).toInt(),
                 highlighted);
        QTest::keyClick(area, Qt::Key_Escape);
        QCOMPARE(grid_->incSearchText(), QString());
    }

    // --- navigator ----------------------------------------------------------

    void navigator() {
        grid_->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid_.get()));
        auto button = [this](const char* name) {
            return grid_->findChild<QToolButton*>(QString::fromLatin1(name));
        };
        auto* info = grid_->findChild<QLabel*>(QStringLiteral("navInfo"));
        QVERIFY(info);
        QCOMPARE(info->text(), QStringLiteral("Inregistrarea 1 din 10"));
        QVERIFY(!button("navPrior")->isEnabled());
        QTest::mouseClick(button("navNext"), Qt::LeftButton);
        QCOMPARE(query_->recNo(), 1L);
        QCOMPARE(info->text(), QStringLiteral("Inregistrarea 2 din 10"));
        QTest::mouseClick(button("navLast"), Qt::LeftButton);
        QCOMPARE(query_->recNo(), 9L);
        QVERIFY(!button("navNext")->isEnabled());
        QTest::mouseClick(button("navPrior"), Qt::LeftButton);
        QCOMPARE(query_->recNo(), 8L);
        QTest::mouseClick(button("navFirst"), Qt::LeftButton);
        QCOMPARE(query_->recNo(), 0L);
        grid_->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alba"));
        QCOMPARE(info->text(), QStringLiteral("Inregistrarea 1 din 3"));
        QTest::mouseClick(button("navLast"), Qt::LeftButton);
        QCOMPARE(awbOf(query_->recNo()), QStringLiteral("AWB009"));
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
